// Every wait ends at its bound, never before it: the time left is rounded up to whole
// milliseconds, never down (a truncated remainder ended a wait up to a millisecond early,
// and a bound measured against it failed now and then). Many short waits make a wake-up
// within a bound's last millisecond all but certain, so a rounding down shows at once.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>

#include "cli/CliInterrupt.h"
#include "cli/ConsoleView.h"
#include "link/ReadIdioms.h"
#include "sim/SimD2xx.h"
#include "tests/support/SimLink.h"

namespace jig {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 100;
constexpr DWORD kBoundMs = 3;

struct BoundedWait {
  const char* what;
  // One wait of kBoundMs on a programmer that stays silent; false when it did not time out.
  std::function<bool(ProgrammerLink& link)> wait;
};

class WaitBounds : public ::testing::TestWithParam<BoundedWait> {};

TEST_P(WaitBounds, ASilentWaitEndsNoEarlierThanItsBound) {
  sim::SimOptions silent;
  silent.faults["no-answer"] = "";
  sim::SimD2xx d2xx;
  d2xx.attach(silent);
  ProgrammerLink link = test::OpenSimLink(d2xx);
  for (int run = 0; run < kRuns; ++run) {
    const auto started = Clock::now();
    ASSERT_TRUE(GetParam().wait(link)) << "run " << run;
    const auto took = Clock::now() - started;
    ASSERT_GE(took, std::chrono::milliseconds(kBoundMs)) << "run " << run << ": "
                                                         << std::chrono::duration<double, std::milli>(took).count();
  }
  link.close();
}

INSTANTIATE_TEST_SUITE_P(
    Waits, WaitBounds,
    ::testing::Values(
        BoundedWait{"AwaitOperation",
                    [](ProgrammerLink&) {
                      std::ostringstream out, err;
                      ConsoleView view(out, err);
                      return AwaitOperation(view, std::chrono::milliseconds(kBoundMs), CliStop{}, "test") ==
                             kExitFailed;
                    }},
        BoundedWait{"QueueWait",
                    [](ProgrammerLink& link) { return QueueWait(link, 1, kBoundMs) == WaitResult::TimedOut; }},
        BoundedWait{"Gather",
                    [](ProgrammerLink& link) {
                      DWORD gathered = 0;
                      return Gather(link, 4, kBoundMs, gathered) == WaitResult::TimedOut && gathered == 0;
                    }}),
    [](const auto& test) { return std::string(test.param.what); });

}  // namespace
}  // namespace jig
