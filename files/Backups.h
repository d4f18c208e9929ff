#pragma once
// The copy of a chip taken before it is written: a technician loses a board's original
// firmware exactly when a write goes wrong, so by default every write is preceded by a read
// kept under $XDG_DATA_HOME/holbrenik-jig/backups/ (~/.local/share/... without it).
//
// The job journal beside the folder keeps the backups made there, with their UTC times and
// SHA-256. Rotation goes by that record alone, in the order the backups were recorded: a
// clock that ran ahead or a time-zone change cannot make a new backup look old, and a file
// the program did not make (a technician's own dump, a look-alike name) is never removed.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/DumpChecks.h"

namespace jig {

// At most this many backups are kept; the oldest go first.
inline constexpr std::size_t kMaxBackups = 200;

// Empty when the system names no absolute folder for the user's data.
std::filesystem::path BackupFolder();

struct SavedBackup {
  bool ok = false;
  bool noFolder = false;  // there was nowhere to put it
  std::string path;
  std::string sha256;
  std::string problem;    // the system's reason when it was not saved, or not put on record
  std::vector<std::string> removed;  // older backups removed to keep at most `keep`
  std::vector<std::string> journalLines;  // what became of a damaged journal on the way
};

// Saves the image as <task>-<YYYYmmdd-HHMMSS>-<first 8 hex digits of its SHA-256>.bin
// (local time; "-2.bin" and on when that name is taken) through a dump sink (never half a
// file under the name, never over another file), puts it on the journal beside the folder,
// then removes the oldest recorded backups beyond `keep`: never the one just made, never a
// file that is not on the record or no longer holds what was recorded.
// The language is that of the lines about a damaged journal met on the way.
SavedBackup SaveBackup(std::string_view task, std::span<const std::uint8_t> image,
                       const std::filesystem::path& folder = BackupFolder(), std::size_t keep = kMaxBackups,
                       LogLanguage language = LogLanguage::English);

// The log lines of a backup: where it went and its digest, or why the write does not start;
// and one line per backup removed.
std::vector<std::string> BackupLines(const SavedBackup& backup, LogLanguage language);
// The line when the backup read itself failed.
std::string BackupReadFailedLine(LogLanguage language, bool beforeErase = false);
// The line that opens the backup read.
std::string BackupStartLine(LogLanguage language, bool beforeErase = false);

}  // namespace jig
