#pragma once
// What the NPCE window's buttons do: the read to a dump file, and the erase, blank check,
// write and verify from one. The click runs the open, the ID check and the dialog; the
// worker ReadThread_NPCE runs the transfer and ends it on every path.
#include <atomic>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "job/ChipGate.h"
#include "link/D2xx.h"
#include "files/DumpCapture.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "Npce/NpceBounds.h"
#include "link/Bounds.h"

namespace jig {

enum class NpceMode { NONE, Reading_NPCE, Write_NPCE };
std::string_view ModeText(NpceMode mode);

// The bounds of the waits that the programmer's answers get (tests shorten them).
struct NpceBounds {
  DWORD eraseMs = limits::kNpceEraseTimeoutMs;
  DWORD blankCheckMs = limits::kNpceBlankCheckTimeoutMs;
  DWORD blockMs = limits::kNpceBlockTimeoutMs;
  DWORD answerMs = limits::kNpceAnswerTimeoutMs;
  DWORD drainMs = limits::kDrainTimeoutMs;
  int byteTries = limits::kNpceByteReadTries;
};

class NpceOperations {
 public:
  NpceOperations(D2xx& d2xx, TaskView& view, NpceBounds bounds = {});
  ~NpceOperations();
  NpceOperations(const NpceOperations&) = delete;
  NpceOperations& operator=(const NpceOperations&) = delete;

  void NPCE_READClick();
  void NPCE_WRITEClick();
  void EXIT_NPCEClick();

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
  void requestStop() { ReadThread_NPCE.request_stop(); }
  // Whether a write has touched the chip yet, and the way to call it off before it has.
  ChipGate& chipGate() { return chipGate_; }

  // The window's only lock: "NONE" when idle.
  std::atomic<NpceMode> Mode_NPCE{NpceMode::NONE};
  std::atomic<int> Counter_NPCE{0};

 private:
  // Empty line, open, ID check; false (with ended called) when the click goes no further.
  bool openAndCheck();
  void stopInClick();
  // The controls that stay off while an operation runs (its own button stays on).
  void disableDuring(std::string_view otherButton);
  // The image to write, whole, and the technician's answer when it is unusual; false
  // (with its box or line) when the write must not start.
  bool takeImage(const std::string& path);
  // The documented texts of the write from "Write to NPCE file:" to "Erase ...".
  void announceWrite();
  void readWork(std::stop_token stop);
  // One run of the read exchange into the capture, with its end answer and signal; false
  // when it failed and the operation has ended.
  bool readPass(std::stop_token& stop);
  // The end of a pass: '-', its answer, 'I' or 'O'; true when the answer was not a failure.
  bool finishRead(bool fileOk);
  // Another run of the read sequence: its own open and ID check; false when it did not start.
  bool reopen();
  // The second run of the read: its own open and ID check; false when the operation ended.
  bool startSecondRead(std::stop_token& stop);
  // The backup read that the click started, its copy kept, then the write's own open and
  // ID check; false when the operation ended.
  bool backupThenReopen(std::stop_token& stop);
  void writeWork(std::stop_token stop);
  bool eraseAndCheck();
  void verify(std::stop_token stop);
  // Failure with 'O' after a wait ran out: stale bytes are dropped so they are not taken
  // for the signal's answer.
  void failWithSignal(std::string line, bool timeStamp);
  void timeStamp();
  // Closes the handle (and the file), back to "NONE", the three buttons enabled, ended.
  void end(bool success);

  D2xx& d2xx_;
  TaskView& view_;
  NpceBounds bounds_;
  ProgrammerLink link_;
  std::vector<std::uint8_t> Image_NPCE;
  std::string sourcePath_;  // the file a write sends, for its log line
  DumpCapture capture_;     // a read's dump, or the backup before a write
  std::atomic<bool> readTwice_{false};
  std::atomic<bool> backup_{false};
  bool backupRead_ = false;  // the backup read is running: a failure says the write does not start
  ChipGate chipGate_;
  std::jthread ReadThread_NPCE;  // last: joined before the rest goes
};

}  // namespace jig
