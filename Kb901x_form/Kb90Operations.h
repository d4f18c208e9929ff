#pragma once
// The KB90xx family's steps for the flash job: the handshake, the read of 512 blocks, the
// write of 512 blocks and its checksum verify, with the documented texts and controls. The
// Qt window TKB901X_forms forwards its events here; the command line calls the job.
#include <string>

#include "Kb901x_form/Kb90Checksums.h"
#include "Kb901x_form/Kb90Protocol.h"
#include "job/FlashJob.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "view/TimeStamp.h"

namespace jig {

enum class Kb90Mode { None, Reading, Writing };

class Kb90Operations : private FlashSteps {
 public:
  Kb90Operations(D2xx& d2xx, TaskView& view, Kb90Bounds bounds = {});

  // The window's handlers: each returns at once; a started operation ends with
  // view.ended(success). A click while an operation runs is ignored.
  void KB901X_READClick() { job_.read(); }
  void KB901X_WRITEClick() { job_.write(); }
  // Back to the main window; false (nothing done) while an operation runs.
  bool EXIT_KB901XClick();

  // Mode_KB90, as the job's phase.
  Kb90Mode mode() const { return job_.mode(Kb90Mode::None, Kb90Mode::Reading, Kb90Mode::Writing); }
  // Read twice, backup, stop and the chip gate are the job's.
  FlashJob& job() { return job_; }

 private:
  bool open(Opening why) override;  // a click clears the log; the 'V' link check
  void close() override { link_.close(); }
  const ProgrammerLink& programmerLink() const override { return link_; }
  void announceRead(const std::string& path) override;
  void readGauge() override;  // green from 0, its maximum 32768
  bool startReadPass() override;  // a time stamp and 'R'
  bool readPass(FlashRun& run) override;  // 512 blocks of 256 bytes, 'N' between them, then 'X' and 'I'
  void announceWrite(const std::string& path) override;
  bool writePass(FlashRun& run) override;  // 'W', 512 blocks each after its ready byte, then the checksum

  // The verify after the last block: the checksum against the file's.
  bool verify(FlashRun& run);
  // The failure path of a pass: one line, 'O' when the link still answers; returns false.
  bool fail(FlashRun& run, const std::string& line, bool linkAnswers);
  void timeStamp() { view_.log(TimeStampLine()); }

  TaskView& view_;
  const Kb90Bounds bounds_;
  const FlashFacts facts_;
  ProgrammerLink link_;
  int Counter_KB90 = 0;
  Kb90Sums sums_;
  FlashJob job_;  // last: its worker ends before the link closes
};

}  // namespace jig
