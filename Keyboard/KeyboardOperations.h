#pragma once
// What the keyboard test window does: START_SCAN opens the programmer and starts the
// worker ReadThread_keyboard, which asks for one report per tick of Timer_keyboard_scan,
// decodes it and flips the indicators; EXIT_KB_TEST stops it; Clear paints all aqua.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string_view>
#include <thread>
#include <vector>

#include "Keyboard/KeyboardReport.h"
#include "Keyboard/KeyboardTexts.h"
#include "job/JobReport.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "Keyboard/KeyboardBounds.h"

namespace jig {

struct KeyboardBounds {
  std::uint32_t reportMs = limits::kKeyboardReportTimeoutMs;
  std::uint32_t tickMs = limits::kKeyboardTickTimeoutMs;
};

enum class KeyboardMode { None, Keyboard };

class KeyboardOperations {
 public:
  KeyboardOperations(D2xx& d2xx, TaskView& view, KeyboardBounds bounds = {});
  ~KeyboardOperations();
  KeyboardOperations(const KeyboardOperations&) = delete;
  KeyboardOperations& operator=(const KeyboardOperations&) = delete;

  // The window's START_SCANClick and EXIT_KB_TESTClick: the scan starts; the scan (or
  // the idle window) ends.
  void startScan();
  void endTest();
  void ClearClick();
  void Timer_keyboard_scanTimer();
  // Buzzer_box: when ticked the programmer is not asked to beep.
  void setNoSound(bool ticked) { noSound_.store(ticked); }

  // "NONE" or "Keyboard".
  std::string_view modeText() const;
  bool scanning() const { return Mode_keyboard.load() == KeyboardMode::Keyboard; }
  Rgb colourOf(keyboard::LinePair pair) const;
  // Waits for the worker's end (window close, command line).
  void waitForScan();

  // The window lets paints already handed to its thread take effect before Clear paints,
  // so that no older red or yellow lands on top of the aqua.
  std::function<void()> settlePaints;

  std::atomic<KeyboardMode> Mode_keyboard{KeyboardMode::None};
  std::atomic<bool> Stop_keyboard{false};

 private:
  void ReadThread_keyboard(std::stop_token stop);
  enum class Gathered { Report, Dropped, TimedOut, Gone, Cancelled };
  Gathered gatherReport(const std::stop_token& stop);
  enum class Ticked { Yes, TimedOut, Cancelled };
  Ticked waitForTick(const std::stop_token& stop);
  void handleReport();
  void endScan(const char* reason);
  // The scan put on the journal, with how it ended (reason as endScan takes it).
  void recordScan(const char* reason);
  static std::size_t slot(keyboard::LinePair pair);

  ProgrammerLink link_;
  TaskView& view_;
  KeyboardBounds bounds_;
  std::atomic<bool> noSound_{false};

  std::vector<std::uint8_t> receive_;  // what one read brings
  std::vector<std::uint8_t> report_;   // gathered until the "&"
  JobReport scan_;                      // the scan as the journal keeps it, from its start

  std::mutex tickMutex_;
  std::condition_variable_any tickChanged_;
  bool Tick_keyboard = false;

  mutable std::mutex colourMutex_;
  std::array<Rgb, keyboard::kMatrixLines * keyboard::kMatrixLines + 1> colours_;

  std::jthread worker_;
};

}  // namespace jig
