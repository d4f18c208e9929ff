#include "files/PlatformFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <stdio.h>
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
long WriteSome(int fd, const void* buffer, std::size_t count) {
  if (!PassFileCall(FileCall::Write)) return -1;
  return ::write(fd, buffer, count);
}
bool SyncFile(int fd) { return PassFileCall(FileCall::SyncFile) && ::fsync(fd) == 0; }
bool CloseFile(int fd) { return ::close(fd) == 0; }

bool RenameOver(const std::string& from, const std::string& to) {
  return PassFileCall(FileCall::Rename) && ::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (!PassFileCall(FileCall::Rename)) return false;
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // A file system without that rename: a hard link is refused just as well when the name is taken.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

bool SyncFolder(const std::string& folder) {
  if (!PassFileCall(FileCall::SyncFolder)) return false;
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

int OpenAppend(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
}

std::filesystem::path UserDataFolder() {
  // A relative folder would put the user's data under whatever folder a command runs in;
  // the XDG rules say to ignore a relative XDG_DATA_HOME, and a relative HOME is no home.
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') return data;
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable && *variable == '/') {
    home = variable;
  } else {
    passwd entry{};
    passwd* found = nullptr;
    std::string buffer(16384, '\0');
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
      home = found->pw_dir;
  }
  if (home.empty()) return {};
  return std::filesystem::path(home) / ".local" / "share";
}

std::tm LocalTime(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  return local;
}

std::tm UtcTime(std::time_t time) {
  std::tm utc{};
  gmtime_r(&time, &utc);
  return utc;
}

unsigned ProcessId() { return static_cast<unsigned>(::getpid()); }

bool ProcessGone(unsigned pid) {
  // Ids beyond pid_t, and 0 (the caller's group), name no one process.
  if (pid == 0 || pid > 0x7fffffffu) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace jig::platform
