// The NPCE write: erase, blank check, the blocks and the verify.
#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "Npce/NpceControls.h"
#include "Npce/NpceOperations.h"
#include "Npce/NpceProtocol.h"
#include "Npce/NpceTexts.h"
#include "link/NoAnswerLine.h"
#include "link/ReadIdioms.h"

namespace jig {

using namespace npce;

// A shorter file leaves FFh in the rest.
std::vector<std::uint8_t> NpceOperations::shapeImage(std::vector<std::uint8_t> source) {
  source.resize(kFlashSize, 0xFF);
  return source;
}

void NpceOperations::announceWrite(const std::string& path) {
  view_.log(text::kWriteFile);
  view_.log(path);
  view_.setGaugeColour(control::kGauge, colour::kRed);
  view_.setGauge(control::kGauge, 0);
  timeStamp();
  view_.log(text::kErase);
}

bool NpceOperations::eraseAndCheck() {
  link_.writeByte(kErase);
  const WaitResult erased = QueueWait(link_, 2, bounds_.eraseMs);
  if (erased != WaitResult::Ok) {
    failWithSignal(NoAnswerLine(text::kWhatEraseEnd, bounds_.eraseMs, erased));
    return false;
  }
  // The answer is taken only as exactly 2 bytes: a byte more is no answer this firmware
  // gives, and left waiting it would be read as the blank check's answer.
  DWORD left = 0, tx = 0, event = 0;
  if (link_.d2xx->FT_GetStatus(link_.handle, &left, &tx, &event) == FT_OK && left > 0) {
    failWithSignal(text::kEraseAnswerLength + std::to_string(2 + left) + text::kEraseAnswerLengthEnd);
    return false;
  }
  if (link_.buffer[0] != 1) {
    failWithSignal(text::kEraseFailed);
    return false;
  }
  view_.log(text::kCheckClear);
  link_.writeByte(kBlankCheck);
  WaitResult checked;
  if (AwaitAnswer(link_, 2, bounds_.blankCheckMs, checked) == 0) {
    failWithSignal(NoAnswerLine(text::kWhatBlankCheck, bounds_.blankCheckMs, checked));
    return false;
  }
  if (link_.buffer[0] != 1) {
    failWithSignal(text::kNotClear);
    return false;
  }
  view_.log(text::kAllClear);
  view_.log(text::kWrite);
  return true;
}

bool NpceOperations::writePass(FlashRun& run) {
  run.phase(JobPhase::Erasing);
  if (!eraseAndCheck()) return false;
  run.phase(JobPhase::Writing);
  return writeBlocks(run) && verify(run);
}

bool NpceOperations::writeBlocks(FlashRun& run) {
  const DWORD byteBoundMs = static_cast<DWORD>(bounds_.byteTries) * limits::kNpceQueryTimeoutMs;
  auto fail = [&](std::string line) {
    view_.log(std::move(line));
    timeStamp();
    return false;
  };
  const auto image = run.image();
  std::size_t offset = 0;
  Counter_NPCE = 1;
  link_.writeByte(kWriteBlock);
  for (;;) {
    const int block = Counter_NPCE;
    const std::string of = text::kOfBlock + NumberOf(block, kWriteBlocks);
    if (!RetriedSingleByte(link_, bounds_.byteTries))
      return fail(NoAnswerLine(text::kWhatReadyByte + of, byteBoundMs, WaitResult::TimedOut));
    if (link_.buffer[0] != kReadyForBlock) return fail(text::kProtocolError);
    link_.write(image.subspan(offset, kWriteBlockSize));
    offset += kWriteBlockSize;
    if (const WaitResult drained = Drain(link_, bounds_.drainMs); drained != WaitResult::Ok)
      return fail(NoAnswerLine(text::kWhatTransmission + of, bounds_.drainMs, drained));
    view_.setGauge(control::kGauge, kGaugeMax / kWriteBlocks * block);
    run.progress(block, kWriteBlocks);
    if (!RetriedSingleByte(link_, bounds_.byteTries))
      return fail(NoAnswerLine(text::kWhatStatus + of, byteBoundMs, WaitResult::TimedOut));
    if (link_.buffer[0] == 0) {
      Cmd_NPCE(link_, kEndWriting, bounds_.byteTries);
      return fail(text::kBlockFailed);
    }
    if (block == kWriteBlocks) {
      if (!Cmd_NPCE(link_, kEndWriting, bounds_.byteTries))
        return fail(NoAnswerLine(text::kWhatEndWriting, byteBoundMs, WaitResult::TimedOut));
      return true;
    }
    if (run.stopRequested()) {
      Cmd_NPCE(link_, kEndWriting, bounds_.byteTries);
      return fail(text::kWriteInterruptedAt + NumberOf(block, kWriteBlocks) + text::kFullStop);
    }
    Counter_NPCE = block + 1;
    link_.writeByte(kWriteBlock);
  }
}

bool NpceOperations::verify(FlashRun& run) {
  run.phase(JobPhase::Verifying);
  view_.log(text::kVerify);
  view_.setGaugeColour(control::kGauge, colour::kYellow);
  view_.setGauge(control::kGauge, 0);
  const auto image = run.image();
  std::size_t offset = 0;
  Counter_NPCE = 0;
  bool allEqual = true;
  do {
    if (run.stopRequested()) {
      failWithSignal(text::kVerifyInterrupted);
      return false;
    }
    link_.writeByte(kReadBlock);
    WaitResult result;
    const DWORD got = AwaitBlock(link_, bounds_.blockMs, result);
    const int block = Counter_NPCE + 1;
    if (got == 0) {
      failWithSignal(NoAnswerLine(text::kReadBackBlock + NumberOf(block, kReadBlocks), bounds_.blockMs, result));
      return false;
    }
    if (got != kReadBlockSize) {
      view_.log(text::kShortBlock + std::to_string(got));
      // The bytes that did not come cannot be confirmed: a short block counts as a difference.
      allEqual = false;
    }
    Counter_NPCE = block;
    if (!std::equal(link_.buffer.begin(), link_.buffer.begin() + got, image.begin() + static_cast<std::ptrdiff_t>(offset)))
      allEqual = false;
    offset += kReadBlockSize;
    view_.setGauge(control::kGauge, kGaugeMax / kReadBlocks * block);
    run.progress(block, kReadBlocks);
  } while (allEqual && Counter_NPCE < kReadBlocks);

  link_.writeByte(kEndTransfer);
  WaitResult answered;
  if (AwaitAnswer(link_, 2, bounds_.answerMs, answered) == 0) {
    failWithSignal(NoAnswerLine(text::kWhatEndAnswer, bounds_.answerMs, answered));
    return false;
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
  return success;
}

}  // namespace jig
