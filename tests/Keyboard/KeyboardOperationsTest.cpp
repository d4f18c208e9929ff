#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "Keyboard/KeyboardOperations.h"
#include "sim/KeyboardSim.h"
#include "sim/SimD2xx.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimLink.h"
#include "tests/support/TestFiles.h"

namespace jig {

using namespace keyboard;
namespace {

using namespace std::chrono_literals;
using test::Bytes;

using Raw = std::vector<std::uint8_t>;  // a report's bytes as the programmer sends them

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 3s) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

long Count(const std::vector<std::uint8_t>& bytes, std::uint8_t value) {
  return std::count(bytes.begin(), bytes.end(), value);
}

constexpr KeyboardBounds kShort{300, 300};

// A programmer with the given faults: nothing pressed unless a keyboard script says so.
struct ScanBench {
  explicit ScanBench(std::map<std::string, std::string> faults = {}, bool withTicker = true)
      : programmer(d2xx.attach(withScript(std::move(faults)))) {
    if (withTicker)
      ticker = std::jthread([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
          std::this_thread::sleep_for(5ms);
          ops.Timer_keyboard_scanTimer();
        }
      });
  }
  static sim::SimOptions withScript(std::map<std::string, std::string> faults) {
    sim::SimOptions options;
    options.faults = std::move(faults);
    options.faults.emplace("keyboard-script", "0:");
    return options;
  }
  sim::KeyboardSim& keyboard() { return dynamic_cast<sim::KeyboardSim&>(*programmer.commandSet("KEYBOARD")); }
  std::optional<Rgb> colour(const char* name) const { return view.colour(name); }
  bool stop() {
    ops.endTest();
    return view.waitEnded(3s);
  }
  void expectIdleAndClosed() {
    EXPECT_EQ(ops.modeText(), "NONE");
    EXPECT_EQ(view.enabled("START_SCAN"), true);
    EXPECT_EQ(view.caption("EXIT_KB_TEST"), "EXIT");
    EXPECT_FALSE(view.timerRunning("Timer_keyboard_scan"));
    EXPECT_EQ(d2xx.openHandles(), 0u);
    EXPECT_EQ(programmer.hostBytes().back(), 'Q');
    EXPECT_FALSE(keyboard().scanning());
  }

  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  test::RecordingView view;
  KeyboardOperations ops{d2xx, view, kShort};
  std::jthread ticker;  // last: stops before the operations go
};

TEST(KeyboardScan, ReportFlipsRedThenYellowAndBeeps) {
  ScanBench bench;
  bench.keyboard().queueReport(Raw({'>', 1, 2, 3, '&'}));
  bench.keyboard().queueReport(Raw({'>', 1, 2, 3, '&'}));
  bench.keyboard().queueReport(Raw({'&'}));
  bench.ops.startScan();
  EXPECT_EQ(bench.ops.modeText(), "Keyboard");
  EXPECT_EQ(bench.view.enabled("START_SCAN"), false);
  EXPECT_EQ(bench.view.caption("EXIT_KB_TEST"), "STOP");
  EXPECT_TRUE(bench.view.timerRunning("Timer_keyboard_scan"));
  ASSERT_TRUE(WaitUntil([&] { return bench.keyboard().requests() >= 5; }));
  ASSERT_TRUE(bench.stop());

  EXPECT_EQ(bench.colour("Shape2"), colour::kYellow);
  EXPECT_EQ(bench.colour("Shape3"), colour::kYellow);
  EXPECT_EQ(bench.ops.colourOf({1, 2}), colour::kYellow);
  EXPECT_EQ(bench.ops.colourOf({2, 3}), colour::kAqua);
  EXPECT_FALSE(bench.colour("Shape35").has_value());
  const auto host = bench.programmer.hostBytes();
  // Two beeps for the two reports that named pairs; none for the "&" alone reports.
  const auto start = Bytes("BuIUIU");
  ASSERT_GT(host.size(), start.size());
  EXPECT_TRUE(std::equal(start.begin(), start.end(), host.begin()));
  EXPECT_EQ(Count(host, 'I'), 2);
  EXPECT_EQ(Count(host, 'Q'), 1);
  EXPECT_EQ(Count(host, 'u') + Count(host, 'U') + Count(host, 'I') + Count(host, 'Q') + 1,
            static_cast<long>(host.size()));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, LogsTheConnectionStepsOfTheKeyboardProfile) {
  ScanBench bench;
  bench.ops.startScan();
  ASSERT_TRUE(bench.stop());
  EXPECT_EQ(bench.view.lines(), test::KeyboardOpenLog());
}

