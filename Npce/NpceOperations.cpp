#include "Npce/NpceOperations.h"

#include <algorithm>
#include <span>
#include <string>

#include "Npce/NpceControls.h"
#include "Npce/NpceFamily.h"
#include "Npce/NpceProtocol.h"
#include "Npce/NpceTexts.h"
#include "link/NoAnswerLine.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"

namespace jig {

using namespace npce;

namespace {
FlashFacts NpceFacts() {
  return {.task = "npce", .chipSize = kFlashSize,
          .saveDialog = {text::kSaveTitle, text::kSaveFilter, text::kBinExtension, text::kDefaultName, true},
          .openDialog = {text::kOpenTitle, text::kOpenFilter, {}, {}, false},
          .saveInterrupted = text::kSaveInterrupted, .writeInterrupted = text::kWriteInterrupted,
          .createFailedBox = text::kCreateFailed, .openFailedBox = text::kOpenFailed,
          .texts = DefaultFlashTexts(LogLanguage::English),
          .lockedWhileReading = {control::kWrite, control::kExit},
          .lockedWhileWriting = {control::kRead, control::kExit},
          .enabledWhenIdle = {control::kWrite, control::kRead, control::kExit}};
}
}  // namespace

NpceOperations::NpceOperations(D2xx& d2xx, TaskView& view, NpceBounds bounds)
    : view_(view), bounds_(bounds), facts_(NpceFacts()), link_(d2xx, kBufferSize), job_(*this, view, facts_) {}

bool NpceOperations::open(Opening why) {
  if (why != Opening::SecondRead) view_.log("");
  if (OpenProgrammer(link_, profiles::kNpce, view_) != OpenResult::Ready) return false;
  if (!NpceHandshake(link_, view_, bounds_.byteTries)) {
    link_.close();
    return false;
  }
  return true;
}

void NpceOperations::EXIT_NPCEClick() {
  if (job_.busy()) return;
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
}

void NpceOperations::failWithSignal(std::string line, bool stamp) {
  view_.log(std::move(line));
  if (stamp) timeStamp();
  stoppedBeforeWrite();
}

void NpceOperations::stoppedBeforeWrite() {
  if (link_.isOpen) link_.d2xx->FT_Purge(link_.handle, FT_PURGE_RX);
  Cmd_NPCE(link_, kSignalFail, bounds_.byteTries);
}

// The read.

void NpceOperations::announceRead(const std::string& path) {
  view_.log(text::kSaveTheFile);
  view_.log(path);
  readGauge();
  view_.log(text::kReading);
}

void NpceOperations::readGauge() {
  view_.setGaugeColour(control::kGauge, colour::kGreen);
  view_.setGauge(control::kGauge, 0);
}

bool NpceOperations::startReadPass() {
  timeStamp();
  Counter_NPCE = 1;
  link_.writeByte(kReadBlock);
  return true;
}

bool NpceOperations::readPass(FlashRun& run) {
  run.capture().startPass();
  for (;;) {
    const int block = Counter_NPCE;
    WaitResult result;
    AwaitBlock(link_, bounds_.blockMs, result);
    if (result != WaitResult::Ok) {
      failWithSignal(NoAnswerLine(text::kBlock + NumberOf(block, kReadBlocks), bounds_.blockMs, result));
      return false;
    }
    if (!run.capture().take(std::span(link_.buffer.data(), kReadBlockSize))) {
      view_.log(text::kFilePrefix + run.capture().target() + text::kFileRefusedAt + std::to_string(block) +
                text::kFullStop);
      finishRead(false);
      return false;
    }
    view_.setGauge(control::kGauge, kGaugeMax / kReadBlocks * block);
    run.progress(block, kReadBlocks);
    if (block == kReadBlocks) break;
    if (run.stopRequested()) {
      failWithSignal(text::kReadInterruptedAt + NumberOf(block, kReadBlocks) + text::kFullStop);
      return false;
    }
    link_.writeByte(kReadBlock);
    Counter_NPCE = block + 1;
  }
  return finishRead(true);
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

}  // namespace jig
