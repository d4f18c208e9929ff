#include "link/ReadIdioms.h"

#include "link/WaitDeadline.h"

namespace jig {

namespace {
WaitResult FromStatus(FT_STATUS status) {
  if (status == FT_OK) return WaitResult::Ok;
  if (status == FT_WAIT_TIMEOUT) return WaitResult::TimedOut;
  if (status == FT_WAIT_STOPPED) return WaitResult::Stopped;
  return WaitResult::Gone;
}
}  // namespace

DWORD TimedRead(ProgrammerLink& link, DWORD count, std::size_t offset) {
  link.read(count, offset);
  return link.transferred;
}

bool RetriedSingleByte(ProgrammerLink& link, int tries, std::size_t offset) {
  for (int i = 0; i < tries; ++i) {
    const FT_STATUS status = link.read(1, offset);
    if (link.transferred == 1) return true;
    if (status != FT_OK) return false;  // the device is gone: more tries cannot help
  }
  return false;
}

WaitResult QueueWait(ProgrammerLink& link, DWORD count, DWORD timeoutMs, std::size_t offset) {
  return QueueWait(link, count, timeoutMs, std::stop_token{}, offset);
}

WaitResult QueueWait(ProgrammerLink& link, DWORD count, DWORD timeoutMs, const std::stop_token& stop,
                     std::size_t offset) {
  if (!link.isOpen) return WaitResult::Gone;
  // A token that can never be stopped waits as the library does.
  const FT_STATUS status = stop.stop_possible()
                               ? link.d2xx->WaitForRxOrStop(link.handle, count, timeoutMs, &link.rxQueue, stop)
                               : link.d2xx->WaitForRx(link.handle, count, timeoutMs, &link.rxQueue);
  if (status != FT_OK) return FromStatus(status);
  const FT_STATUS readStatus = link.read(count, offset);
  if (readStatus != FT_OK) return WaitResult::Gone;
  return link.transferred == count ? WaitResult::Ok : WaitResult::TimedOut;
}

WaitResult Gather(ProgrammerLink& link, DWORD total, DWORD timeoutMs, DWORD& gathered,
                  std::size_t offset) {
  gathered = 0;
  if (!link.isOpen) return WaitResult::Gone;
  const WaitDeadline deadline(*link.d2xx, timeoutMs);
  while (gathered < total) {
    const DWORD left = deadline.msLeft();
    if (left == 0) return WaitResult::TimedOut;
    const FT_STATUS status = link.d2xx->WaitForRx(link.handle, 1, left, &link.rxQueue);
    if (status != FT_OK) return FromStatus(status);
    DWORD take = link.rxQueue;
    if (take > total - gathered) take = total - gathered;
    if (link.read(take, offset + gathered) != FT_OK) return WaitResult::Gone;
    gathered += link.transferred;
  }
  return WaitResult::Ok;
}

WaitResult Drain(ProgrammerLink& link, DWORD timeoutMs) {
  if (!link.isOpen) return WaitResult::Gone;
  return FromStatus(link.d2xx->WaitForTxEmpty(link.handle, timeoutMs));
}

}  // namespace jig
