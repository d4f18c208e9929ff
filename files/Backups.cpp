#include "files/Backups.h"

#include <ctime>

#include "files/BackupsRecovery.h"
#include "files/DumpSink.h"
#include "files/PlatformFiles.h"
#include "files/Sha256.h"
#include "files/SourceFile.h"
#include "journal/JobJournal.h"
#include "view/SystemError.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

// Names for the backups of one task, second and contents: the first, then "-2" to "-99".
constexpr int kBackupNamesPerSecond = 99;

std::string TimeText(const std::tm& time, const char* format) {
  char text[32];
  std::strftime(text, sizeof text, format, &time);
  return text;
}

// The file under a recorded name is still the backup that was recorded: a regular file
// (not a link) with the recorded digest.
bool StillTheRecordedBackup(const KeptBackup& kept) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(kept.path, ec))) return false;
  const SourceFile read = ReadSourceFile(kept.path, kMaxBackupBytes);
  return read.ok() && Sha256Hex(read.bytes) == kept.sha256;
}

// Removes the oldest recorded backups beyond `keep`, in the order the journal recorded them
// (never by a time a clock wrote): never the one just made, never one whose file is no
// longer what was recorded. Backups whose files are gone are forgotten.
void Rotate(Journal& journal, const fs::path& folder, SavedBackup& backup, std::size_t keep) {
  auto recorded = journal.backupsOldestFirst(folder);
  if (!recorded) return;
  std::vector<KeptBackup> present;
  std::error_code ec;
  for (KeptBackup& kept : *recorded) {
    if (fs::exists(fs::symlink_status(kept.path, ec))) present.push_back(std::move(kept));
    else journal.forgetBackup(kept.path);
  }
  std::size_t excess = present.size() > keep ? present.size() - keep : 0;
  for (const KeptBackup& kept : present) {
    if (excess == 0) break;
    if (kept.path == backup.path || !StillTheRecordedBackup(kept) || !fs::remove(kept.path, ec)) continue;
    journal.forgetBackup(kept.path);
    backup.removed.push_back(kept.path);
    --excess;
  }
}

// Where backups are made, a journal begun anew takes them on record again.
const bool kRecoveryOn = (SetBackupsRecovery(&TakeBackupsOnRecordAgain), true);

}  // namespace

fs::path BackupFolder() {
  const fs::path journal = JournalFile();
  return journal.empty() ? fs::path() : BackupFolderFor(journal);
}

SavedBackup SaveBackup(std::string_view task, std::span<const std::uint8_t> image, const fs::path& folder,
                       std::size_t keep, LogLanguage language) {
  SavedBackup backup;
  backup.sha256 = Sha256Hex(image);
  if (folder.empty()) {
    backup.noFolder = true;
    return backup;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::time_t now = std::time(nullptr);
  const std::string base = (folder / (std::string(task) + "-" + TimeText(platform::LocalTime(now), "%Y%m%d-%H%M%S") +
                                      "-" + backup.sha256.substr(0, 8)))
                               .string();
  // Backups of the same contents within a second, by this program or another at the same
  // moment, take the next free name: a backup never replaces a file.
  const auto nameFor = [&base](int n) { return base + (n == 0 ? std::string() : "-" + std::to_string(n + 1)) + ".bin"; };
  backup.path = nameFor(0);
  int error = 0;
  auto sink = DumpSink::Create(backup.path, &error);
  if (!sink && ec) error = ec.value();
  if (!sink || !sink->write(image) || !sink->commitUnderFreeName(nameFor, kBackupNamesPerSecond)) {
    backup.problem = SystemErrorText(sink ? sink->error() : error);
    return backup;
  }
  backup.path = sink->path();
  backup.ok = true;
  // On the journal beside the folder, then rotated by it alone: a time-zone change cannot
  // make a new backup look old, and a file it does not know is never removed.
  OpenedJournal opened = OpenJournal(JournalFileFor(folder), language);
  backup.journalLines = std::move(opened.lines);
  Journal* journal = opened.journal.get();
  if (!opened.ok() || !journal->rememberBackup({backup.path, backup.sha256, now, std::string(task)})) {
    backup.problem = journal && journal->error() ? journal->error().text : "no journal";
    return backup;
  }
  // One rotation at a time, across programs: each sees what the other removed.
  journal->changeBackups([&] { Rotate(*journal, folder, backup, keep); });
  return backup;
}

std::vector<std::string> BackupLines(const SavedBackup& backup, LogLanguage language) {
  const bool ru = language == LogLanguage::Russian;
  std::vector<std::string> lines;
  if (backup.noFolder) {
    lines.push_back(ru ? "Нет папки для копий микросхем (ни XDG_DATA_HOME, ни HOME, ни база пользователей не дают "
                         "абсолютной папки); запись не начата. Без копии: снимите \"Резервная копия перед записью\" "
                         "или дайте --no-backup."
                       : "There is no folder for backups (neither XDG_DATA_HOME, HOME nor the user database gives an "
                         "absolute folder); the write does not start. To write without a backup, clear \"Backup "
                         "before write\" or give --no-backup.");
    return lines;
  }
  if (!backup.ok) {
    lines.push_back(ru ? "Копия микросхемы не сохранена в " + backup.path + " (" + backup.problem + "); запись не начата."
                       : "The backup could not be saved to " + backup.path + " (" + backup.problem +
                             "); the write does not start.");
    return lines;
  }
  lines.push_back((ru ? "Копия микросхемы: " : "Backup of the chip: ") + backup.path + " SHA-256 " + backup.sha256);
  lines.insert(lines.end(), backup.journalLines.begin(), backup.journalLines.end());
  if (!backup.problem.empty())
    lines.push_back(ru ? "Копия не внесена в журнал работ (" + backup.problem + "); она не будет удалена при ротации."
                       : "The backup is not on the job journal's record of backups (" + backup.problem +
                             "); it will never be removed to make room.");
  for (const auto& removed : backup.removed)
    lines.push_back(ru ? "Удалена старейшая копия " + removed + " (хранятся не более " + std::to_string(kMaxBackups) + ")."
                       : "The oldest backup " + removed + " was removed (at most " + std::to_string(kMaxBackups) +
                             " are kept).");
  return lines;
}

std::string BackupReadFailedLine(LogLanguage language, bool beforeErase) {
  if (language == LogLanguage::Russian)
    return beforeErase ? "Копия микросхемы не прочитана; стирание не начато."
                       : "Копия микросхемы не прочитана; запись не начата.";
  return beforeErase ? "The backup read failed; the erase does not start."
                     : "The backup read failed; the write does not start.";
}

std::string BackupStartLine(LogLanguage language, bool beforeErase) {
  if (language == LogLanguage::Russian)
    return beforeErase ? "Копия микросхемы перед стиранием ..." : "Копия микросхемы перед записью ...";
  return beforeErase ? "Backup of the chip before the erase ..." : "Backup of the chip before the write ...";
}

}  // namespace jig
