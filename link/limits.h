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
// Connect: the user is told to plug the adapter in within 5 s after pressing the button,
// and the programmer's firmware waits that long for the controller; 3 s of margin on top.
inline constexpr std::uint32_t kIteConnectBoundMs = 8000;
// Any other single-byte answer (Set address, Write/Read register, settings, Flash
// address): the programmer answers within milliseconds; a few seconds cover a busy bus.
inline constexpr std::uint32_t kIteAnswerBoundMs = 3000;
// One Read block of 257 bytes: about 3 ms on the wire plus the controller's access time.
inline constexpr std::uint32_t kIteBlockBoundMs = 3000;
// The first Flash address after the chip erase is answered when the erase is over.
// Serial NOR chip erase: the Winbond W25Q80DV data sheet gives tCE max 6 s for an
// 8 Mbit part; a 1 Mbit (128 KiB) part erases faster. Five times that covers slow
// and ageing parts.
inline constexpr std::uint32_t kIteEraseBoundMs = 30000;
// Program byte: one read with the 300 ms read time-out the ITE link runs with.
inline constexpr std::uint32_t kIteProgramByteMs = 300;



// NPCE.



}  // namespace jig::limits
