#include "link/VersionAnswer.h"

#include <algorithm>
#include <limits>

#include "link/WaitDeadline.h"
#include "link/Bounds.h"

namespace jig {

namespace {

DWORD BridgeLatencyMs(ProgrammerLink& link, DWORD whenUnknownMs) {
  const auto reading = link.d2xx->LatencyTimer(link.handle);
  return reading && reading->ms > 0 ? static_cast<DWORD>(reading->ms) : whenUnknownMs;
}

enum class LineEnd { Count, Quiet, OutOfTime, Failed };

// Sleeps while bytes keep coming: until count bytes wait, the line has been quiet for
// gapMs, the deadline passes or the device goes. waiting holds the receive queue's count.
LineEnd WaitWhileBytesCome(ProgrammerLink& link, DWORD count, DWORD gapMs, const WaitDeadline& deadline,
                           DWORD& waiting) {
  // Each wait sleeps until one byte more than waits now has come: a quiet gap ends it.
  while (waiting < count) {
    const DWORD left = deadline.msLeft();
    if (left == 0) return LineEnd::OutOfTime;
    const DWORD wait = std::min(gapMs, left);
    const FT_STATUS status = link.d2xx->WaitForRx(link.handle, waiting + 1, wait, &waiting);
    if (status == FT_WAIT_TIMEOUT) return wait == gapMs ? LineEnd::Quiet : LineEnd::OutOfTime;
    if (status != FT_OK) return LineEnd::Failed;
  }
  return LineEnd::Count;
}

}  // namespace

DWORD AnswerGapMs(DWORD latencyMs) { return latencyMs + limits::kAnswerGapMarginMs; }

bool DrainStrayBytes(ProgrammerLink& link) {
  if (!link.isOpen) return false;
  const WaitDeadline deadline(*link.d2xx, limits::kStrayDrainBoundMs);
  // What is still on its way was sent while an earlier command held the line, which left
  // the timer at 2 ms; a port that says more (a bridge at its default) is taken at its word.
  const DWORD gap = AnswerGapMs(BridgeLatencyMs(link, limits::kLatencyMs));
  DWORD waiting = 0;
  LineEnd end = WaitWhileBytesCome(link, std::numeric_limits<DWORD>::max(), gap, deadline, waiting);
  // A host held up past the bound (a busy machine) may find the rest all in by then: one
  // more gap of quiet decides, so that a babbling line is told apart from a late look.
  if (end == LineEnd::OutOfTime)
    end = WaitWhileBytesCome(link, waiting + 1, gap, WaitDeadline(*link.d2xx, gap), waiting);
  // Read out, a buffer at a time, so that the answer to 'B' heads the queue.
  for (DWORD dropped = 0; dropped < waiting; dropped += link.transferred) {
    const DWORD chunk = std::min(waiting - dropped, static_cast<DWORD>(link.buffer.size()));
    if (link.read(chunk) != FT_OK || link.transferred == 0) return false;
  }
  return end == LineEnd::Quiet;
}

DWORD ReadVersionAnswer(ProgrammerLink& link, DWORD count, DWORD timeoutMs) {
  link.transferred = 0;
  if (!link.isOpen || count == 0) return 0;
  const WaitDeadline deadline(*link.d2xx, timeoutMs);
  const DWORD gap = AnswerGapMs(BridgeLatencyMs(link, limits::kBridgeDefaultLatencyMs));
  DWORD waiting = 0;
  if (link.d2xx->WaitForRx(link.handle, 1, timeoutMs, &waiting) == FT_OK)
    WaitWhileBytesCome(link, count, gap, deadline, waiting);
  if (waiting == 0) return 0;
  link.read(std::min(waiting, count));
  return link.transferred;
}

}  // namespace jig
