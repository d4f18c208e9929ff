#pragma once
// The NPCE firmware's exchanges of a write: the erase and the blank check, the blocks of the
// write, and the read-back of the verify with its end answer. Every wait here is bounded.
#include <cstdint>
#include <span>

#include "Npce/NpceBounds.h"
#include "Npce/NpceProtocol.h"
#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"

namespace jig::npce {

// A 2-byte answer (to 'e', 'x' or the '-' that ends a verify): how its wait ended (Ok: a byte
// came), how many bytes came, and byte 0.
struct ShortAnswer {
  WaitResult wait = WaitResult::TimedOut;
  DWORD length = 0;
  std::uint8_t byte0 = 0;
  // Byte 0 = 1: erased, blank, or the verify's end answered well.
  bool confirmed() const { return byte0 == 1; }
};

// 'e': the programmer erases the flash. Its answer is taken only as exactly 2 bytes: a byte
// more is no answer this firmware gives, and left waiting it would be read as the blank
// check's answer (length counts the bytes still waiting too).
ShortAnswer Erase(ProgrammerLink& link, DWORD timeoutMs);

// Sends command, sleeps until the first byte of its 2-byte answer waits, then reads the
// answer with the link's read time-out.
ShortAnswer Ask(ProgrammerLink& link, std::uint8_t command, DWORD timeoutMs);

// Write block `number` (1 to 512) of the image: 'w', the ready byte '*', the 256 bytes and
// the wait for them to leave the transmit queue. Where it stopped: no ready byte came, or
// another byte than '*'; the block did not leave (drained says how that wait ended).
enum class SendResult { Sent, NoReadyByte, NotReady, NotDrained };
struct BlockSent {
  SendResult result = SendResult::Sent;
  WaitResult drained = WaitResult::Ok;
};
BlockSent SendBlock(ProgrammerLink& link, std::span<const std::uint8_t> image, int number, const NpceBounds& bounds);

// The status byte after a block: Missing when none came; Failed (0) once 07h has ended the
// write (its answer awaited, not examined).
enum class BlockStatus { Written, Missing, Failed };
BlockStatus TakeStatus(ProgrammerLink& link, int tries);

// 'r' and read-back block `number` (1 to 256), compared with the image's. got = 0: nothing
// came (wait says how the wait ended). equal only when the whole block came and matches: the
// bytes that did not come cannot be confirmed.
struct ReadBack {
  WaitResult wait = WaitResult::Gone;
  DWORD got = 0;
  bool equal = false;
};
ReadBack ReadBackBlock(ProgrammerLink& link, std::span<const std::uint8_t> image, int number, DWORD timeoutMs);

}  // namespace jig::npce
