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

#include "link/CliInterrupt.h"
#include "link/ConsoleView.h"

namespace jig {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One AwaitOperation on a thread of its own over an operation that ends when asked to stop.
struct Waiter {
  explicit Waiter(bool isWrite, std::chrono::milliseconds bound = 10s) {
    ResetInterrupts();
    stop.isWrite = isWrite;
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

struct SignalCase {
  const char* what;
  bool isWrite;
  int signal;
  int signals;       // sent one after another
  bool stopAsked;    // the operation is asked to stop
  bool warned;       // the half-written-chip warning is shown
};

class AwaitSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(AwaitSignals, TheSignalDecidesTheStopAndTheStatus) {
  const SignalCase& c = GetParam();
  Waiter waiter(c.isWrite);
  for (int i = 0; i < c.signals; ++i) {
    LetItSleep();
    NoteInterrupt(c.signal);
  }
  LetItSleep();
  EXPECT_EQ(waiter.stopAsked.load(), c.stopAsked);
  if (!c.stopAsked) waiter.view.ended(true);  // the write goes on to its end
  EXPECT_EQ(waiter.finish(), 128 + c.signal);
  EXPECT_EQ(waiter.err.str().find("Press Ctrl-C again") != std::string::npos, c.warned) << waiter.err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AwaitSignals,
    ::testing::Values(SignalCase{"CtrlCStopsARead", false, SIGINT, 1, true, false},
                      SignalCase{"SigtermStopsARead", false, SIGTERM, 1, true, false},
                      SignalCase{"OneCtrlCOnlyWarnsAWrite", true, SIGINT, 1, false, true},
                      SignalCase{"ASecondCtrlCStopsAWrite", true, SIGINT, 2, true, true},
                      SignalCase{"ASecondSigtermStopsAWrite", true, SIGTERM, 2, true, true}),
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
