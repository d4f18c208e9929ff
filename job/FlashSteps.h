#pragma once
// A chip family's part of the flash job: how it opens and identifies the chip, one read
// pass, one write pass with its documented check; its texts and the control changes its
// window documents are its FlashFacts. The job (FlashJob) runs them and keeps everything around them: the
// worker, the phases, stop, the source check and its question, the backup, the second read,
// the dump commit, the verdict and the report of the finished job.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "files/DumpCapture.h"
#include "files/ImageQuestion.h"
#include "link/ProgrammerLink.h"
#include "view/LogLanguage.h"
#include "view/TaskView.h"

namespace jig {

class FlashJob;

// The lines the job adds around a family's documented ones, in the window's language; a
// family may word its own.
struct FlashTexts {
  std::string readingAgain;                 // the second read of "read twice" begins
  std::string readInterruptedBeforeSecond;  // a stop between the two reads
  std::string secondReadNotStarted;         // the second read's open failed
  std::string writeStoppedBeforeWrite;      // a stop before the chip was touched
  std::string writeNotStarted;              // the write's open after the backup failed
  std::string verifyStarts;                 // the read-back after a write begins
  std::string verifyNotDone;                // the read-back did not run to its end (may be empty)
  std::string dumpNotSaved;                 // the family's own line before the disk's reason (may be empty)
  // A stand-alone erase: its question (with the backup on, and off), a stop before it
  // began, and the open after the backup that failed.
  std::string eraseQuestion, eraseQuestionNoBackup;
  std::string eraseStoppedBeforeErase;
  std::string eraseNotStarted;
  // A write over a chip that is not blank, for a family whose write does not erase: the read
  // before it with the backup off (its start, and its failure), the finding, the window's
  // question and its No, the command line's refusal without --erase, and an open after the
  // erase that failed.
  std::string blankCheckStarts, blankCheckFailed;
  std::string notBlank, eraseFirstQuestion, eraseFirstDeclined, eraseFirstRefused;
  std::string writeNotStartedAfterErase;
};
FlashTexts DefaultFlashTexts(LogLanguage language);

// What the job must know of a family before it runs.
struct FlashFacts {
  std::string task;          // the backup's and the report's task key ("kb90")
  std::size_t chipSize = 0;  // what a whole image holds
  RestOfChip restOfChip = RestOfChip::FilledWithFF;
  LogLanguage language = LogLanguage::English;
  // The family's write has no documented check of its own: the job reads the chip back after
  // a write that ended well and compares it with the image (unless the window turned it off).
  bool readBackVerify = false;
  // The family's write only programs (a bit it clears never comes back): the job reads the
  // chip before the write (the backup, or a read for this alone), and where the image goes is
  // not blank, erases it with the family's erase pass first, once the technician agrees.
  bool eraseUnlessBlank = false;
  FileDialog saveDialog, openDialog;
  // The documented texts of the click: the save or the open dialog cancelled, and the boxes
  // when the file cannot be created or opened.
  std::string saveInterrupted, writeInterrupted, createFailedBox, openFailedBox;
  // A family that also logs a line before each box (empty: none).
  std::string createFailedLine, openFailedLine;
  FlashTexts texts;
  // A file may hold more than the chip takes (a dump with a block the write does not send):
  // up to this much is taken, and only its first chipSize bytes are written and asked about.
  std::size_t largestFile = 0;  // 0: chipSize
  // The dump check follows each documented read as it ends: the first of a pair is judged
  // before the second read begins.
  bool judgeFirstRead = false;
  // The window tells a file it cannot create or open in its log, not in a box.
  bool fileProblemsLogged = false;
  // How the end of a read is worded: the shared lines unless the family has its own.
  DumpWording dumpEnd;
  // The documented control changes around a job, in the order the window makes them: what
  // is disabled while a read runs and while a write runs, and what is enabled when it ends.
  std::vector<const char*> lockedWhileReading, lockedWhileWriting, enabledWhenIdle;
};

// Why the programmer is opened.
enum class Opening { Click, SecondRead, AfterBackup, Verify };
// A read pass other than a read's first: the second of a read twice, the backup before a
// write, the read-back after it, and the read before a write that looks only whether the
// chip is blank (the backup off).
enum class Pass { Again, Backup, Verify, BeforeWrite };

// What a running pass works with: where a read's blocks go, what a write sends, and how it
// tells the job where it stands.
class FlashRun {
 public:
  FlashRun(FlashJob& job, std::stop_token stop) : job_(job), stop_(std::move(stop)) {}
  bool stopRequested() const { return stop_.stop_requested(); }
  // For a wait that the stop must end at once rather than at its bound.
  const std::stop_token& stopToken() const { return stop_; }
  DumpCapture& capture();
  std::span<const std::uint8_t> image() const;
  // A pass enters its verify (or erase) step: the job tells the window.
  void phase(JobPhase phase);
  // The job reads the chip back after this write: the write leaves it ready for a read.
  bool readBackFollows() const;
  // The family's own check after the write found the chip does not hold the image: the job
  // reads it back to tell where and how much.
  void writtenWrong();
  // The family skipped its own check (a short image): the job reads the chip back instead.
  void readBackNeeded();
  void progress(int done, int total);

 private:
  FlashJob& job_;
  std::stop_token stop_;
};

class FlashSteps {
 public:
  virtual ~FlashSteps() = default;

  // Opens the programmer and identifies the chip, with the family's lines; false when it
  // did not (its lines told why, the programmer is closed).
  virtual bool open(Opening why) = 0;
  virtual void close() = 0;
  // The family's link: the port, firmware and chip its last open found, for the journal.
  virtual const ProgrammerLink& programmerLink() const = 0;

  // A read begins: the documented lines and gauge from "Save the file" on.
  virtual void announceRead(const std::string& path) = 0;
  // A pass other than the first begins (before its open, or on the click's open for the
  // backup). A family with its own wording logs it and returns true; false: the job's line.
  virtual bool announcePass(Pass) { return false; }
  // The gauge for a read pass that is not the first one's, once the programmer is open.
  virtual void readGauge() = 0;
  // The first command of a read pass, with its time stamp; false when the pass could not
  // start (after its own lines and end bytes).
  virtual bool startReadPass() = 0;
  // The rest of the pass into run.capture(), through its end exchange; false when it failed,
  // after its own line and end byte.
  virtual bool readPass(FlashRun& run) = 0;

  // The image as the chip gets it (a family may pad a short file); its size is checked.
  virtual std::vector<std::uint8_t> shapeImage(std::vector<std::uint8_t> source) { return source; }
  // A write begins: its documented lines and gauge up to its first command.
  virtual void announceWrite(const std::string& path) = 0;
  // The write's exchange before it touches the chip (a connect), once announced; false when
  // it failed (after its own lines and end bytes): the chip is as it was.
  virtual bool startWritePass() { return true; }
  // A stop came before the first erase or write command: the family's end, after the job's line.
  virtual void stoppedBeforeWrite() {}
  // From the first erase or write command through the documented check; true when the chip
  // holds the image and the check says so (its own lines and end bytes on every path).
  virtual bool writePass(FlashRun& run) = 0;

  // A stand-alone erase, for a family that has one (also the erase before a write over a chip
  // that is not blank, for a family with eraseUnlessBlank). Its exchange before it changes the chip
  // (the chip's checks), once open; false when it refused or failed (after its own lines
  // and end bytes): the chip is as it was.
  virtual bool startErasePass() { return true; }
  // From its first command that changes the chip to its end; true when the chip reports it
  // erased.
  virtual bool erasePass(FlashRun&) { return false; }
};

}  // namespace jig
