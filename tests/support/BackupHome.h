#pragma once
// Backups taken during a test go to a folder of the test's own, never to the real home:
// XDG_DATA_HOME points into a temporary folder while this object lives.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "link/Backups.h"
#include "tests/support/Environment.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

class BackupHome {
 public:
  BackupHome() {
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old;
    SetEnvironment("XDG_DATA_HOME", dir_.path().string());
  }
  ~BackupHome() { SetEnvironment("XDG_DATA_HOME", old_); }
  BackupHome(const BackupHome&) = delete;
  BackupHome& operator=(const BackupHome&) = delete;

  std::filesystem::path folder() const { return BackupFolder(); }
  // The backups kept so far, by name.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder(), ec)) names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  TempDir dir_;
  std::optional<std::string> old_;
};

}  // namespace jig::test
