// The MEC16xx probe, protection test and erase: the family's own clicks, each wholly within
// the click under the job's lock.
#include "Mec16xx/Mec16Operations.h"

#include <utility>

#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/WaitDeadline.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;
using namespace mec16::control;

bool Mec16Operations::CheckProtection_MEC16(std::uint8_t status) {
  struct Bit {
    std::uint8_t mask;
    std::string_view set, free, shape;
  };
  static constexpr Bit kBits[] = {{kStatusFwp, kFwpSet, kFwpFree, kShapeFwp},
                                  {kStatusBootLock, kBootLockSet, kBootLockFree, kShapeBootLock}};
  bool failed = false;
  for (const Bit& bit : kBits) {
    const bool set = (status & bit.mask) != 0;
    log(set ? bit.set : bit.free);
    view_.paint(bit.shape, set ? colour::kRed : colour::kLime);
    failed = failed || set;
  }
  return failed;
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
  bool failed = false;
  std::array<std::uint8_t, 4> id{};
  const StartResult start = sendStartAndId(id);
  if (start == StartResult::NoAnswer) return endClick(finish({kFailed, kClose}, false));
  if (start == StartResult::ShortId) failed = true;

  static constexpr std::pair<std::string_view, std::string_view> kSteps[] = {
      {kDeviceRegister, "(I100)"}, {kFlashCommand, "(I101)"}, {kFlashEnable, "(I102)"}, {kFlashStatus, "(I103)"}};
  std::optional<std::uint8_t> status;
  for (const auto& [address, lossCode] : kSteps) {
    status = readLogged(address, lossCode);
    failed = failed || !status;
  }
  if (status && CheckProtection_MEC16(*status)) failed = true;
  endClick(finish({failed ? kFailed : kSucceeded, kClose}, !failed));
}

void Mec16Operations::erase(bool eraseInfoToo) {
  if (!beginClick(JobPhase::Erasing, Mec16Mode::Erase)) return;
  auto done = [this](bool success) { endClick(finish({kClose}, success)); };
  if (!eraseAllowed()) {
    send(kFailed);
    log(kEraseCancelled);
    return done(false);
  }
  if (!writeAll({{kFlashEnable, "00000001", "1", "(E101)"}, {kFlashCommand, "00000107", "107h", "(E102)"}}))
    return done(false);
  if (WriteReg_MEC16(link_, kFlashAddress, eraseInfoToo ? "00FC0000" : "00F80000") == kMecLost) {
    log(Lost("(E103)"));
    return done(false);
  }
  log(kEraseSent);
  if (!awaitEraseEnd()) return done(false);
  log(kEraseDone);
  if (!writeAll({{kFlashCommand, "00000100", "100h", "(E105)"}, {kFlashCommand, "00000000", "0", "(E106)"},
                 {kFlashEnable, "00000000", "0", "(E107)"}}))
    return done(false);
  send(kSucceeded);
  done(true);
}

bool Mec16Operations::eraseAllowed() {
  std::array<std::uint8_t, 4> id{};
  const StartResult start = sendStartAndId(id);
  if (start == StartResult::NoAnswer) return false;
  const std::optional<std::uint8_t> status = readLogged(kFlashStatus, "(E100)");
  const bool protectedChip = status && CheckProtection_MEC16(*status);
  return start == StartResult::Ok && status && !protectedChip;
}

std::optional<std::uint8_t> Mec16Operations::readLogged(std::string_view address, std::string_view lossCode) {
  const RegisterAnswer answer = ReadReg_MEC16(link_, address);
  if (answer.lost()) {
    log(Lost(lossCode));
    return std::nullopt;
  }
  view_.log(Caption(address) + answer.text);
  return answer.low();
}

// The busy bit stays set while the array erases; each read is bounded by the link's read
// time-out and the whole poll by the erase bound.
bool Mec16Operations::awaitEraseEnd() {
  const WaitDeadline deadline(*link_.d2xx, bounds_.eraseMs);
  for (;;) {
    const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
    if (status.lost()) {
      log(Lost("(E104)"));
      return false;
    }
    if ((status.low() & kStatusBusy) == 0) return true;
    if (deadline.passed()) {
      log(kEraseTooLong);
      return false;
    }
  }
}

}  // namespace jig
