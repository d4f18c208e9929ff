#include "link/DumpFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace jig {

namespace {
// No sharing: another holder of the file (a second window, another program that locks)
// makes the open fail instead of two writers mixing their bytes.
int LockOrClose(int fd) {
  if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}
}  // namespace

std::optional<DumpFile> DumpFile::Create(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const int fd = LockOrClose(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (fd < 0) return std::nullopt;
  if (ftruncate(fd, 0) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return DumpFile(fd, path, true);
}

std::optional<DumpFile> DumpFile::OpenForReading(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const int fd = LockOrClose(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return fd_ >= 0;
}

std::size_t DumpFile::read(std::span<std::uint8_t> bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::read(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool DumpFile::close() {
  if (fd_ < 0) return true;
  const bool synced = !created_ || fsync(fd_) == 0 || errno == EINVAL;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  return synced && closed;
}

}  // namespace jig
