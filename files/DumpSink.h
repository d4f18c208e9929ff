#pragma once
// Where a dump goes: a new temporary file beside the target, renamed over it only when the
// dump is whole. Until then the target (an older dump, the technician's only good copy) is
// untouched, and on any failure, stop or signal the temporary file is removed, so a file
// under the chosen name is always a complete dump. A writer killed outright cannot remove
// its temporary file: the next dump sink in that folder does, once that writer is gone.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "view/LogLanguage.h"

namespace jig {

class DumpSink {
 public:
  // Creates the temporary file (".NAME.PID.RANDOM.part") in the target's folder, after
  // removing the leftovers there (RemoveLeftoverTemporaryFiles); nullopt when the folder
  // cannot take it, or the target is a folder; error, when given, gets the system's errno.
  static std::optional<DumpSink> Create(const std::string& target, int* error = nullptr);

  DumpSink(DumpSink&& other) noexcept;
  DumpSink& operator=(DumpSink&& other) noexcept;
  DumpSink(const DumpSink&) = delete;
  DumpSink& operator=(const DumpSink&) = delete;
  // Not committed: the temporary file is removed.
  ~DumpSink();

  bool write(std::span<const std::uint8_t> bytes);
  // fsync, rename over the target, fsync the folder. False (temporary file removed, target
  // untouched) when any step failed.
  bool commit();
  // The same, but the dump never replaces anything, even a file another program puts there
  // at the same moment: it takes the first of nameFor(0) .. nameFor(names - 1) that is free
  // at the rename (path() then says which); false (EEXIST when all were taken, temporary file
  // removed) otherwise.
  bool commitUnderFreeName(const std::function<std::string(int)>& nameFor, int names);
  // Removes the temporary file; the target stays as it was.
  void abandon();

  const std::string& path() const { return target_; }
  // The errno of the step that failed (a write, the sync, the close or the rename); 0 when
  // none did.
  int error() const { return error_; }

 private:
  // fsync and close; false (temporary file removed) when either failed.
  bool closeWhole();
  DumpSink(int fd, std::string target, std::string temporary)
      : fd_(fd), target_(std::move(target)), temporary_(std::move(temporary)) {}
  int fd_ = -1;
  std::string target_;
  std::string temporary_;
  int error_ = 0;  // non-zero once a step failed: nothing more is written
};

// The line after the documented "file cannot be created" box: the path and the system's
// reason (a read-only or missing folder, a folder under the name), which the box does not say.
std::string CreateFailedLine(const std::string& path, int error, LogLanguage language);

// The overwrite check: true when anything is at path, a dangling link included.
bool PathTaken(const std::string& path);

// Removes from the folder the temporary files of dump sinks whose writer no longer runs:
// only regular files named exactly as a dump sink names them, and never one whose writer
// runs or cannot be known to be gone (the pid of a live process, even of another program).
void RemoveLeftoverTemporaryFiles(const std::string& folder);

// Tests only: writes to dump sinks fail with ENOSPC after this many bytes (nullopt: none).
void InjectDumpWriteFault(std::optional<std::size_t> afterBytes);

}  // namespace jig
