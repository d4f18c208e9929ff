#pragma once
// What the MEC16xx window's buttons do: the probe and the erase run in the click, the
// read and the write set up in the click and hand the stream to ReadThread_MEC16.
// Mode_MEC16 is the only lock: a click while it is not NONE does nothing.
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Mec16xx/Mec16Controls.h"
#include "Mec16xx/Mec16Protocol.h"
#include "job/ChipGate.h"
#include "link/D2xx.h"
#include "files/DumpSink.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "Mec16xx/Mec16Bounds.h"

namespace jig {

enum class Mec16Mode { None, Id, Erase, ReadMain, ReadInfo, WriteMain };
// "NONE", "ID", "ERASE", "READ_MAIN", "READ_INFO", "WRITE_MAIN".
std::string_view ModeText(Mec16Mode mode);

// The bounds of the waits, from Mec16Bounds.h; tests shorten them.
struct Mec16Bounds {
  std::uint32_t answerMs = limits::kMec16AnswerTimeoutMs;
  std::uint32_t blockMs = limits::kMec16BlockTimeoutMs;
  std::uint32_t pageMs = limits::kMec16PageTimeoutMs;
  std::uint32_t eraseMs = limits::kMec16EraseTimeoutMs;
};

namespace mec16 {
inline constexpr std::string_view kGauge = control::kGauge;
inline constexpr std::string_view kShapeBootLock = control::kShapeBootLock;
inline constexpr std::string_view kShapeFwp = control::kShapeFwp;
inline constexpr std::string_view kScopeMainOnly = "MAIN only";
inline constexpr std::string_view kScopeMainInfo = "MAIN+INFO";
// The check boxes of the read-back checks: held while a transfer runs.
inline constexpr std::string_view kVerifyAfterWrite = control::kVerifyAfterWrite;
inline constexpr std::string_view kReadTwice = control::kReadTwice;
// The copy of MAIN before a write: held like the read-back boxes.
inline constexpr std::string_view kBackup = control::kBackup;
}  // namespace mec16

class Mec16Operations {
 public:
  Mec16Operations(D2xx& d2xx, TaskView& view, Mec16Bounds bounds = {});
  ~Mec16Operations();
  Mec16Operations(const Mec16Operations&) = delete;
  Mec16Operations& operator=(const Mec16Operations&) = delete;

  // The buttons; the check boxes' states come with the click.
  void BitBtn_MEC16Click();
  void BitBtn_RD_MEC16Click(bool readInfoToo);
  void BitBtn_MEC16_ERASEClick(bool eraseInfoToo);
  void BitBtn_MEC16_WRITEClick(bool writeInfoTicked);
  void BitBtn_MEC16_HELPClick();
  void EXIT_MEC16Click();

  // Read back MAIN after a write that ended well and compare it with the pages sent (on
  // unless turned off); read a second time and write the dump only from a matching pair
  // (off unless turned on). Each click takes the setting as it stands when it starts.
  void setVerifyAfterWrite(bool on) { verifyAfterWrite_ = on; }
  void setReadTwice(bool on) { readTwice_ = on; }
  // Read MAIN through the documented read and keep it as a backup before a write starts
  // (off unless turned on: the window and the command line turn it on by default).
  void setBackup(bool on) { backup_ = on; }

  // The command line's stop (a signal): a read ends through its failure path at its next
  // block, a write through its failure path at its next page.
  void requestStop() { cancel_ = true; }
  // Whether a write has touched the chip yet, and the way to call it off before it has.
  ChipGate& chipGate() { return chipGate_; }

  // Logs both protection lines and paints both indicators; true when either bit is set.
  bool CheckProtection_MEC16(std::uint8_t status);

  Mec16Mode mode() const { return Mode_MEC16.load(); }
  // Waits for a worker that has ended (or is ending) its run.
  void joinWorker();

 private:
  enum class StartResult { Ok, ShortId, NoAnswer };
  // What follows the documented read or write within the same click.
  enum class FollowUp { None, ReadTwice, Verify };

