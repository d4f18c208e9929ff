#pragma once
// What the file-safety tests of every task share: a scratch folder for the backups taken
// before a write, a look for dumps left half written, and a view that lets a test stop an
// operation at a chosen block or page.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "files/Backups.h"
#include "tests/support/Environment.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

// The backups in a backups folder, by name.
inline std::vector<std::string> BackupsIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Backups go to a scratch folder while a test runs, never into the real home:
// XDG_DATA_HOME points into a temporary folder until the object goes.
class ScratchBackupFolder {
 public:
  ScratchBackupFolder() {
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old;
    SetEnvironment("XDG_DATA_HOME", home_.path().string());
  }
  ~ScratchBackupFolder() { SetEnvironment("XDG_DATA_HOME", old_); }
  ScratchBackupFolder(const ScratchBackupFolder&) = delete;
  ScratchBackupFolder& operator=(const ScratchBackupFolder&) = delete;

  std::filesystem::path folder() const { return BackupFolder(); }
  // The backups saved so far, by name.
  std::vector<std::string> files() const { return BackupsIn(folder()); }
  // Makes the backup folder unusable: a plain file stands where it would be created.
  void block() const {
    std::filesystem::create_directories(home_.path() / "holbrenik-jig");
    WriteFileBytes((home_.path() / "holbrenik-jig" / "backups").string(), {1});
  }

 private:
  TempDir home_;
  std::optional<std::string> old_;
};

// The recording view with hooks on the gauges, which move once a block or a page, on the
// job's status (its phase, progress and where it stands with the chip) and on each line: a
// test presses a button (from the worker, as the window's own thread would) at a chosen one.
// Set them before the click.
class HookedView : public RecordingView {
 public:
  void setGauge(std::string_view gauge, int progress) override {
    RecordingView::setGauge(gauge, progress);
    if (onGauge) onGauge(gauge, progress);
  }
  void jobChanged(const JobStatus& status) override {
    if (onJob) onJob(status);
  }
  void log(std::string line) override {
    if (!onLog) return RecordingView::log(std::move(line));
    const std::string logged = line;
    RecordingView::log(std::move(line));
    onLog(logged);
  }
  std::function<void(std::string_view gauge, int progress)> onGauge;
  std::function<void(const JobStatus&)> onJob;
  std::function<void(const std::string&)> onLog;
};

// The temporary files of dump sinks left in a folder (".name.PID.xxxxxxxx.part").
inline std::vector<std::string> TemporaryDumps(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".") && name.ends_with(".part")) names.push_back(name);
  }
  return names;
}

}  // namespace jig::test
