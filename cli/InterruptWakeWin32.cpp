#include "cli/InterruptWake.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace jig {

namespace {
// An auto-reset event: the console handler (a thread of its own) sets it, the wait takes it.
std::atomic<HANDLE> g_event{nullptr};

// Without an event the wait still ends this often to look again.
constexpr std::chrono::milliseconds kWithoutEvent{50};
}  // namespace

void OpenInterruptWake() {
  static std::once_flag opened;
  std::call_once(opened, [] { g_event = CreateEventW(nullptr, FALSE, FALSE, nullptr); });
}

void RingInterruptWake() {
  if (const HANDLE event = g_event.load()) SetEvent(event);
}

void WaitInterruptWake(std::chrono::milliseconds bound) {
  const HANDLE event = g_event.load();
  if (!event) {
    std::this_thread::sleep_for(std::min(bound, kWithoutEvent));
    return;
  }
  const auto ms = std::clamp<std::chrono::milliseconds::rep>(bound.count(), 0, INFINITE - 1);
  WaitForSingleObject(event, static_cast<DWORD>(ms));
}

}  // namespace jig
