#include "Npce/NpceOperations.h"

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
  if (NpceHandshake(link_, view_, bounds_)) return true;
  link_.close();
  return false;
}

void NpceOperations::EXIT_NPCEClick() {
  if (job_.busy()) return;
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
}

bool NpceOperations::failWithSignal(std::string line) {
  view_.log(std::move(line));
  timeStamp();
  stoppedBeforeWrite();
  return false;
}

void NpceOperations::stoppedBeforeWrite() { SignalFailure(link_, bounds_.byteTries); }

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
  for (;; ++Counter_NPCE) {
    const std::string at = NumberOf(Counter_NPCE, kReadBlocks);
    const WaitResult result = AwaitBlock(link_, bounds_.blockMs).wait;
    if (result != WaitResult::Ok) return failWithSignal(NoAnswerLine(text::kBlock + at, bounds_.blockMs, result));
    if (!run.capture().take(std::span(link_.buffer.data(), kReadBlockSize))) {
      view_.log(text::kFilePrefix + run.capture().target() + text::kFileRefusedAt + std::to_string(Counter_NPCE) +
                text::kFullStop);
      return finishRead(false);
    }
    view_.setGauge(control::kGauge, kGaugeMax / kReadBlocks * Counter_NPCE);
    run.progress(Counter_NPCE, kReadBlocks);
    if (Counter_NPCE == kReadBlocks) break;
    if (run.stopRequested()) return failWithSignal(text::kReadInterruptedAt + at + text::kFullStop);
    link_.writeByte(kReadBlock);
  }
  return finishRead(true);
}

bool NpceOperations::finishRead(bool fileOk) {
  link_.writeByte(kEndTransfer);
  view_.log(text::kReadingComplete);
  timeStamp();
  const ReadEnd end = TakeReadEnd(link_);
  if (end == ReadEnd::Missing)
    view_.log(NoAnswerLine(text::kWhatEndAnswer, limits::kNpceQueryTimeoutMs, WaitResult::TimedOut));
  if (end == ReadEnd::Corrupted) view_.log(text::kCorrupted);
  const bool success = fileOk && end == ReadEnd::Good;
  Cmd_NPCE(link_, success ? kSignalOk : kSignalFail, bounds_.byteTries);
  return success;
}

}  // namespace jig
