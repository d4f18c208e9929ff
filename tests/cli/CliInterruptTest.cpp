// The command line's wait for its operation: a signal or the operation's end answers it at
// once (it sleeps on one wake-up, it does not look every so often), a write needs a second
// signal, and the exit status says which signal came.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <functional>
#include <sstream>
#include <thread>

#include "cli/CliInterrupt.h"
#include "cli/ConsoleView.h"

namespace jig {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One AwaitOperation on a thread of its own over an operation that ends when asked to stop.
struct Waiter {
  explicit Waiter(bool isWrite, std::chrono::milliseconds bound = 10s, ChipGate* gate = nullptr) {
    ResetInterrupts();
    stop.isWrite = isWrite;
    stop.gate = gate;
    stop.requestStop = [this] {
      stopAsked = true;
      view.ended(false);
    };
    thread = std::jthread([this, bound] { status = AwaitOperation(view, bound, stop, "test"); });
  }
  ~Waiter() {
    if (thread.joinable()) thread.join();
    ResetInterrupts();
  }
  int finish() {
    thread.join();
    return status;
  }

  std::ostringstream out, err;
  ConsoleView view{out, err};
  CliStop stop;
  std::atomic<bool> stopAsked{false};
  int status = -1;
  std::jthread thread;
};

// Lets the waiter fall asleep before the test acts.
void LetItSleep() { std::this_thread::sleep_for(30ms); }

// How long the wait takes to return after act, the median of 7 runs: looking every 50 ms
// answers after 25 ms on the median; a wake-up answers within a scheduler's turn, and the
// median keeps a busy machine's odd delay out.
double MedianReturnMs(const std::function<void(Waiter&)>& act, int status) {
  std::vector<double> latenciesMs;
  for (int run = 0; run < 7; ++run) {
    Waiter waiter(false);
    LetItSleep();
    const auto acted = Clock::now();
    act(waiter);
    EXPECT_EQ(waiter.finish(), status);
    latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - acted).count());
  }
  std::sort(latenciesMs.begin(), latenciesMs.end());
  return latenciesMs[latenciesMs.size() / 2];
}

TEST(AwaitOperation, ASignalOrTheOperationsEndWakesTheWaitAtOnce) {
  EXPECT_LT(MedianReturnMs([](Waiter&) { NoteInterrupt(SIGINT); }, 128 + SIGINT), 10.0);
  EXPECT_LT(MedianReturnMs([](Waiter& waiter) { waiter.view.ended(true); }, kExitOk), 10.0);
}

// Where a write stands when the signals come: no gate (it counts as touched), or its gate.
enum class Gate { None, Untouched, Touched };

struct SignalCase {
  const char* what;
  bool isWrite;
  Gate gate;
  int signal;
  int signals;       // sent one after another
  bool stopAsked;    // the operation is asked to stop
  bool warned;       // the half-written-chip warning is shown
  bool endsWell;     // how an operation that was not stopped ends
  int status;
};

class AwaitSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(AwaitSignals, TheSignalDecidesTheStopAndTheStatus) {
  const SignalCase& c = GetParam();
  ChipGate gate;
  if (c.gate == Gate::Untouched) gate.reset();
  Waiter waiter(c.isWrite, 10s, c.gate == Gate::None ? nullptr : &gate);
  for (int i = 0; i < c.signals; ++i) {
    LetItSleep();
    NoteInterrupt(c.signal);
  }
  // A stop that is due may come late on a busy machine; one that is not due never comes.
  const auto giveUp = Clock::now() + 5s;
  while (c.stopAsked && !waiter.stopAsked.load() && Clock::now() < giveUp) LetItSleep();
  LetItSleep();
  EXPECT_EQ(waiter.stopAsked.load(), c.stopAsked);
  if (!c.stopAsked) waiter.view.ended(c.endsWell);  // the write goes on to its end
  EXPECT_EQ(waiter.finish(), c.status);
  EXPECT_EQ(waiter.err.str().find("Press Ctrl-C again") != std::string::npos, c.warned) << waiter.err.str();
  // Called off before the chip was touched: said so, and the worker can no longer touch it.
  const bool calledOff = c.gate == Gate::Untouched;
  EXPECT_EQ(waiter.err.str().find("the write is called off and the chip keeps what it holds") != std::string::npos,
            calledOff)
      << waiter.err.str();
  if (c.gate != Gate::None) {
    EXPECT_EQ(gate.touch(), !calledOff);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AwaitSignals,
    ::testing::Values(SignalCase{"CtrlCStopsARead", false, Gate::None, SIGINT, 1, true, false, false, 130},
                      SignalCase{"SigtermStopsARead", false, Gate::None, SIGTERM, 1, true, false, false, 143},
                      SignalCase{"OneCtrlCOnlyWarnsAWrite", true, Gate::None, SIGINT, 1, false, true, true, kExitOk},
                      SignalCase{"OneCtrlCOnlyWarnsATouchedWrite", true, Gate::Touched, SIGINT, 1, false, true, true,
                                 kExitOk},
                      SignalCase{"AWarnedWriteThatFailsEndsAsAFailure", true, Gate::Touched, SIGTERM, 1, false, true,
                                 false, kExitFailed},
                      SignalCase{"ASecondCtrlCStopsAWrite", true, Gate::Touched, SIGINT, 2, true, true, false, 130},
                      SignalCase{"ASecondSigtermStopsAWrite", true, Gate::None, SIGTERM, 2, true, true, false, 143},
                      SignalCase{"CtrlCBeforeTheChipIsTouchedCallsTheWriteOff", true, Gate::Untouched, SIGINT, 1, true,
                                 false, false, 130},
                      SignalCase{"SigtermBeforeTheChipIsTouchedCallsTheWriteOff", true, Gate::Untouched, SIGTERM, 1,
                                 true, false, false, 143}),
    [](const auto& test) { return std::string(test.param.what); });

TEST(AwaitOperation, ABoundThatPassesIsAFailureNamedOnStandardError) {
  const auto started = Clock::now();
  Waiter waiter(false, 1000ms);
  EXPECT_EQ(waiter.finish(), kExitFailed);
  const auto took = Clock::now() - started;
  EXPECT_GE(took, 1000ms);
  EXPECT_LT(took, 3s);
  EXPECT_EQ(waiter.err.str(), "test: the operation did not end within 1 s\n");
  EXPECT_FALSE(waiter.stopAsked);
}

}  // namespace
}  // namespace jig
