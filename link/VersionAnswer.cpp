#include "link/VersionAnswer.h"

#include <algorithm>

#include "link/WaitDeadline.h"
#include "link/limits.h"

namespace jig {

namespace {

DWORD BridgeLatencyMs(ProgrammerLink& link) {
  const auto reading = link.d2xx->LatencyTimer(link.handle);
  return reading && reading->ms > 0 ? static_cast<DWORD>(reading->ms) : limits::kBridgeDefaultLatencyMs;
}

}  // namespace

DWORD AnswerGapMs(DWORD latencyMs) { return latencyMs + limits::kAnswerGapMarginMs; }

DWORD ReadVersionAnswer(ProgrammerLink& link, DWORD count, DWORD timeoutMs) {
  link.transferred = 0;
  if (!link.isOpen || count == 0) return 0;
  D2xx& d = *link.d2xx;
  const WaitDeadline deadline(d, timeoutMs);
  const DWORD gap = AnswerGapMs(BridgeLatencyMs(link));
  DWORD waiting = 0;
  FT_STATUS status = d.WaitForRx(link.handle, 1, timeoutMs, &waiting);
  // Each wait sleeps until one byte more than waits now has come: a quiet gap ends it.
  while (status == FT_OK && waiting < count) {
    const DWORD left = deadline.msLeft();
    if (left == 0) break;
    status = d.WaitForRx(link.handle, waiting + 1, std::min(gap, left), &waiting);
  }
  if (waiting == 0) return 0;
  link.read(std::min(waiting, count));
  return link.transferred;
}

}  // namespace jig
