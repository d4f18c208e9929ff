#include "files/Backups.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <map>
#include <regex>
#include <sstream>

#include "files/DumpSink.h"
#include "files/PlatformFiles.h"
#include "files/Sha256.h"
#include "files/SourceFile.h"
#include "view/SystemError.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

// Far above what kMaxBackups lines and a compaction's worth of removed ones take.
constexpr std::size_t kMaxRecordBytes = 4 * 1024 * 1024;
// Backups are chip images; anything larger under a recorded name is not one of ours.
constexpr std::size_t kMaxBackupBytes = 16 * 1024 * 1024;
// The record is written anew, without the lines of removed backups, once it holds this
// many times the backups kept.
constexpr std::size_t kCompactFactor = 3;

std::string TimeText(const std::tm& time, const char* format) {
  char text[32];
  std::strftime(text, sizeof text, format, &time);
  return text;
}

struct RecordLine {
  std::uint64_t number = 0;  // the order the backups were made in
  std::string utc;
  std::string name;
  std::string sha256;
};

// Exactly the names SaveBackup gives, with the digest they were given for.
bool IsBackupName(const RecordLine& line) {
  static const std::regex kName(R"(^[a-z0-9]+-\d{8}-\d{6}-([0-9a-f]{8})(-\d+)?\.bin$)");
  std::smatch match;
  return std::regex_match(line.name, match, kName) && line.sha256.size() == 64 &&
         line.sha256.compare(0, 8, match[1].str()) == 0;
}

std::optional<RecordLine> ParseLine(const std::string& text) {
  std::istringstream fields(text);
  RecordLine line;
  std::string number;
  if (!std::getline(fields, number, '\t') || !std::getline(fields, line.utc, '\t') ||
      !std::getline(fields, line.name, '\t') || !std::getline(fields, line.sha256))
    return std::nullopt;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), line.number);
  if (error != std::errc() || end != number.data() + number.size() || !IsBackupName(line)) return std::nullopt;
  return line;
}

std::string FormatLine(const RecordLine& line) {
  return std::to_string(line.number) + "\t" + line.utc + "\t" + line.name + "\t" + line.sha256 + "\n";
}

// The record's lines in the order they were made; nullopt (with errno's reason) when it is
// there but cannot be read, so that nothing is removed on a guess.
std::optional<std::vector<RecordLine>> ReadRecord(const std::string& path, std::string& problem) {
  const SourceFile file = ReadSourceFile(path, kMaxRecordBytes);
  std::vector<RecordLine> lines;
  if (file.problem == SourceProblem::Empty ||
      (file.problem == SourceProblem::CannotOpen && file.error == ENOENT))
    return lines;
  if (!file.ok()) {
    problem = path + ": " + (file.error ? SystemErrorText(file.error) : std::string("not a readable record"));
    return std::nullopt;
  }
  std::istringstream text(std::string(file.bytes.begin(), file.bytes.end()));
  std::string line;
  while (std::getline(text, line))
    if (auto parsed = ParseLine(line)) lines.push_back(std::move(*parsed));
  std::stable_sort(lines.begin(), lines.end(), [](const RecordLine& a, const RecordLine& b) { return a.number < b.number; });
  return lines;
}

bool AppendRecord(const std::string& path, const RecordLine& line, std::string& problem) {
  const int fd = platform::OpenAppend(path);
  if (fd < 0) {
    problem = path + ": " + SystemErrorText(errno);
    return false;
  }
  const std::string text = FormatLine(line);
  // One write: appends of two programs at once stay whole lines.
  const long written = platform::WriteSome(fd, text.data(), text.size());
  const bool whole = written == static_cast<long>(text.size());
  const bool ok = whole && platform::SyncFile(fd);
  if (!ok) problem = path + ": " + SystemErrorText(written >= 0 && !whole ? ENOSPC : errno);
  platform::CloseFile(fd);
  return ok;
}

// The file under a recorded name is still the backup that was recorded: a regular file
// (not a link) with the recorded digest.
bool StillTheRecordedBackup(const fs::path& file, const RecordLine& line) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(file, ec))) return false;
  const SourceFile read = ReadSourceFile(file.string(), kMaxBackupBytes);
  return read.ok() && Sha256Hex(read.bytes) == line.sha256;
}

