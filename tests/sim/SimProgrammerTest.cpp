// The simulated programmer's bridge: baud rate, faults on demand, transcript, wire time,
// and what it keeps between runs.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"
#include "sim/SimD2xx.h"
#include "sim/SimImages.h"
#include "sim/SimState.h"
#include "sim/StandInImage.h"
#include "tests/support/SimLink.h"
#include "tests/support/TestFiles.h"

namespace jig::sim {
namespace {

using test::Bytes;
using Clock = std::chrono::steady_clock;

// A programmer with a link open to it; the link is closed when the bench goes.
struct Linked {
  explicit Linked(SimOptions options = {}, DWORD baud = 921600)
      : programmer(d2xx.attach(std::move(options))), link(test::OpenSimLink(d2xx, baud)) {}
  ~Linked() { link.close(); }
  SimD2xx d2xx;
  SimProgrammer& programmer;
  ProgrammerLink link;
};

SimOptions With(std::string image, std::map<std::string, std::string> faults = {}) {
  SimOptions options;
  options.image = std::move(image);
  options.faults = std::move(faults);
  return options;
}

// A programmer on the wire model at 921600 baud, asked 'B' at t0.
struct AskedB {
  AskedB(SimOptions options, std::uint32_t latencyMs) : programmer(std::move(options)) {
    programmer.setBaud(921600);
    programmer.setLatency(latencyMs);
    const std::uint8_t b[] = {'B'};
    programmer.hostWrite(b, t0);
  }
  SimProgrammer programmer;
  const SimTime t0 = SimClock::now();
};

std::string Ask(ProgrammerLink& link, std::uint8_t command, DWORD count) {
  link.writeByte(command);
  link.read(count);
  return std::string(link.buffer.begin(), link.buffer.begin() + link.transferred);
}

TEST(SimProgrammer, AnswersVersionAndBootRequestAtFirmwareBaudOnly) {
  Linked bench({}, 115200);
  auto& [d2xx, programmer, link] = bench;
  EXPECT_EQ(Ask(link, 'B', 3), "");
  d2xx.FT_SetBaudRate(link.handle, 921600);
  EXPECT_EQ(Ask(link, 'B', 3), "V41");
  EXPECT_EQ(Ask(link, '?', 1), "!");
  EXPECT_EQ(programmer.image(), "BOOT");
  EXPECT_EQ(Ask(link, 'B', 3), "") << "the boot loader does not know 'B'";
  EXPECT_EQ(programmer.hostBytes(), Bytes("BB?B"));
  EXPECT_EQ(programmer.deviceBytes(), Bytes("V41!"));
}

// The image table: each image answers 'B' as its firmware does, runs its command sets and
// has a stand-in image that names it; the boot loader has none.
TEST(SimProgrammer, EachImageAnswersAndCarriesItsCommandSets) {
  struct Case {
    const char* tag;
    std::string answer;
    const char* file;
  };
  const Case cases[] = {{"V41", "V41", "Q27_ALLPCB_V41.hex"},
                        {"V42", "V42", "Q27_jtag.hex"},
                        {"ITE", "Q27 ITE_PROJ FW 2.3\r\n", "ITE_PROJ_Q27.hex"},
                        {"NPCE", "Q27 NPCE288 FW 1.7\r\n", "Q27_NPCE288.hex"}};
  for (const Case& c : cases) {
    Linked bench(With(c.tag));
    EXPECT_EQ(Ask(bench.link, 'B', 64), c.answer) << c.tag;
    EXPECT_EQ(StandInImageFile(c.tag), c.file);
    EXPECT_EQ(ImageTagOf(StandInImage(c.tag)), c.tag);
    const SimImage* image = FindSimImage(c.tag);
    ASSERT_NE(image, nullptr) << c.tag;
    for (const SimSetRow& set : SimSets()) {
      if (RunsSet(*image, set.name)) {
        EXPECT_NE(bench.programmer.commandSet(std::string(set.name)), nullptr) << set.name;
      }
    }
  }
  EXPECT_TRUE(StandInImage("BOOT").empty());
  EXPECT_EQ(FindSimImage("V99"), nullptr);
  ASSERT_NE(FindSimImage("V41"), nullptr);
  EXPECT_TRUE(RunsSet(*FindSimImage("V41"), "KEYBOARD"));
  EXPECT_FALSE(RunsSet(*FindSimImage("V41"), "MEC16"));
}

TEST(SimProgrammer, VersionTextCanBeAnything) {
  Linked bench(With("", {{"version", "x\\x80V41\\r\\n"}}));
  EXPECT_EQ(Ask(bench.link, 'B', 16), std::string("x\x80V41\r\n"));
}

TEST(SimProgrammer, FaultsCutGarbleAndUnplug) {
  {
    Linked bench(With("", {{"silence-after", "4"}}));
    EXPECT_EQ(Ask(bench.link, 'B', 3), "V41");
    EXPECT_EQ(Ask(bench.link, 'B', 3), "V") << "cut after four bytes in all";
    EXPECT_EQ(Ask(bench.link, 'B', 3), "");
  }
  {
    Linked bench(With("", {{"garbage-after", "1"}}));
    const std::string answer = Ask(bench.link, 'B', 3);
    ASSERT_EQ(answer.size(), 3u);
    EXPECT_EQ(answer[0], 'V');
    EXPECT_NE(answer.substr(1), "41");
  }
  {
    Linked bench(With("", {{"unplug-after", "3"}}));
    auto& [d2xx, programmer, link] = bench;
    EXPECT_EQ(Ask(link, 'B', 3), "V41");
    link.writeByte('B');
    EXPECT_TRUE(programmer.gone());
    EXPECT_EQ(link.read(1), FT_DEVICE_GONE);
    DWORD rx, tx, event;
    EXPECT_EQ(d2xx.FT_GetStatus(link.handle, &rx, &tx, &event), FT_DEVICE_GONE);
    link.close();
    EXPECT_EQ(d2xx.openHandles(), 0u);
    DWORD count = 9;
    d2xx.FT_CreateDeviceInfoList(&count);
    EXPECT_EQ(count, 0u) << "an unplugged programmer leaves the device list";
  }
}

TEST(SimProgrammer, OneHandleAtATimeAndOpenCanFail) {
  FT_HANDLE second = 0;
  {
    Linked bench;
    EXPECT_EQ(bench.d2xx.FT_Open(0, &second), FT_DEVICE_NOT_OPENED);
  }
  SimD2xx other;
  other.attach(With("", {{"open-fails", ""}}));
  DWORD count = 0;
  other.FT_CreateDeviceInfoList(&count);
  EXPECT_EQ(other.FT_Open(0, &second), FT_DEVICE_NOT_OPENED);
}

TEST(SimProgrammer, UnplugWakesAWaitingReader) {
  Linked bench;
  std::jthread puller([&bench] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    bench.d2xx.unplug(0);
  });
  const auto start = Clock::now();
  EXPECT_EQ(QueueWait(bench.link, 1, 5000), WaitResult::Gone);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

// The wire model on exact times (no threads, no clock): 10 bits a byte at 921600 baud is
// 10850 ns; the bridge releases a partial packet when its latency timer runs out after the
// packet's first byte, and a full 62-byte packet at once.
TEST(SimProgrammer, WireTimeDeliversAfterTheLatencyTimer) {
  SimOptions options;
  options.wireTime = true;
  AskedB asked(options, 2);
  auto& [programmer, t0] = asked;
  EXPECT_EQ(programmer.txQueue(t0), 1u);
  EXPECT_EQ(programmer.txQueue(t0 + std::chrono::nanoseconds(10850)), 0u);
  // 'B' arrives at 10850 ns, the first answer byte at the bridge at 21700 ns, +2 ms.
  const SimTime release = t0 + std::chrono::nanoseconds(21700) + std::chrono::milliseconds(2);
  EXPECT_EQ(programmer.available(release - std::chrono::nanoseconds(1)), 0u);
  EXPECT_EQ(programmer.available(release), 3u);
}

TEST(SimProgrammer, WireTimeFullPacketsLeaveWithoutTheLatencyTimer) {
  SimOptions options;
  options.wireTime = true;
  options.faults["version"] = std::string(124, 'v');  // two full packets
  AskedB asked(options, 16);
  auto& [programmer, t0] = asked;
  const auto byte = std::chrono::nanoseconds(10850);
  EXPECT_EQ(programmer.available(t0 + 63 * byte - std::chrono::nanoseconds(1)), 0u);
  EXPECT_EQ(programmer.available(t0 + 63 * byte), 62u) << "the first packet leaves when it is full";
  EXPECT_EQ(programmer.available(t0 + 125 * byte), 124u) << "a 16 ms timer must not hold full packets";
}

// The version-split fault on exact times: "ABCDEFGH" stops after 3 bytes for 10 ms. At a
// 2 ms latency timer the pieces leave the bridge in two packets; at 16 ms the pause falls
// inside the first packet's wait and the host sees one answer; without wire time the
// second piece simply comes 10 ms later.
TEST(SimProgrammer, VersionSplitPausesTheAnswerBetweenItsPieces) {
  struct Case {
    bool wireTime;
    std::uint32_t latencyMs;
    int firstMs, firstCount;  // by then the first piece alone (or nothing)
    int wholeMs;              // by then all of it
  };
  const auto byte = std::chrono::nanoseconds(10850);
  for (const Case& c : {Case{true, 2, 11, 3, 13}, Case{true, 16, 15, 0, 17}, Case{false, 16, 9, 3, 10}}) {
    SimOptions options;
    options.wireTime = c.wireTime;
    options.faults["version"] = "ABCDEFGH";
    options.faults["version-split"] = "3:10";
    AskedB asked(options, c.latencyMs);
    auto& [programmer, t0] = asked;
    const SimTime origin = c.wireTime ? t0 + byte : t0;  // the programmer has the 'B'
    EXPECT_EQ(programmer.available(origin + std::chrono::milliseconds(c.firstMs)), static_cast<std::size_t>(c.firstCount))
        << "latency " << c.latencyMs;
    EXPECT_EQ(programmer.available(origin + std::chrono::milliseconds(c.wholeMs)), 8u) << "latency " << c.latencyMs;
    std::uint8_t out[8];
    EXPECT_EQ(programmer.take(out, 8, origin + std::chrono::milliseconds(c.wholeMs)), 8u);
    EXPECT_EQ(std::string(out, out + 8), "ABCDEFGH");
    const auto transcript = programmer.transcript();
    ASSERT_EQ(transcript.size(), 3u) << "'B', then the answer in two pieces";
    EXPECT_GE(transcript[2].work, std::chrono::milliseconds(10)) << "the model knows the pause";
  }
}

// send-past-purge: after each purge of the receive queue, the rest of a block still on
// its way comes, its bytes counting up, evenly over the time given; off, a purge leaves
// nothing to come.
TEST(SimProgrammer, SendPastPurgeGoesOnSendingAfterEachPurge) {
  using std::chrono::milliseconds;
  for (const bool fault : {false, true}) {
    SimOptions options;
    if (fault) options.faults["send-past-purge"] = "4:8";  // at 0, 2, 4 and 6 ms
    SimProgrammer programmer(options);
    const std::uint8_t b[] = {'B'};
    const SimTime t0 = SimClock::now();
    programmer.hostWrite(b, t0);
    programmer.purge(true, true, t0);
    EXPECT_EQ(programmer.available(t0), fault ? 1u : 0u) << "the answer to 'B' went with the purge";
    EXPECT_EQ(programmer.nextReleaseAfter(t0 + milliseconds(1)),
              fault ? std::optional<SimTime>(t0 + milliseconds(2)) : std::nullopt);
    EXPECT_EQ(programmer.available(t0 + milliseconds(5)), fault ? 3u : 0u);
    std::uint8_t out[8] = {};
    ASSERT_EQ(programmer.take(out, 8, t0 + milliseconds(7)), fault ? 4u : 0u);
    if (!fault) continue;
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), (std::vector<std::uint8_t>{0, 1, 2, 3}));
    EXPECT_EQ(programmer.nextRelease(), std::nullopt) << "four bytes, then quiet";
    // A second purge drops what came and starts the rest anew.
    const SimTime t1 = t0 + milliseconds(10);
    programmer.purge(true, true, t1 + milliseconds(3));
    EXPECT_EQ(programmer.take(out, 8, t1 + milliseconds(20)), 4u);
    EXPECT_EQ(out[0], 4u);
    EXPECT_EQ(programmer.deviceBytes(), (std::vector<std::uint8_t>{'V', '4', '1', 0, 1, 2, 3, 4, 5, 6, 7}))
        << "the transcript holds every byte sent";
  }
}

