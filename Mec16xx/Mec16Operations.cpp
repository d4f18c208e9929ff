#include "Mec16xx/Mec16Operations.h"

#include <algorithm>
#include <span>
#include <utility>

#include "Mec16xx/Mec16Family.h"
#include "Mec16xx/Mec16OperationsCommon.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "files/Backups.h"
#include "files/DumpChecks.h"
#include "link/OpenProgrammer.h"
#include "view/TimeStamp.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

namespace {

// The MAIN block of a dump: the firmware a technician may flash back, and so what the
// sanity check judges (a blank INFO block behind real firmware is normal).
std::span<const std::uint8_t> MainPart(const std::vector<std::uint8_t>& dump) {
  return std::span<const std::uint8_t>(dump).first(std::min(dump.size(), kMainBytes));
}

}  // namespace

std::string_view ModeText(Mec16Mode mode) {
  switch (mode) {
    case Mec16Mode::None: return kModeNone;
    case Mec16Mode::Id: return kModeId;
    case Mec16Mode::Erase: return kModeErase;
    case Mec16Mode::ReadMain: return kModeReadMain;
    case Mec16Mode::ReadInfo: return kModeReadInfo;
    case Mec16Mode::WriteMain: return kModeWriteMain;
  }
  return kModeNone;
}

Mec16Operations::Mec16Operations(D2xx& d2xx, TaskView& view, Mec16Bounds bounds)
    : d2xx_(d2xx), view_(view), bounds_(bounds), link_(d2xx, kBufferSize) {}

Mec16Operations::~Mec16Operations() {
  Stop_MEC16 = true;
  joinWorker();
}

void Mec16Operations::joinWorker() {
  if (ReadThread_MEC16.joinable()) ReadThread_MEC16.join();
}

// ---------------------------------------------------------------------------------------
// The frame every operation shares.

bool Mec16Operations::begin(Mec16Mode mode) {
  Mec16Mode idle = Mec16Mode::None;
  if (!Mode_MEC16.compare_exchange_strong(idle, mode)) return false;
  // The last worker set NONE as its last act and is ending; collect it.
  joinWorker();
  kind_ = mode;
  followUp_ = FollowUp::None;
  inFollowUp_ = false;
  followUpStarted_ = false;
  inBackup_ = false;
  streamToFile_ = false;
  cancel_ = false;
  writeRunning_ = false;
  writeStopNoted_ = false;
  received_.clear();
  expected_.clear();
  image_.clear();
  return true;
}

bool Mec16Operations::openLink() { return OpenProgrammer(link_, profiles::kMec16, view_) == OpenResult::Ready; }

void Mec16Operations::log(std::string_view line) { view_.log(std::string(line)); }

void Mec16Operations::log(std::string_view prefix, std::string_view rest) {
  view_.log(std::string(prefix) + std::string(rest));
}

void Mec16Operations::timeStamp() { log(kCurrentTimeRu, LongTimeOfDay()); }

void Mec16Operations::send(std::uint8_t byte) { link_.writeByte(byte); }

Mec16Operations::StartResult Mec16Operations::sendStartAndId(std::array<std::uint8_t, 4>& id) {
  send(kStart);
  if (AwaitStartAnswer(link_, bounds_.answerMs) != WaitResult::Ok) {
    log(kNoAnswerTo1);
    return StartResult::NoAnswer;
  }
  log(kAnswerTo1);
  send(kReadId);
  DWORD gathered = 0;
  ReadId(link_, bounds_.answerMs, id, gathered);
  if (gathered == 0) {
    log(kNoId);
    return StartResult::NoAnswer;
  }
  StartResult result = StartResult::Ok;
  if (gathered < 4) {
    log(kShortId);
    result = StartResult::ShortId;
  }
  log(kIdPrefix, RegisterValueText(id.data()));
  return result;
}

bool Mec16Operations::writeLogged(std::string_view address, std::string_view value, std::string_view shown,
                                  std::string_view lossCode) {
  Result_MEC16 = WriteReg_MEC16(link_, address, value);
  if (Result_MEC16 == kMecLost) {
    log(Lost(lossCode));
    return false;
  }
  log(std::string(kWroteRegister) + std::string(address) + std::string(kAddressSuffix) + std::string(shown));
  return true;
}

void Mec16Operations::release(std::string_view loss1, std::string_view loss2, std::string_view loss3) {
  writeLogged(kFlashCommand, "00000100", "100h", loss1);
  writeLogged(kFlashCommand, "00000000", "0", loss2);
  writeLogged(kFlashEnable, "00000000", "0", loss3);
}

