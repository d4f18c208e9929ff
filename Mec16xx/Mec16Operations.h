#pragma once
// The MEC16xx family's steps for the flash job: the start and ID, the flash registers, the
// streamed read of MAIN (and INFO) and the paged write of MAIN, each pass ending with its own
// close; the probe and the erase are the family's own clicks under the job's lock. The Qt
// window TMEC16_Form forwards its events here; the command line calls the job.
#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Mec16xx/Mec16Controls.h"
#include "Mec16xx/Mec16Protocol.h"
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
  enum class StartResult { Ok, ShortId, NoAnswer };
  struct RegisterWrite {
    std::string_view address, value, shown, lossCode;
  };

  bool open(Opening why) override;
  // A set-up refused after the open: 'O' and the closing line. A pass closes by itself.
  void close() override;
  void announceRead(const std::string& path) override;
  bool announcePass(Pass pass) override;
  void readGauge() override;
  bool startReadPass() override;
  bool readPass(FlashRun& run) override;
  std::vector<std::uint8_t> shapeImage(std::vector<std::uint8_t> source) override;
  void announceWrite(const std::string& path) override;
  bool writePass(FlashRun& run) override;

  void log(std::string_view line);
  void timeStamp();
  void send(std::uint8_t byte);
  // "1" and "j"; logs the answer lines. NoAnswer: a bound ran out, already logged.
  StartResult sendStartAndId(std::array<std::uint8_t, 4>& id);
  // A register write logged by the convention; false (loss line logged) when lost.
  bool writeLogged(const RegisterWrite& write);
  bool writeAll(std::initializer_list<RegisterWrite> writes);  // up to the first lost
  void release(std::string_view loss1, std::string_view loss2, std::string_view loss3);
  // The end of a pass or a click: its end bytes, the closing line (when said), close, time
  // stamp, empty line; returns success.
  bool finish(std::initializer_list<std::uint8_t> bytes, bool success, bool logClosed = true);
  // Start and ID; false when no ID came or it is all ones (said).
  bool idOk();
  // A stream that ended well: "X", its line, the release, "I" "0".
  bool streamDone(std::string_view line, std::string_view loss1, std::string_view loss2, std::string_view loss3);
  bool failStream(std::string_view line);  // "X", "O", "0" after the line
  bool failWrite(std::string_view line);   // "X", "O" after the line, no closing line
  bool receiveBlock(FlashRun& run, std::string_view area);
  bool readInfo(FlashRun& run);
  std::optional<bool> awaitPageAnswer();  // nullopt: no answer within the page bound
  bool writeLastShortPage(const std::array<std::uint8_t, mec16::kPageBytes>& page);
  // The probe's and the erase's start under the job's lock; false when a job runs.
  bool beginClick(JobPhase phase, Mec16Mode stage);
  void endClick(bool success);
  bool eraseAllowed();
  // A register read logged by the convention: its low byte, or nothing (loss line logged).
  std::optional<std::uint8_t> readLogged(std::string_view address, std::string_view lossCode);
  bool awaitEraseEnd();  // false (line logged) when the busy bit did not clear in time

  TaskView& view_;
  Mec16Bounds bounds_;
  const FlashFacts facts_;
  ProgrammerLink link_;
  std::atomic<Mec16Mode> stage_{Mec16Mode::None};
  bool readInfo_ = false;       // the read button's box
  bool passInfo_ = false;       // the running read pass takes INFO too
  bool writeInfoTicked_ = false;
  std::size_t fileBytes_ = 0;   // of the image: a last page short of them goes padded
  // The exit button stops a MAIN read between blocks; a write it cannot stop says so once.
  std::atomic<bool> Stop_MEC16{false};
  std::atomic<bool> writeStopNoted_{false};
  int Counter_MEC16 = 0;
  FlashJob job_;  // last: its worker ends before the rest goes
};

}  // namespace jig
