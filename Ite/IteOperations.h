#pragma once
// What the ITE window's controls do: the motherboard base and pin assignment, APPLY, the
// link check, and the read and write with their worker thread. Written against TaskView,
// so the window, the command line and the tests drive the same code.
#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Ite/IteProtocol.h"
#include "Ite/IteSequences.h"
#include "Ite/MbConnectionIte.h"
#include "job/ChipGate.h"
#include "files/DumpSink.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"

namespace jig {

enum class IteMode { NONE, READ_ITE, WRITE_ITE_step_one };
std::string_view ModeText(IteMode mode);

class IteOperations {
 public:
  IteOperations(D2xx& d2xx, TaskView& view, ite::IteBounds bounds = {});
  ~IteOperations();
  IteOperations(const IteOperations&) = delete;
  IteOperations& operator=(const IteOperations&) = delete;

  // The base as read at the window's creation; entry 0 is the "select" row.
  void FormCreate(ite::IteBase base);
  const ite::IteBase& base() const { return base_; }

  void ITE_ComboBox_MB_SWITCHSelect(int index);
  // The user changed the check mark; checked = straight cable.
  void ITE_CheckBoxClick(bool checked);
  // A box set by hand (0 = "NC").
  void setPin(int signal, int pin);
  const ite::PinAssignment& pins() const { return pins_; }
  bool checkBoxChecked() const { return checked_; }
  bool checkBoxEnabled() const { return checkEnabled_; }

  void ITE_SETUP_BitBtnClick();
  void ITE_CHECK_CON_BitBtnClick();
  void ITE_READ_BitBtnClick();
  void ITE_WRITE_BitBtnClick();
  void ITE_EXIT_BitBtnClick();

  // Read the flash back after a write that ended well and compare it with the image
  // written (on unless turned off). Taken when the write starts.
  void setVerifyAfterWrite(bool on) { verifyAfterWrite_.store(on); }
  // Read twice and save the dump only from a matching pair (off unless turned on).
  // Taken when the read starts.
  void setReadTwice(bool on) { readTwice_.store(on); }
  // Read the flash through the documented read and keep it as a backup before a write
  // starts (off unless turned on: the window and the command line turn it on by default).
  // Taken when the write starts.
  void setBackup(bool on) { backup_.store(on); }
  bool verifyAfterWrite() const { return verifyAfterWrite_.load(); }
  bool readTwice() const { return readTwice_.load(); }

  // The command line's stop (a signal), from any thread: the running read or write ends
  // through its failure path at its next block or byte.
  void requestStop() { cancel_.store(true); }
  // Whether a write has touched the chip yet, and the way to call it off before it has.
  ChipGate& chipGate() { return chipGate_; }

  // Waits for a running worker to end (the command line, tests, the window's end).
  void joinWorker();

  // The window's only lock: "NONE" when idle.
  std::atomic<IteMode> Mode_ITE{IteMode::NONE};

 private:
  void log(std::string_view line);
  void logTimeStamp();
  void logNoAnswer(std::uint32_t ms, std::string_view command);
  void logFailure(std::string_view code);
  void showPins(const ite::PinAssignment& before);
  bool selectedLine(std::string& line) const;
  // Runs register writes in order; logs the failing step's lines and returns false.
  bool runRegisterSteps(std::span<const ite::RegStep> steps);

  // The click's failure end: 4F, drain, close; mode back; buttons; ended.
  void endClickFailed(bool sendEnd, bool enableRead, bool enableWrite);
  void finish(std::uint8_t endByte);
  void endWorker(bool success);

  // Connect and the read's pre-preparation; logs the failing step's lines.
  bool connectForRead();
  // The read's block loop into dump (and the file when there is one); true when all came.
  bool readBlocks(std::vector<std::uint8_t>& dump, DumpSink* file, std::stop_token stop);
  // The whole read once more as its own exchange (open, Connect, pre-preparation, blocks,
  // end byte, close), from the worker, into dump.
  bool readAgain(std::vector<std::uint8_t>& dump, std::stop_token stop);
  // Read twice: the second read, the comparison, and the file from a matching pair.
  bool secondReadAndSave(std::stop_token stop);
  bool saveDump();

  // The file to write, checked whole and asked about, into image_; false (logged) when not.
  bool takeImage(const std::string& path);
  // The write's lines and Connect on an open link; false (failure line logged) when not.
  bool beginWrite();
  // The backup read, then the write from its own open.
  void backupThenWrite(std::stop_token stop);

  // The window going away (the worker's stop token) or the command line's stop.
  bool stopAsked(const std::stop_token& stop) const { return stop.stop_requested() || cancel_.load(); }
  void threadMain(std::stop_token stop);
  void readBody(std::stop_token stop);
  void writeBody(std::stop_token stop);
  // The image's bytes that are not FFh, each run after a Flash address; false (logged)
  // when the programmer refused or the stop came. firstAddress: no address sent yet.
  bool programImage(std::stop_token stop, bool& firstAddress);
  bool sendFlashAddress(std::uint32_t position, bool& firstAddress);
  // One Flash address, answered once the chip erase is over; false (logged) when not.
  bool awaitEraseOfBlankImage();
  // The read-back and its comparison with the image; the worker's end.
  void verifyWrite(std::stop_token stop);

  D2xx& d2xx_;
  TaskView& view_;
  ite::IteBounds bounds_;
  ite::IteBase base_;
  int entry_ = 0;
  ite::PinAssignment pins_{};
  bool checked_ = true;
  bool checkEnabled_ = false;

  ProgrammerLink link_;
  // The dump being read: a temporary file until the dump is whole.
  std::optional<DumpSink> file_;
  std::atomic<bool> verifyAfterWrite_{true};
  std::atomic<bool> readTwice_{false};
  std::atomic<bool> backup_{false};
  std::atomic<bool> cancel_{false};
  ChipGate chipGate_;
  // What the running action was started with.
  bool verifyThisWrite_ = true;
  bool readTwiceThisRead_ = false;
  bool backupThisWrite_ = false;
  std::string writePath_;              // the file to write, as chosen
  std::vector<std::uint8_t> image_;    // its bytes, FFh-padded to the flash size
  std::vector<std::uint8_t> dump_;     // the read's dump as it came
  std::jthread ReadThread_ITE;
};

}  // namespace jig
