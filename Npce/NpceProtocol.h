#pragma once
// The NPCE firmware's byte protocol: one-byte commands, the flash ID check, the result
// signals and the bounded waits for its answers.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "Npce/NpceControls.h"
#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"
#include "link/TaskView.h"

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

// Controls of the window.
inline constexpr std::string_view kReadButton = control::kRead;
inline constexpr std::string_view kWriteButton = control::kWrite;
inline constexpr std::string_view kExitButton = control::kExit;
inline constexpr std::string_view kGauge = control::kGauge;

// The window's texts.
namespace text {
inline constexpr const char* kIdOk = "Communication with NPCE installed.";
inline constexpr const char* kIdLine = "ID FLASH EFh 4012h ";
inline constexpr const char* kNoConnection = "No connection to the NPCE!";
inline constexpr const char* kCheckSoldering = "Check soldering NPCE or chip damaged.";
inline constexpr const char* kSaveInterrupted = "Write to file is interrupted.";
inline constexpr const char* kCreateFailed = "Ошибка создания файла.";
inline constexpr const char* kSaveTheFile = "Save the file: ";
inline constexpr const char* kReading = "Reading ...";
inline constexpr const char* kReadingComplete = "Reading complete ...";
inline constexpr const char* kCorrupted = "ERROR timeout. Corrupted data !? ";
inline constexpr const char* kWriteInterrupted = "Write operation is interrupted.";
inline constexpr const char* kOpenFailed = "Ошибка открытия файла.";
inline constexpr const char* kWriteFile = "Write to NPCE file:";
inline constexpr const char* kErase = "Erase ...";
inline constexpr const char* kEraseFailed = "** Lost contact with the chip or ERROR timeout **";
inline constexpr const char* kCheckClear = "Check clear data ...";
inline constexpr const char* kAllClear = "All data is clear!";
inline constexpr const char* kWrite = "Write ...";
inline constexpr const char* kNotClear = "** Data not clear !**";
inline constexpr const char* kProtocolError = "** HOST/Q27 Protocol ERROR **";
inline constexpr const char* kBlockFailed = "** ERROR write or ERROR timeout **";
inline constexpr const char* kVerify = "Verify ...";
inline constexpr const char* kShortBlock = "Принято не 512 байт  ";
inline constexpr const char* kProgrammed = "Nuvoton chip is programmed succesfully!";
inline constexpr const char* kWrittenIncorrectly = "*** Data is written incorrectly ***";
}  // namespace text

FileDialog SaveDialog_NPCE();
FileDialog OpenDialog_NPCE();

// An ID answer is taken when all four bytes came and the first three are EFh 40h 12h.
bool IsFlashId(std::span<const std::uint8_t> answer);

// Sends b and reads its one-byte answer (value not examined), up to tries reads of the
// link's read time-out; false when none came.
bool Cmd_NPCE(ProgrammerLink& link, std::uint8_t b, int tries);

// The ID check ('Z'), with its log lines and its signal; true when the chip answered.
bool NpceHandshake(ProgrammerLink& link, TaskView& view, int tries);

// Sleeps until the first byte of an answer waits, then reads up to count bytes with the
// link's read time-out. Returns the count read (0: nothing came within timeoutMs).
DWORD AwaitAnswer(ProgrammerLink& link, DWORD count, DWORD timeoutMs, WaitResult& result);

// Waits for a 512-byte block. Ok: all came. TimedOut: the bytes that did come within the
// bound (maybe none) are read, and the count is returned. Gone: the device went away.
DWORD AwaitBlock(ProgrammerLink& link, DWORD timeoutMs, WaitResult& result);

// The line logged when a bounded wait ends without its answer.
std::string NoAnswerLine(std::string_view what, DWORD boundMs, WaitResult result);

}  // namespace jig::npce
