#include "Ite/IteOperations.h"

#include <utility>

#include "Ite/IteFamily.h"
#include "Ite/IteOperationsCommon.h"
#include "Ite/IteTexts.h"
#include "view/CharFilter.h"
#include "link/OpenProgrammer.h"
#include "view/TimeStamp.h"

namespace jig {

using namespace ite::detail;

std::string_view ModeText(IteMode mode) {
  switch (mode) {
    case IteMode::READ_ITE: return ite::text::kModeRead;
    case IteMode::WRITE_ITE_step_one: return ite::text::kModeWrite;
    case IteMode::NONE: break;
  }
  return ite::text::kModeNone;
}

IteOperations::IteOperations(D2xx& d2xx, TaskView& view, ite::IteBounds bounds)
    : d2xx_(d2xx), view_(view), bounds_(bounds), link_(d2xx, ite::kBufferSize) {}

IteOperations::~IteOperations() {
  ReadThread_ITE.request_stop();
  joinWorker();
}

void IteOperations::joinWorker() {
  if (ReadThread_ITE.joinable()) ReadThread_ITE.join();
}

void IteOperations::log(std::string_view line) { view_.log(std::string(line)); }

void IteOperations::logTimeStamp() { log(Concat({kCurrentTimeRu, LongTimeOfDay()})); }

void IteOperations::logNoAnswer(std::uint32_t ms, std::string_view command) {
  log(Concat({ite::text::kNoAnswerPrefix, std::to_string(ms), ite::text::kNoAnswerMiddle, command, ite::text::kFullStop}));
}

void IteOperations::logFailure(std::string_view code) {
  log(Concat({ite::text::kFailurePrefix, code, ite::text::kFailureSuffix}));
}

// ---- Base, parse and mirror ----

void IteOperations::FormCreate(ite::IteBase base) {
  base_ = std::move(base);
  entry_ = 0;
}

bool IteOperations::selectedLine(std::string& line) const {
  if (!base_.found || entry_ < 1 || static_cast<std::size_t>(entry_) > base_.lines.size()) return false;
  line = base_.lines[static_cast<std::size_t>(entry_ - 1)];
  return true;
}

void IteOperations::showPins(const ite::PinAssignment& before) {
  for (std::size_t signal = 0; signal < pins_.size(); ++signal)
    if (pins_[signal] != before[signal]) view_.select(ite::kSignals[signal].box, pins_[signal]);
}

void IteOperations::ITE_ComboBox_MB_SWITCHSelect(int index) {
  const int entries = base_.found ? static_cast<int>(base_.lines.size()) : 0;
  if (index < 0 || index > entries) return;
  entry_ = index;
  std::string line;
  if (!selectedLine(line)) {
    checkEnabled_ = false;
    view_.enable(kCheckBox, false);
    view_.ended(true);
    return;
  }
  // A reset, not the user's click: the mirror does not run.
  checked_ = true;
  checkEnabled_ = false;
  view_.select(kCheckBox, 1);
  view_.enable(kCheckBox, false);

  const ite::PinAssignment before = pins_;
  const ite::ParseResult parsed = ite::ParseMbLine(line, pins_);
  pins_ = parsed.pins;
  showPins(before);
  const std::string_view name =
      parsed.signal >= 0 ? ite::kSignals[static_cast<std::size_t>(parsed.signal)].name : std::string_view{};
  switch (parsed.kind) {
    case ite::ParseResult::Ok:
      checkEnabled_ = true;
      view_.enable(kCheckBox, true);
      view_.ended(true);
      return;
    case ite::ParseResult::MissingKey:
      log(Concat({ite::text::kMissingPinPrefix, name, ite::text::kSignalSuffix}));
      break;
    case ite::ParseResult::BadPin:
      log(Concat({ite::text::kBadPinPrefix, name, ite::text::kSignalSuffix}));
      break;
    case ite::ParseResult::NotNumber:
      view_.errorBox(Concat({ite::text::kNotNumberPrefix, name, ite::text::kNotNumberSuffix}));
      break;
  }
  view_.ended(false);
}

void IteOperations::ITE_CheckBoxClick(bool checked) {
  checked_ = checked;
  std::string line;
  if (!selectedLine(line)) {
    view_.ended(false);
    return;
  }
  const ite::MirrorResult mirrored = ite::MirrorPins(line, pins_);
  switch (mirrored.kind) {
    case ite::MirrorResult::Ok: {
      const ite::PinAssignment before = pins_;
      pins_ = mirrored.pins;
      showPins(before);
      view_.ended(true);
      return;
    }
    case ite::MirrorResult::MissingCount: log(ite::text::kMissingCount); break;
    case ite::MirrorResult::BadCount: log(ite::text::kBadCount); break;
    case ite::MirrorResult::PinOutside: {
      const int pin = pins_[static_cast<std::size_t>(mirrored.signal)];
      log(Concat({ite::text::kPinOutsidePrefix, ite::kSignals[static_cast<std::size_t>(mirrored.signal)].name,
                  ite::text::kOpenBracket, std::to_string(pin), ite::text::kCloseBracket, ite::text::kPinOutsideMiddle, std::to_string(mirrored.count),
                  ite::text::kPinOutsideSuffix}));
      break;
    }
  }
  view_.ended(false);
}

void IteOperations::setPin(int signal, int pin) {
  if (signal < 0 || signal >= ite::kSignalCount || pin < 0 || pin > ite::kMaxPin) return;
  pins_[static_cast<std::size_t>(signal)] = pin;
}

// ---- APPLY ----

void IteOperations::ITE_SETUP_BitBtnClick() {
  // The handle belongs to a running transfer; its button is disabled meanwhile.
  if (Mode_ITE.load() != IteMode::NONE) return;
  logTimeStamp();
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) {
    view_.ended(false);
    return;
  }
  log(ite::text::kSendingSettings);
  const ite::Reply entered = ite::Cmd_ITE(link_, ite::CmdKind::EnterSettings, 0, bounds_.answerMs);
  if (!entered) logNoAnswer(bounds_.answerMs, ite::text::kCmdEnterSettings);
  if (entered != ite::kSettingsEntered) {
    log(ite::text::kSettingsError);
    link_.close();
    view_.ended(false);
    return;
  }
  auto send = [this](std::uint8_t code1, std::uint8_t code2, std::uint8_t pin) {
    const ite::StepResult result = ite::PinCmd_ITE(link_, code1, code2, pin, bounds_.answerMs);
    if (result == ite::StepResult::NoAnswer)
      logNoAnswer(bounds_.answerMs, Concat({ite::text::kCmdPinSetting, std::string(1, static_cast<char>(code1)),
                                            std::string(1, static_cast<char>(code2)), ite::text::kCloseBracket}));
    return result == ite::StepResult::Ok;
  };
  bool accepted = true;
  for (const int signal : ite::kApplyOrder) {
    const ite::IteSignal& s = ite::kSignals[static_cast<std::size_t>(signal)];
    if (!(accepted = send(s.code1, s.code2, static_cast<std::uint8_t>(pins_[static_cast<std::size_t>(signal)]))))
      break;
  }
  if (accepted) accepted = send(ite::kSettingsEnd, ite::kSettingsEnd, ite::kSettingsEnd);
  if (!accepted) {
    log(ite::text::kPinProtocolError);
    link_.close();
    view_.ended(false);
    return;
  }
  log(ite::text::kSettingsSent);
  for (std::string_view button : {kCheckButton, kExitButton, kWriteButton, kReadButton}) view_.enable(button, true);
  link_.close();
  view_.ended(true);
}

