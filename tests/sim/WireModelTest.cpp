// The best-case time of an exchange, against times worked out by hand, and against the
// simulated bridge itself.
#include <gtest/gtest.h>

#include <chrono>

#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"
#include "sim/SimD2xx.h"
#include "sim/WireModel.h"
#include "tests/support/SimLink.h"

namespace jig::sim {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr nanoseconds kFast{10850};  // one byte at 921600 baud: 10 bits, whole nanoseconds
constexpr nanoseconds kSlow{86805};  // one byte at 115200 baud

const WireTime kStart = WireTime() + std::chrono::seconds(100);

// count bytes, host to device or back, at kStart + at.
TranscriptEntry Entry(bool toDevice, std::size_t count, nanoseconds at, std::uint32_t baud, std::uint32_t latencyMs) {
  TranscriptEntry entry;
  entry.toDevice = toDevice;
  entry.bytes.assign(count, toDevice ? 0x55 : 0xAA);
  entry.at = kStart + at;
  entry.baud = baud;
  entry.latencyMs = latencyMs;
  return entry;
}

TranscriptEntry HostWrite(std::size_t count, nanoseconds after, std::uint32_t baud = 921600,
                          std::uint32_t latencyMs = 2) {
  return Entry(true, count, after, baud, latencyMs);
}

TranscriptEntry Answer(std::size_t count, std::uint64_t cause, nanoseconds at, nanoseconds work = {},
                       std::uint32_t baud = 921600, std::uint32_t latencyMs = 2) {
  TranscriptEntry entry = Entry(false, count, at, baud, latencyMs);
  entry.cause = cause;
  entry.work = work;
  return entry;
}

TEST(WireModel, VersionRoundTripIsTwoBytesOnTheWireAndTheLatencyTimer) {
  // 'B' out (one byte), "V41" back: the partial packet opens when its first byte is in the
  // bridge (two byte times after the write) and leaves 2 ms later; the other two bytes are
  // in by then.
  const std::vector<TranscriptEntry> exchange = {HostWrite(1, {}), Answer(3, 0, kFast)};
  EXPECT_EQ(BestCaseTime(exchange), 2 * kFast + milliseconds(2));
  // The same at the bridge's 16 ms default, as when the open asks before it sets the timer.
  const std::vector<TranscriptEntry> slow = {HostWrite(1, {}, 921600, 16), Answer(3, 0, kFast, {}, 921600, 16)};
  EXPECT_EQ(BestCaseTime(slow), 2 * kFast + milliseconds(16));
}

TEST(WireModel, OneBlockOf256BytesOutWaitsForTheProgrammersWorkAndItsAck) {
  // 256 data bytes to the programmer, a page program of 400 us after the last one, then
  // a one-byte ack that waits out the latency timer.
  const std::vector<TranscriptEntry> block = {HostWrite(256, {}), Answer(1, 255, 256 * kFast + microseconds(400), microseconds(400))};
  EXPECT_EQ(BestCaseTime(block), 256 * kFast + microseconds(400) + kFast + milliseconds(2));
}

TEST(WireModel, OneBlockOf1025BytesBackLeavesIn16FullPacketsAndOnePartial) {
  // 1025 = 16 x 62 + 33: the full packets leave as they fill; the last one opens with
  // byte 993 (in at 1 + 993 byte times) and leaves 2 ms later, after byte 1025 is in.
  const std::vector<TranscriptEntry> block = {HostWrite(1, {}), Answer(1025, 0, kFast)};
  EXPECT_EQ(BestCaseTime(block), 994 * kFast + milliseconds(2));
  // 992 bytes fill exactly 16 packets: the last leaves with its last byte, no timer.
  const std::vector<TranscriptEntry> whole = {HostWrite(1, {}), Answer(992, 0, kFast)};
  EXPECT_EQ(BestCaseTime(whole), 993 * kFast);
}

TEST(WireModel, SlowAnswerSplitsWhenTheLatencyTimerRunsOutFirst) {
  // At 115200 a byte takes 86.8 us, so 2 ms hold about 23 of them: bytes 1..24 leave with
  // the first timer (opened at 2 byte times), byte 25 (in at 26 byte times) opens a second.
  const std::vector<TranscriptEntry> answer = {HostWrite(1, {}, 115200), Answer(30, 0, kSlow, {}, 115200)};
  EXPECT_EQ(BestCaseTime(answer), 26 * kSlow + milliseconds(2));
}

TEST(WireModel, HostDelaysDoNotCountButTheWaitsTheHostNeededDo) {
  // The run: 'B' answered, the host was 5 ms late with its next request, and a second
  // answer came after 1 ms of the programmer's work. At best the second request leaves
  // as the first answer is released.
  const nanoseconds firstRelease = 2 * kFast + milliseconds(2);
  const nanoseconds lateWrite = firstRelease + milliseconds(5);
  const std::vector<TranscriptEntry> run = {
      HostWrite(1, {}), Answer(3, 0, kFast), HostWrite(1, lateWrite),
      Answer(1, 1, lateWrite + kFast + milliseconds(1), milliseconds(1))};
  EXPECT_EQ(BestCaseTime(run), firstRelease + kFast + milliseconds(1) + kFast + milliseconds(2));
  EXPECT_EQ(HostTurnaround(run), milliseconds(5)) << "the host's 5 ms, and nothing of the wire";
  // The same lock-step run with the bridge's 16 ms default: each answer waits 16 ms.
  EXPECT_EQ(BestCaseTime(run, 16), 2 * kFast + milliseconds(16) + kFast + milliseconds(1) + kFast + milliseconds(16));
  // A write the host made before the first answer was released did not wait for it.
  const std::vector<TranscriptEntry> pipelined = {HostWrite(1, {}), Answer(3, 0, kFast), HostWrite(1, microseconds(5)),
                                                  Answer(1, 1, microseconds(5) + kFast)};
  EXPECT_EQ(BestCaseTime(pipelined), 2 * kFast + milliseconds(2)) << "both answers share one packet";
  EXPECT_EQ(HostTurnaround(pipelined), microseconds(5)) << "counted from its previous write";
  EXPECT_EQ(BestCaseTime({}), nanoseconds(0));
}

TEST(WireModel, SimulatedRoundTripTakesAtLeastTheModelAndRecordsWhatItNeeds) {
  SimOptions options;
  options.wireTime = true;
  SimD2xx d2xx;
  auto& programmer = d2xx.attach(options);
  ProgrammerLink link = test::OpenSimLink(d2xx);
  ASSERT_EQ(d2xx.openHandles(), 1u);
  d2xx.FT_SetLatencyTimer(link.handle, 2);
  const auto t0 = WireClock::now();
  link.writeByte('B');
  EXPECT_EQ(QueueWait(link, 3, 1000), WaitResult::Ok);
  const auto wall = WireClock::now() - t0;
  link.close();
  const auto transcript = programmer.transcript();
  ASSERT_EQ(transcript.size(), 2u);
  EXPECT_EQ(transcript[1].latencyMs, 2u);
  EXPECT_EQ(transcript[1].cause, 0u);
  EXPECT_EQ(BestCaseTime(transcript), 2 * kFast + milliseconds(2));
  EXPECT_GE(wall, BestCaseTime(transcript));
}

}  // namespace
}  // namespace jig::sim
