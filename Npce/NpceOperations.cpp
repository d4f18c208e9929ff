#include "Npce/NpceOperations.h"

#include <algorithm>
#include <span>
#include <string>

#include "Npce/NpceProtocol.h"
#include "link/Backups.h"
#include "link/DumpChecks.h"
#include "link/ImageQuestion.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"
#include "link/SourceFile.h"
#include "link/TimeStamp.h"

namespace jig {

using namespace npce;

namespace {
constexpr std::string_view kReadTwiceBox = control::kReadTwice;
constexpr std::string_view kBackupBox = control::kBackup;
constexpr const char* kBackupTask = "npce";
}  // namespace

std::string_view ModeText(NpceMode mode) {
  switch (mode) {
    case NpceMode::Reading_NPCE: return "Reading_NPCE";
    case NpceMode::Write_NPCE: return "Write_NPCE";
    case NpceMode::NONE: break;
  }
  return "NONE";
}

NpceOperations::NpceOperations(D2xx& d2xx, TaskView& view, NpceBounds bounds)
    : d2xx_(d2xx), view_(view), bounds_(bounds), link_(d2xx, kBufferSize), Image_NPCE(kFlashSize, 0xFF) {}

NpceOperations::~NpceOperations() {
  if (ReadThread_NPCE.joinable()) {
    ReadThread_NPCE.request_stop();
    ReadThread_NPCE.join();
  }
}

void NpceOperations::timeStamp() { view_.log(std::string(kCurrentTime) + LongTimeOfDay()); }

void NpceOperations::stopInClick() {
  link_.close();
  view_.ended(false);
}

bool NpceOperations::openAndCheck() {
  // The last worker set "NONE" as its last act on the link; let it finish its exit.
  if (ReadThread_NPCE.joinable()) ReadThread_NPCE.join();
  view_.log("");
  if (OpenProgrammer(link_, profiles::kNpce, view_) != OpenResult::Ready) {
    view_.ended(false);
    return false;
  }
  if (!NpceHandshake(link_, view_, bounds_.byteTries)) {
    stopInClick();
    return false;
  }
  return true;
}

bool NpceOperations::reopen() {
  return OpenProgrammer(link_, profiles::kNpce, view_) == OpenResult::Ready &&
         NpceHandshake(link_, view_, bounds_.byteTries);
}

void NpceOperations::disableDuring(std::string_view otherButton) {
  view_.enable(otherButton, false);
  view_.enable(kExitButton, false);
  view_.enable(kReadTwiceBox, false);
  view_.enable(kBackupBox, false);
}

void NpceOperations::end(bool success) {
  link_.close();
  // Whatever did not end in a saved dump leaves the chosen name as it was.
  capture_.abandon();
  if (!success && backupRead_) view_.log(BackupReadFailedLine(LogLanguage::English));
  backupRead_ = false;
  Mode_NPCE = NpceMode::NONE;
  for (std::string_view control : {kWriteButton, kReadButton, kExitButton, kReadTwiceBox, kBackupBox})
    view_.enable(control, true);
  view_.ended(success);
}

void NpceOperations::failWithSignal(std::string line, bool stamp) {
  view_.log(std::move(line));
  if (stamp) timeStamp();
  if (link_.isOpen) link_.d2xx->FT_Purge(link_.handle, FT_PURGE_RX);
  Cmd_NPCE(link_, kSignalFail, bounds_.byteTries);
  end(false);
}

// ---------------------------------------------------------------------------- read

void NpceOperations::NPCE_READClick() {
  if (Mode_NPCE != NpceMode::NONE) return;
  const bool twice = readTwice_.load();
  if (!openAndCheck()) return;
  const auto name = view_.askSaveFile(SaveDialog_NPCE());
  if (!name) {
    view_.log(text::kSaveInterrupted);
    stopInClick();
    return;
  }
  view_.repaint();
  // The dump goes beside the chosen name and replaces it only when whole; reading twice,
  // the passes wait in memory until they agree.
  if (!capture_.open(*name, twice)) {
    view_.errorBox(text::kCreateFailed);
    stopInClick();
    return;
  }
  view_.log(text::kSaveTheFile);
  view_.log(*name);
  view_.setGaugeColour(kGauge, colour::kGreen);
  view_.setGauge(kGauge, 0);
  view_.log(text::kReading);
  disableDuring(kWriteButton);
  timeStamp();
  Mode_NPCE = NpceMode::Reading_NPCE;
  Counter_NPCE = 1;
  link_.writeByte(kReadBlock);
  // From here on only the worker touches the link and the file.
  ReadThread_NPCE = std::jthread([this](std::stop_token stop) { readWork(stop); });
}

void NpceOperations::readWork(std::stop_token stop) {
  if (!readPass(stop)) return;
  if (capture_.wantsAnotherPass() && (!startSecondRead(stop) || !readPass(stop))) return;
  link_.close();
  auto ending = capture_.finish(LogLanguage::English);
  for (std::string& line : ending.lines) view_.log(std::move(line));
  end(ending.saved);
}

bool NpceOperations::readPass(std::stop_token& stop) {
  capture_.startPass();
  for (;;) {
    const int block = Counter_NPCE;
    WaitResult result;
    AwaitBlock(link_, bounds_.blockMs, result);
    if (result != WaitResult::Ok) {
      const std::string what = "block " + std::to_string(block) + " of " + std::to_string(kReadBlocks);
      failWithSignal(NoAnswerLine(what, bounds_.blockMs, result), true);
      return false;
    }
    if (!capture_.take(std::span(link_.buffer.data(), kReadBlockSize))) {
      view_.log("The file " + capture_.target() + " cannot be written; the read is stopped at block " +
                std::to_string(block) + ".");
      finishRead(false);
      end(false);
      return false;
    }
    view_.setGauge(kGauge, kGaugeMax / kReadBlocks * block);
    if (block == kReadBlocks) break;
    if (stop.stop_requested()) {
      failWithSignal("The read is stopped: the operation was interrupted at block " + std::to_string(block) + " of " +
                         std::to_string(kReadBlocks) + ".",
                     true);
      return false;
    }
    link_.writeByte(kReadBlock);
    Counter_NPCE = block + 1;
  }
  if (!finishRead(true)) {
    end(false);
    return false;
  }
  return true;
}

bool NpceOperations::finishRead(bool fileOk) {
  link_.writeByte(kEndTransfer);
  view_.log(text::kReadingComplete);
  timeStamp();
  const DWORD got = TimedRead(link_, 2);
  bool success = fileOk;
  if (got == 0) {
    view_.log(NoAnswerLine("the answer to '-'", limits::kNpceQueryTimeoutMs, WaitResult::TimedOut));
    success = false;
  } else if (link_.buffer[0] == 0) {
    view_.log(text::kCorrupted);
    success = false;
  }
  Cmd_NPCE(link_, success ? kSignalOk : kSignalFail, bounds_.byteTries);
  return success;
}

bool NpceOperations::startSecondRead(std::stop_token& stop) {
  link_.close();
  if (stop.stop_requested()) {
    view_.log("The read is stopped: the operation was interrupted before the second read.");
    end(false);
    return false;
  }
  view_.log("Reading again to compare ...");
  if (!reopen()) {
    view_.log("The second read did not start; the file is not written.");
    end(false);
    return false;
  }
  view_.setGaugeColour(kGauge, colour::kGreen);
  view_.setGauge(kGauge, 0);
  timeStamp();
  Counter_NPCE = 1;
  link_.writeByte(kReadBlock);
  return true;
}

// ---------------------------------------------------------------------------- write

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
  if (stop.stop_requested()) {
    view_.log("The write is stopped: the operation was interrupted before the write; the chip is not touched.");
    end(false);
    return false;
  }
  view_.log("");
  if (!reopen()) {
    view_.log("The write did not start; the chip is not touched.");
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
    failWithSignal(NoAnswerLine("the end of the erase", bounds_.eraseMs, erased), true);
    return false;
  }
  // The answer is taken only as exactly 2 bytes: a byte more is no answer this firmware
  // gives, and left waiting it would be read as the blank check's answer.
  DWORD left = 0, tx = 0, event = 0;
  if (link_.d2xx->FT_GetStatus(link_.handle, &left, &tx, &event) == FT_OK && left > 0) {
    failWithSignal("The answer to the erase came with " + std::to_string(2 + left) + " bytes instead of 2.", true);
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
    failWithSignal(NoAnswerLine("the answer of the blank check", bounds_.blankCheckMs, checked), true);
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
    const std::string of = " of block " + std::to_string(block) + " of " + std::to_string(kWriteBlocks);
    if (!RetriedSingleByte(link_, bounds_.byteTries)) {
      fail(NoAnswerLine("the ready byte '*'" + of, byteBoundMs, WaitResult::TimedOut));
      return;
    }
    if (link_.buffer[0] != kReadyForBlock) {
      fail(text::kProtocolError);
      return;
    }
    link_.write(std::span(Image_NPCE.data() + offset, kWriteBlockSize));
    offset += kWriteBlockSize;
    if (const WaitResult drained = Drain(link_, bounds_.drainMs); drained != WaitResult::Ok) {
      fail(NoAnswerLine("the transmission" + of, bounds_.drainMs, drained));
      return;
    }
    view_.setGauge(kGauge, kGaugeMax / kWriteBlocks * block);
    if (!RetriedSingleByte(link_, bounds_.byteTries)) {
      fail(NoAnswerLine("the status" + of, byteBoundMs, WaitResult::TimedOut));
      return;
    }
    if (link_.buffer[0] == 0) {
      Cmd_NPCE(link_, kEndWriting, bounds_.byteTries);
      fail(text::kBlockFailed);
      return;
    }
    if (block == kWriteBlocks) {
      if (!Cmd_NPCE(link_, kEndWriting, bounds_.byteTries)) {
        fail(NoAnswerLine("the answer to 07h", byteBoundMs, WaitResult::TimedOut));
        return;
      }
      verify(stop);
      return;
    }
    if (stop.stop_requested()) {
      Cmd_NPCE(link_, kEndWriting, bounds_.byteTries);
      fail("The write is stopped: the operation was interrupted at block " + std::to_string(block) + " of " +
           std::to_string(kWriteBlocks) + ".");
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
      failWithSignal("The verify is stopped: the operation was interrupted.", true);
      return;
    }
    link_.writeByte(kReadBlock);
    WaitResult result;
    const DWORD got = AwaitBlock(link_, bounds_.blockMs, result);
    const int block = Counter_NPCE + 1;
    if (got == 0) {
      const std::string what = "read-back block " + std::to_string(block) + " of " + std::to_string(kReadBlocks);
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
    failWithSignal(NoAnswerLine("the answer to '-'", bounds_.answerMs, answered), true);
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

void NpceOperations::EXIT_NPCEClick() {
  if (Mode_NPCE != NpceMode::NONE) return;
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
}

}  // namespace jig
