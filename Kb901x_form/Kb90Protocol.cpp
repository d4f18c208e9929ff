#include "Kb901x_form/Kb90Protocol.h"

#include <algorithm>
#include <string>

#include "link/WaitDeadline.h"

namespace jig {

bool Kb90Handshake(ProgrammerLink& link, TaskView& view, const Kb90Bounds& bounds) {
  link.writeByte(kb90::kLinkCheck);
  const WaitResult answer = QueueWait(link, 1, bounds.handshakeMs);
  if (answer == WaitResult::Ok && link.buffer[0] != kb90::kNoController) {
    view.log("Communication with KB90XX installed.");
    view.log("Embedded Debug Version ID = " + std::to_string(link.buffer[0]));
    link.chipId = "debug version " + std::to_string(link.buffer[0]);
    return true;
  }
  view.log("");
  view.log("No connection to the KB90XX!");
  view.log("Motherboard is connected / powered ?");
  link.writeByte(kb90::kFailure);
  return false;
}

BlockResult WaitBlock(ProgrammerLink& link, DWORD timeoutMs) {
  if (!link.isOpen) return BlockResult::Gone;
  const FT_STATUS status = link.d2xx->WaitForRx(link.handle, kb90::kBlockSize, timeoutMs, &link.rxQueue);
  if (status == FT_WAIT_TIMEOUT) return BlockResult::TimedOut;
  if (status != FT_OK) return BlockResult::Gone;
  if (link.rxQueue > kb90::kBlockSize) return BlockResult::Surplus;
  if (link.read(kb90::kBlockSize) != FT_OK) return BlockResult::Gone;
  return link.transferred == kb90::kBlockSize ? BlockResult::Ok : BlockResult::TimedOut;
}

bool EndReadTransfer(ProgrammerLink& link) {
  if (link.getStatus() == FT_OK && link.rxQueue > 0) return false;
  link.writeByte(kb90::kEndTransfer);
  return true;
}

WaitResult WaitAckByte(ProgrammerLink& link, DWORD timeoutMs) { return QueueWait(link, 1, timeoutMs); }

void EndWithoutChecksum(ProgrammerLink& link) {
  link.writeByte(kb90::kEndTransfer);
  link.writeByte(kb90::kSuccess);
  link.close();
}

ImageBlock BlockOfImage(std::span<const std::uint8_t> image, int number) {
  ImageBlock block;
  block.bytes.fill(0xFF);
  const std::size_t offset = static_cast<std::size_t>(number - 1) * kb90::kBlockSize;
  const auto rest = image.subspan(std::min(offset, image.size()));
  const std::size_t n = std::min(kb90::kBlockSize, rest.size());
  std::copy_n(rest.begin(), n, block.bytes.begin());
  block.imageEnded = n < kb90::kBlockSize;
  return block;
}

ChecksumAnswer AskChecksum(ProgrammerLink& link, DWORD markMs, DWORD answerMs,
                           const std::function<void(int)>& onMark) {
  link.writeByte(kb90::kChecksum);
  ChecksumAnswer answer;
  const auto stopped = [&answer](WaitResult why) {
    answer.result = why == WaitResult::Gone ? ChecksumResult::Gone : ChecksumResult::MarkMissing;
    return answer;
  };
  if (!link.isOpen) return stopped(WaitResult::Gone);
  WaitDeadline deadline(*link.d2xx, markMs);
  while (answer.marks < kb90::kBlockCount) {
    const DWORD left = deadline.msLeft();
    if (left == 0) return stopped(WaitResult::TimedOut);
    if (!link.isOpen) return stopped(WaitResult::Gone);
    const FT_STATUS status = link.d2xx->WaitForRx(link.handle, 1, left, &link.rxQueue);
    if (status == FT_WAIT_TIMEOUT) return stopped(WaitResult::TimedOut);
    if (status != FT_OK) return stopped(WaitResult::Gone);
    // Never take more bytes than marks are still owed: what follows the last mark is the
    // checksum answer.
    const DWORD take = std::min<DWORD>(link.rxQueue, static_cast<DWORD>(kb90::kBlockCount - answer.marks));
    if (link.read(take) != FT_OK) return stopped(WaitResult::Gone);
    for (DWORD i = 0; i < link.transferred; ++i) {
      if (link.buffer[i] != kb90::kMark) continue;
      ++answer.marks;
      deadline.restart(markMs);
      if (onMark) onMark(answer.marks);
    }
  }
  const WaitResult got = QueueWait(link, 4, answerMs);
  if (got != WaitResult::Ok) {
    answer.result = got == WaitResult::Gone ? ChecksumResult::Gone : ChecksumResult::AnswerMissing;
    return answer;
  }
  const auto& b = link.buffer;
  answer.flash = {static_cast<std::uint16_t>(b[1] * 256 + b[0]), static_cast<std::uint16_t>(b[3] * 256 + b[2])};
  answer.result = ChecksumResult::Ok;
  return answer;
}

}  // namespace jig
