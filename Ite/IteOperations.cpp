#include "Ite/IteOperations.h"

#include <span>

#include "Ite/IteControls.h"
#include "Ite/IteFamily.h"
#include "Ite/IteLines.h"
#include "Ite/IteSetup.h"
#include "Ite/IteSteps.h"
#include "files/DumpChecks.h"
#include "link/OpenProgrammer.h"

namespace jig {

namespace text = ite::text;
using namespace ite::control;
using ite::Concat;

namespace {
FlashFacts IteFacts() {
  FlashTexts texts = DefaultFlashTexts(ite::kLanguage);
  texts.readingAgain = text::kSecondReadStart;
  texts.secondReadNotStarted = text::kSecondReadNotDone;
  texts.writeStoppedBeforeWrite = text::kStoppedBeforeWrite;
  texts.verifyStarts = text::kVerifyStart;
  texts.verifyNotDone = text::kVerifyNotDone;
  return {.task = "ite", .chipSize = ite::kFlashSize, .language = ite::kLanguage, .readBackVerify = true,
          .saveDialog = {text::kSaveTitle, text::kSaveFilter, text::kBinExtension, text::kSaveName, true},
          .openDialog = {text::kOpenTitle, text::kOpenFilter, {}, {}, false},
          .saveInterrupted = text::kReadCancelled, .writeInterrupted = text::kWriteCancelled,
          .createFailedBox = text::kCreateFailedBox, .openFailedBox = text::kOpenFailedBox,
          .createFailedLine = text::kCreateFailed, .openFailedLine = text::kOpenFailed, .texts = texts,
          // The read judges its dump after its last block, before the end byte.
          .dumpEnd = {text::kFileWriteFailed, false},
          .lockedWhileReading = {kCheck, kExit, kSetup, kWrite}, .lockedWhileWriting = {kCheck, kExit, kSetup, kRead},
          .enabledWhenIdle = {kCheck, kExit, kWrite, kSetup, kRead}};
}
}  // namespace

IteOperations::IteOperations(D2xx& d2xx, TaskView& view, ite::IteBounds bounds)
    : IteBoard(view), view_(view), bounds_(bounds), facts_(IteFacts()), link_(d2xx, ite::kBufferSize),
      job_(*this, view, facts_) {}

void IteOperations::timeStamp() { view_.log(ite::TimeStampLine()); }
void IteOperations::finish(std::uint8_t endByte) { ite::EndWith(link_, view_, endByte, bounds_); }

bool IteOperations::open(Opening) {
  log("");
  return OpenProgrammer(link_, profiles::kIte, view_) == OpenResult::Ready;
}

void IteOperations::close() {
  if (link_.isOpen) finish(ite::kEndFailure);
}

void IteOperations::ITE_EXIT_BitBtnClick() {
  if (job_.busy()) return;
  // The window opened next may find the programmer switched to another task's firmware
  // and back meanwhile, its pins gone.
  pinsSent_ = false;
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
  view_.setGauge(kGauge, 0);
  view_.ended(true);
}

void IteOperations::ITE_STOP_BitBtnClick() {
  if (!job_.transferring()) return;
  // Once the chip is being programmed a stop leaves it half written: only on Yes. The erase
  // wait has nothing left to save by going on, the reads nothing to lose.
  const bool untouched = job_.chipGate().cancel();
  if (job_.phase() == JobPhase::Writing && !untouched && !view_.askYesNo(text::kStopQuestion)) return;
  job_.requestStop();
}

void IteOperations::adviseApply() {
  if (!pinsSent_) log(applyFirstLine_);
}

void IteOperations::ownClick(CheckKind kind, const std::function<bool()>& exchange) {
  const bool success = OpenProgrammer(link_, profiles::kIte, view_) == OpenResult::Ready && exchange();
  link_.close();
  if (!(success && kind == CheckKind::PinsSent && applyIsPrelude_)) log(CheckVerdictLine(kind, success, LogLanguage::Russian));
  job_.release();
  view_.ended(success);
}

// Neither touches the flash; the job's lock keeps the handle theirs and a transfer away.
void IteOperations::apply() {
  if (!job_.claim(JobPhase::Reading)) return;
  timeStamp();
  ownClick(CheckKind::PinsSent, [this] {
    if (!ite::SendPins(link_, view_, pins(), bounds_)) return false;
    pinsSent_ = true;
    for (const char* button : {kCheck, kExit, kWrite, kRead}) view_.enable(button, true);
    return true;
  });
}

void IteOperations::checkConnection() {
  if (!job_.claim(JobPhase::Reading)) return;
  log("");
  log(text::kCheckStart);
  ownClick(CheckKind::ChipCheck, [this] {
    const ite::LinkCheck result = ite::CheckLink(link_, view_, bounds_);
    if (result == ite::LinkCheck::NoConnect) adviseApply();
    return result == ite::LinkCheck::Found;
  });
}

// The read: Connect and the pre-preparation, then 512 blocks. Every read after a read's first
// (the second of a read twice, the backup, the read-back) is an exchange of its own, from its
// open to its end byte.

void IteOperations::announceRead(const std::string&) {
  pass_.reset();
  readGauge();
  timeStamp();
  log(text::kReadStart);
}

bool IteOperations::announcePass(Pass pass) {
  pass_ = pass;
  return false;
}

void IteOperations::readGauge() {
  view_.setGaugeColour(kGauge, colour::kLime);
  view_.setGauge(kGauge, 0);
}

bool IteOperations::startReadPass() {
  if (pass_ == Pass::Backup) {
    // The click's open ends without an end byte; the backup opens anew.
    link_.close();
    if (!open(Opening::Click)) return false;
  }
  if (pass_) {
    timeStamp();
    log(text::kReadStart);
  }
  // After the action before, the board is still on the cable: the controller answers Connect
  // at once, and a board taken off meanwhile fails within the connect bound.
  const bool connected = ite::Connect(link_, view_, ite::kReadConnectCode, bounds_);
  if (connected) {
    log(text::kPreparing);
    if (ite::WriteRegisters(link_, view_, ite::kReadPreparation, bounds_)) {
      log(text::kPrepared);
      return true;
    }
  }
  finish(ite::kEndFailure);
  if (pass_) timeStamp();
  if (!connected) adviseApply();
  return false;
}

bool IteOperations::readPass(FlashRun& run) {
  run.capture().startPass();
  const bool read = readBlocks(run);
  // A dump of one value or one short pattern is almost always a bad contact: a read says so of
  // its dump after its last block.
  if (read && !pass_) log(DumpPatternLine(CheckDumpPattern(run.capture().firstPass()), ite::kLanguage));
  finish(read ? ite::kEndSuccess : ite::kEndFailure);
  timeStamp();
  if (!read && pass_ == Pass::Again) log(text::kSecondReadNotDone);
  return read;
}

bool IteOperations::readBlocks(FlashRun& run) {
  log(text::kReading);
  for (std::size_t block = 1; block <= ite::kBlockCount; ++block) {
    if (run.stopRequested()) {
      log(text::kStopped);
      return false;
    }
    DWORD gathered = 0;
    const bool whole = ite::ReadBlock_ITE(link_, bounds_.blockMs, gathered) == WaitResult::Ok;
    if (!whole)
      log(Concat({text::kNoAnswerPrefix, std::to_string(bounds_.blockMs), text::kShortBlockMiddle,
                  std::to_string(gathered), text::kOfBlockBytes}));
    if (!whole || link_.buffer[ite::kBlockSize] != ite::kDone) {
      log(Concat({text::kBlockErrorPrefix, std::to_string(block)}));
      return false;
    }
    if (!run.capture().take(std::span(link_.buffer.data(), ite::kBlockSize))) {
      log(Concat({text::kFileWriteFailed, run.capture().target()}));
      return false;
    }
    view_.setGauge(kGauge, static_cast<int>(block));
    run.progress(static_cast<int>(block), static_cast<int>(ite::kBlockCount));
  }
  log(text::kReadDone);
  return true;
}

}  // namespace jig
