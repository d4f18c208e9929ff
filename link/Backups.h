#pragma once
// The copy of a chip taken before it is written: a technician loses a board's original
// firmware exactly when a write goes wrong, so by default every write is preceded by a read
// kept under $XDG_DATA_HOME/holbrenik-jig/backups/ (~/.local/share/... without it).
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/DumpChecks.h"

namespace jig {

// At most this many backups are kept; the oldest go first.
inline constexpr std::size_t kMaxBackups = 200;

std::filesystem::path BackupFolder();

struct SavedBackup {
  bool ok = false;
  std::string path;
  std::string sha256;
  std::vector<std::string> removed;  // older backups removed to keep kMaxBackups
};

// Saves the image as <task>-<YYYYmmdd-HHMMSS>-<first 8 hex digits of its SHA-256>.bin
// through a dump sink (never half a file under the name), then keeps the newest kMaxBackups.
SavedBackup SaveBackup(std::string_view task, std::span<const std::uint8_t> image,
                       const std::filesystem::path& folder = BackupFolder());

// The log lines of a backup: where it went and its digest, or why the write does not start;
// and one line per backup removed.
std::vector<std::string> BackupLines(const SavedBackup& backup, LogLanguage language);
// The line when the backup read itself failed.
std::string BackupReadFailedLine(LogLanguage language);
// The line that opens the backup read.
std::string BackupStartLine(LogLanguage language);

}  // namespace jig
