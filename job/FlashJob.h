#pragma once
// The flash job every chip family shares. A family supplies its steps (FlashSteps); the job
// owns the rest: one worker at a time, the phase, stop, the gate before the chip is touched,
// the source check and its question, the backup before a write, the second read, the dump
// commit, the end (exactly once) and the report of the finished job.
//
// Stop, by phase: before the chip is touched (the click, the backup read, the wait for the
// write's first command) a stop or a signal calls the whole write off and the chip keeps what
// it holds; while the chip is being written, the family's pass ends at its next block through
// its failure path, leaving it half written; after (the documented check, a read) the pass
// ends at its next block and no file is written.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <ctime>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "files/DumpCapture.h"
#include "job/ChipGate.h"
#include "job/FlashSteps.h"
#include "job/JobReport.h"
#include "view/TaskView.h"

namespace jig {

class FlashJob {
 public:
  FlashJob(FlashSteps& steps, TaskView& view, const FlashFacts& facts);
  ~FlashJob();
  FlashJob(const FlashJob&) = delete;
  FlashJob& operator=(const FlashJob&) = delete;

  // The verbs. Each returns at once; a started job ends with view.ended(success) and one
  // report. Asked while a job runs, nothing happens.
  void read();
  void write();
  // A stand-alone erase: asked first (No unless answered Yes), with the backup as a write
  // takes it. Only for a family whose steps have an erase pass.
  void erase();

  JobPhase phase() const { return phase_.load(); }
  bool busy() const { return phase() != JobPhase::Idle; }
  // A read or a write runs: what a stop can end (an operation that claimed the lock runs in
  // its click, with nothing to stop).
  bool transferring() const { return busy() && !claimed_.load(); }
  // The phase in a family's own words (its window's mode): idle, a read, or anything else a
  // job does (a write with its backup and verify).
  template <class Mode>
  Mode mode(Mode idle, Mode reading, Mode writing) const {
    const JobPhase now = phase();
    return now == JobPhase::Idle ? idle : now == JobPhase::Reading ? reading : writing;
  }

  // Read twice and compare: taken when a read starts.
  void setReadTwice(bool on) { readTwice_.store(on); }
  bool readTwice() const { return readTwice_.load(); }
  // Backup before write: taken when a write starts.
  void setBackup(bool on) { backup_.store(on); }
  bool backup() const { return backup_.load(); }
  // The read-back after a write, for a family without a documented check: taken when a
  // write starts; on unless turned off.
  void setVerifyAfterWrite(bool on) { verifyAfterWrite_.store(on); }
  bool verifyAfterWrite() const { return verifyAfterWrite_.load(); }
  // A write over a chip that is not blank, for a family whose write does not erase: nothing,
  // the window asks (No unless answered Yes); true, erase first (the command line's --erase);
  // false, refused. Taken when a write starts.
  void setEraseFirst(std::optional<bool> answer) { eraseFirst_ = answer; }

  // An operation the family runs by itself (a probe, a link check) holds the job's lock as
  // a job would: false when a job runs. release() gives it back.
  bool claim(JobPhase phase);
  void release();

  // Asks the running job to end through its failure path. Nothing happens when none runs.
  // Any thread, at any time: the stop source is made before its worker starts.
  void requestStop() { stop_.request_stop(); }
  // Whether a write has touched the chip yet, and the way to call it off before it has.
  ChipGate& chipGate() { return gate_; }
  // The technician's label for the jobs to come (a ticket or board number): set and taken
  // on the click's thread, copied into the job when it starts.
  void setLabel(std::string label) { label_ = std::move(label); }
  const std::string& label() const { return label_; }
  // The journal's and the backups' name for this family's jobs ("kb90").
  const std::string& task() const { return facts_.task; }
  // Where finished jobs are told (any thread: the worker's or the click's).
  void setReporter(JobReporter reporter) { reporter_ = std::move(reporter); }
  // Waits for the last worker to be gone (its end has been told already).
  void joinWorker();

