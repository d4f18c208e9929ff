#include "files/BackupsRecovery.h"

#include <chrono>
#include <regex>

#include "files/Sha256.h"
#include "files/SourceFile.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

// The task, then the digest's digits; a suffix that keeps two names apart may follow them.
const std::regex& BackupName() {
  static const std::regex name(R"(^(.+)-[0-9]{8}-[0-9]{6}-([0-9a-f]{8})[^/\\]*\.bin$)");
  return name;
}

std::time_t LastChange(const fs::path& path, std::error_code& ec) {
  const auto changed = fs::last_write_time(path, ec);
  return std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(std::chrono::file_clock::to_sys(changed)));
}

}  // namespace

std::size_t TakeBackupsOnRecordAgain(Journal& journal, const fs::path& folder) {
  std::size_t taken = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path path = it->path();
    const std::string name = path.filename().string();
    std::smatch found;
    std::error_code fileError;
    if (!std::regex_match(name, found, BackupName()) || !fs::is_regular_file(fs::symlink_status(path, fileError)))
      continue;
    const SourceFile read = ReadSourceFile(path.string(), kMaxBackupBytes);
    if (!read.ok()) continue;
    const std::string sha = Sha256Hex(read.bytes);
    const std::time_t made = LastChange(path, fileError);
    if (!sha.starts_with(found[2].str()) || fileError) continue;
    if (journal.rememberBackup({path.string(), sha, made, found[1].str()})) ++taken;
  }
  return taken;
}

}  // namespace jig
