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

// What the wait tells the technician, in the language of the task's log (the MEC16xx and ITE
// command lines speak Russian).
struct InterruptTexts {
  std::string_view writeGoesOn;
  std::string_view calledOff;
  std::string_view notEnded;  // after "<what>: ", before the bound in seconds
  std::string_view seconds;
};

constexpr InterruptTexts kEnglish{
    "Stopping a write midway leaves the chip half written; the write goes on. Press Ctrl-C again to stop it anyway.",
    "Stopping before the chip is touched: the write is called off and the chip keeps what it holds.",
    "the operation did not end within ", " s"};
constexpr InterruptTexts kRussian{
    "Остановка записи на середине оставит микросхему записанной наполовину; запись продолжается. Нажмите Ctrl-C "
    "ещё раз, чтобы всё же остановить её.",
    "Остановка до начала работы с микросхемой: запись отменена, в микросхеме остаётся прежнее содержимое.",
    "операция не завершилась за ", " с"};

const InterruptTexts& TextsFor(LogLanguage language) {
  return language == LogLanguage::Russian ? kRussian : kEnglish;
}

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
  const InterruptTexts& texts = TextsFor(stop.language);
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
        view.errorBox(std::string(texts.writeGoesOn));
      } else if (!stopAsked && stop.requestStop) {
        if (untouched) view.errorBox(std::string(texts.calledOff));
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
    view.errorBox(std::string(what) + ": " + std::string(texts.notEnded) + std::to_string(bound.count() / 1000) +
                  std::string(texts.seconds));
    return kExitFailed;
  }
  // A signal that only got the warning did not stop anything: the write's own outcome counts.
  if (stopAsked) return 128 + InterruptSignal();
  return *result ? kExitOk : kExitFailed;
}

}  // namespace jig
