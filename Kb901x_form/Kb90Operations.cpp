#include "Kb901x_form/Kb90Operations.h"

#include <algorithm>
#include <array>

#include "Kb901x_form/Kb90Family.h"
#include "Kb901x_form/Kb90Texts.h"
#include "link/NoAnswerLine.h"
#include "link/OpenProgrammer.h"
#include "view/CharFilter.h"

namespace jig {

namespace text = kb90::text;
using namespace kb90::control;

namespace {
constexpr std::size_t kLinkBufferSize = kb90::kBlockSize + 4;

std::string BlockOf(int block) { return NumberOf(block, kb90::kBlockCount); }
// A block of a read that did not come, or the programmer that went away before it.
constexpr NoAnswerWording kReadBlockWording{text::kReadDisconnectedAt, "", text::kReadBlock, text::kNotFromProgrammer};

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
    : view_(view), bounds_(bounds), facts_(Kb90Facts()), link_(d2xx, kLinkBufferSize), job_(*this, view, facts_) {}

bool Kb90Operations::open(Opening why) {
  if (why == Opening::Click) view_.clearLog();
  if (OpenProgrammer(link_, profiles::kKb90, view_) != OpenResult::Ready) return false;
  if (!Kb90Handshake(link_, view_, bounds_)) {
    link_.close();
    return false;
  }
  return true;
}

bool Kb90Operations::EXIT_KB901XClick() {
  if (job_.busy()) return false;
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
  view_.setGauge(kGauge, 0);
  return true;
}

void Kb90Operations::fail(FlashRun& run, const std::string& line, bool linkAnswers) {
  // The chosen name keeps what it held: the part read so far goes with the temporary file.
  view_.log(line + (run.capture().hasTarget() ? text::kFileNotWritten : text::kFullStop));
  if (linkAnswers) link_.writeByte(kb90::kFailure);
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
    if (run.stopRequested()) {
      fail(run, text::kReadInterruptedAt + BlockOf(Counter_KB90), true);
      return false;
    }
    const BlockResult block = WaitBlock(link_, bounds_.blockMs);
    if (block == BlockResult::Surplus) {
      fail(run, text::kReadSurplus + BlockOf(Counter_KB90), true);
      return false;
    }
    if (block != BlockResult::Ok) {
      const WaitResult result = block == BlockResult::Gone ? WaitResult::Gone : WaitResult::TimedOut;
      // A programmer that went away takes no end byte.
      fail(run, NoAnswerLine(kReadBlockWording, result, BlockOf(Counter_KB90)), result != WaitResult::Gone);
      return false;
    }
    if (!run.capture().take(std::span(link_.buffer.data(), kb90::kBlockSize))) {
      fail(run, text::kReadDiskRefused + BlockOf(Counter_KB90), true);
      return false;
    }
    view_.setGauge(kGauge, kb90::kGaugePerBlock * Counter_KB90);
    run.progress(Counter_KB90, kb90::kBlockCount);
    if (Counter_KB90 == kb90::kBlockCount) break;
    link_.writeByte(kb90::kNext);
    ++Counter_KB90;
  }
  // Bytes after the last block mean the stream was out of step: the dump cannot be trusted.
  if (link_.getStatus() == FT_OK && link_.rxQueue > 0) {
    fail(run, text::kReadSurplus + BlockOf(Counter_KB90), true);
    return false;
  }
  link_.writeByte(kb90::kEndTransfer);
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
  const auto image = run.image();
  std::size_t offset = 0;
  for (;;) {
    if (run.stopRequested()) {
      fail(run, text::kWriteInterruptedAt + BlockOf(Counter_KB90), true);
      return false;
    }
    const WaitResult ready = WaitAckByte(link_, bounds_.readyMs);
    if (ready != WaitResult::Ok) {
      fail(run, text::kWriteNotReady + BlockOf(Counter_KB90), ready != WaitResult::Gone);
      return false;
    }
    std::array<std::uint8_t, kb90::kBlockSize> block;
    block.fill(0xFF);
    const std::size_t n = std::min(kb90::kBlockSize, image.size() - offset);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), n, block.begin());
    offset += n;
    const bool last = n < kb90::kBlockSize;
    if (last) {
      view_.log(text::kWarning);
      view_.log(text::kFileShorter);
    } else {
      sums_.add(block);
    }
    link_.write(block);
    if (!last) {
      view_.setGauge(kGauge, kb90::kGaugePerBlock * Counter_KB90);
      run.progress(Counter_KB90, kb90::kBlockCount);
    }
    const WaitResult done = WaitAckByte(link_, bounds_.doneMs);
    if (done != WaitResult::Ok) {
      fail(run, text::kWriteNotConfirmed + BlockOf(Counter_KB90), done != WaitResult::Gone);
      return false;
    }
    if (last) {
      link_.writeByte(kb90::kEndTransfer);
      link_.writeByte(kb90::kSuccess);
      link_.close();
      timeStamp();
      // Written but not verified: the command line must not call that a success.
      return false;
    }
    if (Counter_KB90 == kb90::kBlockCount) {
      run.phase(JobPhase::Verifying);
      return verify(run);
    }
    ++Counter_KB90;
    link_.writeByte(kb90::kNext);
  }
}

bool Kb90Operations::verify(FlashRun& run) {
  link_.writeByte(kb90::kEndTransfer);
  view_.log(text::kWritingDone);
  view_.log(text::kStars);
  view_.log(text::kFileSum + Hex4(sums_.SUMM_KB90));
  view_.log(text::kFileCrc + Hex4(sums_.CRC16_KB90));
  view_.log(text::kStars);
  view_.setGauge(kGauge, 0);
  view_.setGaugeColour(kGauge, colour::kYellow);
  Counter_KB90 = 0;
  link_.writeByte(kb90::kChecksum);
  const ChecksumAnswer answer = WaitChecksum(link_, bounds_.markMs, bounds_.checksumMs, [this](int marks) {
    Counter_KB90 = marks;
    view_.setGauge(kGauge, kb90::kGaugePerBlock * marks);
  });
  if (answer.result != WaitResult::Ok) {
    if (answer.result == WaitResult::Gone) fail(run, text::kVerifyDisconnected, false);
    else if (answer.marks < kb90::kBlockCount)
      fail(run, text::kVerifyMarkMissing + BlockOf(answer.marks + 1) + text::kNotFromProgrammer, true);
    else fail(run, text::kVerifyNoChecksum, true);
    return false;
  }
  const auto& b = answer.bytes;
  view_.log(text::kFlashSum + Hex2(b[1]) + Hex2(b[0]));
  view_.log(text::kFlashCrc + Hex2(b[3]) + Hex2(b[2]));
  const bool match = (b[1] * 256 + b[0]) == sums_.SUMM_KB90 && (b[3] * 256 + b[2]) == sums_.CRC16_KB90;
  if (match) {
    view_.log(text::kStars);
    view_.log(text::kVerifyOk);
    link_.writeByte(kb90::kSuccess);
  } else {
    view_.log(text::kWrittenIncorrectly);
    link_.writeByte(kb90::kFailure);
  }
  timeStamp();
  return match;
}

}  // namespace jig
