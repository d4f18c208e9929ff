#pragma once
// What the KB90xx window's buttons do: the read and the write with its verify, and the
// worker that moves the 512 blocks. The Qt window TKB901X_forms forwards its events here;
// the command line and the tests drive it through their own views.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "Kb901x_form/Kb90Controls.h"
#include "Kb901x_form/Kb90Checksums.h"
#include "Kb901x_form/Kb90Protocol.h"
#include "link/ChipGate.h"
#include "link/DumpCapture.h"
#include "link/ProgrammerLink.h"
#include "link/TaskView.h"

namespace jig {

enum class Kb90Mode { None, Reading, Writing };
// "NONE", "Reading", "Writing": the window's operation text.
const char* ModeText(Kb90Mode mode);

namespace kb90 {
inline constexpr const char* kReadButton = control::kRead;
inline constexpr const char* kWriteButton = control::kWrite;
inline constexpr const char* kExitButton = control::kExit;
inline constexpr const char* kGauge = control::kGauge;
inline constexpr const char* kReadTwiceBox = control::kReadTwice;
inline constexpr const char* kBackupBox = control::kBackup;
inline constexpr const char* kTaskName = "KB9010/12/16/22";

FileDialog SaveDialog();  // SaveDialog_KB90
FileDialog OpenDialog();  // OpenDialog_KB90
}  // namespace kb90

class Kb90Operations {
 public:
  Kb90Operations(D2xx& d2xx, TaskView& view, Kb90Bounds bounds = {});
  ~Kb90Operations();
  Kb90Operations(const Kb90Operations&) = delete;
  Kb90Operations& operator=(const Kb90Operations&) = delete;

  // Each returns at once; a started operation ends with view.ended(success). A click while
  // an operation runs is ignored.
  void KB901X_READClick();
  void KB901X_WRITEClick();
  // Back to the main window; false (nothing done) while an operation runs.
  bool EXIT_KB901XClick();

  Kb90Mode mode() const { return Mode_KB90.load(); }

  // Read twice and compare: taken when a read starts. Off, the read is the documented one.
  void setReadTwice(bool on) { readTwice_.store(on); }
  bool readTwice() const { return readTwice_.load(); }
  // Backup before write: taken when a write starts. On, the write first reads the chip
  // through the read sequence and keeps that copy; off (the default here; the window and
  // the command line turn it on), the write is the documented one.
  void setBackup(bool on) { backup_.store(on); }
  bool backup() const { return backup_.load(); }

  // Asks the running operation to end through its failure path (a read at its next block,
  // a write before its next block). Nothing happens when none runs.
  void requestStop() { worker_.request_stop(); }
  // Whether a write has touched the chip yet, and the way to call it off before it has.
  ChipGate& chipGate() { return chipGate_; }

 private:
  // Open, link check; true with the programmer ready for the first command.
  bool openAndCheck();
  // The image to write, whole, and the technician's answer when it is unusual; false
  // (with its box or line) when the write must not start.
  bool takeImage(const std::string& path);
  // The documented start of the write's texts, from "Write in KB901X file:" on.
  void announceWrite();
  // The controls that stay off while an operation runs (its own button stays on).
  void disableDuring(const char* otherButton);
  void startWorker();
  void release(Kb90Mode mode, std::uint8_t firstCommand);

  void ReadThread_KB90(std::stop_token stop);
  // One run of the read exchange into the capture; false when it failed and the operation
  // has ended.
  bool readPass(std::stop_token& stop);
  void readAll(std::stop_token& stop);
  // The second run of the read: its own open and link check; false when the operation ended.
  bool startSecondRead(std::stop_token& stop);
  // The backup read that the click started, its copy kept, then the write's own open and
  // link check and its first command; false when the operation ended.
  bool backupThenStartWrite(std::stop_token& stop);
  bool writeAll(std::stop_token& stop);
  bool verify(std::stop_token& stop);
  // The failure path of the worker: one line, 'O' when the link still answers.
  void fail(const std::string& line, bool linkAnswers);
  void finish(bool success);

  TaskView& view_;
  const Kb90Bounds bounds_;
  ProgrammerLink link_;

  std::atomic<Kb90Mode> Mode_KB90{Kb90Mode::None};
  std::mutex modeMutex_;
  std::condition_variable_any modeChanged_;
  int Counter_KB90 = 0;
  DumpCapture capture_;              // a read's dump, or the backup before a write
  std::vector<std::uint8_t> image_;  // what a write sends: the whole file, at most 131072 bytes
  std::string sourcePath_;           // the file a write sends, for its log line
  std::atomic<bool> readTwice_{false};
  std::atomic<bool> backup_{false};
  bool backupNow_ = false;   // the setting the running write took
  bool backupRead_ = false;  // the backup read is running: a failure says the write does not start
  ChipGate chipGate_;
  Kb90Sums sums_;
  std::jthread worker_;
};

}  // namespace jig
