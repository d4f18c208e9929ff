#pragma once
// The MEC16xx bounds, each with the reason for its value.
#include <cstdint>

namespace jig::limits {

// The answer to "1", the four ID bytes and the byte that answers "W" or "N": the firmware
// sends them at once (a few JTAG clocks); a second covers a busy USB bus.
inline constexpr std::uint32_t kMec16AnswerTimeoutMs = 1000;
// One streamed read block (1025 bytes: about 11 ms on the wire, plus the JTAG reads of
// 256 flash words by the programmer, a few tens of ms).
inline constexpr std::uint32_t kMec16BlockTimeoutMs = 5000;
// The 'G' after a 256-byte page: 64 word programs of some tens of microseconds each,
// driven over JTAG, well under a second.
inline constexpr std::uint32_t kMec16PageTimeoutMs = 3000;
// The busy bit of an erase: erasing the 192 KiB array (and INFO) takes a few seconds on
// the real part; 30 s leaves room for a slow one without holding the bench for ever.
inline constexpr std::uint32_t kMec16EraseTimeoutMs = 30000;

// The command line: a net over a whole operation; each step above has its own bound.
// A whole MEC16xx click: a backup read, 768 pages and the verify read take well under a
// minute on the real part.
inline constexpr std::uint32_t kMec16OperationBoundMs = 600000;

}  // namespace jig::limits
