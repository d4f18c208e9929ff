#pragma once
// The ENE KB90xx bounds, each with the reason for its value.
#include <algorithm>
#include <cstdint>

namespace jig::limits {

// The controller's version ID comes back through the keyboard-connector wires within
// milliseconds; a second covers a busy USB bus and a slow debug interface.
inline constexpr std::uint32_t kKb90HandshakeTimeoutMs = 1000;
// One 256-byte block of a read: 3 ms on the wire plus the controller's flash access.
inline constexpr std::uint32_t kKb90BlockTimeoutMs = 3000;
// The ready byte for a block of a write: before the first block the programmer erases the
// whole 128 KiB flash, which takes the KB90xx a few seconds.
inline constexpr std::uint32_t kKb90ReadyTimeoutMs = 10000;
// The done byte after a block of a write: programming 256 bytes byte by byte.
inline constexpr std::uint32_t kKb90DoneTimeoutMs = 3000;
// Each progress mark of the checksum: the programmer reads one 256-byte block back.
inline constexpr std::uint32_t kKb90MarkTimeoutMs = 3000;
// The 4-byte checksum answer after the last mark.
inline constexpr std::uint32_t kKb90ChecksumTimeoutMs = 1000;

// The command line: a net over a whole operation; each step above has its own bound.
// One KB90xx read or write (with its checksum) when every wait of its 512 blocks runs out
// in turn; a second run (a read twice, the backup read before a write) doubles it.
inline constexpr std::uint32_t kKb90CliBlocks = 512;
inline constexpr std::uint32_t kKb90RunBoundMs =
    std::max(kKb90HandshakeTimeoutMs + kKb90CliBlocks * kKb90BlockTimeoutMs,
             kKb90HandshakeTimeoutMs + kKb90CliBlocks * (kKb90ReadyTimeoutMs + kKb90DoneTimeoutMs) +
                 kKb90CliBlocks * kKb90MarkTimeoutMs + kKb90ChecksumTimeoutMs);
// Time for the end of a KB90xx run to be reported once its last wait is over.
inline constexpr std::uint32_t kKb90CliMarginMs = 10000;

}  // namespace jig::limits
