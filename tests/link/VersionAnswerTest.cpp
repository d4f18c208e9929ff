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

#include "link/CharFilter.h"
#include "link/OpenProgrammer.h"
#include "link/VersionAnswer.h"
#include "link/limits.h"
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

// What an open logs for the answer bytes that were read, and what it decides.
OpenResult Expected(const Asker& asker, const std::string& read, std::vector<std::string>& lines) {
  lines = {kPorts1};
  const OpenProfile& profile = *asker.profile;
  bool tagFound = false;
  if (profile.readLength == 3) {
    if (read.size() != 3) {
      lines.push_back(std::string(profile.notFoundMessage));
      return OpenResult::NotFound;
    }
    tagFound = read == profile.tag;
  } else {
    const std::string text = FilterAnswer(std::span(reinterpret_cast<const std::uint8_t*>(read.data()), read.size()));
    lines.push_back(std::string(profile.versionLinePrefix) + text);
    tagFound = text.find(profile.tag) != std::string::npos;
  }
  lines.push_back(tagFound ? kInstalled : kUpdate);
  return tagFound ? OpenResult::Ready : OpenResult::WrongFirmware;
}

// Asks for the version once; checks the bytes read, the log, the decision and what stays
// queued. read: the bytes the read must take; queued: the bytes that must be left.
void AskAndCheck(sim::SimD2xx& d2xx, const Asker& asker, const std::string& read, std::size_t queued) {
  ProgrammerLink link(d2xx, 64);
  RecordingView view;
  bool open = true;
  if (!asker.profile) {
    EXPECT_EQ(QueryProgrammerVersion(link),
              FilterAnswer(std::span(reinterpret_cast<const std::uint8_t*>(read.data()), read.size())));
  } else {
    std::vector<std::string> lines;
    const OpenResult expected = Expected(asker, read, lines);
    EXPECT_EQ(OpenProgrammer(link, *asker.profile, view), expected);
    EXPECT_EQ(view.lines(), lines);
    open = expected == OpenResult::Ready;
  }
  ASSERT_EQ(link.isOpen, open);
  if (open && queued > 0) {
    // The rest of the answer comes (or has come) and waits for the next open to empty it.
    DWORD waiting = 0;
    EXPECT_EQ(d2xx.WaitForRx(link.handle, static_cast<DWORD>(queued), 1000, &waiting), FT_OK);
    EXPECT_EQ(ReceiveQueue(d2xx, link), queued);
  } else if (open) {
    EXPECT_EQ(ReceiveQueue(d2xx, link), 0u);
  }
  link.close();
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

struct LengthCase {
  const char* name;
  Asker asker;
  std::size_t length;
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.name; }

class VersionAnswerLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(VersionAnswerLengths, SameBytesAsTheTimedReadWithoutWaitingOutTheTimeout) {
  const LengthCase& c = GetParam();
  const std::string text = VersionText(c.asker.tag(), c.length);
  ASSERT_EQ(text.size(), c.length);
  sim::SimD2xx d2xx;
  d2xx.attach(Answering(c.asker.image, text));
  const std::size_t taken = std::min<std::size_t>(c.length, c.asker.asked());
  const auto start = Clock::now();
  AskAndCheck(d2xx, c.asker, text.substr(0, taken), c.length - taken);
  // The timed read waited the whole time-out whenever fewer bytes came than it asked for.
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(c.asker.timeoutMs() / 2));
}

const Asker kQuery{nullptr, "V41"};
const Asker kIte{&profiles::kIte, "ITE"};
const Asker kNpce{&profiles::kNpce, "NPCE"};
const Asker kKb90{&profiles::kKb90, "V41"};
const Asker kMec16{&profiles::kMec16, "V42"};

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionAnswerLengths,
    ::testing::Values(LengthCase{"query_3", kQuery, 3}, LengthCase{"query_13", kQuery, 13},
                      LengthCase{"query_16", kQuery, 16}, LengthCase{"query_20", kQuery, 20},
                      LengthCase{"ite_3", kIte, 3}, LengthCase{"ite_13", kIte, 13}, LengthCase{"ite_16", kIte, 16},
                      LengthCase{"ite_20", kIte, 20},
                      // "NPC" cannot hold the tag: judged at once, not after 500 ms.
                      LengthCase{"npce_3", kNpce, 3}, LengthCase{"npce_13", kNpce, 13},
                      LengthCase{"npce_16", kNpce, 16}, LengthCase{"npce_20", kNpce, 20},
                      // The raw compare reads its 3 bytes as it always did; the rest stays queued.
                      LengthCase{"kb90_3", kKb90, 3}, LengthCase{"kb90_13", kKb90, 13},
                      LengthCase{"mec16_20", kMec16, 20}),
    [](const auto& param) { return std::string(param.param.name); });

struct SplitCase {
  const char* name;
  Asker asker;
  std::string text;
  std::string split;  // the version-split fault: N:MS
  std::size_t read;   // bytes the read takes
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << c.name; }

class VersionAnswerSplits : public ::testing::TestWithParam<SplitCase> {};

TEST_P(VersionAnswerSplits, APauseInsideTheGapIsReadWholeALongerOneEndsTheAnswer) {
  const SplitCase& c = GetParam();
  sim::SimD2xx d2xx;
  d2xx.attach(Answering(c.asker.image, c.text, c.split));
  AskAndCheck(d2xx, c.asker, c.text.substr(0, c.read), c.text.size() - c.read);
}

// The pieces of 100 ms come well after the 18 ms gap of a bridge at its 16 ms default, and
// well inside the 300 ms time-out in which the timed read would have taken them.
INSTANTIATE_TEST_SUITE_P(
    Cases, VersionAnswerSplits,
    ::testing::Values(SplitCase{"query_1ms", kQuery, "V41 Q27 ALL\r\n", "4:1", 13},
                      SplitCase{"npce_1ms", kNpce, "NPCE288 Q27\r\n", "5:1", 13},
                      SplitCase{"ite_1ms", kIte, "Q27 ITE 2.3\r\n", "5:1", 13},
                      SplitCase{"query_100ms", kQuery, "V41 Q27 ALL\r\n", "4:100", 4},
                      // What came holds the tag: Ready, and the rest waits in the queue.
                      SplitCase{"npce_100ms_after_tag", kNpce, "NPCE288 Q27\r\n", "4:100", 4},
                      // What came does not: judged on what came, as any short answer.
                      SplitCase{"ite_100ms_before_tag", kIte, "Q27 ITE 2.3\r\n", "5:100", 5}),
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

TEST(VersionAnswer, TheGapIsTheBridgesLatencyTimerPlusTwoMilliseconds) {
  struct Case {
    std::optional<int> latencyMs;
    DWORD gapMs;
  };
  for (const Case& c : {Case{2, 4}, Case{16, 18}, Case{1, 3}, Case{std::nullopt, 18}}) {
    TimerPort port;
    port.latencyMs = c.latencyMs;
    port.attach(Answering("V41", "V41"));
    ProgrammerLink link(port, 64);
    EXPECT_EQ(QueryProgrammerVersion(link), "V41");
    // The first byte gets the time-out; then one wait of the gap, which passes quietly.
    EXPECT_EQ(port.waits, (std::vector<DWORD>{limits::kQueryTimeoutMs, c.gapMs}))
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
