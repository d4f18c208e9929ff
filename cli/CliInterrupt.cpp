#include "cli/CliInterrupt.h"

#include <atomic>

#include "cli/ConsoleView.h"
#include "cli/InterruptWake.h"
#include "link/MsLeft.h"

namespace jig {

namespace {

std::atomic<int> g_count{0};
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free atomics");

extern "C" void OnInterrupt(int signal) {
  g_signal.store(signal);
  g_count.fetch_add(1);
  RingInterruptWake();
}

constexpr std::string_view kWriteWarning =
    "Stopping a write midway leaves the chip half written; the write goes on. Press Ctrl-C again to stop it anyway.";
constexpr std::string_view kCancelBeforeTouch =
    "Stopping before the chip is touched: the write is called off and the chip keeps what it holds.";

}  // namespace

int InterruptCount() { return g_count.load(); }
int InterruptSignal() { return g_signal.load(); }

void NoteInterrupt(int signal) { OnInterrupt(signal); }

void ResetInterrupts() {
  g_count = 0;
  g_signal = 0;
}

int AwaitOperation(ConsoleView& view, std::chrono::milliseconds bound, const CliStop& stop, std::string_view what) {
  OpenInterruptWake();
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int seen = 0;
  bool stopAsked = false;
  std::optional<bool> result;
  for (;;) {
    result = view.result();
    if (result) break;
    if (const int count = InterruptCount(); count != seen) {
      seen = count;
      const bool untouched = stop.isWrite && stop.gate && stop.gate->cancel();
      if (stop.isWrite && !untouched && count == 1) {
        view.errorBox(std::string(kWriteWarning));
      } else if (!stopAsked && stop.requestStop) {
        if (untouched) view.errorBox(std::string(kCancelBeforeTouch));
        stopAsked = true;
        stop.requestStop();
      }
      continue;
    }
    const std::uint32_t left = MsLeft(deadline);
    if (left == 0) break;
    // The operation's end and every signal ring the wake-up.
    WaitInterruptWake(std::chrono::milliseconds(left));
  }
  if (!result) {
    view.errorBox(std::string(what) + ": the operation did not end within " + std::to_string(bound.count() / 1000) + " s");
    return kExitFailed;
  }
  // A signal that only got the warning did not stop anything: the write's own outcome counts.
  if (stopAsked) return 128 + InterruptSignal();
  return *result ? kExitOk : kExitFailed;
}

}  // namespace jig
