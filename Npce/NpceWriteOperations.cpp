// The NPCE write: erase, blank check, the blocks and the verify.
#include <string>
#include <utility>

#include "Npce/NpceControls.h"
#include "Npce/NpceOperations.h"
#include "Npce/NpceTexts.h"
#include "Npce/NpceWriteProtocol.h"
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

bool NpceOperations::writePass(FlashRun& run) {
  run.phase(JobPhase::Erasing);
  const ShortAnswer erased = Erase(link_, bounds_.eraseMs);
  if (erased.wait != WaitResult::Ok)
    return failWithSignal(NoAnswerLine(text::kWhatEraseEnd, bounds_.eraseMs, erased.wait));
  if (erased.length != 2)
    return failWithSignal(text::kEraseAnswerLength + std::to_string(erased.length) + text::kEraseAnswerLengthEnd);
  if (!erased.confirmed()) return failWithSignal(text::kEraseFailed);
  view_.log(text::kCheckClear);
  const ShortAnswer checked = Ask(link_, kBlankCheck, bounds_.blankCheckMs);
  if (checked.wait != WaitResult::Ok)
    return failWithSignal(NoAnswerLine(text::kWhatBlankCheck, bounds_.blankCheckMs, checked.wait));
  if (!checked.confirmed()) return failWithSignal(text::kNotClear);
  view_.log(text::kAllClear);
  view_.log(text::kWrite);
  run.phase(JobPhase::Writing);
  return writeBlocks(run) && verify(run);
}

bool NpceOperations::writeBlocks(FlashRun& run) {
  auto fail = [&](std::string line) {
    view_.log(std::move(line));
    timeStamp();
    return false;
  };
  for (Counter_NPCE = 1;; ++Counter_NPCE) {
    const std::string of = text::kOfBlock + NumberOf(Counter_NPCE, kWriteBlocks);
    const BlockSent sent = SendBlock(link_, run.image(), Counter_NPCE, bounds_);
    if (sent.result == SendResult::NoReadyByte)
      return fail(NoAnswerLine(text::kWhatReadyByte + of, bounds_.byteMs(), WaitResult::TimedOut));
    if (sent.result == SendResult::NotReady) return fail(text::kProtocolError);
    if (sent.result == SendResult::NotDrained)
      return fail(NoAnswerLine(text::kWhatTransmission + of, bounds_.drainMs, sent.drained));
    view_.setGauge(control::kGauge, kGaugeMax / kWriteBlocks * Counter_NPCE);
    run.progress(Counter_NPCE, kWriteBlocks);
    const BlockStatus status = TakeStatus(link_, bounds_.byteTries);
    if (status == BlockStatus::Missing)
      return fail(NoAnswerLine(text::kWhatStatus + of, bounds_.byteMs(), WaitResult::TimedOut));
    if (status == BlockStatus::Failed) return fail(text::kBlockFailed);
    if (Counter_NPCE == kWriteBlocks || run.stopRequested()) break;
  }
  // 07h ends the writing, after block 512 or at a stop; only a whole write needs its answer.
  const bool ended = Cmd_NPCE(link_, kEndWriting, bounds_.byteTries);
  if (Counter_NPCE < kWriteBlocks)
    return fail(text::kWriteInterruptedAt + NumberOf(Counter_NPCE, kWriteBlocks) + text::kFullStop);
  if (!ended) return fail(NoAnswerLine(text::kWhatEndWriting, bounds_.byteMs(), WaitResult::TimedOut));
  return true;
}

bool NpceOperations::verify(FlashRun& run) {
  run.phase(JobPhase::Verifying);
  view_.log(text::kVerify);
  view_.setGaugeColour(control::kGauge, colour::kYellow);
  view_.setGauge(control::kGauge, 0);
  Counter_NPCE = 0;
  bool allEqual = true;
  do {
    if (run.stopRequested()) return failWithSignal(text::kVerifyInterrupted);
    const ReadBack back = ReadBackBlock(link_, run.image(), ++Counter_NPCE, bounds_.blockMs);
    const std::string what = text::kReadBackBlock + NumberOf(Counter_NPCE, kReadBlocks);
    if (back.got == 0) return failWithSignal(NoAnswerLine(what, bounds_.blockMs, back.wait));
    if (back.got != kReadBlockSize) view_.log(text::kShortBlock + std::to_string(back.got));
    allEqual = back.equal;
    view_.setGauge(control::kGauge, kGaugeMax / kReadBlocks * Counter_NPCE);
    run.progress(Counter_NPCE, kReadBlocks);
  } while (allEqual && Counter_NPCE < kReadBlocks);

  const ShortAnswer end = Ask(link_, kEndTransfer, bounds_.answerMs);
  if (end.wait != WaitResult::Ok)
    return failWithSignal(NoAnswerLine(text::kWhatEndAnswer, bounds_.answerMs, end.wait));
  if (!end.confirmed()) view_.log(text::kCorrupted);
  else view_.log(allEqual ? text::kProgrammed : text::kWrittenIncorrectly);
  if (!allEqual) run.writtenWrong();
  const bool success = end.confirmed() && allEqual;
  Cmd_NPCE(link_, success ? kSignalOk : kSignalFail, bounds_.byteTries);
  timeStamp();
  return success;
}

}  // namespace jig
