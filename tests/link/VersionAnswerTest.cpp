// The answer to 'B' is whole when the count asked for has come, or when the line has been
// quiet for the bridge's latency timer plus a margin after the first byte, or when the
// time-out runs out with nothing: the same bytes are read, filtered and logged as before,
// without waiting out the time-out for a short text.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Ite/IteFamily.h"
#include "Kb901x_form/Kb90Family.h"
#include "Mec16xx/Mec16Family.h"
#include "Npce/NpceFamily.h"
#include "link/OpenProgrammer.h"
#include "link/VersionAnswer.h"
#include "link/Bounds.h"
#include "sim/SimD2xx.h"
#include "tests/support/RecordingView.h"

namespace jig {
namespace {

using Clock = std::chrono::steady_clock;
using test::RecordingView;

const std::string kPorts1 = "Number of VCOM ports found on the machine: 1";
const std::string kInstalled = "Communication with programmer installed.";
const std::string kUpdate = "It is necessary to update the firmware programmer!";

// A version text of length bytes: the tag (cut to the length), more text, CR LF.
std::string VersionText(std::string_view tag, std::size_t length) {
  std::string text(tag.substr(0, std::min(tag.size(), length)));
  const std::string_view more = " Q27 FW 1.7 unit 0123456789";
  const std::size_t body = length >= text.size() + 2 ? length - 2 : length;
  text += more.substr(0, body - text.size());
  if (body < length) text += "\r\n";
  return text;
}

sim::SimOptions Answering(const std::string& image, const std::string& version, const std::string& split = "") {
  sim::SimOptions options;
  options.image = image;
  options.faults["version"] = version;
  if (!split.empty()) options.faults["version-split"] = split;
  return options;
}

DWORD ReceiveQueue(sim::SimD2xx& d2xx, const ProgrammerLink& link) {
  DWORD rx = 0, tx = 0, event = 0;
  d2xx.FT_GetStatus(link.handle, &rx, &tx, &event);
  return rx;
}

// Who asks: the start query (no profile) or a window's open.
struct Asker {
  const OpenProfile* profile;
  std::string image;
  DWORD asked() const { return profile ? profile->readLength : limits::kVersionReadLength; }
  DWORD timeoutMs() const { return profile ? profile->queryTimeoutMs : limits::kQueryTimeoutMs; }
  std::string tag() const { return profile ? std::string(profile->tag) : image; }
};

const Asker kQuery{nullptr, "V41"};
const Asker kIte{&profiles::kIte, "ITE"};
const Asker kNpce{&profiles::kNpce, "NPCE"};
const Asker kKb90{&profiles::kKb90, "V41"};
const Asker kMec16{&profiles::kMec16, "V42"};

// What the asker must make of the answer: said is the start query's version text, or the
// text of an open's version line (none for the 3-byte profiles); then what it leaves
// queued in the receive queue of a handle that stays open.
struct Outcome {
  std::string said;
  OpenResult result = OpenResult::Ready;
  std::size_t queued = 0;
};

void AskAndCheck(sim::SimD2xx& d2xx, const Asker& asker, const Outcome& outcome) {
  ProgrammerLink link(d2xx, 64);
  RecordingView view;
  if (!asker.profile) {
    EXPECT_EQ(QueryProgrammerVersion(link), outcome.said);
  } else {
    EXPECT_EQ(OpenProgrammer(link, *asker.profile, view), outcome.result);
    std::vector<std::string> lines = {kPorts1};
    if (!asker.profile->versionLinePrefix.empty())
      lines.push_back(std::string(asker.profile->versionLinePrefix) + outcome.said);
    lines.push_back(outcome.result == OpenResult::Ready ? kInstalled : kUpdate);
    EXPECT_EQ(view.lines(), lines);
  }
  ASSERT_EQ(link.isOpen, outcome.result == OpenResult::Ready);
  if (link.isOpen && outcome.queued > 0) {
    // The rest of the answer comes (or has come) and waits for the next open to empty it.
    DWORD waiting = 0;
    EXPECT_EQ(d2xx.WaitForRx(link.handle, static_cast<DWORD>(outcome.queued), 1000, &waiting), FT_OK);
  }
  if (link.isOpen) {
    EXPECT_EQ(ReceiveQueue(d2xx, link), outcome.queued);
  }
  link.close();
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

struct LengthCase {
  const char* name;
  Asker asker;
  std::size_t length;
  Outcome outcome;
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.name; }

class VersionAnswerLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(VersionAnswerLengths, SameBytesAsTheTimedReadWithoutWaitingOutTheTimeout) {
  const LengthCase& c = GetParam();
  const std::string text = VersionText(c.asker.tag(), c.length);
  ASSERT_EQ(text.size(), c.length);
  sim::SimD2xx d2xx;
  d2xx.attach(Answering(c.asker.image, text));
  const auto start = Clock::now();
  AskAndCheck(d2xx, c.asker, c.outcome);
  // The timed read waited the whole time-out whenever fewer bytes came than it asked for;
  // the answer's own end comes well before it, the quiet wait before 'B' included.
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(c.asker.timeoutMs() * 4 / 5));
}

// The answers: the tag (cut to the length), " Q27 FW 1.7 unit ...", CR LF; the filter
// makes blanks of the blank, CR and LF.
INSTANTIATE_TEST_SUITE_P(
    Cases, VersionAnswerLengths,
    ::testing::Values(
        LengthCase{"query_3", kQuery, 3, {"V41"}},
        LengthCase{"query_13", kQuery, 13, {"V41 Q27 FW   "}},
        LengthCase{"query_16", kQuery, 16, {"V41 Q27 FW 1.7  "}},
        LengthCase{"query_20", kQuery, 20, {"V41 Q27 FW 1.7 u", OpenResult::Ready, 4}},
        LengthCase{"ite_3", kIte, 3, {"ITE"}},
        LengthCase{"ite_13", kIte, 13, {"ITE Q27 FW   "}},
        LengthCase{"ite_16", kIte, 16, {"ITE Q27 FW 1.7  "}},
        LengthCase{"ite_20", kIte, 20, {"ITE Q27 FW 1.7 uni  "}},
        // "NPC" cannot hold the tag: judged at once, not after 500 ms.
        LengthCase{"npce_3", kNpce, 3, {"NPC", OpenResult::WrongFirmware}},
        LengthCase{"npce_13", kNpce, 13, {"NPCE Q27 FW  "}},
        LengthCase{"npce_16", kNpce, 16, {"NPCE Q27 FW 1.  "}},
        LengthCase{"npce_20", kNpce, 20, {"NPCE Q27 FW 1.7 un  "}},
        // The raw compare reads its 3 bytes as it always did; the rest stays queued.
        LengthCase{"kb90_3", kKb90, 3, {}},
        LengthCase{"kb90_13", kKb90, 13, {"", OpenResult::Ready, 10}},
        LengthCase{"mec16_20", kMec16, 20, {"", OpenResult::Ready, 17}}),
    [](const auto& param) { return std::string(param.param.name); });

struct SplitCase {
  const char* name;
  Asker asker;
  std::string text;
  std::string split;  // the version-split fault: N:MS
  Outcome outcome;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << c.name; }

class VersionAnswerSplits : public ::testing::TestWithParam<SplitCase> {};

TEST_P(VersionAnswerSplits, APauseInsideTheGapIsReadWholeALongerOneEndsTheAnswer) {
  const SplitCase& c = GetParam();
  sim::SimD2xx d2xx;
  d2xx.attach(Answering(c.asker.image, c.text, c.split));
  AskAndCheck(d2xx, c.asker, c.outcome);
}

// The pieces of 100 ms come well after the 18 ms gap of a bridge at its 16 ms default, and
// well inside the 300 ms time-out in which the timed read would have taken them.
INSTANTIATE_TEST_SUITE_P(
    Cases, VersionAnswerSplits,
    ::testing::Values(
        SplitCase{"query_1ms", kQuery, "V41 Q27 ALL\r\n", "4:1", {"V41 Q27 ALL  "}},
        SplitCase{"npce_1ms", kNpce, "NPCE288 Q27\r\n", "5:1", {"NPCE288 Q27  "}},
        SplitCase{"ite_1ms", kIte, "Q27 ITE 2.3\r\n", "5:1", {"Q27 ITE 2.3  "}},
        SplitCase{"query_100ms", kQuery, "V41 Q27 ALL\r\n", "4:100", {"V41 ", OpenResult::Ready, 9}},
        // What came holds the tag: Ready, and the rest waits in the queue.
        SplitCase{"npce_100ms_after_tag", kNpce, "NPCE288 Q27\r\n", "4:100", {"NPCE", OpenResult::Ready, 9}},
        // What came does not: judged on what came, as any short answer.
        SplitCase{"ite_100ms_before_tag", kIte, "Q27 ITE 2.3\r\n", "5:100", {"Q27 I", OpenResult::WrongFirmware}}),
    [](const auto& param) { return std::string(param.param.name); });

// A port whose latency timer says what the test wants, and which notes every wait.
class TimerPort : public sim::SimD2xx {
 public:
  std::optional<int> latencyMs;  // nullopt: the port cannot say
  std::vector<DWORD> waits;

