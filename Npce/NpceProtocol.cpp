#include "Npce/NpceProtocol.h"

#include <algorithm>

#include "link/NoAnswerLine.h"
#include "view/CharFilter.h"

namespace jig::npce {

bool IsFlashId(std::span<const std::uint8_t> answer) {
  return answer.size() == kIdAnswerLength && std::equal(kFlashId.begin(), kFlashId.end(), answer.begin());
}

bool Cmd_NPCE(ProgrammerLink& link, std::uint8_t b, int tries) {
  if (link.writeByte(b) != FT_OK) return false;
  return RetriedSingleByte(link, tries);
}

void SignalFailure(ProgrammerLink& link, int tries) {
  if (link.isOpen) link.d2xx->FT_Purge(link.handle, FT_PURGE_RX);
  Cmd_NPCE(link, kSignalFail, tries);
}

bool NpceHandshake(ProgrammerLink& link, TaskView& view, const NpceBounds& bounds) {
  // A version answer longer than the open reads leaves its rest waiting; it must not be
  // taken for the ID.
  if (link.isOpen) link.d2xx->FT_Purge(link.handle, FT_PURGE_RX);
  link.writeByte(kReadId);
  const DWORD got = TimedRead(link, kIdAnswerLength);
  if (IsFlashId(std::span(link.buffer.data(), got))) {
    link.chipId = HexBytes(std::span<const std::uint8_t>(link.buffer.data(), got));
    view.log(text::kIdOk);
    view.log(text::kIdLine);
    if (Cmd_NPCE(link, kSignalOk, bounds.byteTries)) return true;
    view.log(NoAnswerLine(text::kWhatSignalAnswer, bounds.byteMs(), WaitResult::TimedOut));
    return false;
  }
  view.log(text::kNoConnection);
  view.log(text::kCheckSoldering);
  Cmd_NPCE(link, kSignalFail, bounds.byteTries);
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

BlockWait AwaitBlock(ProgrammerLink& link, DWORD timeoutMs) {
  if (!link.isOpen) return {};
  const FT_STATUS status = link.d2xx->WaitForRx(link.handle, kReadBlockSize, timeoutMs, &link.rxQueue);
  if (status == FT_OK) {
    if (link.read(kReadBlockSize) != FT_OK) return {WaitResult::Gone, link.transferred};
    return {link.transferred == kReadBlockSize ? WaitResult::Ok : WaitResult::TimedOut, link.transferred};
  }
  if (status != FT_WAIT_TIMEOUT) return {};
  // What did come of the block is taken, so the caller can tell a short block from silence.
  const DWORD waiting = std::min<DWORD>(link.rxQueue, kReadBlockSize);
  if (waiting == 0) return {WaitResult::TimedOut, 0};
  if (link.read(waiting) != FT_OK) return {};
  return {WaitResult::TimedOut, link.transferred};
}

ReadEnd TakeReadEnd(ProgrammerLink& link) {
  if (TimedRead(link, 2) == 0) return ReadEnd::Missing;
  return link.buffer[0] == 0 ? ReadEnd::Corrupted : ReadEnd::Good;
}

std::string NoAnswerLine(std::string_view what, DWORD boundMs, WaitResult result) {
  const std::string within = text::kNoAnswerMiddle + std::to_string(boundMs) + text::kNoAnswerSuffix;
  return jig::NoAnswerLine({text::kGonePrefix, text::kFullStop, text::kNoAnswerPrefix, within}, result, what);
}

}  // namespace jig::npce
