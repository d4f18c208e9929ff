#pragma once
// The byte protocol of the programmer's KB90xx firmware: single command bytes, raw
// 256-byte blocks, one-byte acknowledgements, progress marks and a 4-byte checksum.
// Every wait here is bounded; the bounds come from Kb90Bounds so tests can shorten them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/ProgrammerLink.h"
#include "link/ReadIdioms.h"
#include "view/TaskView.h"
#include "Kb901x_form/Kb90Bounds.h"
#include "Kb901x_form/Kb90Checksums.h"

namespace jig {

namespace kb90 {
inline constexpr std::uint8_t kLinkCheck = 'V';
inline constexpr std::uint8_t kRead = 'R';
inline constexpr std::uint8_t kWrite = 'W';
inline constexpr std::uint8_t kNext = 'N';
inline constexpr std::uint8_t kEndTransfer = 'X';
inline constexpr std::uint8_t kChecksum = 'S';
inline constexpr std::uint8_t kSuccess = 'I';
inline constexpr std::uint8_t kFailure = 'O';
inline constexpr std::uint8_t kMark = '-';
inline constexpr std::uint8_t kNoController = 0xFF;

inline constexpr std::size_t kBlockSize = 256;
inline constexpr int kBlockCount = 512;
inline constexpr std::size_t kImageSize = kBlockSize * kBlockCount;  // 131072
// The transfer buffer, shared by commands and data: a block, or the 4-byte checksum answer.
inline constexpr std::size_t kLinkBufferSize = kBlockSize + 4;
inline constexpr int kGaugeMax = 32768;
inline constexpr int kGaugePerBlock = kGaugeMax / kBlockCount;  // 64
}  // namespace kb90

struct Kb90Bounds {
  DWORD handshakeMs = limits::kKb90HandshakeTimeoutMs;
  DWORD blockMs = limits::kKb90BlockTimeoutMs;
  DWORD readyMs = limits::kKb90ReadyTimeoutMs;
  DWORD doneMs = limits::kKb90DoneTimeoutMs;
  DWORD markMs = limits::kKb90MarkTimeoutMs;
  DWORD checksumMs = limits::kKb90ChecksumTimeoutMs;
};

// Link check: 'V', one byte back; FFh or silence means no controller. Logs the outcome;
// on failure it also sends 'O'. The caller closes the programmer on failure.
bool Kb90Handshake(ProgrammerLink& link, TaskView& view, const Kb90Bounds& bounds);

enum class BlockResult { Ok, TimedOut, Gone, Surplus };

// One 256-byte block into link.buffer[0..255]. More than 256 bytes waiting is Surplus:
// the programmer sends one block per request, so the stream is out of step.
BlockResult WaitBlock(ProgrammerLink& link, DWORD timeoutMs);

// After the last block of a read: bytes still waiting mean the stream was out of step and
// the dump cannot be trusted (false, nothing sent); otherwise 'X' ends the transfer.
bool EndReadTransfer(ProgrammerLink& link);

// One acknowledgement byte (its value is not examined) into link.buffer[0].
WaitResult WaitAckByte(ProgrammerLink& link, DWORD timeoutMs);

// The end of a write whose image ended inside a block: 'X', 'I' and the programmer closed;
// no checksum is asked for.
void EndWithoutChecksum(ProgrammerLink& link);

// Block `number` (1 to 512) of an image as the programmer gets it: FFh past the image's end.
// imageEnded: the image ends inside this block (or before it), so the write ends with it.
struct ImageBlock {
  std::array<std::uint8_t, kb90::kBlockSize> bytes{};
  bool imageEnded = false;
};
ImageBlock BlockOfImage(std::span<const std::uint8_t> image, int number);

// How the checksum came: whole, or the programmer went away, or fell silent before the
// last mark or before the answer after it.
enum class ChecksumResult { Ok, Gone, MarkMissing, AnswerMissing };

struct ChecksumAnswer {
  ChecksumResult result = ChecksumResult::AnswerMissing;
  int marks = 0;   // progress marks counted
  Kb90Sums flash;  // the answer: the sum, then the CRC-16, each low byte first
};

// Sends 'S', counts 512 '-' marks among whatever else comes (each mark within markMs of
// the previous one), calling onMark with the count so far, then takes the 4-byte answer.
ChecksumAnswer AskChecksum(ProgrammerLink& link, DWORD markMs, DWORD answerMs,
                           const std::function<void(int)>& onMark);

}  // namespace jig
