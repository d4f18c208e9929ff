#pragma once
// The JTAG firmware's byte commands as the host sends them, and the two register
// accesses built from them. Every wait here has a bound; a time-out is a result.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "Mec16xx/Mec16Bounds.h"
#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"

namespace jig {

// The bounds of the waits, from Mec16Bounds.h; tests shorten them.
struct Mec16Bounds {
  std::uint32_t answerMs = limits::kMec16AnswerTimeoutMs;
  std::uint32_t blockMs = limits::kMec16BlockTimeoutMs;
  std::uint32_t pageMs = limits::kMec16PageTimeoutMs;
  std::uint32_t eraseMs = limits::kMec16EraseTimeoutMs;
};

}  // namespace jig

namespace jig::mec16 {

inline constexpr std::uint8_t kStart = '1';
inline constexpr std::uint8_t kReadId = 'j';
inline constexpr std::uint8_t kRegisterRead = 'r';
inline constexpr std::uint8_t kRegisterWrite = 'w';
inline constexpr std::uint8_t kStreamRead = 'R';
inline constexpr std::uint8_t kStreamProgram = 'W';
inline constexpr std::uint8_t kNext = 'N';
inline constexpr std::uint8_t kEndStream = 'X';
inline constexpr std::uint8_t kSucceeded = 'I';
inline constexpr std::uint8_t kFailed = 'O';
inline constexpr std::uint8_t kClose = '0';
inline constexpr std::uint8_t kPageDone = 'G';
inline constexpr std::uint8_t kBlockGood = 0x01;
inline constexpr std::uint8_t kWriteDone = 0x01;

inline constexpr std::string_view kMecOk = "MEC_OK";
inline constexpr std::string_view kMecLost = "MEC_lost";

// Registers, as the six ASCII hex digits the commands carry.
inline constexpr std::string_view kFlashEnable = "FF3910";
inline constexpr std::string_view kFlashCommand = "FF3908";
inline constexpr std::string_view kFlashAddress = "FF3904";
inline constexpr std::string_view kFlashStatus = "FF390C";
inline constexpr std::string_view kDeviceRegister = "FFFD00";

// Bits of the status register's least significant byte.
inline constexpr std::uint8_t kStatusBusy = 0x01;
inline constexpr std::uint8_t kStatusBootLock = 0x08;
inline constexpr std::uint8_t kStatusFwp = 0x10;

// The status's protection bits: writes locked by the nFWP pin, the boot block locked.
struct Protection {
  bool fwp = false;
  bool bootLock = false;
};
inline Protection ProtectionOf(std::uint8_t status) {
  return {(status & kStatusFwp) != 0, (status & kStatusBootLock) != 0};
}

inline constexpr std::size_t kBlockData = 1024;
inline constexpr std::size_t kBlockBytes = kBlockData + 1;  // data and a status byte
inline constexpr std::size_t kPageBytes = 256;
inline constexpr int kMainBlocks = 192;
inline constexpr int kInfoBlocks = 2;
inline constexpr int kMainPages = 768;
inline constexpr std::size_t kMainBytes = kMainBlocks * kBlockData;  // 196,608
inline constexpr std::size_t kInfoBytes = kInfoBlocks * kBlockData;  // 2,048
inline constexpr std::string_view kMainAddress = "000000";
inline constexpr std::string_view kInfoAddress = "040000";

// Commands and answers share the buffer; a block is the longest answer.
inline constexpr std::size_t kBufferSize = kBlockBytes;

// An ID of all ones: no chip answered.
inline bool AllFF(const std::array<std::uint8_t, 4>& id) {
  return std::all_of(id.begin(), id.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// "0000 0105h": four bytes, most significant first, a space after the second.
std::string RegisterValueText(const std::uint8_t* bytes);

struct RegisterAnswer {
  std::string text;  // the value text, or "MEC_lost"
  std::array<std::uint8_t, 4> value{};
  bool lost() const { return text == kMecLost; }
  std::uint8_t low() const { return value[3]; }
};

// "r" and the address; five bytes of answer within the link's read time-out.
RegisterAnswer ReadReg_MEC16(ProgrammerLink& link, std::string_view address);
// "w", the address and the value; "MEC_OK" only for an answer of 01h.
std::string WriteReg_MEC16(ProgrammerLink& link, std::string_view address, std::string_view value);

// A command byte with an address of six ASCII hex digits ("R000000").
void SendWithAddress(ProgrammerLink& link, std::uint8_t command, std::string_view address);

// The answer to "1": one byte, value not examined.
WaitResult AwaitStartAnswer(ProgrammerLink& link, std::uint32_t timeoutMs);

// The ID: four bytes into id. gathered says how many came (fewer than four on a bound
// that ran out after part of the answer); missing bytes stay 00h.
WaitResult ReadId(ProgrammerLink& link, std::uint32_t timeoutMs, std::array<std::uint8_t, 4>& id,
                  DWORD& gathered);

// How the start of every operation went: no answer to "1", no ID byte at all, part of
// the ID, or all four bytes.
enum class IdResult { NoStartAnswer, NoId, ShortId, Ok };
struct IdAnswer {
  IdResult result = IdResult::NoStartAnswer;
  std::array<std::uint8_t, 4> id{};  // missing bytes 00h
  bool answered() const { return result == IdResult::ShortId || result == IdResult::Ok; }
};

// "1" and its answer, then "j" and the four ID bytes, each wait within timeoutMs; "j" is
// not sent when "1" went unanswered.
IdAnswer StartAndReadId(ProgrammerLink& link, std::uint32_t timeoutMs);

}  // namespace jig::mec16
