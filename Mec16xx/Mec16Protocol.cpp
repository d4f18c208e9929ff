#include "Mec16xx/Mec16Protocol.h"

#include <algorithm>

#include "view/CharFilter.h"

namespace jig::mec16 {

std::string RegisterValueText(const std::uint8_t* bytes) {
  return Hex2(bytes[0]) + Hex2(bytes[1]) + " " + Hex2(bytes[2]) + Hex2(bytes[3]) + "h";
}

void SendWithAddress(ProgrammerLink& link, std::uint8_t command, std::string_view address) {
  std::uint8_t* out = link.buffer.data();
  out[0] = command;
  std::copy(address.begin(), address.end(), out + 1);
  link.write(std::span<const std::uint8_t>(out, 1 + address.size()));
}

RegisterAnswer ReadReg_MEC16(ProgrammerLink& link, std::string_view address) {
  SendWithAddress(link, kRegisterRead, address);
  RegisterAnswer answer;
  if (TimedRead(link, 5) != 5) {
    answer.text = kMecLost;
    return answer;
  }
  std::copy_n(link.buffer.begin(), 4, answer.value.begin());
  answer.text = RegisterValueText(link.buffer.data());
  return answer;
}

std::string WriteReg_MEC16(ProgrammerLink& link, std::string_view address, std::string_view value) {
  std::uint8_t* out = link.buffer.data();
  out[0] = kRegisterWrite;
  std::copy(address.begin(), address.end(), out + 1);
  std::copy(value.begin(), value.end(), out + 1 + address.size());
  link.write(std::span<const std::uint8_t>(out, 1 + address.size() + value.size()));
  if (TimedRead(link, 1) == 1 && link.buffer[0] == kWriteDone) return std::string(kMecOk);
  return std::string(kMecLost);
}

WaitResult AwaitStartAnswer(ProgrammerLink& link, std::uint32_t timeoutMs) {
  return QueueWait(link, 1, timeoutMs);
}

WaitResult ReadId(ProgrammerLink& link, std::uint32_t timeoutMs, std::array<std::uint8_t, 4>& id,
                  DWORD& gathered) {
  id = {};
  const WaitResult result = Gather(link, 4, timeoutMs, gathered);
  std::copy_n(link.buffer.begin(), std::min<DWORD>(gathered, 4), id.begin());
  return result;
}

IdAnswer StartAndReadId(ProgrammerLink& link, std::uint32_t timeoutMs) {
  IdAnswer answer;
  link.writeByte(kStart);
  if (AwaitStartAnswer(link, timeoutMs) != WaitResult::Ok) return answer;
  link.writeByte(kReadId);
  DWORD gathered = 0;
  ReadId(link, timeoutMs, answer.id, gathered);
  answer.result = gathered == 0 ? IdResult::NoId : gathered < 4 ? IdResult::ShortId : IdResult::Ok;
  if (answer.result == IdResult::Ok) link.chipId = HexBytes(answer.id);
  return answer;
}

}  // namespace jig::mec16
