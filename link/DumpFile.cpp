#include "link/DumpFile.h"

#include <cerrno>
#include <utility>

#include "link/PlatformFiles.h"

namespace jig {

std::optional<DumpFile> DumpFile::Create(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const int fd = platform::CreateUnshared(path);
  if (fd < 0) return std::nullopt;
  return DumpFile(fd, path, true);
}

std::optional<DumpFile> DumpFile::OpenForReading(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const int fd = platform::OpenUnshared(path);
  if (fd < 0) return std::nullopt;
  return DumpFile(fd, path, false);
}

DumpFile::DumpFile(DumpFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), created_(other.created_) {}

DumpFile& DumpFile::operator=(DumpFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    created_ = other.created_;
  }
  return *this;
}

DumpFile::~DumpFile() { close(); }

bool DumpFile::write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const long n = platform::WriteSome(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return fd_ >= 0;
}

std::size_t DumpFile::read(std::span<std::uint8_t> bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const long n = platform::ReadSome(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool DumpFile::close() {
  if (fd_ < 0) return true;
  const bool synced = !created_ || platform::SyncFile(fd_) || errno == EINVAL;
  const bool closed = platform::CloseFile(fd_);
  fd_ = -1;
  return synced && closed;
}

}  // namespace jig
