#include "Keyboard/KeyboardOperations.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "Keyboard/KeyboardControls.h"
#include "Keyboard/KeyboardFamily.h"
#include "journal/JobJournal.h"
#include "link/OpenProgrammer.h"
#include "link/WaitDeadline.h"

namespace jig {

using namespace keyboard;

namespace {
constexpr std::uint8_t kStartScan = 'u';
constexpr std::uint8_t kNextReport = 'U';
constexpr std::uint8_t kBeep = 'I';
constexpr std::uint8_t kEndScan = 'Q';
// The worker sleeps in slices this long while it waits for a report, so that closing the
// window never waits for a whole report bound.
constexpr std::uint32_t kCancelSliceMs = 50;
constexpr const char* kTimer = keyboard::control::kTimer;
}  // namespace

KeyboardOperations::KeyboardOperations(D2xx& d2xx, TaskView& view, KeyboardBounds bounds)
    : link_(d2xx, limits::kKeyboardBufferBytes), view_(view), bounds_(bounds) {
  colours_.fill(colour::kAqua);
  report_.reserve(limits::kKeyboardBufferBytes);
}

KeyboardOperations::~KeyboardOperations() {
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

std::string_view KeyboardOperations::modeText() const {
  return Mode_keyboard.load() == KeyboardMode::Keyboard ? keyboard::text::kModeKeyboard : keyboard::text::kModeNone;
}

std::size_t KeyboardOperations::slot(LinePair pair) { return static_cast<std::size_t>(PairNumber(pair)); }

Rgb KeyboardOperations::colourOf(LinePair pair) const {
  if (!HasIndicator(pair)) return colour::kAqua;
  std::lock_guard lock(colourMutex_);
  return colours_[slot(pair)];
}

void KeyboardOperations::waitForScan() {
  if (worker_.joinable()) worker_.join();
}

void KeyboardOperations::startScan() {
  if (Mode_keyboard.load() != KeyboardMode::None) return;
  waitForScan();  // the last scan's worker has set the mode as its last act; let it go
  if (OpenProgrammer(link_, profiles::kKeyboard, view_) != OpenResult::Ready) {
    view_.ended(false);
    return;
  }
  Mode_keyboard.store(KeyboardMode::Keyboard);
  scan_ = NewJobReport("keyboard", "scan");
  report_.clear();
  Stop_keyboard.store(false);
  {
    std::lock_guard lock(tickMutex_);
    Tick_keyboard = false;
  }
  // "u" goes out before the worker starts, so that only one thread at a time uses the handle.
  link_.writeByte(kStartScan);
  view_.enable(keyboard::control::kStartScan, false);
  view_.setCaption(keyboard::control::kExit, keyboard::text::kStopCaption);
  view_.setTimer(kTimer, true);
  worker_ = std::jthread([this](std::stop_token stop) { ReadThread_keyboard(stop); });
}

void KeyboardOperations::endTest() {
  if (Mode_keyboard.load() == KeyboardMode::Keyboard) {
    Stop_keyboard.store(true);
    return;
  }
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
}

void KeyboardOperations::ClearClick() {
  std::lock_guard lock(colourMutex_);
  if (settlePaints) settlePaints();
  for (const LinePair& pair : AllPairs()) {
    colours_[slot(pair)] = colour::kAqua;
    view_.paint(IndicatorName(pair), colour::kAqua);
  }
}

void KeyboardOperations::Timer_keyboard_scanTimer() {
  {
    std::lock_guard lock(tickMutex_);
    Tick_keyboard = true;
  }
  tickChanged_.notify_all();
}

void KeyboardOperations::ReadThread_keyboard(std::stop_token stop) {
  for (;;) {
    const Gathered gathered = gatherReport(stop);
    switch (gathered) {
      case Gathered::TimedOut:
        return endScan(keyboard::text::kNoReport);
      case Gathered::Gone:
        return endScan(keyboard::text::kProgrammerGone);
      case Gathered::Cancelled:
        return endScan("");
      case Gathered::Report:
        handleReport();
        break;
      case Gathered::Dropped:
        break;
    }
    if (Stop_keyboard.load()) return endScan(nullptr);
    switch (waitForTick(stop)) {
      case Ticked::TimedOut:
        return endScan(keyboard::text::kNoTick);
      case Ticked::Cancelled:
        return endScan("");
      case Ticked::Yes:
        break;
    }
    report_.clear();
    link_.writeByte(kNextReport);
  }
}

KeyboardOperations::Gathered KeyboardOperations::gatherReport(const std::stop_token& stop) {
  const WaitDeadline deadline(*link_.d2xx, bounds_.reportMs);
  bool dropping = false;
  for (;;) {
    if (stop.stop_requested()) return Gathered::Cancelled;
    const DWORD left = deadline.msLeft();
    if (left == 0) return Gathered::TimedOut;
    const DWORD slice = std::min<DWORD>(left, kCancelSliceMs);
    const FT_STATUS status = link_.d2xx->WaitForRx(link_.handle, 1, slice, &link_.rxQueue);
    if (status == FT_WAIT_TIMEOUT) continue;
    if (status != FT_OK) return Gathered::Gone;
    // One read takes at most what the receive buffer holds; the rest waits for the next.
    const DWORD take = std::min<DWORD>(link_.rxQueue, limits::kKeyboardBufferBytes);
    if (link_.read(take) != FT_OK) return Gathered::Gone;
    const DWORD got = link_.transferred;
    if (got == 0) continue;
    if (!dropping && report_.size() + got > limits::kKeyboardBufferBytes) {
      // Never written past the report buffer: the whole report is dropped, up to its "&".
      dropping = true;
      report_.clear();
      view_.log(keyboard::text::kReportTooLong);
    }
    if (!dropping) report_.insert(report_.end(), link_.buffer.begin(), link_.buffer.begin() + got);
    if (link_.buffer[got - 1] == kReportEnd) return dropping ? Gathered::Dropped : Gathered::Report;
  }
}

void KeyboardOperations::handleReport() {
  if (report_.size() <= 1) return;  // "&" alone: no pair is closed
  {
    std::lock_guard lock(colourMutex_);
    for (const LinePair& pair : DecodeReport(report_)) {
      Rgb& colour = colours_[slot(pair)];
      colour = colour == colour::kRed ? colour::kYellow : colour::kRed;
      view_.paint(IndicatorName(pair), colour);
    }
  }
  if (!noSound_.load()) link_.writeByte(kBeep);
}

KeyboardOperations::Ticked KeyboardOperations::waitForTick(const std::stop_token& stop) {
  std::unique_lock lock(tickMutex_);
  Tick_keyboard = false;
  const bool ticked = tickChanged_.wait_for(lock, stop, std::chrono::milliseconds(bounds_.tickMs),
                                            [this] { return Tick_keyboard; });
  if (ticked) return Ticked::Yes;
  return stop.stop_requested() ? Ticked::Cancelled : Ticked::TimedOut;
}

void KeyboardOperations::recordScan(const char* reason) {
  std::size_t lit = 0;
  {
    std::lock_guard lock(colourMutex_);
    for (const LinePair& pair : AllPairs()) lit += colours_[slot(pair)] != colour::kAqua;
  }
  scan_.success = reason == nullptr;
  scan_.ended = std::time(nullptr);
  scan_.port = link_.port;
  scan_.firmware = link_.firmware;
  // A scan has no verdict of its own; the journal keeps how it ended and what it lit.
  scan_.verdict = std::string(reason == nullptr ? "stopped by the technician" : *reason ? reason : "window closed") +
                  "; " + std::to_string(lit) + " pairs lit";
  for (std::string& line : RecordJob(RecordOf(scan_), LogLanguage::English)) view_.log(std::move(line));
}

void KeyboardOperations::endScan(const char* reason) {
  // reason: nullptr after a stop request, "" when the window goes away, else the line to log.
  if (reason && *reason) view_.log(reason);
  link_.writeByte(kEndScan);
  link_.close();
  recordScan(reason);
  view_.enable(keyboard::control::kStartScan, true);
  view_.setCaption(keyboard::control::kExit, keyboard::text::kExitCaption);
  view_.setTimer(kTimer, false);
  Stop_keyboard.store(false);
  // Last: a new scan may start (and open the programmer) only once this one let go of it.
  Mode_keyboard.store(KeyboardMode::None);
  view_.ended(reason == nullptr);
}

}  // namespace jig
