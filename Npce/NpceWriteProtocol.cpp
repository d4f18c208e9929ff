#include "Npce/NpceWriteProtocol.h"

#include <algorithm>

namespace jig::npce {

ShortAnswer Erase(ProgrammerLink& link, DWORD timeoutMs) {
  link.writeByte(kErase);
  ShortAnswer answer;
  answer.wait = QueueWait(link, 2, timeoutMs);
  if (answer.wait != WaitResult::Ok) return answer;
  DWORD waiting = 0, tx = 0, event = 0;
  const bool more = link.d2xx->FT_GetStatus(link.handle, &waiting, &tx, &event) == FT_OK && waiting > 0;
  answer.length = more ? 2 + waiting : 2;
  answer.byte0 = link.buffer[0];
  return answer;
}

ShortAnswer Ask(ProgrammerLink& link, std::uint8_t command, DWORD timeoutMs) {
  link.writeByte(command);
  ShortAnswer answer;
  answer.length = AwaitAnswer(link, 2, timeoutMs, answer.wait);
  if (answer.length == 0 && answer.wait == WaitResult::Ok) answer.wait = WaitResult::TimedOut;
  if (answer.length > 0) answer.byte0 = link.buffer[0];
  return answer;
}

BlockSent SendBlock(ProgrammerLink& link, std::span<const std::uint8_t> image, int number, const NpceBounds& bounds) {
  link.writeByte(kWriteBlock);
  if (!RetriedSingleByte(link, bounds.byteTries)) return {SendResult::NoReadyByte};
  if (link.buffer[0] != kReadyForBlock) return {SendResult::NotReady};
  link.write(image.subspan(static_cast<std::size_t>(number - 1) * kWriteBlockSize, kWriteBlockSize));
  const WaitResult drained = Drain(link, bounds.drainMs);
  return {drained == WaitResult::Ok ? SendResult::Sent : SendResult::NotDrained, drained};
}

BlockStatus TakeStatus(ProgrammerLink& link, int tries) {
  if (!RetriedSingleByte(link, tries)) return BlockStatus::Missing;
  if (link.buffer[0] != 0) return BlockStatus::Written;
  Cmd_NPCE(link, kEndWriting, tries);
  return BlockStatus::Failed;
}

ReadBack ReadBackBlock(ProgrammerLink& link, std::span<const std::uint8_t> image, int number, DWORD timeoutMs) {
  link.writeByte(kReadBlock);
  const BlockWait block = AwaitBlock(link, timeoutMs);
  const auto expected = image.subspan(static_cast<std::size_t>(number - 1) * kReadBlockSize, kReadBlockSize);
  const bool equal = block.got == kReadBlockSize && std::equal(expected.begin(), expected.end(), link.buffer.begin());
  return {block.wait, block.got, equal};
}

}  // namespace jig::npce