// The lines whose files are still there, oldest first; a name recorded twice counts once,
// as its newest line.
std::vector<RecordLine> Present(const fs::path& folder, const std::vector<RecordLine>& record) {
  std::map<std::string, std::size_t> newest;
  for (std::size_t i = 0; i < record.size(); ++i) newest[record[i].name] = i;
  std::vector<RecordLine> present;
  std::error_code ec;
  for (std::size_t i = 0; i < record.size(); ++i)
    if (newest[record[i].name] == i && fs::exists(fs::symlink_status(folder / record[i].name, ec)))
      present.push_back(record[i]);
  return present;
}

void Compact(const std::string& path, const std::vector<RecordLine>& present) {
  auto sink = DumpSink::Create(path);
  if (!sink) return;
  std::string text;
  for (const RecordLine& line : present) text += FormatLine(line);
  // A line another program appends between the read and the rename is lost from the
  // record; its backup is then never removed, which errs on the safe side.
  if (sink->write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))) sink->commit();
}

// The record as read before the new backup's line was appended, that line last.
void Rotate(const fs::path& folder, const std::string& recordPath, const std::vector<RecordLine>& record,
            SavedBackup& backup, std::size_t keep) {
  const std::string own = fs::path(backup.path).filename().string();
  std::vector<RecordLine> present = Present(folder, record);
  std::size_t excess = present.size() > keep ? present.size() - keep : 0;
  std::vector<RecordLine> kept;
  for (const RecordLine& line : present) {
    const fs::path file = folder / line.name;
    std::error_code ec;
    if (excess > 0 && line.name != own && StillTheRecordedBackup(file, line) && fs::remove(file, ec)) {
      backup.removed.push_back(file.string());
      --excess;
      continue;
    }
    kept.push_back(line);
  }
  if (record.size() > kCompactFactor * std::max<std::size_t>(keep, 1)) Compact(recordPath, kept);
}

}  // namespace

fs::path BackupFolder() {
  const fs::path data = platform::UserDataFolder();
  return data.empty() ? fs::path() : data / "holbrenik-jig" / "backups";
}

SavedBackup SaveBackup(std::string_view task, std::span<const std::uint8_t> image, const fs::path& folder,
                       std::size_t keep) {
  SavedBackup backup;
  backup.sha256 = Sha256Hex(image);
  if (folder.empty()) {
    backup.noFolder = true;
    return backup;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::time_t now = std::time(nullptr);
  const std::string base = std::string(task) + "-" + TimeText(platform::LocalTime(now), "%Y%m%d-%H%M%S") + "-" +
                           backup.sha256.substr(0, 8);
  // Two backups of the same contents within a second keep both names apart.
  std::string name = base + ".bin";
  for (int n = 2; PathTaken((folder / name).string()) && n < 100; ++n) name = base + "-" + std::to_string(n) + ".bin";
  backup.path = (folder / name).string();
  int error = 0;
  auto sink = DumpSink::Create(backup.path, &error);
  if (!sink && ec) error = ec.value();
  if (!sink || !sink->write(image) || !sink->commit()) {
    backup.problem = SystemErrorText(sink ? sink->error() : error);
    return backup;
  }
  backup.ok = true;
  // Numbered after every line on record, whatever the clock says.
  const std::string recordPath = (folder / kBackupRecordName).string();
  auto record = ReadRecord(recordPath, backup.problem);
  if (!record) return backup;
  RecordLine line{record->empty() ? 1 : record->back().number + 1, TimeText(platform::UtcTime(now), "%Y-%m-%dT%H:%M:%SZ"),
                  name, backup.sha256};
  if (!AppendRecord(recordPath, line, backup.problem)) return backup;
  record->push_back(std::move(line));
  Rotate(folder, recordPath, *record, backup, keep);
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
  if (!backup.problem.empty())
    lines.push_back(ru ? "Копия не внесена в список копий (" + backup.problem + "); она не будет удалена при ротации."
                       : "The backup is not on the record of backups (" + backup.problem +
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
