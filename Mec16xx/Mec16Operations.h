#pragma once
// The MEC16xx family's steps for the flash job: the start and ID, the flash registers, the
// streamed read of MAIN (and INFO) and the paged write of MAIN, each pass ending with its own
// close; the probe and the erase are the family's own clicks under the job's lock. The Qt
// window TMEC16_Form forwards its events here; the command line calls the job.
#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Mec16xx/Mec16Controls.h"
#include "Mec16xx/Mec16FlashProtocol.h"
#include "job/FlashJob.h"
#include "link/D2xx.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"

namespace jig {

// Mode_MEC16's states: NONE, ID, ERASE, READ_MAIN, READ_INFO, WRITE_MAIN.
enum class Mec16Mode { None, Id, Erase, ReadMain, ReadInfo, WriteMain };

class Mec16Operations : private FlashSteps {
 public:
  Mec16Operations(D2xx& d2xx, TaskView& view, Mec16Bounds bounds = {});

  // What the window's buttons do (BitBtn_MEC16Click, BitBtn_RD_MEC16Click,
  // BitBtn_MEC16_ERASEClick, BitBtn_MEC16_WRITEClick, BitBtn_MEC16_HELPClick); the INFO
  // boxes' states come with the click. A click while an operation runs is ignored.
  void probe();
  void read(bool readInfoToo);
  void erase(bool eraseInfoToo);
  void write(bool writeInfoTicked);
  void help();
  void EXIT_MEC16Click();

  // Logs both protection lines and paints both indicators; true when either bit is set.
  bool CheckProtection_MEC16(std::uint8_t status);

  // Mode_MEC16, as the job's phase and the pass's area.
  Mec16Mode mode() const { return job_.busy() ? stage_.load() : Mec16Mode::None; }
  FlashJob& job() { return job_; }
  // INFO read behind MAIN by the job's reads (the read button's box).
  void setReadInfo(bool on) { readInfo_ = on; }

 private:
  bool open(Opening why) override;  // the MEC1609 profile; a click clears the exit's stop
  // A set-up refused after the open: 'O' and the closing line. A pass closes by itself.
  void close() override;
  const ProgrammerLink& programmerLink() const override { return link_; }
  void announceRead(const std::string& path) override;  // the file, then the MAIN or MAIN+INFO line
  bool announcePass(Pass pass) override;                 // its own lines; the backup opens anew
  void readGauge() override;                             // lime, one step a block of MAIN
  bool startReadPass() override;          // start, ID, FF3910h and FF3908h set, then "R000000"
  bool readPass(FlashRun& run) override;  // 192 MAIN blocks, then 2 INFO blocks when asked
  std::vector<std::uint8_t> shapeImage(std::vector<std::uint8_t> source) override;  // whole pages
  void announceWrite(const std::string& path) override;  // red gauge, one step a page
  bool writePass(FlashRun& run) override;  // protection test, set-up, 768 pages, release
  bool startErasePass() override;          // start, ID, the status and the protection test
  bool erasePass(FlashRun& run) override;  // the run set, the erase and its poll, the release

  void log(std::string_view line);
  void timeStamp();
  void send(std::uint8_t byte);
  // "1" and "j" with their answer lines; a bound that ran out says which.
  mec16::IdAnswer sendStartAndId();
  // Register writes up to the first lost, each said by the convention; false when one was lost.
  bool writeAll(std::initializer_list<mec16::RegisterWrite> writes);
  void release(const std::array<std::string_view, 3>& lossCodes);
  // The end of a pass or a click: its end bytes, the closing line (when said), close, time
  // stamp, empty line; returns success.
  bool finish(std::initializer_list<std::uint8_t> bytes, bool success, bool logClosed = true);
  // Start and ID; false when no ID came or it is all ones (said).
  bool idOk();
  // A stream that ends with the flash given back: "X", its line, the release, the end bytes
  // ("I" "0" after a stream that ended well).
  bool endStream(std::string_view line, const std::array<std::string_view, 3>& releaseLossCodes,
                 std::initializer_list<std::uint8_t> bytes = {mec16::kSucceeded, mec16::kClose},
                 bool success = true);
  // A run that failed: its line, then its end bytes as finish sends them; returns false.
  bool fail(std::string_view line, std::initializer_list<std::uint8_t> bytes, bool logClosed = true);
  bool receiveBlock(FlashRun& run, std::string_view area);
  bool readInfo(FlashRun& run);
  bool writeLastShortPage(const mec16::Page& page);
  // The probe's and the erase's start under the job's lock; false when a job runs.
  bool beginClick(JobPhase phase, Mec16Mode stage);
  void endClick(bool success);
  // Start, ID, the reads and the protection test; true when all came and no bit is set.
  bool checkChip(std::span<const mec16::RegisterRead> reads);

  TaskView& view_;
  Mec16Bounds bounds_;
  const FlashFacts facts_;
  ProgrammerLink link_;
  std::atomic<Mec16Mode> stage_{Mec16Mode::None};
  bool readInfo_ = false;       // the read button's box
  bool passInfo_ = false;       // the running read pass takes INFO too
  bool writeInfoTicked_ = false;
  bool erasing_ = false;    // the job runs the erase: its backup takes INFO when it erases INFO
  bool eraseInfo_ = false;  // the erase box
  std::size_t fileBytes_ = 0;   // of the image: a last page short of them goes padded
  // The exit button stops a MAIN read between blocks; a write it cannot stop says so once.
  std::atomic<bool> Stop_MEC16{false};
  std::atomic<bool> writeStopNoted_{false};
  int Counter_MEC16 = 0;
  FlashJob job_;  // last: its worker ends before the rest goes
};

}  // namespace jig
