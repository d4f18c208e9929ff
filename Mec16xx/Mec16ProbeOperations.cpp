// The MEC16xx probe, protection test and erase: the family's own clicks, each wholly within
// the click under the job's lock.
#include "Mec16xx/Mec16Operations.h"

#include <span>

#include "Mec16xx/Mec16FlashProtocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "job/JobVerdict.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;
using namespace mec16::control;

bool Mec16Operations::CheckProtection_MEC16(std::uint8_t status) {
  const Protection protection = ProtectionOf(status);
  struct Indicator {
    bool set;
    std::string_view setLine, freeLine, shape;
  };
  for (const Indicator& indicator : {Indicator{protection.fwp, kFwpSet, kFwpFree, kShapeFwp},
                                     Indicator{protection.bootLock, kBootLockSet, kBootLockFree, kShapeBootLock}}) {
    log(indicator.set ? indicator.setLine : indicator.freeLine);
    view_.paint(indicator.shape, indicator.set ? colour::kRed : colour::kLime);
  }
  return protection.fwp || protection.bootLock;
}

bool Mec16Operations::beginClick(JobPhase phase, Mec16Mode stage) {
  if (!job_.claim(phase)) return false;
  stage_ = stage;
  view_.setGauge(control::kGauge, 0);
  view_.paint(kShapeBootLock, colour::kBlack);
  view_.paint(kShapeFwp, colour::kBlack);
  timeStamp();
  if (open(Opening::Click)) return true;
  endClick(false);
  return false;
}

void Mec16Operations::endClick(bool success) {
  job_.release();
  view_.ended(success);
}

void Mec16Operations::probe() {
  if (!beginClick(JobPhase::Reading, Mec16Mode::Id)) return;
  static constexpr RegisterRead kReads[] = {
      {kDeviceRegister, "(I100)"}, {kFlashCommand, "(I101)"}, {kFlashEnable, "(I102)"}, {kFlashStatus, "(I103)"}};
  const bool free = checkChip(kReads);
  const bool success = finish({free ? kSucceeded : kFailed, kClose}, free);
  log(CheckVerdictLine(CheckKind::ChipCheck, success, LogLanguage::Russian));
  endClick(success);
}

void Mec16Operations::erase(bool eraseInfoToo) {
  if (job_.busy()) return;
  eraseInfo_ = eraseInfoToo;
  erasing_ = true;
  job_.erase();
}

// The chip's checks before the erase: a protected chip is refused untouched.
bool Mec16Operations::startErasePass() {
  stage_ = Mec16Mode::Erase;
  view_.setGauge(control::kGauge, 0);
  view_.paint(kShapeBootLock, colour::kBlack);
  view_.paint(kShapeFwp, colour::kBlack);
  timeStamp();
  static constexpr RegisterRead kStatusRead[] = {{kFlashStatus, "(E100)"}};
  return checkChip(kStatusRead) || fail(kEraseCancelled, {kFailed, kClose});
}

// Every end of the erase sends "0" and closes; a refused one sends "O" before it.
bool Mec16Operations::erasePass(FlashRun&) {
  stage_ = Mec16Mode::Erase;
  if (!writeAll({{kFlashOn, "(E101)"}, {kEraseRun, "(E102)"}})) return finish({kClose}, false);
  if (!StartErase(link_, eraseInfo_)) return fail(Lost("(E103)"), {kClose});
  log(kEraseSent);
  const EraseEnd end = AwaitEraseEnd(link_, bounds_.eraseMs);
  if (end != EraseEnd::Done) return fail(end == EraseEnd::Lost ? Lost("(E104)") : std::string(kEraseTooLong), {kClose});
  log(kEraseDone);
  const bool released = writeAll({{kRunEnd, "(E105)"}, {kRunCleared, "(E106)"}, {kFlashOff, "(E107)"}});
  return released ? finish({kSucceeded, kClose}, true) : finish({kClose}, false);
}

// The probe's and the erase's check: start and ID, then each register read and logged by the
// convention (the status last) and the protection test; once the ID came, every step runs
// whatever the one before it found.
bool Mec16Operations::checkChip(std::span<const RegisterRead> reads) {
  const IdAnswer start = sendStartAndId();
  if (!start.answered()) return false;
  bool allRead = true;
  RegisterAnswer status;
  for (const RegisterRead& read : reads) {
    status = ReadReg_MEC16(link_, read.address);
    log(status.lost() ? Lost(read.lossCode) : Caption(read.address) + status.text);
    allRead = allRead && !status.lost();
  }
  const bool protectedChip = !status.lost() && CheckProtection_MEC16(status.low());
  return start.result == IdResult::Ok && allRead && !protectedChip;
}

}  // namespace jig
