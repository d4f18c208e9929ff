#pragma once
// The stand-in firmware images the repository ships instead of the vendor's: each is a
// block of bytes that names its tag at its start, so the simulated boot loader knows
// which image it was given.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jig::sim {

inline constexpr std::size_t kApplicationFlashSize = 6144;

// The image of that tag ("V41", "V42", "ITE", "NPCE"); empty for any other.
std::vector<std::uint8_t> StandInImage(const std::string& tag);
// The file that carries it beside the program ("Q27_jtag.hex", ...).
std::string StandInImageFile(const std::string& tag);
// The tag an application flash names at its start; empty when it names none.
std::string ImageTagOf(std::span<const std::uint8_t> flash);
// Intel HEX: 16-byte data records from address 0, CR LF, the end record.
std::string ToIntelHex(std::span<const std::uint8_t> image);

}  // namespace jig::sim
