#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace jig {

// Answer bytes become text one for one: digits, letters, '.' and '_' stay, any other byte
// becomes a space, so the text has as many characters as bytes came.
std::string FilterAnswer(std::span<const std::uint8_t> bytes);
bool IsKeptCharacter(std::uint8_t byte);

// Two upper-case hex digits a byte, no separators.
std::string HexBytes(std::span<const std::uint8_t> bytes);
std::string Hex2(unsigned value);
std::string Hex4(unsigned value);
// Eight digits: a flash address ("0001FFFF").
std::string Hex8(std::uint32_t value);

}  // namespace jig
