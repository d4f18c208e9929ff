#include "Ite/IteSteps.h"

#include "Ite/IteLines.h"
#include "Ite/IteTexts.h"
#include "view/CharFilter.h"

namespace jig::ite {

void EndWith(ProgrammerLink& link, TaskView& view, std::uint8_t endByte, const IteBounds& bounds) {
  if (!Finish_ITE(link, endByte, bounds.drainMs)) view.log(text::kNotDrained);
}

bool Connect(ProgrammerLink& link, TaskView& view, std::string_view code, const IteBounds& bounds) {
  const Reply connected = Cmd_ITE(link, CmdKind::Connect, 0, bounds.connectMs);
  if (!connected) view.log(UnansweredLine(bounds.connectMs, text::kCmdConnect));
  if (connected == kDone) return true;
  view.log(FailureLine(code));
  return false;
}

bool WriteRegisters(ProgrammerLink& link, TaskView& view, std::span<const RegStep> steps, const IteBounds& bounds) {
  for (const RegStep& step : steps) {
    const StepResult result = RegWrite_ITE(link, step.reg, step.value, bounds.answerMs);
    if (result == StepResult::Ok) continue;
    if (result == StepResult::NoAnswer)
      view.log(UnansweredLine(bounds.answerMs, Concat({text::kCmdWriteRegister, Hex2(step.reg), text::kRegisterEquals,
                                                       Hex2(step.value), text::kHexSuffix})));
    view.log(FailureLine(step.code));
    return false;
  }
  return true;
}

}  // namespace jig::ite
