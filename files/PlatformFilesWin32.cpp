#include "files/PlatformFiles.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>

namespace jig::platform {

namespace {

// Paths are UTF-8 inside the program; Windows takes them as UTF-16, so Cyrillic names work
// whatever the system's code page.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Binary always: a dump or an image never has its CR LF translated.
int Open(const std::string& path, int flags, int share) {
  int fd = -1;
  const errno_t error = _wsopen_s(&fd, Wide(path).c_str(), flags | _O_BINARY | _O_NOINHERIT, share, _S_IREAD | _S_IWRITE);
  if (error != 0) {
    errno = error;
    return -1;
  }
  return fd;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

}  // namespace

int OpenSource(const std::string& path) { return Open(path, _O_RDONLY, _SH_DENYNO); }

bool RegularFileSize(int fd, std::uint64_t& size, bool& regular) {
  struct _stat64 info {};
  if (_fstat64(fd, &info) != 0) return false;
  regular = (info.st_mode & _S_IFMT) == _S_IFREG;
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

// No sharing: while a dump is being written nobody else opens it, nor a half of it.
int CreateNew(const std::string& path) { return Open(path, _O_WRONLY | _O_CREAT | _O_EXCL, _SH_DENYRW); }

long ReadSome(int fd, void* buffer, std::size_t count) { return _read(fd, buffer, static_cast<unsigned>(count)); }
long WriteSome(int fd, const void* buffer, std::size_t count) {
  if (!PassFileCall(FileCall::Write)) return -1;
  return _write(fd, buffer, static_cast<unsigned>(count));
}
bool SyncFile(int fd) { return PassFileCall(FileCall::SyncFile) && _commit(fd) == 0; }
bool CloseFile(int fd) { return _close(fd) == 0; }

bool RenameOver(const std::string& from, const std::string& to) {
  if (!PassFileCall(FileCall::Rename)) return false;
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  errno = EACCES;
  return false;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (!PassFileCall(FileCall::Rename)) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move is refused when the name is taken.
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  const DWORD error = GetLastError();
  errno = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : EACCES;
  return false;
}

// MOVEFILE_WRITE_THROUGH has already made the rename durable; a folder has no handle to flush.
bool SyncFolder(const std::string&) { return PassFileCall(FileCall::SyncFolder); }

// Shared for reading and appending: two programs keep their records in one file.
int OpenAppend(const std::string& path) { return Open(path, _O_WRONLY | _O_APPEND | _O_CREAT, _SH_DENYNO); }

void RemoveFile(const std::string& path) { DeleteFileW(Wide(path).c_str()); }

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::filesystem::path ProgramPath() {
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  buffer.resize(length);
  return std::filesystem::path(buffer);
}

std::filesystem::path UserDataFolder() {
  // XDG_DATA_HOME still wins when it is set (the tests keep their backups in the build folder).
  if (const wchar_t* data = _wgetenv(L"XDG_DATA_HOME"); data && *data) {
    const std::filesystem::path folder(data);
    if (folder.is_absolute()) return folder;
  }
  if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local) {
    const std::filesystem::path folder(local);
    if (folder.is_absolute()) return folder;
  }
  return {};
}

std::tm LocalTime(std::time_t time) {
  std::tm local{};
  localtime_s(&local, &time);
  return local;
}

std::tm UtcTime(std::time_t time) {
  std::tm utc{};
  gmtime_s(&utc, &time);
  return utc;
}

unsigned ProcessId() { return static_cast<unsigned>(GetCurrentProcessId()); }

bool ProcessGone(unsigned pid) {
  if (pid == 0) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  // No such id: gone. Refused (another user's process): taken as running.
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  // A process that has ended but is still held open by someone is signalled.
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

}  // namespace jig::platform
