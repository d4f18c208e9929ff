#pragma once
// The ITE bounds, each with the reason for its value.
#include <cstdint>

namespace jig::limits {

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

// The command line: a net over a whole operation; each step above has its own bound.
// A whole ITE action: the how-to text promises a write within 10 minutes and a read in
// 20 s; a backup and a verify read come on top of a write.
inline constexpr std::uint32_t kIteOperationBoundMs = 1800000;

}  // namespace jig::limits
