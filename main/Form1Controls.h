#pragma once
// The control names of the main window: the window names its widgets with them, the
// operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::form1::control {

inline constexpr char kSelector[] = "MAIN_SELECTOR";
inline constexpr char kStart[] = "MAIN_CONNECT";
inline constexpr char kExit[] = "Exit";
inline constexpr char kTimer5Sec[] = "Timer_5SEC";
inline constexpr char kTimerRun[] = "Timer_RUN";
// A line under the buttons for what Start has to tell without a dialog.
inline constexpr char kStatus[] = "Label_MAIN_STATUS";
// Opens the History window (the journal's jobs).
inline constexpr char kHistory[] = "HistoryButton";

// Every name above, for the tests.
inline constexpr std::string_view kAll[] = {
    kSelector, kStart, kExit, kTimer5Sec, kTimerRun, kStatus, kHistory};

}  // namespace jig::form1::control
