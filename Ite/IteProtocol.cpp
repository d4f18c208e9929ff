#include "Ite/IteProtocol.h"

namespace jig::ite {

namespace {
bool Send(ProgrammerLink& link, std::initializer_list<std::uint8_t> bytes) {
  const std::size_t count = bytes.size();
  std::copy(bytes.begin(), bytes.end(), link.buffer.begin());
  return link.write(std::span<const std::uint8_t>(link.buffer.data(), count)) == FT_OK &&
         link.transferred == count;
}
}  // namespace

Reply AnswerWait(ProgrammerLink& link, std::uint32_t boundMs, const std::stop_token& stop) {
  if (QueueWait(link, 1, boundMs, stop) != WaitResult::Ok) return std::nullopt;
  return link.buffer[0];
}

Reply Cmd_ITE(ProgrammerLink& link, CmdKind kind, std::uint8_t argument, std::uint32_t boundMs) {
  bool sent = false;
  switch (kind) {
    case CmdKind::Connect: sent = Send(link, {kConnect}); break;
    case CmdKind::SetAddress: sent = Send(link, {kSetAddress, argument}); break;
    case CmdKind::WriteRegister: sent = Send(link, {kWriteRegister, argument}); break;
    case CmdKind::ReadRegister: sent = Send(link, {kReadRegister}); break;
    case CmdKind::EnterSettings: sent = Send(link, {kEnterSettings}); break;
  }
  if (!sent) return std::nullopt;
  return AnswerWait(link, boundMs);
}

StepResult RegWrite_ITE(ProgrammerLink& link, std::uint8_t address, std::uint8_t value, std::uint32_t boundMs) {
  const Reply set = Cmd_ITE(link, CmdKind::SetAddress, address, boundMs);
  if (!set) return StepResult::NoAnswer;
  if (*set != kDone) return StepResult::Refused;
  const Reply written = Cmd_ITE(link, CmdKind::WriteRegister, value, boundMs);
  if (!written) return StepResult::NoAnswer;
  return *written == kDone ? StepResult::Ok : StepResult::Refused;
}

StepResult PinCmd_ITE(ProgrammerLink& link, std::uint8_t code1, std::uint8_t code2, std::uint8_t pin,
                      std::uint32_t boundMs) {
  if (!Send(link, {code1, code2, pin})) return StepResult::NoAnswer;
  const Reply answer = AnswerWait(link, boundMs);
  if (!answer) return StepResult::NoAnswer;
  return *answer == kPinAccepted ? StepResult::Ok : StepResult::Refused;
}

WaitResult ReadBlock_ITE(ProgrammerLink& link, std::uint32_t boundMs, DWORD& gathered) {
  gathered = 0;
  if (!Send(link, {kReadBlock})) return WaitResult::Gone;
  return Gather(link, static_cast<DWORD>(kBlockAnswer), boundMs, gathered);
}

Reply FlashAddress_ITE(ProgrammerLink& link, std::uint32_t address, std::uint32_t boundMs,
                       const std::stop_token& stop) {
  if (!Send(link, {kFlashAddress, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
                   static_cast<std::uint8_t>(address)}))
    return std::nullopt;
  return AnswerWait(link, boundMs, stop);
}

Reply ProgramByte_ITE(ProgrammerLink& link, std::uint8_t data) {
  if (!Send(link, {kProgramByte, data})) return std::nullopt;
  if (TimedRead(link, 1) != 1) return std::nullopt;
  return link.buffer[0];
}

bool Finish_ITE(ProgrammerLink& link, std::uint8_t endByte, std::uint32_t drainMs) {
  bool drained = false;
  if (link.isOpen && link.writeByte(endByte) == FT_OK) drained = Drain(link, drainMs) == WaitResult::Ok;
  link.close();
  return drained;
}

}  // namespace jig::ite
