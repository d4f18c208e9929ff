#pragma once
// What a finished job leaves behind, told in one place when it ends: which task did what,
// with which file, which backup, and how it ended. A journal keeps these; without one they go
// nowhere.
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "files/DumpChecks.h"

namespace jig {

struct JobReport {
  std::string task;    // "kb90", "npce", ...
  std::string action;  // "read", "read twice", "write", "erase"
  std::time_t started = 0, ended = 0;  // UTC seconds
  bool success = false;
  bool chipTouched = false;  // a write or erase sent its first command that changes the chip
  std::string file;          // the dump saved, or the image written
  std::uint64_t fileSize = 0;
  std::string fileSha256;    // of what was saved or sent; empty when nothing was
  std::string backupPath, backupSha256;
  // The chip was read back after the write and does not hold the image (or the family's own
  // check said so): where it first differs and how much, when the read-back could tell.
  bool verifyFailed = false;
  std::optional<DumpDifference> difference;
  // A write that ended well without any check of what the chip holds (the check turned off).
  bool unverified = false;
  std::string verdict;  // the line the job ended with
};

using JobReporter = std::function<void(const JobReport&)>;

}  // namespace jig
