#pragma once
// The ITE family's steps for the flash job: Connect and the pre-preparation, the read of 512
// blocks, and the write's register sequence with its chip erase and the bytes that are not
// FFh after their Flash addresses. ITE's "verify after write" is the job's read-back. APPLY
// and the link check (IteSetup) are the family's own clicks under the job's lock; the board
// and its pins are IteBoard's. The Qt window TITE_FORM forwards its events here; the command
// line calls the job.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Ite/IteBoard.h"
#include "Ite/IteProtocol.h"
#include "Ite/IteTexts.h"
#include "job/FlashJob.h"
#include "job/JobVerdict.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"

namespace jig {

enum class IteMode { NONE, READ_ITE, WRITE_ITE_step_one };

class IteOperations : public IteBoard, private FlashSteps {
 public:
  IteOperations(D2xx& d2xx, TaskView& view, ite::IteBounds bounds = {});

  // What the window's buttons do (APPLY is ITE_SETUP_BitBtnClick, the link check
  // ITE_CHECK_CON_BitBtnClick): each returns at once; a started operation ends with
  // view.ended(success). A click while an operation runs is ignored.
  void apply();
  void checkConnection();
  void ITE_READ_BitBtnClick() { job_.read(); }
  void ITE_WRITE_BitBtnClick() { job_.write(); }
  void ITE_EXIT_BitBtnClick();
  // The stop of a running read or write (the window's thread). Before the chip is touched it
  // calls the whole write off; while it is being programmed it asks first, since the chip is
  // left half written; the backup read, the wait for the chip erase and the read-back end at
  // once.
  void ITE_STOP_BitBtnClick();

  // Mode_ITE, the window's only lock, as the job's phase: "NONE" when idle.
  IteMode mode() const { return job_.mode(IteMode::NONE, IteMode::READ_ITE, IteMode::WRITE_ITE_step_one); }
  FlashJob& job() { return job_; }
  // The line that follows a failed Connect while no APPLY has gone through since the window
  // was opened (the command line words it its own way).
  void setApplyFirstLine(std::string line) { applyFirstLine_ = std::move(line); }
  // The command line's APPLY comes before the action asked for, whose verdict is the one
  // that ends the command: a successful APPLY then logs none of its own.
  void setApplyIsPrelude(bool prelude) { applyIsPrelude_ = prelude; }

 private:
  // The bare open: the controller is first asked by Connect, inside each pass.
  bool open(Opening why) override;
  // An exchange the job ends before its pass did: the failure end byte.
  void close() override;
  const ProgrammerLink& programmerLink() const override { return link_; }
  void finish(std::uint8_t endByte);
  void log(std::string_view line) { view_.log(std::string(line)); }
  void timeStamp();
  // The rest of APPLY and the link check once they hold the job's lock: the open, their
  // exchange, the close, the verdict of the given kind, the lock given back and the end.
  void ownClick(CheckKind kind, const std::function<bool()>& exchange);
  // Connect failed: without an APPLY since the window was opened the programmer may hold no
  // pins, and the documented failure lines cannot say so.
  void adviseApply();

  // The read: every pass after a read's first is an exchange of its own, from its open to
  // its end byte.
  // The lime gauge, the time stamp and the read's first line; the path is not logged.
  void announceRead(const std::string& path) override;
  // Remembers which pass follows: each opens with its own stamp and line.
  bool announcePass(Pass pass) override;
  void readGauge() override;
  // Connect and the read's register preparation (the backup on an open of its own).
  bool startReadPass() override;
  // 512 blocks, the dump's pattern line after a read's first pass, the end byte.
  bool readPass(FlashRun& run) override;
  bool readBlocks(FlashRun& run);

  // The write.
  // FFh after a short file: the chip erase has put it there.
  std::vector<std::uint8_t> shapeImage(std::vector<std::uint8_t> source) override;
  // The red gauge, the stamp, the file's full path and the write's first line.
  void announceWrite(const std::string& path) override;
  // Connect, before the chip is touched.
  bool startWritePass() override;
  // The failure end byte and the stamp.
  void stoppedBeforeWrite() override;
  // The register sequence with the chip erase, then the bytes after their Flash addresses.
  bool writePass(FlashRun& run) override;
  // The image's bytes that are not FFh, each run after a Flash address; false (logged) when
  // the programmer refused or the stop came. firstAddress: no address sent yet.
  bool programImage(FlashRun& run, bool& firstAddress);
  // One Flash address; false (logged: unanswered when no answer came within the bound) when
  // the programmer did not take it.
  // A stop request ends the wait at once (false, nothing logged).
  bool flashAddress(std::uint32_t position, std::uint32_t boundMs, const char* unanswered = ite::text::kAddressError,
                    const std::stop_token& stop = {});
  // The first Flash address after the chip erase: answered once the erase is over, or ended
  // by a stop (logged).
  bool eraseOver(FlashRun& run, std::uint32_t position, const char* unanswered = ite::text::kAddressError);

  TaskView& view_;
  const ite::IteBounds bounds_;
  const FlashFacts facts_;
  ProgrammerLink link_;
  std::optional<Pass> pass_;  // the read pass that runs: none for a read's first
  // An APPLY went through since the window was opened (set by the GUI thread, read by the
  // job's worker).
  std::atomic<bool> pinsSent_{false};
  std::string applyFirstLine_ = ite::text::kApplyFirst;
  bool applyIsPrelude_ = false;
  FlashJob job_;  // last: its worker ends (the link closed) before the rest goes
};

}  // namespace jig
