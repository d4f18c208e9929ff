#pragma once
// The question before a write whose image is not what a chip usually gets: a file whose
// size is not the chip's, or an image of nothing but FFh or 00h. The answer defaults to No:
// a slip of the file dialog must not cost a board.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "files/DumpChecks.h"
#include "view/TaskView.h"

namespace jig {

// Nothing but FFh (an erased chip) or nothing but 00h: no firmware.
bool IsBlankImage(std::span<const std::uint8_t> image);

// What a write of a short file leaves past the file's end: FFh where the write erases the
// chip or sends the whole chip padded; the old contents where it programs only the file's
// pages (MEC16xx: its write does not erase).
enum class RestOfChip { FilledWithFF, KeptAsItWas };

// Nothing when the image needs no question.
std::optional<std::string> ImageQuestion(const std::string& path, std::span<const std::uint8_t> image,
                                         std::size_t chipSize, LogLanguage language,
                                         RestOfChip rest = RestOfChip::FilledWithFF);

// Asks when needed; false (with one log line) when the technician said No.
bool ConfirmImage(TaskView& view, const std::string& path, std::span<const std::uint8_t> image,
                  std::size_t chipSize, LogLanguage language, RestOfChip rest = RestOfChip::FilledWithFF);

}  // namespace jig