  bool begin(Mec16Mode mode);
  bool openLink();
  void log(std::string_view line);
  void log(std::string_view prefix, std::string_view rest);
  void timeStamp();
  void send(std::uint8_t byte);
  // "1" and "j"; logs the answer lines. NoAnswer: a bound ran out, already logged.
  StartResult sendStartAndId(std::array<std::uint8_t, 4>& id);
  // A register write logged by the convention; false (loss line logged) when lost.
  bool writeLogged(std::string_view address, std::string_view value, std::string_view shown,
                   std::string_view lossCode);
  void release(std::string_view loss1, std::string_view loss2, std::string_view loss3);
  // Closes the programmer and the file, time-stamp and empty line; then the follow-up
  // read, or the end of the click.
  void finish(bool success, bool logClosed);
  void afterOperation(bool success);
  // The check boxes back, NONE, ended: the last act of every click.
  void endAction(bool success);
  // The second read or the verify read: a run of its own (open, the read, close).
  void startFollowUpRead();
  // A MAIN read of its own before the documented ones (backup) or after them (follow-up):
  // mode, gauge, the opening line, open, stream. False when it did not start (then the
  // click has ended).
  bool startExtraRead(std::string_view line);
  // The image to write, checked whole and asked about; false when the click has ended.
  bool takeImage();
  // The backup read before a write; the write follows it from the worker.
  void startBackupRead();
  // After a backup that was saved: the write's own open and set-up from the worker.
  void continueWithWrite();
  // Steps 5 to 13 of the write set-up on an open link, up to "W". False when it failed
  // (then the operation has ended).
  bool startWriteStream();
  // Steps 8 to 12 of the read set-up: start, ID, flash registers, the stream request.
  // False when it failed (then the operation has ended).
  bool startMainStream();
  bool saveDump(const std::vector<std::uint8_t>& dump);
  // A set-up that failed after the open: file closed, "O" "0", the common tail.
  void handlerFailure();
  // A read or write refused before its stream (dialog cancelled, file not made): 'O', close.
  void refuseSetUp(std::string_view line);
  void refuseAfterOpen();
  // The start a read and a write share: the lock, the gauge, the open. False: refused or
  // not opened (then it has ended).
  bool beginTransfer(Mec16Mode mode, Rgb gaugeColour, int gaugeMaximum);

  void ReadThread_MEC16Execute();
  bool receiveBlock(std::string_view area);
  bool readMainPass();
  bool readInfoPass();
  bool writePass();
  std::optional<bool> awaitPageAnswer();  // nullopt: no answer within the page bound
  bool endWriteFailed();                  // end, 'O', the common tail; false
  bool writeLastShortPage(const std::array<std::uint8_t, mec16::kPageBytes>& page);
  // The erase's start, ID and protection check; false when the erase must not go on.
  bool eraseAllowed();
  // Polls the busy bit within the erase bound; false (line logged) when it did not clear.
  bool awaitEraseEnd();
  void streamFailed();
  void readSucceeded();

  D2xx& d2xx_;
  TaskView& view_;
  Mec16Bounds bounds_;

  std::atomic<bool> verifyAfterWrite_{true};
  std::atomic<bool> readTwice_{false};
  std::atomic<bool> backup_{false};
  std::atomic<bool> cancel_{false};
  ChipGate chipGate_;
  // From "W" until the verify has ended: the exit button says once that it cannot stop.
  std::atomic<bool> writeRunning_{false};
  std::atomic<bool> writeStopNoted_{false};
  // The click's own state, owned by whichever thread holds the operation.
  Mec16Mode kind_ = Mec16Mode::None;
  FollowUp followUp_ = FollowUp::None;
  bool inFollowUp_ = false;
  bool followUpStarted_ = false;  // the worker's loop goes on with the follow-up stream
  bool inBackup_ = false;         // the read running is the copy taken before a write
  bool writeInfoTicked_ = false;
  bool streamToFile_ = false;     // blocks go to the dump as they come (a single read)
  std::vector<std::uint8_t> image_;     // the MAIN part of the file to write
  bool boxesHeld_ = false;
  std::vector<std::uint8_t> received_;  // the blocks of the current read, MAIN then INFO
  std::vector<std::uint8_t> expected_;  // the first read, or the pages a write sent

  std::atomic<Mec16Mode> Mode_MEC16{Mec16Mode::None};
  std::atomic<bool> Stop_MEC16{false};
  std::string Scope_MEC16;
  int Counter_MEC16 = 0;
  std::string Result_MEC16;
  // The dump being read: a temporary file until the dump is whole.
  std::optional<DumpSink> File_MEC16;
  std::string FileName_MEC16;
  ProgrammerLink link_;
  std::jthread ReadThread_MEC16;
};

}  // namespace jig