void Mec16Operations::finish(bool success, bool logClosed) {
  if (logClosed) log(kClosed);
  link_.close();
  timeStamp();
  log("");
  afterOperation(success);
}

void Mec16Operations::endAction(bool success) {
  // A dump not committed by now is not whole: its temporary file goes, the target stays.
  File_MEC16.reset();
  writeRunning_ = false;
  if (boxesHeld_) {
    view_.enable(kVerifyAfterWrite, true);
    view_.enable(kReadTwice, true);
    view_.enable(kBackup, true);
    boxesHeld_ = false;
  }
  Mode_MEC16 = Mec16Mode::None;
  view_.ended(success);
}

// The read-back checks come after the documented run has closed its handle, each as a
// run of its own; the click still ends once, successful only when the check agrees too.
void Mec16Operations::afterOperation(bool success) {
  if (std::exchange(inBackup_, false)) {
    if (!success) {
      log(BackupReadFailedLine(kLanguage));
      return endAction(false);
    }
    const SavedBackup saved = SaveBackup("mec16", received_);
    for (const std::string& line : BackupLines(saved, kLanguage)) log(line);
    received_.clear();
    if (!saved.ok) return endAction(false);
    return continueWithWrite();
  }
  if (!success) return endAction(false);
  if (!inFollowUp_) {
    if (kind_ == Mec16Mode::ReadMain) {
      log(DumpPatternLine(CheckDumpPattern(MainPart(received_)), kLanguage));
      if (followUp_ == FollowUp::ReadTwice) {
        expected_ = std::move(received_);
        received_.clear();
        return startFollowUpRead();
      }
    }
    if (kind_ == Mec16Mode::WriteMain && followUp_ == FollowUp::Verify) return startFollowUpRead();
    return endAction(true);
  }
  if (followUp_ == FollowUp::Verify) {
    // Only the pages sent are compared: a short file leaves the rest of MAIN as it was.
    const auto back = std::span<const std::uint8_t>(received_).first(std::min(received_.size(), expected_.size()));
    const auto difference = CompareDumps(expected_, back);
    log(VerifyLine(difference, kLanguage));
    return endAction(!difference);
  }
  const auto difference = CompareDumps(expected_, received_);
  log(ReadTwiceLine(difference, kLanguage));
  if (difference) return endAction(false);
  endAction(saveDump(received_));
}

void Mec16Operations::startFollowUpRead() {
  inFollowUp_ = true;
  // A stop pressed during the first read of a pair is kept, so it ends the second at its
  // first block. A write never sets it: the verify runs whatever the exit button says.
  if (followUp_ == FollowUp::Verify) Scope_MEC16 = kScopeMainOnly;
  if (startExtraRead(followUp_ == FollowUp::Verify ? kVerifyReadStarts : kSecondReadStarts)) followUpStarted_ = true;
}

bool Mec16Operations::startExtraRead(std::string_view line) {
  received_.clear();
  // The mode never went back to NONE: the click is not over.
  Mode_MEC16 = Mec16Mode::ReadMain;
  view_.setGaugeColour(kGauge, colour::kLime);
  view_.setGauge(kGauge, 0);
  view_.setGaugeMax(kGauge, kMainBlocks);
  timeStamp();
  log(line);
  if (!openLink()) {
    afterOperation(false);
    return false;
  }
  log(kReadStarted);
  return startMainStream();
}

bool Mec16Operations::saveDump(const std::vector<std::uint8_t>& dump) {
  // Renamed over the chosen name only once it is whole on the disk.
  if (File_MEC16 && File_MEC16->write(dump) && File_MEC16->commit()) return true;
  log(kFileWriteFailed);
  return false;
}

bool Mec16Operations::beginTransfer(Mec16Mode mode, Rgb gaugeColour, int gaugeMaximum) {
  if (!begin(mode)) return false;
  Stop_MEC16 = false;
  view_.enable(kVerifyAfterWrite, false);
  view_.enable(kReadTwice, false);
  view_.enable(kBackup, false);
  boxesHeld_ = true;
  view_.setGaugeColour(kGauge, gaugeColour);
  view_.setGauge(kGauge, 0);
  view_.setGaugeMax(kGauge, gaugeMaximum);
  if (openLink()) return true;
  endAction(false);
  return false;
}

void Mec16Operations::refuseSetUp(std::string_view line) {
  log(line);
  refuseAfterOpen();
}

void Mec16Operations::refuseAfterOpen() {
  send(kFailed);
  log(kClosed);
  link_.close();
  endAction(false);
}

void Mec16Operations::handlerFailure() {
  send(kFailed);
  send(kClose);
  finish(false, true);
}

}  // namespace jig
