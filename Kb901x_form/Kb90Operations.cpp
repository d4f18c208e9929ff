#include "Kb901x_form/Kb90Operations.h"

#include <span>

#include "Kb901x_form/Kb90Controls.h"
#include "Kb901x_form/Kb90Family.h"
#include "Kb901x_form/Kb90Texts.h"
#include "link/NoAnswerLine.h"
#include "link/OpenProgrammer.h"
#include "view/CharFilter.h"

namespace jig {

namespace text = kb90::text;
using namespace kb90::control;

namespace {
std::string BlockOf(int block) { return NumberOf(block, kb90::kBlockCount); }

FlashFacts Kb90Facts() {
  FlashTexts texts = DefaultFlashTexts(LogLanguage::English);
  texts.readingAgain = text::kReadingAgain;
  texts.readInterruptedBeforeSecond = std::string(text::kReadInterruptedBeforeSecond) + text::kFileNotWritten;
  texts.writeStoppedBeforeWrite = text::kWriteStoppedBeforeWrite;
  return {.task = "kb90", .chipSize = kb90::kImageSize,
          .saveDialog = {text::kSaveTitle, text::kSaveFilter, text::kBinExtension, text::kDefaultName, true},
          .openDialog = {text::kOpenTitle, text::kOpenFilter, {}, {}, false}, .saveInterrupted = text::kSaveInterrupted,
          .writeInterrupted = text::kWriteInterrupted, .createFailedBox = text::kCreateFailed,
          .openFailedBox = text::kOpenFailed, .texts = texts,
          .lockedWhileReading = {kWrite, kExit}, .lockedWhileWriting = {kRead, kExit},
          .enabledWhenIdle = {kRead, kWrite, kExit}};
}
}  // namespace

Kb90Operations::Kb90Operations(D2xx& d2xx, TaskView& view, Kb90Bounds bounds)
    : view_(view), bounds_(bounds), facts_(Kb90Facts()), link_(d2xx, kb90::kLinkBufferSize), job_(*this, view, facts_) {}

bool Kb90Operations::open(Opening why) {
  if (why == Opening::Click) view_.clearLog();
  if (OpenProgrammer(link_, profiles::kKb90, view_) != OpenResult::Ready) return false;
  if (Kb90Handshake(link_, view_, bounds_)) return true;
  link_.close();
  return false;
}

bool Kb90Operations::EXIT_KB901XClick() {
  if (job_.busy()) return false;
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
  view_.setGauge(kGauge, 0);
  return true;
}

bool Kb90Operations::fail(FlashRun& run, const std::string& line, bool linkAnswers) {
  // The chosen name keeps what it held: the part read so far goes with the temporary file.
  view_.log(line + (run.capture().hasTarget() ? text::kFileNotWritten : text::kFullStop));
  if (linkAnswers) link_.writeByte(kb90::kFailure);
  return false;
}

// The read.

void Kb90Operations::announceRead(const std::string& path) {
  view_.log(text::kSaveTheFile);
  view_.log(path);
  readGauge();
  view_.log(text::kReading);
}

void Kb90Operations::readGauge() {
  view_.setGaugeMax(kGauge, kb90::kGaugeMax);
  view_.setGaugeColour(kGauge, colour::kGreen);
  view_.setGauge(kGauge, 0);
}

bool Kb90Operations::startReadPass() {
  timeStamp();
  Counter_KB90 = 1;
  link_.writeByte(kb90::kRead);
  return true;
}

bool Kb90Operations::readPass(FlashRun& run) {
  run.capture().startPass();
  for (;;) {
    const std::string at = BlockOf(Counter_KB90);
    if (run.stopRequested()) return fail(run, text::kReadInterruptedAt + at, true);
    switch (WaitBlock(link_, bounds_.blockMs)) {
      case BlockResult::Ok: break;
      case BlockResult::Surplus: return fail(run, text::kReadSurplus + at, true);
      // A programmer that went away takes no end byte.
      case BlockResult::Gone: return fail(run, text::kReadDisconnectedAt + at, false);
      case BlockResult::TimedOut: return fail(run, text::kReadBlock + at + text::kNotFromProgrammer, true);
    }
    if (!run.capture().take(std::span(link_.buffer.data(), kb90::kBlockSize)))
      return fail(run, text::kReadDiskRefused + at, true);
    view_.setGauge(kGauge, kb90::kGaugePerBlock * Counter_KB90);
    run.progress(Counter_KB90, kb90::kBlockCount);
    if (Counter_KB90 == kb90::kBlockCount) break;
    link_.writeByte(kb90::kNext);
    ++Counter_KB90;
  }
  if (!EndReadTransfer(link_)) return fail(run, text::kReadSurplus + BlockOf(Counter_KB90), true);
  view_.log(text::kReadingDone);
  timeStamp();
  link_.writeByte(kb90::kSuccess);
  return true;
}

// The write and its verify.

void Kb90Operations::announceWrite(const std::string& path) {
  view_.log(text::kWriteFile);
  view_.log(path);
  view_.setGaugeMax(kGauge, kb90::kGaugeMax);
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  view_.log(text::kWriting);
}

bool Kb90Operations::writePass(FlashRun& run) {
  timeStamp();
  sums_ = {};
  Counter_KB90 = 1;
  link_.writeByte(kb90::kWrite);
  for (;;) {
    const std::string at = BlockOf(Counter_KB90);
    if (run.stopRequested()) return fail(run, text::kWriteInterruptedAt + at, true);
    const WaitResult ready = WaitAckByte(link_, bounds_.readyMs);
    if (ready != WaitResult::Ok) return fail(run, text::kWriteNotReady + at, ready != WaitResult::Gone);
    const ImageBlock block = BlockOfImage(run.image(), Counter_KB90);
    if (block.imageEnded) {
      view_.log(text::kWarning);
      view_.log(text::kFileShorter);
    }
    link_.write(block.bytes);
    if (!block.imageEnded) {
      sums_.add(block.bytes);
      view_.setGauge(kGauge, kb90::kGaugePerBlock * Counter_KB90);
      run.progress(Counter_KB90, kb90::kBlockCount);
    }
    const WaitResult done = WaitAckByte(link_, bounds_.doneMs);
    if (done != WaitResult::Ok) return fail(run, text::kWriteNotConfirmed + at, done != WaitResult::Gone);
    if (block.imageEnded) {
      EndWithoutChecksum(link_);
      timeStamp();
      // The programmer checks no short image: the job reads the chip back instead.
      run.readBackNeeded();
      return true;
    }
    if (Counter_KB90 == kb90::kBlockCount) return verify(run);
    ++Counter_KB90;
    link_.writeByte(kb90::kNext);
  }
}

bool Kb90Operations::verify(FlashRun& run) {
  run.phase(JobPhase::Verifying);
  link_.writeByte(kb90::kEndTransfer);
  view_.log(text::kWritingDone);
  view_.log(text::kStars);
  view_.log(text::kFileSum + Hex4(sums_.SUMM_KB90));
  view_.log(text::kFileCrc + Hex4(sums_.CRC16_KB90));
  view_.log(text::kStars);
  view_.setGauge(kGauge, 0);
  view_.setGaugeColour(kGauge, colour::kYellow);
  Counter_KB90 = 0;
  const ChecksumAnswer answer = AskChecksum(link_, bounds_.markMs, bounds_.checksumMs, [this](int marks) {
    Counter_KB90 = marks;
    view_.setGauge(kGauge, kb90::kGaugePerBlock * marks);
  });
  switch (answer.result) {
    case ChecksumResult::Ok: break;
    case ChecksumResult::Gone: return fail(run, text::kVerifyDisconnected, false);
    case ChecksumResult::MarkMissing:
      return fail(run, text::kVerifyMarkMissing + BlockOf(answer.marks + 1) + text::kNotFromProgrammer, true);
    case ChecksumResult::AnswerMissing: return fail(run, text::kVerifyNoChecksum, true);
  }
  view_.log(text::kFlashSum + Hex4(answer.flash.SUMM_KB90));
  view_.log(text::kFlashCrc + Hex4(answer.flash.CRC16_KB90));
  const bool match = answer.flash == sums_;
  if (match) {
    view_.log(text::kStars);
    view_.log(text::kVerifyOk);
  } else {
    view_.log(text::kWrittenIncorrectly);
    run.writtenWrong();
  }
  link_.writeByte(match ? kb90::kSuccess : kb90::kFailure);
  timeStamp();
  return match;
}

}  // namespace jig
