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

WaitResult WaitAckByte(ProgrammerLink& link, DWORD timeoutMs) { return QueueWait(link, 1, timeoutMs); }

ChecksumAnswer WaitChecksum(ProgrammerLink& link, DWORD markMs, DWORD answerMs,
                            const std::function<void(int)>& onMark) {
  ChecksumAnswer answer;
  if (!link.isOpen) {
    answer.result = WaitResult::Gone;
    return answer;
  }
  WaitDeadline deadline(*link.d2xx, markMs);
  while (answer.marks < kb90::kBlockCount) {
    const DWORD left = deadline.msLeft();
    if (left == 0) {
      answer.result = WaitResult::TimedOut;
      return answer;
    }
    if (!link.isOpen) {
      answer.result = WaitResult::Gone;
      return answer;
    }
    const FT_STATUS status = link.d2xx->WaitForRx(link.handle, 1, left, &link.rxQueue);
    if (status == FT_WAIT_TIMEOUT) {
      answer.result = WaitResult::TimedOut;
      return answer;
    }
    if (status != FT_OK) {
      answer.result = WaitResult::Gone;
      return answer;
    }
    // Never take more bytes than marks are still owed: what follows the last mark is the
    // checksum answer.
    const DWORD take = std::min<DWORD>(link.rxQueue, static_cast<DWORD>(kb90::kBlockCount - answer.marks));
    if (link.read(take) != FT_OK) {
      answer.result = WaitResult::Gone;
      return answer;
    }
    for (DWORD i = 0; i < link.transferred; ++i) {
      if (link.buffer[i] != kb90::kMark) continue;
      ++answer.marks;
      deadline.restart(markMs);
      if (onMark) onMark(answer.marks);
    }
  }
  answer.result = QueueWait(link, 4, answerMs);
  if (answer.result == WaitResult::Ok) std::copy_n(link.buffer.begin(), 4, answer.bytes.begin());
  return answer;
}

}  // namespace jig
