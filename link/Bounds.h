#pragma once
// The bounds every part of the link shares, each with the reason for its value; a family
// keeps its own beside its registration row. A wait that runs out ends its operation on the
// failure path: end byte where the operation has one, handle and file closed, mode back to
// idle, one log line.
#include <algorithm>
#include <cstdint>

namespace jig::limits {

// Link settings the programmer's firmware images speak (the boot loader speaks 115200).
inline constexpr std::uint32_t kFirmwareBaud = 921600;
inline constexpr std::uint32_t kBootLoaderBaud = 115200;

// The start query and the 3-byte open profiles give the programmer 300 ms to answer 'B';
// the NPCE firmware has its own.
inline constexpr std::uint32_t kQueryTimeoutMs = 300;
inline constexpr std::uint8_t kLatencyMs = 2;

// The start query reads at most 16 bytes of version text.
inline constexpr std::uint32_t kVersionReadLength = 16;
// A version text may be shorter than the count asked for: it is whole once the line has
// been quiet for the bridge's latency timer (the longest it holds a partial USB packet)
// plus this margin for the host's own wake-up.
inline constexpr std::uint32_t kAnswerGapMarginMs = 2;
// The latency timer an FTDI bridge keeps until it is set, assumed when a port cannot say.
inline constexpr std::uint32_t kBridgeDefaultLatencyMs = 16;
// Before it asks 'B', an open reads and drops what still comes after its purge (the rest
// of a block an interrupted command left on its way) until the line has been quiet for
// the answer gap. The longest such rest is one MEC16xx stream block, 1025 bytes or 11.1 ms
// on the wire; its last partial packet held for the bridge's 16 ms default and the 18 ms
// of quiet that default asks for make 45 ms; twice that leaves room for a host that is not
// given the processor at once. A line still busy after this long and one quiet gap more
// is a programmer that cannot be asked: the open counts it as one that did not answer.
inline constexpr std::uint32_t kStrayDrainBoundMs = 100;

// A read time-out of 0 means "until the count has come". Nothing on a bench may hang for
// ever, so even such a read gives up after this long: longer than any answer the
// programmer owes (the slowest, a full-chip erase, is done well within it).
inline constexpr std::uint32_t kUnlimitedReadCapMs = 60000;

// Waiting for a short answer to a command (a status byte, a ready byte, a register
// value): the programmer answers within milliseconds; a second covers a busy USB bus.
inline constexpr std::uint32_t kAnswerTimeoutMs = 1000;

// Waiting for one data block of a streamed transfer (256 to 1025 bytes at 921600 baud
// take about 11 ms on the wire, plus the controller's own access time).
inline constexpr std::uint32_t kBlockTimeoutMs = 3000;

// Waiting for the transmit queue to drain after a write of at most a few hundred bytes.
inline constexpr std::uint32_t kDrainTimeoutMs = 2000;

// The boot loader answers each 44-byte HEX line after programming it into its flash.
inline constexpr std::uint32_t kBootLineTimeoutMs = 2000;

// A long wait (a chip erase) that a stop request must end: a backend that cannot be woken
// by the request looks at it this often, short next to a technician's click.
inline constexpr std::uint32_t kStopLookMs = 20;

// Sleep between two looks at a transmit queue that cannot be waited on directly.
inline constexpr std::uint32_t kQueuePollSleepMs = 1;

// Firmware switch and boot loader.
// The user has 5 s (Timer_5SEC) from the start of the boot phase to reach the boot loader.
inline constexpr std::uint32_t kBootWindowMs = 5000;
// '?' is answered with '!' within up to 5 reads of the 300 ms read time-out.
inline constexpr int kBootJumpReads = 5;
// Three attempts to get a greeting; each greeting byte gets up to three 1-byte reads.
inline constexpr int kBootAttempts = 3;
inline constexpr int kBootGreetingByteReads = 3;
// A greeting is at most 16 bytes; it must end with XON within its first 15.
inline constexpr std::uint32_t kBootGreetingMax = 16;
// The 'U' stream is written in chunks of 16 bytes (1.4 ms of the line at 115200 baud)
// and never more than 48 bytes (4.2 ms) ahead of the line, by the clock and by the
// transmit queue: a worker that wakes late still finds bytes queued, a link that takes
// bytes at once is not flooded, and few 'U's follow the boot loader's greeting.
inline constexpr std::uint32_t kBootSyncChunk = 16;
inline constexpr std::uint32_t kBootSyncAhead = 48;
// While the line has its 48 bytes, the worker sleeps on the receive queue this long.
inline constexpr std::uint32_t kBootSyncPaceMs = 1;
// "pf" makes the boot loader erase the application flash before it answers.
inline constexpr std::uint32_t kBootEraseTimeoutMs = 3000;
// The answers to the end record and to "g" come as soon as the loader has read them.
inline constexpr std::uint32_t kBootEndTimeoutMs = 2000;
inline constexpr std::uint32_t kBootStartTimeoutMs = 2000;
// The boot loader's answer to a data line fits in 16 bytes with its XON.
inline constexpr std::uint32_t kBootAnswerMax = 16;
// Timer_RUN: the task window opens 300 ms after the switch ends; the command line waits
// as long before it talks to the new firmware.
inline constexpr std::uint32_t kTimerRunMs = 300;

// The command line: its waits over a whole operation. Each step inside has its own bound;
// these are safety nets against an operation that never reports its end.
// A whole switch (boot phase, a 6144-byte upload at 115200 baud takes about 3 s); the
// worker ends by its own bounds in any case.
inline constexpr std::uint32_t kSwitchCliBoundMs = 120000;

}  // namespace jig::limits
