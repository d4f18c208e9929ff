#pragma once
// The NPCE firmware's byte protocol: one-byte commands, the flash ID check, the result
// signals and the bounded waits for its answers.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "Npce/NpceBounds.h"
#include "Npce/NpceTexts.h"
#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"
#include "view/TaskView.h"

namespace jig::npce {

// Command bytes.
inline constexpr std::uint8_t kReadId = 'Z';         // 4 bytes: EFh 40h 12h and one more
inline constexpr std::uint8_t kSignalOk = 'I';       // 1 byte
inline constexpr std::uint8_t kSignalFail = 'O';     // 1 byte
inline constexpr std::uint8_t kReadBlock = 'r';      // the next 512-byte block
inline constexpr std::uint8_t kEndTransfer = '-';    // 2 bytes: end of a read or a verify
inline constexpr std::uint8_t kErase = 'e';          // 2 bytes; byte 0 = 1: done
inline constexpr std::uint8_t kBlankCheck = 'x';     // 2 bytes; byte 0 = 1: all FFh
inline constexpr std::uint8_t kWriteBlock = 'w';     // '*', then after 256 bytes a status
inline constexpr std::uint8_t kReadyForBlock = '*';
inline constexpr std::uint8_t kEndWriting = 0x07;    // 1 byte

inline constexpr std::array<std::uint8_t, 3> kFlashId = {0xEF, 0x40, 0x12};
inline constexpr std::uint32_t kIdAnswerLength = 4;

// The flash and its transfers.
inline constexpr std::size_t kFlashSize = 131072;
inline constexpr std::uint32_t kReadBlockSize = 512;
inline constexpr int kReadBlocks = 256;
inline constexpr std::uint32_t kWriteBlockSize = 256;
inline constexpr int kWriteBlocks = 512;
inline constexpr int kGaugeMax = 512;
inline constexpr std::uint32_t kBufferSize = 512;

// An ID answer is taken when all four bytes came and the first three are EFh 40h 12h.
bool IsFlashId(std::span<const std::uint8_t> answer);

// Sends b and reads its one-byte answer (value not examined), up to tries reads of the
// link's read time-out; false when none came.
bool Cmd_NPCE(ProgrammerLink& link, std::uint8_t b, int tries);

// The failure signal 'O' after a wait ran out: stale bytes are dropped first so they are not
// taken for the signal's answer.
void SignalFailure(ProgrammerLink& link, int tries);

// The ID check ('Z'), with its log lines and its signal; true when the chip answered.
bool NpceHandshake(ProgrammerLink& link, TaskView& view, const NpceBounds& bounds);

// Sleeps until the first byte of an answer waits, then reads up to count bytes with the
// link's read time-out. Returns the count read (0: nothing came within timeoutMs).
DWORD AwaitAnswer(ProgrammerLink& link, DWORD count, DWORD timeoutMs, WaitResult& result);

// Waits for a 512-byte block. Ok: all came. TimedOut: the bytes that did come within the
// bound (maybe none) are read and counted in got. Gone: the device went away.
struct BlockWait {
  WaitResult wait = WaitResult::Gone;
  DWORD got = 0;
};
BlockWait AwaitBlock(ProgrammerLink& link, DWORD timeoutMs);

// The answer to the '-' that ends a read, '-' sent: 2 bytes read once with the link's read
// time-out, without waiting for them first. Byte 0 = 0 says the data is corrupted and any
// other value is good (at the end of a verify only 1 is).
enum class ReadEnd { Good, Corrupted, Missing };
ReadEnd TakeReadEnd(ProgrammerLink& link);

// The line logged when a bounded wait ends without its answer, in the NPCE window's words.
std::string NoAnswerLine(std::string_view what, DWORD boundMs, WaitResult result);

}  // namespace jig::npce
