#pragma once
// The few file and clock calls that differ between Linux and Windows, behind one surface:
// descriptors (read, write and close them with ReadSome, WriteSome and CloseFile), paths in
// UTF-8. Each failing call returns -1 or false with errno set.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

namespace jig::platform {

// An existing file for reading; never blocks on a FIFO without a writer.
int OpenSource(const std::string& path);
// The open file's size when it is a regular file; false for anything else.
bool RegularFileSize(int fd, std::uint64_t& size, bool& regular);
// A new file that must not exist yet (nor be a link), for writing; on Windows it is held
// without sharing, so nobody opens a dump that is still being written.
int CreateNew(const std::string& path);

long ReadSome(int fd, void* buffer, std::size_t count);
long WriteSome(int fd, const void* buffer, std::size_t count);
bool SyncFile(int fd);
bool CloseFile(int fd);

// Replaces `to` with `from` in one step, through to the disk.
bool RenameOver(const std::string& from, const std::string& to);
// Gives `from` the name `to` only while nothing is under it, in one step, even against
// another program doing the same: false with errno EEXIST when the name is taken.
bool RenameNoReplace(const std::string& from, const std::string& to);
// Makes a rename in the folder durable where the system allows it.
bool SyncFolder(const std::string& folder);
void RemoveFile(const std::string& path);
// Anything under the name, a dangling link included.
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);

// A file for appending records to, created when missing (never through a link); appends
// of one short record by two programs at once do not interleave.
int OpenAppend(const std::string& path);

// Where the program's own file lies; empty when unknown.
std::filesystem::path ProgramPath();
// The folder for the user's own data of programs (backups go under it): always absolute;
// empty when the system names none (no absolute XDG_DATA_HOME, HOME or home in the user
// database; on Windows no absolute LOCALAPPDATA).
std::filesystem::path UserDataFolder();

std::tm LocalTime(std::time_t time);
std::tm UtcTime(std::time_t time);
unsigned ProcessId();
// True only when no process with this id runs any more (a process of another user, or one
// that cannot be asked about, is taken as running).
bool ProcessGone(unsigned pid);

// Tests only: the calls that make a written file durable, seen in their order; a hook that
// answers false makes that call fail with EIO, as a failing disk would.
enum class FileCall { Write, SyncFile, Rename, SyncFolder };
void SetFileCallHook(std::function<bool(FileCall)> hook);
// The platform files ask before each such call; false: fail it (errno is set).
bool PassFileCall(FileCall call);

}  // namespace jig::platform
