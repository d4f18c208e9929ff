#pragma once
// Reading the programmer's answer to 'B'. A version text may be shorter than the count the
// read asks for, so the answer ends when the line falls quiet, not when the read's
// time-out runs out: a technician pays for every open on every click. Before 'B' goes
// out, the line must be quiet, so that what comes after it is the answer to it.
#include "link/ProgrammerLink.h"

namespace jig {

// The silence that ends an answer, for the bridge's latency timer: the bridge holds a
// partial USB packet up to that long, so the rest of a longer answer comes within it.
DWORD AnswerGapMs(DWORD latencyMs);

// Reads and drops what still comes after the open's purge (the rest of a block an
// interrupted command left on its way) until the line has been quiet for the answer gap.
// True once it has; false when it was still busy after limits::kStrayDrainBoundMs and one
// gap more, or the device went. A port that cannot say its latency timer is taken at the 2 ms every open
// leaves it at.
bool DrainStrayBytes(ProgrammerLink& link);

// Reads up to count bytes into the buffer, as a timed FT_Read of timeoutMs would, but
// returns once count bytes have come, or at least one has come and then nothing more for
// the gap of the bridge's latency timer (its default when the port cannot say). Never
// waits past the time-out. Returns the count read, also left in link.transferred.
DWORD ReadVersionAnswer(ProgrammerLink& link, DWORD count, DWORD timeoutMs);

}  // namespace jig