  std::optional<LatencyReading> LatencyTimer(FT_HANDLE) override {
    if (!latencyMs) return std::nullopt;
    return LatencyReading{"/dev/ttyUSB0", *latencyMs};
  }
  FT_STATUS WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) override {
    waits.push_back(timeoutMs);
    return SimD2xx::WaitForRx(handle, count, timeoutMs, available);
  }
};

// Before 'B', the line must be quiet for the same gap; a port that cannot say its timer is
// taken at the 2 ms every open leaves it at for that, and at the bridge's default for the
// answer, which must not be cut short.
TEST(VersionAnswer, TheGapIsTheBridgesLatencyTimerPlusTwoMilliseconds) {
  struct Case {
    std::optional<int> latencyMs;
    DWORD quietMs;
    DWORD gapMs;
  };
  for (const Case& c : {Case{2, 4, 4}, Case{16, 18, 18}, Case{1, 3, 3}, Case{std::nullopt, 4, 18}}) {
    TimerPort port;
    port.latencyMs = c.latencyMs;
    port.attach(Answering("V41", "V41"));
    ProgrammerLink link(port, 64);
    EXPECT_EQ(QueryProgrammerVersion(link), "V41");
    // A quiet wait before 'B'; the first byte gets the time-out; then one wait of the gap,
    // which passes quietly.
    EXPECT_EQ(port.waits, (std::vector<DWORD>{c.quietMs, limits::kQueryTimeoutMs, c.gapMs}))
        << "latency " << c.latencyMs.value_or(-1);
    link.close();
  }
}

TEST(VersionAnswer, NothingCameMeansTheWholeTimeOutAndNoRead) {
  sim::SimOptions silent;
  silent.faults["no-answer"] = "";
  sim::SimD2xx quiet;
  quiet.attach(silent);
  DWORD count = 0;
  quiet.FT_CreateDeviceInfoList(&count);
  ProgrammerLink link(quiet, 64);
  ASSERT_EQ(quiet.FT_Open(0, &link.handle), FT_OK);
  link.isOpen = true;
  quiet.FT_SetTimeouts(link.handle, 100, 100);
  link.writeByte('B');
  const auto start = Clock::now();
  EXPECT_EQ(ReadVersionAnswer(link, 16, 100), 0u);
  EXPECT_EQ(link.transferred, 0u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
  link.close();
}

}  // namespace
}  // namespace jig
