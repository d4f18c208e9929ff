#pragma once
// The EDID dump shown in the log: an empty line, then 16 lines of 16 bytes each.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jig::edid {

inline constexpr std::size_t kEdidImageSize = 256;

// The image a write of these file bytes sends: a shorter file is padded with FFh.
std::array<std::uint8_t, kEdidImageSize> EdidWriteImage(std::span<const std::uint8_t> file);

// ":" + 16 x (" " + two hex digits) + " " + 16 characters = 66 characters.
std::string EdidDumpLine(std::span<const std::uint8_t> sixteen);
// The empty line and the 16 lines of a 256-byte image.
std::vector<std::string> EdidDump(std::span<const std::uint8_t> image);

}  // namespace jig::edid
