#pragma once
// The few file and clock calls that differ between Linux and Windows, behind one surface:
// descriptors (read, write and close them with ReadSome, WriteSome and CloseFile), paths in
// UTF-8. Each failing call returns -1 or false with errno set.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
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
// Makes a rename in the folder durable where the system allows it.
bool SyncFolder(const std::string& folder);
void RemoveFile(const std::string& path);
// Anything under the name, a dangling link included.
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);

// Where the program's own file lies; empty when unknown.
std::filesystem::path ProgramPath();
// The folder for the user's own data of programs (backups go under it).
std::filesystem::path UserDataFolder();

std::tm LocalTime(std::time_t time);
unsigned ProcessId();

}  // namespace jig::platform
