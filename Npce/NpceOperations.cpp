#include "Npce/NpceOperations.h"

#include <algorithm>
#include <span>
#include <string>

#include "Npce/NpceFamily.h"
#include "Npce/NpceProtocol.h"
#include "Npce/NpceTexts.h"
#include "files/Backups.h"
#include "files/DumpChecks.h"
#include "link/NoAnswerLine.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"
#include "view/TimeStamp.h"

namespace jig {

using namespace npce;

namespace {
constexpr std::string_view kReadTwiceBox = control::kReadTwice;
constexpr std::string_view kBackupBox = control::kBackup;
}  // namespace

std::string_view ModeText(NpceMode mode) {
  switch (mode) {
    case NpceMode::Reading_NPCE: return text::kModeReading;
    case NpceMode::Write_NPCE: return text::kModeWriting;
    case NpceMode::NONE: break;
  }
  return text::kModeNone;
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

// The read: set-up in the click, the blocks and the second read in ReadThread_NPCE.

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
    view_.log(CreateFailedLine(*name, capture_.createError(), LogLanguage::English));
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
      const std::string what = text::kBlock + NumberOf(block, kReadBlocks);
      failWithSignal(NoAnswerLine(what, bounds_.blockMs, result), true);
      return false;
    }
    if (!capture_.take(std::span(link_.buffer.data(), kReadBlockSize))) {
      view_.log(text::kFilePrefix + capture_.target() + text::kFileRefusedAt + std::to_string(block) + text::kFullStop);
      finishRead(false);
      end(false);
      return false;
    }
    view_.setGauge(kGauge, kGaugeMax / kReadBlocks * block);
    if (block == kReadBlocks) break;
    if (stop.stop_requested()) {
      failWithSignal(text::kReadInterruptedAt + NumberOf(block, kReadBlocks) + text::kFullStop,
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
    view_.log(NoAnswerLine(text::kWhatEndAnswer, limits::kNpceQueryTimeoutMs, WaitResult::TimedOut));
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
    view_.log(text::kReadInterruptedBeforeSecond);
    end(false);
    return false;
  }
  view_.log(text::kReadingAgain);
  if (!reopen()) {
    view_.log(text::kSecondReadNotStarted);
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

void NpceOperations::EXIT_NPCEClick() {
  if (Mode_NPCE != NpceMode::NONE) return;
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
}

}  // namespace jig