TEST(KeyboardScan, SplitReportIsDecodedOnceAsAWhole) {
  ScanBench bench({{"keyboard-split", ""}, {"keyboard-script", "0:1-2,1-3,4-20"}});
  bench.ops.startScan();
  ASSERT_TRUE(WaitUntil([&] { return bench.keyboard().requests() >= 3; }));
  ASSERT_TRUE(bench.stop());
  const auto host = bench.programmer.hostBytes();
  const long reports = Count(host, 'u') + Count(host, 'U');
  EXPECT_EQ(Count(host, 'I'), reports);  // one beep per report, not per piece
  const Rgb expected = reports % 2 == 1 ? colour::kRed : colour::kYellow;
  EXPECT_EQ(bench.colour("Shape2"), expected);
  EXPECT_EQ(bench.colour("Shape3"), expected);
  EXPECT_EQ(bench.colour("Shape116"), expected);  // (4, 20)
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, PairWithoutIndicatorAndNoSound) {
  // With keyboard-invalid every report also names (5, 3).
  ScanBench bench({{"keyboard-invalid", ""}, {"keyboard-script", "0:2-7"}});
  bench.ops.setNoSound(true);
  bench.ops.startScan();
  ASSERT_TRUE(WaitUntil([&] { return bench.keyboard().requests() >= 2; }));
  ASSERT_TRUE(bench.stop());
  EXPECT_FALSE(bench.colour("Shape131").has_value());
  EXPECT_TRUE(bench.colour("Shape39").has_value());  // (2, 7) still decoded after the skip
  EXPECT_EQ(Count(bench.programmer.hostBytes(), 'I'), 0);
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, ClearDuringAScanPaintsAquaAndTheNextReportRedAgain) {
  ScanBench bench;  // nothing pressed but what the queued reports say
  bench.keyboard().queueReport(Raw({'>', 1, 2, '&'}));
  bench.keyboard().queueReport(Raw({'>', 1, 2, '&'}));
  bench.ops.startScan();
  ASSERT_TRUE(WaitUntil([&] { return bench.colour("Shape2") == colour::kYellow; }));
  bench.ops.ClearClick();
  EXPECT_EQ(bench.ops.colourOf({1, 2}), colour::kAqua);
  for (const auto& pair : AllPairs()) ASSERT_EQ(bench.view.colour(IndicatorName(pair)), colour::kAqua);
  // After Clear a pair starts again from red, not from yellow.
  bench.keyboard().queueReport(Raw({'>', 1, 2, '&'}));
  ASSERT_TRUE(WaitUntil([&] { return bench.colour("Shape2") == colour::kRed; }));
  ASSERT_TRUE(bench.stop());
  EXPECT_EQ(bench.ops.colourOf({1, 2}), colour::kRed);
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, StopEndsAfterTheNextReportOnly) {
  ScanBench bench;
  bench.ops.startScan();
  ASSERT_TRUE(WaitUntil([&] { return bench.keyboard().requests() >= 3; }));
  const long requestsAtStop = Count(bench.programmer.hostBytes(), 'U');
  bench.ops.endTest();
  EXPECT_FALSE(bench.view.visible("Form1").has_value());  // a running scan is stopped, not left
  ASSERT_TRUE(bench.view.waitEnded(3s));
  EXPECT_LE(Count(bench.programmer.hostBytes(), 'U') - requestsAtStop, 1);
  bench.expectIdleAndClosed();
  // Idle, the same button leaves the window.
  bench.ops.endTest();
  EXPECT_EQ(bench.view.visible("Form1"), true);
  EXPECT_EQ(bench.view.visible("self"), false);
}