 private:
  friend class FlashRun;
  void publish(JobPhase phase, int done = 0, int total = 0);
  // A pass enters a step (its erase, its writing, its check): published, and where the chip
  // stands follows it.
  void enterPhase(JobPhase phase);
  // The technician called the job off before it touched the chip.
  void calledOff();
  // The gate before the first command that changes the chip: false when a stop came first,
  // and the job is then called off and ended with its line.
  bool passGate(FlashRun& run);
  // freshStop false: a stop asked of the job's last worker still counts for this one.
  void startWorker(void (FlashJob::*work)(FlashRun&), bool freshStop = true);
  void readWork(FlashRun& run);
  bool secondRead(FlashRun& run);
  void writeWork(FlashRun& run);
  void eraseWork(FlashRun& run);
  // The read before a change, on the click's open, to its end; saved when it is the backup.
  // False when the job has ended.
  bool keepReadBefore(FlashRun& run);
  // The last point where a stop leaves the chip as it was, then the programmer opened again
  // for what changes it; false when the job has ended.
  bool reopenToChange(FlashRun& run, const std::string& notStarted);
  // The click's part of a write or an erase once the programmer is open: the start of the
  // read before it (the backup, or the blank check) or the family's own; false when the job
  // has ended.
  bool startChanging(JobPhase phase, bool readFirst, const std::function<bool()>& startWithoutRead);
  bool erasing() const { return report_.action == "erase"; }
  // The write's announcement and its exchange before it touches the chip; false when the job
  // has ended.
  bool startWrite();
  // The chip is not blank where the image goes: the command line's answer, or the window's.
  void eraseFirst(FlashRun& run);
  void eraseThenWrite(FlashRun& run);
  // The write from its first erase or write command, once the gate lets it.
  void writeFromGate(FlashRun& run);
  // The read-back after a write that ended well; ends the job.
  void verifyByReadBack(FlashRun& run);
  // Another read pass on a fresh open (the second read, the read-back); false when it did
  // not start (then failureLine is logged when not empty, and the job has ended).
  bool startPass(Pass pass, Opening why, const std::string& failureLine);
  bool takeImage(const std::string& path);
  // A file the job cannot create or open: in a box, or in the log where the family says so.
  void fileProblem(const std::string& text);
  // Closes the programmer and the file, back to idle, the report, then ended: exactly once.
  void end(bool success);
  // end(false) for a step that stops the worker early: false.
  bool endFailed();
  // A job's phase begins: published, and the family's documented controls locked for it.
  void begin(JobPhase phase);
  // The family's documented controls given back.
  void unlockControls();

  FlashSteps& steps_;
  TaskView& view_;
  const FlashFacts& facts_;
  std::atomic<JobPhase> phase_{JobPhase::Idle};
  std::atomic<bool> claimed_{false};
  std::atomic<bool> readTwice_{false};
  std::atomic<bool> backup_{false};
  std::atomic<bool> verifyAfterWrite_{true};
  bool verifyNow_ = false;  // the setting the running write took
  bool readBackAsked_ = false;  // the family skipped its own check on this write
  bool writtenWrong_ = false;   // the family's own check failed on this write
  ChipGate gate_;
  DumpCapture capture_;  // a read's dump, or the backup before a write
  std::vector<std::uint8_t> image_;
  bool backupRead_ = false;  // the read before a change runs: a failure says it does not start
  bool keepBackup_ = false;  // that read is the backup (else only the blank check)
  std::optional<bool> eraseFirst_;     // see setEraseFirst
  std::optional<bool> eraseFirstNow_;  // the answer the running write took
  JobReport report_;
  JobReporter reporter_;
  std::string label_;
  // The current worker's stop. Its own member, not the thread's: the worker itself may ask
  // for a stop while the click that starts it is still storing the thread.
  std::stop_source stop_;
  std::jthread worker_;  // last: joined before the rest goes
};

}  // namespace jig
