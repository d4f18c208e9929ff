#pragma once
// What a finished job leaves behind, told in one place when it ends: which task did what,
// with which file, which backup, and how it ended. A journal keeps these; without one they go
// nowhere.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace jig {

struct JobReport {
  std::string task;    // "kb90", "npce", ...
  std::string action;  // "read", "read twice", "write"
  std::time_t started = 0, ended = 0;  // UTC seconds
  bool success = false;
  bool chipTouched = false;  // a write sent its first erase or write command
  std::string file;          // the dump saved, or the image written
  std::uint64_t fileSize = 0;
  std::string fileSha256;    // of what was saved or sent; empty when nothing was
  std::string backupPath, backupSha256;
};

using JobReporter = std::function<void(const JobReport&)>;

}  // namespace jig