TEST(SimProgrammer, TheBridgeTellsItsLatencyTimer) {
  Linked bench;
  auto& [d2xx, programmer, link] = bench;
  auto reading = d2xx.LatencyTimer(link.handle);
  ASSERT_TRUE(reading.has_value());
  EXPECT_EQ(reading->ms, 16) << "the default until the host sets it";
  d2xx.FT_SetLatencyTimer(link.handle, 2);
  EXPECT_EQ(d2xx.LatencyTimer(link.handle)->ms, 2);
  const FT_HANDLE handle = link.handle;
  link.close();
  EXPECT_FALSE(d2xx.LatencyTimer(handle).has_value()) << "a closed handle tells nothing";
}

TEST(SimProgrammer, KeepsItsImageInTheStateFolder) {
  test::TempDir dir;
  SimOptions options;
  options.stateDir = dir.path().string();
  {
    SimD2xx d2xx;
    d2xx.attach(options).runImage("NPCE");
  }
  SimD2xx again;
  EXPECT_EQ(again.attach(options).image(), "NPCE");
  EXPECT_EQ(LoadBlob(options.stateDir, "absent.bin", 4, 0xFF), std::vector<std::uint8_t>(4, 0xFF));
  ASSERT_TRUE(SaveBlob(options.stateDir, "chip.bin", {1, 2, 3, 4}));
  EXPECT_EQ(LoadBlob(options.stateDir, "chip.bin", 4, 0xFF), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(LoadBlob(options.stateDir, "chip.bin", 8, 0xFF), std::vector<std::uint8_t>(8, 0xFF))
      << "a blob of the wrong size is not taken";
}

TEST(SimOptions, FaultNamesAreCheckedAndEscapesDecoded) {
  SimOptions options;
  std::string error;
  EXPECT_TRUE(AddFault(options, "silence-after=12", error));
  EXPECT_EQ(options.number("silence-after", -1), 12);
  EXPECT_FALSE(AddFault(options, "no-such-fault", error));
  EXPECT_EQ(error, "unknown fault: no-such-fault");
  EXPECT_EQ(DecodeEscapes("a\\r\\n\\x41\\\\"), "a\r\nA\\");
  EXPECT_EQ(DecodeEscapes("trailing\\x4"), "trailingx4");
  EXPECT_TRUE(AddFault(options, "version-split=5:30", error));
  const auto split = ParseBytesAndMs(options.value("version-split"));
  ASSERT_TRUE(split.has_value());
  EXPECT_EQ(split->bytes, 5u);
  EXPECT_EQ(split->ms, 30);
  EXPECT_TRUE(AddFault(options, "send-past-purge=40:10", error));
  const std::string splitUsage = "version-split needs N:MS, e.g. version-split=5:30";
  const std::string strayUsage = "send-past-purge needs N:MS, e.g. send-past-purge=40:10";
  const std::pair<const char*, const std::string&> bad[] = {
      {"version-split=5", splitUsage},     {"version-split=a:30", splitUsage}, {"version-split=5:-1", splitUsage},
      {"version-split=5:30ms", splitUsage}, {"send-past-purge", strayUsage},    {"send-past-purge=40", strayUsage}};
  for (const auto& [fault, usage] : bad) {
    EXPECT_FALSE(AddFault(options, fault, error)) << fault;
    EXPECT_EQ(error, usage);
  }
}

}  // namespace
}  // namespace jig::sim
