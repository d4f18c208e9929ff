#pragma once
// The ways the tool reads the programmer's answers, each with a bound. A time-out is a
// result, never an exception; a device that went away is told apart from silence.
#include <cstdint>
#include <stop_token>

#include "link/ProgrammerLink.h"

namespace jig {

// Stopped: a stop request ended the wait (only the waits that take one).
enum class WaitResult { Ok, TimedOut, Gone, Stopped };

// FT_Read of count bytes at offset, relying on the read time-out; returns the count read.
DWORD TimedRead(ProgrammerLink& link, DWORD count, std::size_t offset = 0);

// Up to tries reads of 1 byte into buffer[offset], stopping at the first that brings one.
bool RetriedSingleByte(ProgrammerLink& link, int tries, std::size_t offset = 0);

// Sleeps until at least count bytes wait, then reads exactly count into buffer[offset].
WaitResult QueueWait(ProgrammerLink& link, DWORD count, DWORD timeoutMs, std::size_t offset = 0);
// The same, ended at once by a stop request: for a wait long enough for a technician to
// give up on it (a chip erase).
WaitResult QueueWait(ProgrammerLink& link, DWORD count, DWORD timeoutMs, const std::stop_token& stop,
                     std::size_t offset = 0);

// Reads whatever waits and appends it at buffer[offset...] until total bytes are there.
// gathered gets how many came. The bound counts from the call.
WaitResult Gather(ProgrammerLink& link, DWORD total, DWORD timeoutMs, DWORD& gathered,
                  std::size_t offset = 0);

// Sleeps until the transmit queue is empty.
WaitResult Drain(ProgrammerLink& link, DWORD timeoutMs);

}  // namespace jig
