#pragma once
// The NPCE bounds, each with the reason for its value.
#include <cstdint>

#include "link/Bounds.h"

namespace jig::limits {

// The NPCE firmware is given 500 ms to answer the start query, and each one-byte read as long.
inline constexpr std::uint32_t kNpceQueryTimeoutMs = 500;

// The programmer erases the whole 128 KiB flash itself; the real part takes a few seconds
// (its sheet's worst case stays under 10 s), so twice that before the erase counts as lost.
inline constexpr std::uint32_t kNpceEraseTimeoutMs = 20000;
// The blank check reads the 128 KiB back over the chip's own bus: well under a second.
inline constexpr std::uint32_t kNpceBlankCheckTimeoutMs = 5000;
// One 512-byte block takes about 6 ms on the wire plus the flash read in the programmer.
inline constexpr std::uint32_t kNpceBlockTimeoutMs = 3000;
// A one-byte answer ('*', a block status, the acks of 'I', 'O', 07h, the first byte of the
// end answer) comes within milliseconds; six reads of the link's 500 ms time-out give 3 s.
inline constexpr int kNpceByteReadTries = 6;
inline constexpr std::uint32_t kNpceAnswerTimeoutMs = 3000;

// The command line: a net over a whole operation; each step above has its own bound.
// A whole NPCE read or write.
inline constexpr std::uint32_t kNpceOperationBoundMs = 600000;

}  // namespace jig::limits

namespace jig {

// The bounds of the waits that the programmer's answers get (tests shorten them).
struct NpceBounds {
  std::uint32_t eraseMs = limits::kNpceEraseTimeoutMs;
  std::uint32_t blankCheckMs = limits::kNpceBlankCheckTimeoutMs;
  std::uint32_t blockMs = limits::kNpceBlockTimeoutMs;
  std::uint32_t answerMs = limits::kNpceAnswerTimeoutMs;
  std::uint32_t drainMs = limits::kDrainTimeoutMs;
  int byteTries = limits::kNpceByteReadTries;

  // How long a one-byte answer is waited for in all: byteTries reads of the link's time-out.
  std::uint32_t byteMs() const { return static_cast<std::uint32_t>(byteTries) * limits::kNpceQueryTimeoutMs; }
};

}  // namespace jig
