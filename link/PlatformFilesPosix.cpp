#include "link/PlatformFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace jig::platform {

int OpenSource(const std::string& path) {
  // O_NONBLOCK: a FIFO without a writer must not hold the window; it is refused later.
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

bool RegularFileSize(int fd, std::uint64_t& size, bool& regular) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  regular = S_ISREG(info.st_mode);
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

int CreateNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

long ReadSome(int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, count); }
long WriteSome(int fd, const void* buffer, std::size_t count) { return ::write(fd, buffer, count); }
bool SyncFile(int fd) { return ::fsync(fd) == 0; }
bool CloseFile(int fd) { return ::close(fd) == 0; }

bool RenameOver(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  ::close(fd);
  return synced;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::filesystem::path ProgramPath() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self;
}

std::filesystem::path UserDataFolder() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') return data;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local" / "share";
}

std::tm LocalTime(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  return local;
}

unsigned ProcessId() { return static_cast<unsigned>(::getpid()); }

}  // namespace jig::platform
