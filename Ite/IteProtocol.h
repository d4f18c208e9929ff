#pragma once
// The ITE firmware image's command set: short byte commands over the programmer link,
// each answered by one byte (a flash block by 257). Every wait here has a bound; a reply
// that did not come within it is an empty optional, never a guess.
#include <cstdint>
#include <optional>
#include <stop_token>

#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"
#include "Ite/IteBounds.h"
#include "link/Bounds.h"

namespace jig::ite {

// Command bytes.
inline constexpr std::uint8_t kConnect = 0x54;        // 'T'
inline constexpr std::uint8_t kSetAddress = 0x41;     // 'A'
inline constexpr std::uint8_t kWriteRegister = 0x57;  // 'W'
inline constexpr std::uint8_t kReadRegister = 0x52;   // 'R'
inline constexpr std::uint8_t kEnterSettings = 0x53;  // 'S'
inline constexpr std::uint8_t kReadBlock = 0x72;      // 'r'
inline constexpr std::uint8_t kFlashAddress = 0x59;   // 'Y'
inline constexpr std::uint8_t kProgramByte = 0x77;    // 'w'
inline constexpr std::uint8_t kEndSuccess = 0x49;     // 'I'
inline constexpr std::uint8_t kEndFailure = 0x4F;     // 'O'

// Answers.
inline constexpr std::uint8_t kDone = 0x6F;            // 'o'
inline constexpr std::uint8_t kNoController = 0x65;    // 'e'
inline constexpr std::uint8_t kSettingsEntered = 0x2A; // '*'
inline constexpr std::uint8_t kPinAccepted = 0x2B;     // '+'
inline constexpr std::uint8_t kSettingsEnd = 0x51;     // 'Q': QQQ closes the settings

inline constexpr std::size_t kBlockSize = 256;
inline constexpr std::size_t kBlockAnswer = kBlockSize + 1;
inline constexpr std::size_t kBlockCount = 512;
inline constexpr std::size_t kFlashSize = kBlockSize * kBlockCount;  // 128 KiB
// The longest exchange the link's buffer holds: one block answer.
inline constexpr std::size_t kBufferSize = kBlockAnswer + 7;

enum class CmdKind { Connect, SetAddress, WriteRegister, ReadRegister, EnterSettings };

// How long each kind of answer may take; tests shorten them.
struct IteBounds {
  std::uint32_t connectMs = limits::kIteConnectBoundMs;
  std::uint32_t answerMs = limits::kIteAnswerBoundMs;
  std::uint32_t blockMs = limits::kIteBlockBoundMs;
  std::uint32_t eraseMs = limits::kIteEraseBoundMs;
  std::uint32_t drainMs = limits::kDrainTimeoutMs;
};

// A one-byte reply, or nothing when the bound passed (or the device went away).
using Reply = std::optional<std::uint8_t>;

// Answer wait: sleeps until one byte waits, at most boundMs, and reads it. A stop request
// ends it at once (no reply).
Reply AnswerWait(ProgrammerLink& link, std::uint32_t boundMs, const std::stop_token& stop = {});

// Sends the command (1 or 2 bytes: Set address and Write register carry the argument)
// and waits for its answer byte.
Reply Cmd_ITE(ProgrammerLink& link, CmdKind kind, std::uint8_t argument, std::uint32_t boundMs);

enum class StepResult { Ok, Refused, NoAnswer };

// Set address, then Write register; Write register is not sent when Set address fails.
StepResult RegWrite_ITE(ProgrammerLink& link, std::uint8_t address, std::uint8_t value, std::uint32_t boundMs);

// One pin setting (signal code, pin) in one write; only 2B passes.
StepResult PinCmd_ITE(ProgrammerLink& link, std::uint8_t code1, std::uint8_t code2, std::uint8_t pin,
                      std::uint32_t boundMs);

// Read block: 257 bytes into buffer[0..256] (queue poll). Ok only when all 257 came;
// gathered tells how many did.
WaitResult ReadBlock_ITE(ProgrammerLink& link, std::uint32_t boundMs, DWORD& gathered);

// Flash address (24 bits, most significant first), then a queue poll for one byte; the first
// after a chip erase waits for its end, and a stop request ends that wait at once.
Reply FlashAddress_ITE(ProgrammerLink& link, std::uint32_t address, std::uint32_t boundMs,
                       const std::stop_token& stop = {});

// Program byte, then a single read of one byte within the link's read time-out.
Reply ProgramByte_ITE(ProgrammerLink& link, std::uint8_t data);

// End byte, drain of the transmit queue (bounded), close. False when the queue did not
// empty in time (the handle is closed all the same).
bool Finish_ITE(ProgrammerLink& link, std::uint8_t endByte, std::uint32_t drainMs);

}  // namespace jig::ite
