#include "files/DumpSink.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <utility>

#include "files/PlatformFiles.h"
#include "view/SystemError.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

std::atomic<std::size_t> g_writeFaultAfter{SIZE_MAX};
std::atomic<std::size_t> g_written{0};

std::string FolderOf(const std::string& target) {
  const fs::path path(target);
  return path.has_parent_path() ? path.parent_path().string() : std::string(".");
}

std::string RandomSuffix() {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  thread_local std::mt19937_64 generator{std::random_device{}() ^ static_cast<std::uint64_t>(platform::ProcessId())};
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += kDigits[generator() % 36];
  return suffix;
}

}  // namespace

void InjectDumpWriteFault(std::optional<std::size_t> afterBytes) {
  g_written = 0;
  g_writeFaultAfter = afterBytes.value_or(SIZE_MAX);
}

std::string CreateFailedLine(const std::string& path, int error, LogLanguage language) {
  if (language == LogLanguage::Russian) return "Файл " + path + " не удалось создать: " + SystemErrorText(error) + ".";
  return "The file " + path + " could not be created: " + SystemErrorText(error) + ".";
}

bool PathTaken(const std::string& path) {
  return !path.empty() && platform::PathExists(path);
}

std::optional<DumpSink> DumpSink::Create(const std::string& target, int* error) {
  auto refuse = [error](int why) {
    if (error) *error = why;
    return std::nullopt;
  };
  if (target.empty()) return refuse(ENOENT);
  if (platform::IsDirectory(target)) return refuse(EISDIR);
  const std::string folder = FolderOf(target);
  const std::string name = fs::path(target).filename().string();
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string temporary = (fs::path(folder) / ("." + name + "." + RandomSuffix() + ".part")).string();
    const int fd = platform::CreateNew(temporary);
    if (fd >= 0) return DumpSink(fd, target, temporary);
    if (errno != EEXIST) return refuse(errno);
  }
  return refuse(EEXIST);
}

DumpSink::DumpSink(DumpSink&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, std::string())),
      error_(other.error_) {}

DumpSink& DumpSink::operator=(DumpSink&& other) noexcept {
  if (this != &other) {
    abandon();
    fd_ = std::exchange(other.fd_, -1);
    target_ = std::move(other.target_);
    temporary_ = std::exchange(other.temporary_, std::string());
    error_ = other.error_;
  }
  return *this;
}

DumpSink::~DumpSink() { abandon(); }

bool DumpSink::write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0 || error_ != 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t want = bytes.size() - done;
    const std::size_t faultAfter = g_writeFaultAfter.load();
    if (faultAfter != SIZE_MAX) {
      const std::size_t written = g_written.load();
      if (written >= faultAfter) {
        error_ = ENOSPC;
        return false;
      }
      want = std::min(want, faultAfter - written);
    }
    const long n = platform::WriteSome(fd_, bytes.data() + done, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
    g_written += static_cast<std::size_t>(n);
  }
  return true;
}

bool DumpSink::commit() {
  if (fd_ < 0) return false;
  // Each step's errno is kept before the next call can change it.
  const bool synced = error_ == 0 && platform::SyncFile(fd_);
  if (error_ == 0 && !synced) error_ = errno;
  const bool closed = platform::CloseFile(fd_);
  if (!closed && error_ == 0) error_ = errno;
  fd_ = -1;
  if (!synced || !closed || !platform::RenameOver(temporary_, target_)) {
    if (error_ == 0) error_ = errno;
    abandon();
    return false;
  }
  temporary_.clear();
  platform::SyncFolder(FolderOf(target_));  // the rename is done; a folder that cannot sync keeps it
  return true;
}

void DumpSink::abandon() {
  if (fd_ >= 0) {
    platform::CloseFile(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    platform::RemoveFile(temporary_);
    temporary_.clear();
  }
}

}  // namespace jig
