#pragma once
// The bench's memory: every finished job, one row each, in one SQLite file beside the
// backups, and the backups themselves, so that rotation removes only what it made. Two
// programs on two ports write to it at once (WAL, a bounded busy wait). No Qt.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JobRecord.h"
#include "journal/Sqlite.h"

namespace jig {

// How long a write waits for another program's transaction before it gives up.
inline constexpr int kJournalBusyMs = 1500;
inline constexpr std::string_view kJournalName = "journal.sqlite3";
// The folder of the backups the journal beside it keeps.
inline constexpr std::string_view kBackupFolderName = "backups";
// Backups are chip images; anything larger under a backup's name is not one of ours.
inline constexpr std::size_t kMaxBackupBytes = 16 * 1024 * 1024;

// A folder in one spelling however it was given ("$X/./xdg", "$X/xdg/" are "$X/xdg"): the
// backups on record are found by their folder.
std::filesystem::path NormalFolder(const std::filesystem::path& folder);

// $XDG_DATA_HOME/holbrenik-jig/journal.sqlite3 (%LOCALAPPDATA% on Windows); empty when the
// system names no folder for the user's data.
std::filesystem::path JournalFile();
// The journal that keeps the backups of a folder: the file beside it.
std::filesystem::path JournalFileFor(const std::filesystem::path& backupFolder);
// The other way: the folder of the backups a journal keeps.
std::filesystem::path BackupFolderFor(const std::filesystem::path& journalFile);

struct HistoryFilter {
  std::string task;   // exact task key; empty: all
  std::string label;  // part of the label; empty: all
  std::string since;  // UTC "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SSZ"; empty: all
  bool failedOnly = false;
  std::size_t limit = 0;  // 0: no limit
};

// A backup on record, as the journal keeps it.
struct KeptBackup {
  std::string path;
  std::string sha256;
  std::time_t made = 0;  // UTC seconds
  std::string task;
};

enum class JournalAccess {
  Create,    // written; the file and its folder made when missing
  Existing,  // written; the file must be there
  Read,      // read only: the file, its mode and its schema are left exactly as they are
};

class Journal {
 public:
  // Opens the file, turns on WAL and brings the schema up to date (to be read: an older
  // schema is brought up to date in a copy in memory). A journal that is not ok() says why
  // in error().
  Journal(const std::filesystem::path& file, JournalAccess access);
  explicit Journal(const std::filesystem::path& file, bool create = true)
      : Journal(file, create ? JournalAccess::Create : JournalAccess::Existing) {}

  bool ok() const { return db_.ok() && ready_; }
  const SqliteError& error() const { return db_.error(); }
  int schemaVersion();

  // The record's id, or nothing (error() says why).
  std::optional<std::int64_t> record(const JobRecord& record);
  // Several in one transaction: all or none.
  bool recordAll(const std::vector<JobRecord>& records);
  // Newest first.
  std::vector<JournalEntry> history(const HistoryFilter& filter);
  // The same one at a time, nothing kept (a bench's years of jobs printed as they come);
  // false when the reading failed (error() says why).
  bool eachInHistory(const HistoryFilter& filter, const std::function<void(const JournalEntry&)>& visit);
  std::optional<JournalEntry> job(std::int64_t id);
  // The tasks that have jobs on record, by name.
  std::vector<std::string> tasks();
  // The jobs that read or wrote exactly these bytes (by SHA-256), or took them as a backup.
  std::vector<JournalEntry> jobsWithSha256(const std::string& sha256);

  bool rememberBackup(const KeptBackup& backup);
  // The backups on record under the folder, oldest first in the order they were recorded
  // (never by the recorded time: a clock can be wrong).
  std::optional<std::vector<KeptBackup>> backupsOldestFirst(const std::filesystem::path& folder);
  bool forgetBackup(const std::string& path);
  // Runs `change` in one write transaction: another program's change waits for it (up to
  // kJournalBusyMs), so two rotations at once never both remove the same excess. False
  // when the transaction could not be begun or committed.
  bool changeBackups(const std::function<void()>& change);

 private:
  std::vector<JournalEntry> entries(SqliteStatement& select);
  void eachEntry(SqliteStatement& select, const std::function<void(const JournalEntry&)>& visit);
  SqliteDb db_;
  bool ready_ = false;
};

// The UTC form the journal stores times in: "2026-12-10T06:42:56Z".
std::string UtcText(std::time_t time);
// Back from it (a bare date is its midnight); nothing when it is not one.
std::optional<std::time_t> ParseUtcText(std::string_view text);

}  // namespace jig
