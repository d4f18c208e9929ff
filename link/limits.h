#pragma once
// Every bound on a wait in the tool lives here, each with the reason for its value.
// A wait that runs out ends its operation on the failure path: end byte where the
// operation has one, handle and file closed, mode back to idle, one log line.
#include <cstdint>

namespace jig::limits {

// Link settings the programmer's firmware images speak (the boot loader speaks 115200).
inline constexpr std::uint32_t kFirmwareBaud = 921600;
inline constexpr std::uint32_t kBootLoaderBaud = 115200;

// The start query and the 3-byte open profiles give the programmer 300 ms to answer 'B';
// the NPCE firmware is given 500 ms.
inline constexpr std::uint32_t kQueryTimeoutMs = 300;
inline constexpr std::uint32_t kNpceQueryTimeoutMs = 500;
inline constexpr std::uint8_t kLatencyMs = 2;

// The start query reads at most 16 bytes of version text.
inline constexpr std::uint32_t kVersionReadLength = 16;

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

// Sleep between two looks at a transmit queue that cannot be waited on directly.
inline constexpr std::uint32_t kQueuePollSleepMs = 1;

// Firmware switch and boot loader.



// EDID EEPROM.



// Keyboard matrix test.



// ENE KB90xx.



// MEC16xx over JTAG.



// ITE.



// NPCE.
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
// The command line's safety net over a whole operation whose every step is bounded above.
inline constexpr std::uint32_t kNpceOperationBoundMs = 600000;

}  // namespace jig::limits
