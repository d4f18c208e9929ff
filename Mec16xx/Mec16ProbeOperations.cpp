// The MEC16xx probe, protection test, help, exit and erase: all within the click.
#include "Mec16xx/Mec16Operations.h"

#include "Mec16xx/Mec16OperationsCommon.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/WaitDeadline.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

bool Mec16Operations::CheckProtection_MEC16(std::uint8_t status) {
  bool failed = false;
  if (status & kStatusFwp) {
    log(kFwpSet);
    view_.paint(kShapeFwp, colour::kRed);
    failed = true;
  } else {
    log(kFwpFree);
    view_.paint(kShapeFwp, colour::kLime);
  }
  if (status & kStatusBootLock) {
    log(kBootLockSet);
    view_.paint(kShapeBootLock, colour::kRed);
    failed = true;
  } else {
    log(kBootLockFree);
    view_.paint(kShapeBootLock, colour::kLime);
  }
  return failed;
}

void Mec16Operations::BitBtn_MEC16Click() {
  if (!begin(Mec16Mode::Id)) return;
  view_.setGauge(kGauge, 0);
  view_.paint(kShapeBootLock, colour::kBlack);
  view_.paint(kShapeFwp, colour::kBlack);
  timeStamp();
  bool failed = false;
  if (!openLink()) return endAction(false);
  std::array<std::uint8_t, 4> id{};
  const StartResult start = sendStartAndId(id);
  if (start == StartResult::NoAnswer) {
    send(kFailed);
    send(kClose);
    finish(false, true);
    return;
  }
  if (start == StartResult::ShortId) failed = true;

  struct Step {
    std::string_view address;
    std::string_view lossCode;
  };
  static constexpr Step kSteps[] = {
      {kDeviceRegister, "(I100)"}, {kFlashCommand, "(I101)"}, {kFlashEnable, "(I102)"}, {kFlashStatus, "(I103)"}};
  RegisterAnswer status;
  for (const Step& step : kSteps) {
    RegisterAnswer answer = ReadReg_MEC16(link_, step.address);
    Result_MEC16 = answer.text;
    if (answer.lost()) {
      log(Lost(step.lossCode));
      failed = true;
    } else {
      log(Caption(step.address), answer.text);
    }
    status = answer;
  }
  if (!status.lost() && CheckProtection_MEC16(status.low())) failed = true;
  send(failed ? kFailed : kSucceeded);
  send(kClose);
  finish(!failed, true);
}

void Mec16Operations::BitBtn_MEC16_HELPClick() {
  if (Mode_MEC16.load() != Mec16Mode::None) return;
  for (std::string_view line : kHelp) log(line);
  view_.ended(true);
}

void Mec16Operations::EXIT_MEC16Click() {
  if (Mode_MEC16.load() == Mec16Mode::None) {
    view_.showWindow("Form1", true);
    view_.showWindow("self", false);
    view_.ended(true);
    return;
  }
  // A write cannot be stopped midway: the chip would be left half written. Its verify
  // runs to its end too, so the window stays until the write's verdict is known.
  if (writeRunning_.load()) {
    if (!writeStopNoted_.exchange(true)) log(kWriteCannotStop);
    return;
  }
  // Only a running MAIN read looks at it, between blocks.
  Stop_MEC16 = true;
}

// ---------------------------------------------------------------------------------------
// Erase: wholly in the click.

void Mec16Operations::BitBtn_MEC16_ERASEClick(bool eraseInfoToo) {
  if (!begin(Mec16Mode::Erase)) return;
  view_.setGauge(kGauge, 0);
  view_.paint(kShapeBootLock, colour::kBlack);
  view_.paint(kShapeFwp, colour::kBlack);
  timeStamp();
  if (!openLink()) return endAction(false);
  auto close = [this](bool success) {
    send(kClose);
    finish(success, true);
  };
  if (!eraseAllowed()) {
    send(kFailed);
    log(kEraseCancelled);
    return close(false);
  }
  if (!writeLogged(kFlashEnable, "00000001", "1", "(E101)")) return close(false);
  if (!writeLogged(kFlashCommand, "00000107", "107h", "(E102)")) return close(false);
  Result_MEC16 = WriteReg_MEC16(link_, kFlashAddress, eraseInfoToo ? "00FC0000" : "00F80000");
  if (Result_MEC16 == kMecLost) {
    log(Lost("(E103)"));
    return close(false);
  }
  log(kEraseSent);
  if (!awaitEraseEnd()) return close(false);
  log(kEraseDone);
  if (!writeLogged(kFlashCommand, "00000100", "100h", "(E105)")) return close(false);
  if (!writeLogged(kFlashCommand, "00000000", "0", "(E106)")) return close(false);
  if (!writeLogged(kFlashEnable, "00000000", "0", "(E107)")) return close(false);
  send(kSucceeded);
  close(true);
}

bool Mec16Operations::eraseAllowed() {
  std::array<std::uint8_t, 4> id{};
  const StartResult start = sendStartAndId(id);
  bool failed = start != StartResult::Ok;
  if (start != StartResult::NoAnswer) {
    const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
    Result_MEC16 = status.text;
    if (status.lost()) {
      log(Lost("(E100)"));
      failed = true;
    } else {
      log(Caption(kFlashStatus), status.text);
      if (CheckProtection_MEC16(status.low())) failed = true;
    }
  }
  return !failed;
}

// The busy bit stays set while the array erases; each read is bounded by the link's read
// time-out and the whole poll by the erase bound.
bool Mec16Operations::awaitEraseEnd() {
  const WaitDeadline deadline(*link_.d2xx, bounds_.eraseMs);
  for (;;) {
    const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
    Result_MEC16 = status.text;
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
