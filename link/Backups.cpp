#include "link/Backups.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <regex>

#include "link/DumpSink.h"
#include "link/PlatformFiles.h"
#include "link/Sha256.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

std::string Stamp() {
  const std::tm local = platform::LocalTime(std::time(nullptr));
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// Backups by age, oldest first: the time in the name, then the name.
std::vector<fs::path> BackupsByAge(const fs::path& folder) {
  static const std::regex kName(R"(^[a-z0-9]+-(\d{8}-\d{6})-[0-9a-f]{8}(-\d+)?\.bin$)");
  std::vector<std::pair<std::string, fs::path>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    std::smatch match;
    if (entry.is_regular_file(ec) && std::regex_match(name, match, kName)) found.emplace_back(match[1].str() + name, entry.path());
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> paths;
  for (auto& [key, path] : found) paths.push_back(std::move(path));
  return paths;
}

}  // namespace

fs::path BackupFolder() {
  return platform::UserDataFolder() / "holbrenik-jig" / "backups";
}

SavedBackup SaveBackup(std::string_view task, std::span<const std::uint8_t> image, const fs::path& folder) {
  SavedBackup backup;
  backup.sha256 = Sha256Hex(image);
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::string base = std::string(task) + "-" + Stamp() + "-" + backup.sha256.substr(0, 8);
  // Two backups of the same contents within a second keep both names apart.
  std::string name = base + ".bin";
  for (int n = 2; PathTaken((folder / name).string()) && n < 100; ++n) name = base + "-" + std::to_string(n) + ".bin";
  backup.path = (folder / name).string();
  auto sink = DumpSink::Create(backup.path);
  if (!sink || !sink->write(image) || !sink->commit()) return backup;
  backup.ok = true;
  const auto all = BackupsByAge(folder);
  for (std::size_t i = 0; i + kMaxBackups < all.size(); ++i) {
    if (fs::remove(all[i], ec)) backup.removed.push_back(all[i].string());
  }
  return backup;
}

std::vector<std::string> BackupLines(const SavedBackup& backup, LogLanguage language) {
  const bool ru = language == LogLanguage::Russian;
  std::vector<std::string> lines;
  if (!backup.ok) {
    lines.push_back(ru ? "Копия микросхемы не сохранена в " + backup.path + "; запись не начата."
                       : "The backup could not be saved to " + backup.path + "; the write does not start.");
    return lines;
  }
  lines.push_back((ru ? "Копия микросхемы: " : "Backup of the chip: ") + backup.path + " SHA-256 " + backup.sha256);
  for (const auto& removed : backup.removed)
    lines.push_back(ru ? "Удалена старейшая копия " + removed + " (хранятся не более " + std::to_string(kMaxBackups) + ")."
                       : "The oldest backup " + removed + " was removed (at most " + std::to_string(kMaxBackups) +
                             " are kept).");
  return lines;
}

std::string BackupReadFailedLine(LogLanguage language) {
  return language == LogLanguage::Russian ? "Копия микросхемы не прочитана; запись не начата."
                                          : "The backup read failed; the write does not start.";
}

std::string BackupStartLine(LogLanguage language) {
  return language == LogLanguage::Russian ? "Копия микросхемы перед записью ..." : "Backup of the chip before the write ...";
}

}  // namespace jig
