#pragma once
// The History window's texts (the main window's language, English).
namespace jig::history::text {

inline constexpr const char* kCaption = "History";
inline constexpr const char* kAllTasks = "all";
inline constexpr const char* kLabelFilterHint = "Label contains";
inline constexpr const char* kFailedOnly = "failed only";
inline constexpr const char* kRefresh = "Refresh";
inline constexpr const char* kOpenFolder = "Open folder";
inline constexpr const char* kRestoreBackup = "Restore backup…";
inline constexpr const char* kCompareWithBackup = "Compare with its backup…";
inline constexpr const char* kCannotCompare = "The two files cannot be compared: ";
inline constexpr const char* kNoJobsYet = "No jobs on record yet.";
inline constexpr const char* kCannotRead = "The job journal cannot be read: ";
inline constexpr const char* kNoFolder = "There is no folder for the job journal.";
inline constexpr const char* kBackupGone = "The backup is no longer there: ";
inline constexpr const char* kRestoreChosen =
    "The backup is chosen for the next write; press the window's write button to write it.";

}  // namespace jig::history::text