// ---- Link check ----

void IteOperations::ITE_CHECK_CON_BitBtnClick() {
  if (Mode_ITE.load() != IteMode::NONE) return;
  log("");
  log(ite::text::kCheckStart);
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) {
    view_.ended(false);
    return;
  }
  log(ite::text::kProgrammerReady);
  log("");
  log(ite::text::kPlugNow);
  auto fail = [this](std::string_view code) {
    logFailure(code);
    finish(ite::kEndFailure);
    view_.ended(false);
  };
  const ite::Reply connected = ite::Cmd_ITE(link_, ite::CmdKind::Connect, 0, bounds_.connectMs);
  if (!connected) logNoAnswer(bounds_.connectMs, ite::text::kCmdConnect);
  if (connected != ite::kDone) return fail(ite::kCheckConnectCode);
  std::uint8_t id[3] = {};
  for (std::uint8_t address = 0; address < 3; ++address) {
    const ite::Reply set = ite::Cmd_ITE(link_, ite::CmdKind::SetAddress, address, bounds_.answerMs);
    if (!set) logNoAnswer(bounds_.answerMs, Concat({ite::text::kCmdSetAddress, Hex2(address), ite::text::kCloseBracket}));
    if (!set || *set == ite::kNoController) return fail(ite::kCheckIdCodes[address]);
    const ite::Reply value = ite::Cmd_ITE(link_, ite::CmdKind::ReadRegister, 0, bounds_.answerMs);
    if (!value) {
      logNoAnswer(bounds_.answerMs, ite::text::kCmdReadRegister);
      return fail(ite::kCheckIdCodes[address]);
    }
    id[address] = *value;
  }
  log(Concat({ite::text::kFoundId, Hex2(id[0]), Hex2(id[1]), ite::text::kRevision, Hex2(id[2])}));
  finish(ite::kEndSuccess);
  view_.ended(true);
}

