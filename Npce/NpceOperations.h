#pragma once
// The NPCE family's steps for the flash job: the ID check, the read of 256 blocks with its
// end answer and signal, and the erase, blank check, write and verify. The Qt window
// TNPCE_FORM forwards its events here; the command line calls the job.
#include <cstdint>
#include <string>
#include <vector>

#include "Npce/NpceBounds.h"
#include "job/FlashJob.h"
#include "link/ProgrammerLink.h"
#include "view/TimeStamp.h"

namespace jig {

enum class NpceMode { NONE, Reading_NPCE, Write_NPCE };

class NpceOperations : private FlashSteps {
 public:
  NpceOperations(D2xx& d2xx, TaskView& view, NpceBounds bounds = {});

  void NPCE_READClick() { job_.read(); }
  void NPCE_WRITEClick() { job_.write(); }
  void EXIT_NPCEClick();

  // Mode_NPCE, the window's only lock, as the job's phase: "NONE" when idle.
  NpceMode mode() const { return job_.mode(NpceMode::NONE, NpceMode::Reading_NPCE, NpceMode::Write_NPCE); }
  // Read twice, backup, stop and the chip gate are the job's.
  FlashJob& job() { return job_; }

 private:
  bool open(Opening why) override;  // an empty line (none at a second read); the 'Z' ID check
  void close() override { link_.close(); }
  const ProgrammerLink& programmerLink() const override { return link_; }
  void announceRead(const std::string& path) override;
  void readGauge() override;  // green from 0
  bool startReadPass() override;  // a time stamp and the first 'r'
  bool readPass(FlashRun& run) override;  // 256 blocks of 512 bytes, 'r' between them, then '-' and 'I' or 'O'
  std::vector<std::uint8_t> shapeImage(std::vector<std::uint8_t> source) override;
  void announceWrite(const std::string& path) override;
  // Stale bytes dropped, then the failure signal 'O'.
  void stoppedBeforeWrite() override;
  bool writePass(FlashRun& run) override;  // 'e', 'x', 512 blocks of 256 bytes after 'w', the read-back

  // The end of a pass: '-', its answer, 'I' or 'O'; true when the answer was not a failure.
  bool finishRead(bool fileOk);
  bool writeBlocks(FlashRun& run);
  bool verify(FlashRun& run);
  // A failure's line, a time stamp and the failure signal (SignalFailure); returns false.
  bool failWithSignal(std::string line);
  void timeStamp() { view_.log(TimeStampLine()); }

  TaskView& view_;
  NpceBounds bounds_;
  const FlashFacts facts_;
  ProgrammerLink link_;
  int Counter_NPCE = 0;
  FlashJob job_;  // last: its worker ends before the link closes
};

}  // namespace jig
