#include "files/DumpSink.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <random>
#include <string_view>
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

constexpr std::size_t kRandomLength = 8;
constexpr std::string_view kRandomDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kTemporaryEnd = ".part";

std::string RandomSuffix() {
  thread_local std::mt19937_64 generator{std::random_device{}() ^ static_cast<std::uint64_t>(platform::ProcessId())};
  std::string suffix;
  for (std::size_t i = 0; i < kRandomLength; ++i) suffix += kRandomDigits[generator() % kRandomDigits.size()];
  return suffix;
}

// ".NAME.PID.RANDOM.part": the writer's process id in the name tells a file that is still
// being written from one whose writer was killed before it could remove it.
std::string TemporaryName(const std::string& name) {
  return "." + name + "." + std::to_string(platform::ProcessId()) + "." + RandomSuffix() + std::string(kTemporaryEnd);
}

// The writer's process id when `name` has exactly the form above; nothing for any other name.
std::optional<unsigned> TemporaryFileWriter(std::string_view name) {
  if (!name.starts_with('.') || !name.ends_with(kTemporaryEnd)) return std::nullopt;
  name.remove_suffix(kTemporaryEnd.size());
  if (name.size() < kRandomLength + 1) return std::nullopt;
  const std::string_view random = name.substr(name.size() - kRandomLength);
  if (random.find_first_not_of(kRandomDigits) != std::string_view::npos) return std::nullopt;
  name.remove_suffix(kRandomLength);
  if (!name.ends_with('.')) return std::nullopt;
  name.remove_suffix(1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < 2) return std::nullopt;  // "." and at least one character of NAME
  const std::string_view digits = name.substr(dot + 1);
  if (digits.empty() || digits[0] == '0' || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  std::uint32_t pid = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return static_cast<unsigned>(pid);
}

fs::path Utf8ToPath(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }
std::string PathToUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
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

void RemoveLeftoverTemporaryFiles(const std::string& folder) {
  std::error_code ec;
  for (fs::directory_iterator entry(Utf8ToPath(folder), ec), end; !ec && entry != end; entry.increment(ec)) {
    const std::optional<unsigned> writer = TemporaryFileWriter(PathToUtf8(entry->path().filename()));
    if (!writer || *writer == platform::ProcessId()) continue;
    std::error_code typeError;
    if (entry->symlink_status(typeError).type() != fs::file_type::regular) continue;
    if (platform::ProcessGone(*writer)) platform::RemoveFile(PathToUtf8(entry->path()));
  }
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
  RemoveLeftoverTemporaryFiles(folder);
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string temporary = (fs::path(folder) / TemporaryName(name)).string();
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

bool DumpSink::closeWhole() {
  // Each step's errno is kept before the next call can change it.
  const bool synced = error_ == 0 && platform::SyncFile(fd_);
  if (error_ == 0 && !synced) error_ = errno;
  const bool closed = platform::CloseFile(fd_);
  if (!closed && error_ == 0) error_ = errno;
  fd_ = -1;
  if (synced && closed) return true;
  abandon();
  return false;
}

bool DumpSink::commit() {
  if (fd_ < 0) return false;
  if (!closeWhole()) return false;
  if (!platform::RenameOver(temporary_, target_)) {
    if (error_ == 0) error_ = errno;
    abandon();
    return false;
  }
  temporary_.clear();
  platform::SyncFolder(FolderOf(target_));  // the rename is done; a folder that cannot sync keeps it
  return true;
}

bool DumpSink::commitUnderFreeName(const std::function<std::string(int)>& nameFor, int names) {
  if (fd_ < 0) return false;
  if (!closeWhole()) return false;
  int why = EEXIST;
  for (int n = 0; n < names && why == EEXIST; ++n) {
    const std::string name = nameFor(n);
    if (platform::RenameNoReplace(temporary_, name)) {
      target_ = name;
      temporary_.clear();
      platform::SyncFolder(FolderOf(target_));
      return true;
    }
    why = errno;
  }
  error_ = why;
  abandon();
  return false;
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