void IteOperations::finish(std::uint8_t endByte) {
  if (!ite::Finish_ITE(link_, endByte, bounds_.drainMs)) log(ite::text::kNotDrained);
}

bool IteOperations::connectForRead() {
  const ite::Reply connected = ite::Cmd_ITE(link_, ite::CmdKind::Connect, 0, bounds_.connectMs);
  if (!connected) logNoAnswer(bounds_.connectMs, ite::text::kCmdConnect);
  if (connected != ite::kDone) {
    logFailure(ite::kReadConnectCode);
    return false;
  }
  log(ite::text::kPreparing);
  if (!runRegisterSteps(ite::kReadPreparation)) return false;
  log(ite::text::kPrepared);
  return true;
}

bool IteOperations::runRegisterSteps(std::span<const ite::RegStep> steps) {
  for (const ite::RegStep& step : steps) {
    const ite::StepResult result = ite::RegWrite_ITE(link_, step.reg, step.value, bounds_.answerMs);
    if (result == ite::StepResult::Ok) continue;
    if (result == ite::StepResult::NoAnswer)
      logNoAnswer(bounds_.answerMs, Concat({ite::text::kCmdWriteRegister, Hex2(step.reg), ite::text::kRegisterEquals, Hex2(step.value),
                                            ite::text::kHexSuffix}));
    logFailure(step.code);
    return false;
  }
  return true;
}

void IteOperations::endClickFailed(bool sendEnd, bool enableRead, bool enableWrite) {
  file_.reset();
  if (sendEnd) finish(ite::kEndFailure);
  link_.close();
  Mode_ITE.store(IteMode::NONE);
  for (std::string_view button : {kCheckButton, kExitButton, kSetupButton}) view_.enable(button, true);
  if (enableRead) view_.enable(kReadButton, true);
  if (enableWrite) view_.enable(kWriteButton, true);
  for (std::string_view box : {kVerifyBox, kReadTwiceBox, kBackupBox}) view_.enable(box, true);
  view_.ended(false);
}

// ---- ReadThread_ITE ----

void IteOperations::threadMain(std::stop_token stop) {
  switch (Mode_ITE.load()) {
    case IteMode::READ_ITE: readBody(stop); break;
    case IteMode::WRITE_ITE_step_one:
      if (backupThisWrite_) backupThenWrite(stop);
      else writeBody(stop);
      break;
    case IteMode::NONE: break;
  }
}

void IteOperations::endWorker(bool success) {
  for (std::string_view button :
       {kCheckButton, kExitButton, kWriteButton, kSetupButton, kReadButton, kVerifyBox, kReadTwiceBox, kBackupBox})
    view_.enable(button, true);
  Mode_ITE.store(IteMode::NONE);
  view_.ended(success);
}

// ---- EXIT ----

void IteOperations::ITE_EXIT_BitBtnClick() {
  if (Mode_ITE.load() != IteMode::NONE) return;
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
  view_.setGauge(kGauge, 0);
  view_.ended(true);
}

}  // namespace jig
