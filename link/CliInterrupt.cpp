#include "link/CliInterrupt.h"

#include <atomic>

#include "link/ConsoleView.h"

namespace jig {

namespace {

std::atomic<int> g_count{0};
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free atomics");

extern "C" void OnInterrupt(int signal) {
  g_signal.store(signal);
  g_count.fetch_add(1);
}

// How often the waiting command looks at the signal count: short enough that a Ctrl-C is
// answered at once, long enough that the wait costs nothing.
constexpr std::chrono::milliseconds kInterruptLook{50};

constexpr std::string_view kWriteWarning =
    "Stopping a write midway leaves the chip half written; the write goes on. Press Ctrl-C again to stop it anyway.";

}  // namespace

int InterruptCount() { return g_count.load(); }
int InterruptSignal() { return g_signal.load(); }

void NoteInterrupt(int signal) { OnInterrupt(signal); }

void ResetInterrupts() {
  g_count = 0;
  g_signal = 0;
}

int AwaitOperation(ConsoleView& view, std::chrono::milliseconds bound, const CliStop& stop, std::string_view what) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int seen = 0;
  bool stopAsked = false;
  std::optional<bool> result;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    result = view.waitEnded(std::min(left, kInterruptLook));
    if (result) break;
    const int count = InterruptCount();
    if (count == seen) continue;
    seen = count;
    if (stop.isWrite && count == 1) {
      view.errorBox(std::string(kWriteWarning));
    } else if (!stopAsked && stop.requestStop) {
      stopAsked = true;
      stop.requestStop();
    }
  }
  if (!result) {
    view.errorBox(std::string(what) + ": the operation did not end within " + std::to_string(bound.count() / 1000) + " s");
    return kExitFailed;
  }
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  return *result ? kExitOk : kExitFailed;
}

}  // namespace jig
