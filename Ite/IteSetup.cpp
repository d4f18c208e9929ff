#include "Ite/IteSetup.h"

#include "Ite/IteLines.h"
#include "Ite/IteSequences.h"
#include "Ite/IteSteps.h"
#include "Ite/IteTexts.h"
#include "view/CharFilter.h"

namespace jig::ite {

bool SendPins(ProgrammerLink& link, TaskView& view, const PinAssignment& pins, const IteBounds& bounds) {
  view.log(text::kSendingSettings);
  const Reply entered = Cmd_ITE(link, CmdKind::EnterSettings, 0, bounds.answerMs);
  if (!entered) view.log(UnansweredLine(bounds.answerMs, text::kCmdEnterSettings));
  if (entered != kSettingsEntered) {
    view.log(text::kSettingsError);
    return false;
  }
  auto send = [&](std::uint8_t code1, std::uint8_t code2, std::uint8_t pin) {
    const StepResult result = PinCmd_ITE(link, code1, code2, pin, bounds.answerMs);
    if (result == StepResult::NoAnswer)
      view.log(UnansweredLine(bounds.answerMs, Concat({text::kCmdPinSetting, std::string(1, static_cast<char>(code1)),
                                                       std::string(1, static_cast<char>(code2)), text::kCloseBracket})));
    return result == StepResult::Ok;
  };
  bool accepted = true;
  for (const int signal : kApplyOrder) {
    const IteSignal& s = kSignals[static_cast<std::size_t>(signal)];
    if (!(accepted = send(s.code1, s.code2, static_cast<std::uint8_t>(pins[static_cast<std::size_t>(signal)]))))
      break;
  }
  if (accepted) accepted = send(kSettingsEnd, kSettingsEnd, kSettingsEnd);
  view.log(accepted ? text::kSettingsSent : text::kPinProtocolError);
  return accepted;
}

LinkCheck CheckLink(ProgrammerLink& link, TaskView& view, const IteBounds& bounds) {
  for (const char* line : {text::kProgrammerReady, "", text::kPlugNow}) view.log(line);
  auto fail = [&](std::string_view code) {
    if (!code.empty()) view.log(FailureLine(code));
    EndWith(link, view, kEndFailure, bounds);
    return code.empty() ? LinkCheck::NoConnect : LinkCheck::NoId;
  };
  if (!Connect(link, view, kCheckConnectCode, bounds)) return fail({});
  std::uint8_t id[3] = {};
  for (std::uint8_t address = 0; address < 3; ++address) {
    const Reply set = Cmd_ITE(link, CmdKind::SetAddress, address, bounds.answerMs);
    if (!set) view.log(UnansweredLine(bounds.answerMs, Concat({text::kCmdSetAddress, Hex2(address), text::kCloseBracket})));
    if (!set || *set == kNoController) return fail(kCheckIdCodes[address]);
    const Reply value = Cmd_ITE(link, CmdKind::ReadRegister, 0, bounds.answerMs);
    if (!value) {
      view.log(UnansweredLine(bounds.answerMs, text::kCmdReadRegister));
      return fail(kCheckIdCodes[address]);
    }
    id[address] = *value;
  }
  view.log(Concat({text::kFoundId, Hex2(id[0]), Hex2(id[1]), text::kRevision, Hex2(id[2])}));
  EndWith(link, view, kEndSuccess, bounds);
  return LinkCheck::Found;
}

}  // namespace jig::ite
