#pragma once
// The main window's own texts beside its documented captions.
namespace jig::form1::text {

// Start with "Please select " chosen does nothing; the main window's status line says why.
inline constexpr const char* kPickTaskFirst = "Pick a task in the list first, then press Start.";

// A backup to restore from the History window, when its task window cannot be opened now.
inline constexpr const char* kRestoreNoWindow = "No task window writes the jobs of this task: ";
inline constexpr const char* kRestoreTaskOpen =
    "A task window is open: leave it through its exit button first, then restore from here.";
inline constexpr const char* kRestoreSwitching = "Start is still switching the programmer; try again when it is done.";

}  // namespace jig::form1::text
