#include "Npce/NpceProtocol.h"

#include <algorithm>

#include "link/NoAnswerLine.h"
#include "Npce/NpceBounds.h"

namespace jig::npce {

bool IsFlashId(std::span<const std::uint8_t> answer) {
  return answer.size() == kIdAnswerLength && std::equal(kFlashId.begin(), kFlashId.end(), answer.begin());
}

bool Cmd_NPCE(ProgrammerLink& link, std::uint8_t b, int tries) {
  if (link.writeByte(b) != FT_OK) return false;
  return RetriedSingleByte(link, tries);
}

bool NpceHandshake(ProgrammerLink& link, TaskView& view, int tries) {
  // A version answer longer than the open reads leaves its rest waiting; it must not be
  // taken for the ID.
  if (link.isOpen) link.d2xx->FT_Purge(link.handle, FT_PURGE_RX);
  link.writeByte(kReadId);
  const DWORD got = TimedRead(link, kIdAnswerLength);
  if (IsFlashId(std::span(link.buffer.data(), got))) {
    view.log(text::kIdOk);
    view.log(text::kIdLine);
    if (Cmd_NPCE(link, kSignalOk, tries)) return true;
    view.log(NoAnswerLine(text::kWhatSignalAnswer, static_cast<DWORD>(tries) * limits::kNpceQueryTimeoutMs, WaitResult::TimedOut));
    return false;
  }
  view.log(text::kNoConnection);
  view.log(text::kCheckSoldering);
  Cmd_NPCE(link, kSignalFail, tries);
  return false;
}

DWORD AwaitAnswer(ProgrammerLink& link, DWORD count, DWORD timeoutMs, WaitResult& result) {
  result = WaitResult::Gone;
  if (!link.isOpen) return 0;
  const FT_STATUS status = link.d2xx->WaitForRx(link.handle, 1, timeoutMs, &link.rxQueue);
  if (status == FT_WAIT_TIMEOUT) result = WaitResult::TimedOut;
  if (status != FT_OK) return 0;
  result = WaitResult::Ok;
  return TimedRead(link, count);
}

DWORD AwaitBlock(ProgrammerLink& link, DWORD timeoutMs, WaitResult& result) {
  result = WaitResult::Gone;
  if (!link.isOpen) return 0;
  const FT_STATUS status = link.d2xx->WaitForRx(link.handle, kReadBlockSize, timeoutMs, &link.rxQueue);
  if (status == FT_OK) {
    result = link.read(kReadBlockSize) == FT_OK ? WaitResult::Ok : WaitResult::Gone;
    if (result == WaitResult::Ok && link.transferred != kReadBlockSize) result = WaitResult::TimedOut;
    return link.transferred;
  }
  if (status != FT_WAIT_TIMEOUT) return 0;
  result = WaitResult::TimedOut;
  // What did come of the block is taken, so the caller can tell a short block from silence.
  const DWORD waiting = std::min<DWORD>(link.rxQueue, kReadBlockSize);
  if (waiting == 0) return 0;
  if (link.read(waiting) != FT_OK) {
    result = WaitResult::Gone;
    return 0;
  }
  return link.transferred;
}

std::string NoAnswerLine(std::string_view what, DWORD boundMs, WaitResult result) {
  const std::string within = text::kNoAnswerMiddle + std::to_string(boundMs) + text::kNoAnswerSuffix;
  return jig::NoAnswerLine({text::kGonePrefix, text::kFullStop, text::kNoAnswerPrefix, within}, result, what);
}

}  // namespace jig::npce