TEST(KeyboardScan, SecondStartWhileScanningIsIgnoredAndAScanCanRunAgain) {
  ScanBench bench;
  bench.ops.startScan();
  bench.ops.startScan();
  EXPECT_EQ(Count(bench.programmer.hostBytes(), 'B'), 1);
  ASSERT_TRUE(bench.stop());
  EXPECT_EQ(bench.view.endings().size(), 1u);
  bench.ops.startScan();
  EXPECT_EQ(bench.ops.modeText(), "Keyboard");
  bench.ops.endTest();
  ASSERT_TRUE(bench.view.waitEnded(3s, 2));
  EXPECT_EQ(bench.view.endings(), (std::vector<bool>{true, true}));
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, SilentProgrammerEndsTheScanWithinTheBound) {
  ScanBench bench(std::map<std::string, std::string>{{"silence-after", "3"}});  // answers 'B', then nothing
  bench.ops.startScan();
  ASSERT_TRUE(bench.view.waitEnded(2s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.view.lastLine(), keyboard::text::kNoReport);
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BuQ"));
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, TimerThatStopsTickingEndsTheScan) {
  ScanBench bench({}, /*withTicker=*/false);
  bench.ops.startScan();
  ASSERT_TRUE(bench.view.waitEnded(2s));
  EXPECT_EQ(bench.view.lastLine(), keyboard::text::kNoTick);
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BuQ"));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, OversizedReportIsDroppedAndTheScanGoesOn) {
  ScanBench bench({{"keyboard-oversize", "1"}, {"keyboard-script", "0:3-4"}});
  bench.ops.startScan();
  ASSERT_TRUE(WaitUntil([&] { return bench.colour("Shape68").has_value(); }));  // (3, 4)
  ASSERT_TRUE(bench.stop());
  const auto lines = bench.view.allLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), keyboard::text::kReportTooLong), 1);
  EXPECT_FALSE(bench.colour("Shape2").has_value());  // the runaway report named (1, 2)
  const auto host = bench.programmer.hostBytes();
  EXPECT_EQ(Count(host, 'I'), Count(host, 'U'));  // no beep for the dropped one
  bench.expectIdleAndClosed();
}

TEST(KeyboardScan, UnpluggedProgrammerEndsTheScan) {
  ScanBench bench;
  bench.ops.startScan();
  ASSERT_TRUE(WaitUntil([&] { return bench.keyboard().requests() >= 2; }));
  bench.d2xx.unplug(0);
  ASSERT_TRUE(bench.view.waitEnded(2s));
  EXPECT_EQ(bench.view.lastLine(), keyboard::text::kProgrammerGone);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.ops.modeText(), "NONE");
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(KeyboardScan, NoProgrammerLeavesTheWindowIdle) {
  sim::SimD2xx d2xx;
  test::RecordingView view;
  KeyboardOperations ops(d2xx, view, kShort);
  ops.startScan();
  EXPECT_EQ(view.lines(), std::vector<std::string>{"VCOM port is not found on the machine!"});
  EXPECT_EQ(view.endings(), std::vector<bool>{false});
  EXPECT_EQ(ops.modeText(), "NONE");
  EXPECT_FALSE(view.enabled("START_SCAN").has_value());
}

TEST(KeyboardScan, ClosingTheWindowMidScanSendsQAndCloses) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach();
  test::RecordingView view;
  const auto start = std::chrono::steady_clock::now();
  {
    KeyboardOperations ops(d2xx, view);  // full bounds: the close must not wait for them
    ops.startScan();
    ASSERT_TRUE(WaitUntil([&] { return Count(programmer.hostBytes(), 'u') == 1; }));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(programmer.hostBytes().back(), 'Q');
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig
