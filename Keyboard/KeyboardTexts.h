#pragma once
// Every text the keyboard test's operations show, in one place (the window's documented
// captions stay with the window).
namespace jig::keyboard::text {

// The operation texts (Mode_keyboard).
inline constexpr const char* kModeNone = "NONE";
inline constexpr const char* kModeKeyboard = "Keyboard";
// The exit button while a scan runs, and back.
inline constexpr const char* kStopCaption = "STOP";
inline constexpr const char* kExitCaption = "EXIT";

// Why a scan ended.
inline constexpr const char* kNoReport = "The programmer does not send the keyboard report (timeout), the scan is stopped.";
inline constexpr const char* kNoTick = "Timer_keyboard_scan does not run, the scan is stopped.";
inline constexpr const char* kProgrammerGone = "The programmer is disconnected, the scan is stopped.";
inline constexpr const char* kReportTooLong = "Keyboard report longer than 1024 bytes, dropped.";

// The window's list of the pairs closed since the last Clear: its caption, and each pair as
// its row and column line ("1 - 2").
inline constexpr const char* kPairsCaption = "Pairs closed (row - column):";
inline constexpr const char* kPairJoin = " - ";

}  // namespace jig::keyboard::text
