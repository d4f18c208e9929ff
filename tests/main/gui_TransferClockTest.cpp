// The time on a transfer's gauge: elapsed and remaining at known progress and times, when a
// pass starts the clock again, and the windows that show it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "gui/TGauge.h"
#include "gui/TransferClock.h"
#include "main/TUPDATE_FORM.h"
#include "main/UpdateControls.h"

namespace jig {
namespace {

using std::chrono::seconds;
const TransferClock::Clock::time_point kStart{seconds(1000)};

struct TextCase {
  const char* name;
  int done, total;
  long long elapsed;  // s since the pass's first report
  bool ended;         // the transfer ended at that time
  const char* text;
};

const TextCase kTexts[] = {
    {"NothingDoneAtTheStart", 0, 512, 0, false, "0:00 / ~?"},
    {"NothingDoneAfterAWhile", 0, 512, 59, false, "0:59 / ~?"},
    {"TooLittleDoneToTell", 2, 100, 59, false, "0:59 / ~?"},
    {"AFewPercentGiveAnEstimate", 3, 100, 3, false, "0:03 / ~1:37"},
    {"AQuarterDone", 128, 512, 12, false, "0:12 / ~0:36"},
    {"PastAMinute", 256, 512, 61, false, "1:01 / ~1:01"},
    {"PastAnHour", 100, 200, 3723, false, "1:02:03 / ~1:02:03"},
    {"RemainingRoundedUp", 2, 3, 1, false, "0:01 / ~0:01"},
    {"AllDone", 512, 512, 30, false, "0:30 / ~0:00"},
    {"EndedWhole", 512, 512, 30, true, "0:30 / ~0:00"},
    {"EndedShortShowsItsTimeAlone", 100, 512, 10, true, "0:10"},
    {"NoSize", 0, 0, 5, false, "0:05 / ~?"},
};

class ClockText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ClockText, ShowsElapsedAndRemaining) {
  const TextCase& c = GetParam();
  TransferClock clock;
  EXPECT_EQ(clock.text(kStart), "");
  clock.progress(1, 0, c.total, kStart);
  const auto at = kStart + seconds(c.elapsed);
  clock.progress(1, c.done, c.total, at);
  if (c.ended) {
    clock.stop(at);
    // The time stands still once the transfer has ended.
    EXPECT_EQ(clock.text(at + seconds(100)), c.text);
  }
  EXPECT_EQ(clock.text(at), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, ClockText, ::testing::ValuesIn(kTexts),
                         [](const auto& row) { return std::string(row.param.name); });

// Each step: a report (pass, done, total) at a time, and the text then.
struct Step {
  int pass, done, total;
  long long at;
  const char* text;
};
struct PassCase {
  const char* name;
  std::vector<Step> steps;
};

const PassCase kPasses[] = {
    {"ProgressOnKeepsTheClock", {{1, 0, 100, 0, "0:00 / ~?"}, {1, 50, 100, 20, "0:20 / ~0:20"}}},
    {"AnotherPhaseStartsItAgain", {{1, 100, 100, 0, "0:00 / ~0:00"}, {1, 100, 100, 40, "0:40 / ~0:00"},
                                   {2, 0, 0, 40, "0:00 / ~?"}, {2, 0, 0, 45, "0:05 / ~?"}}},
    {"ProgressGoingBackStartsItAgain", {{1, 90, 100, 0, "0:00 / ~?"}, {1, 10, 100, 30, "0:00 / ~?"},
                                        {1, 20, 100, 40, "0:10 / ~1:20"}}},
    {"AnotherTotalStartsItAgain", {{0, 0, 100, 0, "0:00 / ~?"}, {0, 10, 200, 10, "0:00 / ~?"},
                                   {0, 20, 200, 14, "0:04 / ~1:12"}}},
};

class ClockPasses : public ::testing::TestWithParam<PassCase> {};

TEST_P(ClockPasses, RestartWhereANewPassBegins) {
  TransferClock clock;
  for (const Step& step : GetParam().steps) {
    const auto at = kStart + seconds(step.at);
    clock.progress(step.pass, step.done, step.total, at);
    EXPECT_EQ(clock.text(at), step.text) << "at " << step.at << " s";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ClockPasses, ::testing::ValuesIn(kPasses),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ClockOnGauges, TheUpdateWindowTimesItsUploadByItsGauge) {
  TUPDATE_FORM form;
  auto* gauge = dynamic_cast<TGauge*>(form.CGauge_UPD);
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(form.timeGauge(), gauge);
  EXPECT_EQ(gauge->label(), "0%");
  form.setGaugeMax(update::control::kGauge, 200);
  form.setGauge(update::control::kGauge, 0);
  EXPECT_EQ(gauge->timeText(), "0:00 / ~?");
  form.setGauge(update::control::kGauge, 200);
  EXPECT_EQ(gauge->timeText(), "0:00 / ~0:00");
  EXPECT_EQ(gauge->label(), "100%   0:00 / ~0:00");
  // A failed upload ends short: its time alone stays.
  form.setGauge(update::control::kGauge, 0);
  form.setGauge(update::control::kGauge, 50);
  form.ended(false);
  EXPECT_EQ(gauge->timeText(), "0:00");
}

}  // namespace
}  // namespace jig
