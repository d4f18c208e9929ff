// The NPCE write: the image checked in the click, the optional backup read, then erase,
// blank check, the blocks and the verify in ReadThread_NPCE.
#include "Npce/NpceOperations.h"

#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "Npce/NpceProtocol.h"
#include "Npce/NpceTexts.h"
#include "files/Backups.h"
#include "files/ImageQuestion.h"
#include "link/NoAnswerLine.h"
#include "link/ReadIdioms.h"
#include "files/SourceFile.h"

namespace jig {

using namespace npce;

namespace {
constexpr const char* kBackupTask = "npce";
}  // namespace

bool NpceOperations::takeImage(const std::string& path) {
  SourceFile source = ReadSourceFile(path, kFlashSize);
  if (source.problem == SourceProblem::CannotOpen) {
    view_.errorBox(text::kOpenFailed);
    return false;
  }
  if (!source.ok()) {
    view_.log(SourceProblemLine(path, source, kFlashSize, LogLanguage::English));
    return false;
  }
  if (!ConfirmImage(view_, path, source.bytes, kFlashSize, LogLanguage::English)) return false;
  // A shorter file leaves FFh in the rest.
  std::fill(Image_NPCE.begin(), Image_NPCE.end(), 0xFF);
  std::copy(source.bytes.begin(), source.bytes.end(), Image_NPCE.begin());
  return true;
}

void NpceOperations::announceWrite() {
  view_.log(text::kWriteFile);
  view_.log(sourcePath_);
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  timeStamp();
  view_.log(text::kErase);
}

void NpceOperations::NPCE_WRITEClick() {
  if (Mode_NPCE != NpceMode::NONE) return;
  chipGate_.reset();
  const bool backup = backup_.load();
  if (!openAndCheck()) return;
  const auto name = view_.askOpenFile(OpenDialog_NPCE());
  if (!name) {
    view_.log(text::kWriteInterrupted);
    stopInClick();
    return;
  }
  view_.repaint();
  // The image is taken whole before anything more is sent: a file that cannot be read to
  // its end is refused, never written half.
  if (!takeImage(*name)) {
    stopInClick();
    return;
  }
  sourcePath_ = *name;
  if (backup) {
    // The copy of the chip is read on this open; the write opens the programmer again.
    view_.log(BackupStartLine(LogLanguage::English));
    view_.setGaugeColour(kGauge, colour::kGreen);
    view_.setGauge(kGauge, 0);
    disableDuring(kReadButton);
    timeStamp();
    capture_.collectOnly();
    backupRead_ = true;
    Mode_NPCE = NpceMode::Write_NPCE;
    Counter_NPCE = 1;
    link_.writeByte(kReadBlock);
    ReadThread_NPCE = std::jthread([this](std::stop_token stop) {
      if (backupThenReopen(stop)) writeWork(stop);
    });
    return;
  }
  announceWrite();
  disableDuring(kReadButton);
  // The erase takes seconds: it runs in the worker so the window stays responsive, and the
  // mode holds the lock from here, so a second click cannot start another operation.
  Mode_NPCE = NpceMode::Write_NPCE;
  ReadThread_NPCE = std::jthread([this](std::stop_token stop) { writeWork(stop); });
}

bool NpceOperations::backupThenReopen(std::stop_token& stop) {
  if (!readPass(stop)) return false;
  backupRead_ = false;
  link_.close();
  if (!KeepBackup(view_, kBackupTask, capture_.firstPass(), LogLanguage::English)) {
    end(false);
    return false;
  }
  if (stop.stop_requested() || !chipGate_.touch()) {
    view_.log(text::kWriteStoppedBeforeWrite);
    end(false);
    return false;
  }
  view_.log("");
  if (!reopen()) {
    view_.log(text::kWriteNotStarted);
    end(false);
    return false;
  }
  announceWrite();
  return true;
}

bool NpceOperations::eraseAndCheck() {
  link_.writeByte(kErase);
  const WaitResult erased = QueueWait(link_, 2, bounds_.eraseMs);
  if (erased != WaitResult::Ok) {
    failWithSignal(NoAnswerLine(text::kWhatEraseEnd, bounds_.eraseMs, erased), true);
    return false;
  }
  // The answer is taken only as exactly 2 bytes: a byte more is no answer this firmware
  // gives, and left waiting it would be read as the blank check's answer.
  DWORD left = 0, tx = 0, event = 0;
  if (link_.d2xx->FT_GetStatus(link_.handle, &left, &tx, &event) == FT_OK && left > 0) {
    failWithSignal(text::kEraseAnswerLength + std::to_string(2 + left) + text::kEraseAnswerLengthEnd, true);
    return false;
  }
  if (link_.buffer[0] != 1) {
    failWithSignal(text::kEraseFailed, true);
    return false;
  }
  view_.log(text::kCheckClear);
  link_.writeByte(kBlankCheck);
  WaitResult checked;
  const DWORD got = AwaitAnswer(link_, 2, bounds_.blankCheckMs, checked);
  if (got == 0) {
    failWithSignal(NoAnswerLine(text::kWhatBlankCheck, bounds_.blankCheckMs, checked), true);
    return false;
  }
  if (link_.buffer[0] != 1) {
    failWithSignal(text::kNotClear, true);
    return false;
  }
  view_.log(text::kAllClear);
  view_.log(text::kWrite);
  return true;
}

void NpceOperations::writeWork(std::stop_token stop) {
  // Without a backup the click has only opened the programmer: a stop that came since still
  // finds the chip as it was.
  if (stop.stop_requested() || !chipGate_.touch()) {
    failWithSignal(text::kWriteStoppedBeforeWrite, false);
    return;
  }
  if (!eraseAndCheck()) return;
  const DWORD byteBoundMs = static_cast<DWORD>(bounds_.byteTries) * limits::kNpceQueryTimeoutMs;
  auto fail = [&](std::string line) {
    view_.log(std::move(line));
    timeStamp();
    end(false);
  };
  std::size_t offset = 0;
  Counter_NPCE = 1;
  link_.writeByte(kWriteBlock);
  for (;;) {
    const int block = Counter_NPCE;
    const std::string of = text::kOfBlock + NumberOf(block, kWriteBlocks);
    if (!RetriedSingleByte(link_, bounds_.byteTries)) {
      fail(NoAnswerLine(text::kWhatReadyByte + of, byteBoundMs, WaitResult::TimedOut));
      return;
    }
    if (link_.buffer[0] != kReadyForBlock) {
      fail(text::kProtocolError);
      return;
    }
    link_.write(std::span(Image_NPCE.data() + offset, kWriteBlockSize));
    offset += kWriteBlockSize;
    if (const WaitResult drained = Drain(link_, bounds_.drainMs); drained != WaitResult::Ok) {
      fail(NoAnswerLine(text::kWhatTransmission + of, bounds_.drainMs, drained));
      return;
    }
    view_.setGauge(kGauge, kGaugeMax / kWriteBlocks * block);
    if (!RetriedSingleByte(link_, bounds_.byteTries)) {
      fail(NoAnswerLine(text::kWhatStatus + of, byteBoundMs, WaitResult::TimedOut));
      return;
    }
    if (link_.buffer[0] == 0) {
      Cmd_NPCE(link_, kEndWriting, bounds_.byteTries);
      fail(text::kBlockFailed);
      return;
    }
    if (block == kWriteBlocks) {
      if (!Cmd_NPCE(link_, kEndWriting, bounds_.byteTries)) {
        fail(NoAnswerLine(text::kWhatEndWriting, byteBoundMs, WaitResult::TimedOut));
        return;
      }
      verify(stop);
      return;
    }
    if (stop.stop_requested()) {
      Cmd_NPCE(link_, kEndWriting, bounds_.byteTries);
      fail(text::kWriteInterruptedAt + NumberOf(block, kWriteBlocks) + text::kFullStop);
      return;
    }
    Counter_NPCE = block + 1;
    link_.writeByte(kWriteBlock);
  }
}

void NpceOperations::verify(std::stop_token stop) {
  view_.log(text::kVerify);
  view_.setGaugeColour(kGauge, colour::kYellow);
  view_.setGauge(kGauge, 0);
  std::size_t offset = 0;
  Counter_NPCE = 0;
  bool allEqual = true;
  do {
    if (stop.stop_requested()) {
      failWithSignal(text::kVerifyInterrupted, true);
      return;
    }
    link_.writeByte(kReadBlock);
    WaitResult result;
    const DWORD got = AwaitBlock(link_, bounds_.blockMs, result);
    const int block = Counter_NPCE + 1;
    if (got == 0) {
      const std::string what = text::kReadBackBlock + NumberOf(block, kReadBlocks);
      failWithSignal(NoAnswerLine(what, bounds_.blockMs, result), true);
      return;
    }
    if (got != kReadBlockSize) {
      view_.log(text::kShortBlock + std::to_string(got));
      // The bytes that did not come cannot be confirmed: a short block counts as a difference.
      allEqual = false;
    }
    Counter_NPCE = block;
    if (!std::equal(link_.buffer.begin(), link_.buffer.begin() + got, Image_NPCE.begin() + static_cast<std::ptrdiff_t>(offset)))
      allEqual = false;
    offset += kReadBlockSize;
    view_.setGauge(kGauge, kGaugeMax / kReadBlocks * block);
  } while (allEqual && Counter_NPCE < kReadBlocks);

  link_.writeByte(kEndTransfer);
  WaitResult answered;
  if (AwaitAnswer(link_, 2, bounds_.answerMs, answered) == 0) {
    failWithSignal(NoAnswerLine(text::kWhatEndAnswer, bounds_.answerMs, answered), true);
    return;
  }
  bool success = false;
  if (link_.buffer[0] != 1) {
    view_.log(text::kCorrupted);
  } else if (allEqual) {
    view_.log(text::kProgrammed);
    success = true;
  } else {
    view_.log(text::kWrittenIncorrectly);
  }
  Cmd_NPCE(link_, success ? kSignalOk : kSignalFail, bounds_.byteTries);
  timeStamp();
  end(success);
}

}  // namespace jig
