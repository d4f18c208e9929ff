// The ITE write steps: Connect, the register sequence with its chip erase, and the bytes that
// are not FFh, each run of them after a Flash address.
#include <algorithm>
#include <filesystem>
#include <span>

#include "Ite/IteControls.h"
#include "Ite/IteLines.h"
#include "Ite/IteOperations.h"
#include "Ite/IteSteps.h"
#include "Ite/IteTexts.h"
#include "view/CharFilter.h"

namespace jig {

namespace text = ite::text;
using ite::Concat;
using ite::control::kGauge;

// A shorter file leaves FFh in the rest: the erase has put it there, nothing is sent for it.
std::vector<std::uint8_t> IteOperations::shapeImage(std::vector<std::uint8_t> source) {
  source.resize(ite::kFlashSize, 0xFF);
  return source;
}

void IteOperations::announceWrite(const std::string& path) {
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  timeStamp();
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  log(Concat({text::kWritingFrom, ec ? path : full.string()}));
  log(text::kWriteStart);
}

bool IteOperations::startWritePass() {
  if (ite::Connect(link_, view_, ite::kWriteConnectCode, bounds_)) return true;
  finish(ite::kEndFailure);
  adviseApply();
  return false;
}

void IteOperations::stoppedBeforeWrite() {
  finish(ite::kEndFailure);
  timeStamp();
}

bool IteOperations::writePass(FlashRun& run) {
  auto fail = [this] {
    finish(ite::kEndFailure);
    timeStamp();
    return false;
  };
  log(text::kPreparing);
  const std::span<const ite::RegStep> sequence(ite::kWriteSequence);
  if (!ite::WriteRegisters(link_, view_, sequence.first(ite::kWritePreparationSteps), bounds_)) return fail();
  log(text::kPrepared);
  if (!ite::WriteRegisters(link_, view_, sequence.subspan(ite::kWritePreparationSteps), bounds_)) return fail();
  log(text::kEraseSent);
  // Until the first Flash address is answered the chip erases: a stop ends that wait at once.
  run.phase(JobPhase::Erasing);

  // The image was read whole in the click, before the erase; its lines stay here.
  log(text::kBuffered);
  const auto image = run.image();
  log(Concat({text::kFfCount, std::to_string(std::count(image.begin(), image.end(), std::uint8_t{0xFF}))}));
  log(text::kWritingBytes);
  bool firstAddress = true;
  if (!programImage(run, firstAddress)) return fail();
  // An image of nothing but FFh sent no Flash address, so nothing has waited for the chip
  // erase, and the read-back would meet a flash that ignores commands while it erases: one
  // Flash address waits for the erase's end.
  if (firstAddress && run.readBackFollows() && !eraseOver(run, 0, text::kEraseNotOver)) return fail();
  log(text::kWriteDone);
  finish(ite::kEndSuccess);
  timeStamp();
  return true;
}

bool IteOperations::flashAddress(std::uint32_t position, std::uint32_t boundMs, const char* unanswered,
                                 const std::stop_token& stop) {
  const ite::Reply accepted = ite::FlashAddress_ITE(link_, position, boundMs, stop);
  if (!accepted && stop.stop_requested()) return false;
  if (!accepted)
    log(ite::UnansweredLine(boundMs, Concat({text::kCmdFlashAddress, Hex2(position >> 16), text::kSpace,
                                             Hex2((position >> 8) & 0xFF), text::kSpace, Hex2(position & 0xFF),
                                             text::kCloseBracket})));
  if (accepted == ite::kDone) return true;
  log(accepted ? text::kAddressError : unanswered);
  return false;
}

bool IteOperations::eraseOver(FlashRun& run, std::uint32_t position, const char* unanswered) {
  if (!flashAddress(position, bounds_.eraseMs, unanswered, run.stopToken())) {
    if (run.stopRequested()) {
      log(text::kStopped);
      log(text::kStoppedInErase);
    }
    return false;
  }
  run.phase(JobPhase::Writing);
  return true;
}

bool IteOperations::programImage(FlashRun& run, bool& firstAddress) {
  const auto image = run.image();
  bool addressNeeded = true;
  for (std::uint32_t position = 0; position < ite::kFlashSize; ++position) {
    const std::uint8_t byte = image[position];
    if (byte == 0xFF) {
      addressNeeded = true;
    } else {
      if (run.stopRequested()) {
        log(text::kStopped);
        log(firstAddress ? text::kStoppedInErase : text::kStoppedHalfWritten);
        return false;
      }
      // The first Flash address is answered only once the chip erase is over.
      if (addressNeeded && !(firstAddress ? eraseOver(run, position) : flashAddress(position, bounds_.answerMs)))
        return false;
      addressNeeded = firstAddress = false;
      if (ite::ProgramByte_ITE(link_, byte) != ite::kDone) {
        log(text::kProgramError);
        return false;
      }
    }
    const std::uint32_t counter = position + 1;
    if ((counter & 0xFF) == 0) {
      view_.setGauge(kGauge, static_cast<int>(counter / 256));
      run.progress(static_cast<int>(counter / 256), static_cast<int>(ite::kBlockCount));
    }
    view_.setGauge(ite::control::kSpeedGauge, static_cast<int>(counter & 0xFF));
  }
  return true;
}

}  // namespace jig
