#pragma once
// The exchanges of a flash run built from the JTAG firmware's commands: the register writes
// that set a run up and give the flash back, the erase and its busy poll, the blocks of a
// streamed read and the pages of a streamed program. Each returns what came as a value;
// the operations say it in the window's words.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "Mec16xx/Mec16Protocol.h"
#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"

namespace jig::mec16 {

// A register and the value a step writes to it, as sent and as the log writes it
// ("Записали в регистр FF3908h 105h").
struct RegisterValue {
  std::string_view address, value, shown;
};

// FF3910h holds 1 for the length of every flash run.
inline constexpr RegisterValue kFlashOn{kFlashEnable, "00000001", "1"};
// FF3908h: the run's operation.
inline constexpr RegisterValue kReadRun{kFlashCommand, "00000105", "105h"};
inline constexpr RegisterValue kProgramRun{kFlashCommand, "00000106", "106h"};
inline constexpr RegisterValue kEraseRun{kFlashCommand, "00000107", "107h"};
// FF3904h: the program stream starts at the beginning of MAIN.
inline constexpr RegisterValue kProgramFromStart{kFlashAddress, "00000000", "0"};
// The release after a run: the operation ended, then cleared, then the flash given back.
inline constexpr RegisterValue kRunEnd{kFlashCommand, "00000100", "100h"};
inline constexpr RegisterValue kRunCleared{kFlashCommand, "00000000", "0"};
inline constexpr RegisterValue kFlashOff{kFlashEnable, "00000000", "0"};
inline constexpr std::array<RegisterValue, 3> kRelease = {kRunEnd, kRunCleared, kFlashOff};

// A register write of a step and the code its loss line ends with ("(R101)"), punctuation
// as the step has it.
struct RegisterWrite {
  RegisterValue set;
  std::string_view lossCode;
};
// A register read of a step and the code its loss line ends with.
struct RegisterRead {
  std::string_view address, lossCode;
};

// Sends the writes in order up to the first that is lost (not answered 01h); returns how many
// went through.
std::size_t WriteRegisters(ProgrammerLink& link, std::span<const RegisterWrite> writes);

// The FF3904h value that starts the erase (FF3908h holds 107h): MAIN, or MAIN and INFO.
bool StartErase(ProgrammerLink& link, bool infoToo);

enum class EraseEnd { Done, Lost, TooLong };
// Reads FF390Ch again and again, unlogged, until its busy bit clears: each read within the
// link's read time-out, the whole poll within timeoutMs.
EraseEnd AwaitEraseEnd(ProgrammerLink& link, std::uint32_t timeoutMs);

// A block of a streamed read ("R" and the address; "N" asks for the next): its 1024 data
// bytes and a status byte, awaited into the link's buffer and read from there.
WaitResult AwaitBlock(ProgrammerLink& link, std::uint32_t timeoutMs);
std::span<const std::uint8_t> BlockData(const ProgrammerLink& link);
bool BlockGood(const ProgrammerLink& link);

// The image as the program stream sends it: its whole pages and, short of MAIN's end, one
// more that holds its rest padded with FFh.
std::vector<std::uint8_t> WholePages(std::vector<std::uint8_t> image);
// A page of a streamed program ("W"): its number from 1, cut from the image and filled up
// with FFh past the image's end.
using Page = std::array<std::uint8_t, kPageBytes>;
Page PageOf(std::span<const std::uint8_t> image, int number);
// The byte that answers "W" before the first page and "N" before each later one; its value
// is not examined.
WaitResult AwaitPageRequest(ProgrammerLink& link, std::uint32_t timeoutMs);

void SendPage(ProgrammerLink& link, const Page& page);
enum class PageAnswer { Programmed, Refused, Silent };
// The page's one-byte answer: "G" when it is programmed.
PageAnswer AwaitPageAnswer(ProgrammerLink& link, std::uint32_t timeoutMs);

}  // namespace jig::mec16
