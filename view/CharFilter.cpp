#include "view/CharFilter.h"

namespace jig {

bool IsKeptCharacter(std::uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '.' ||
         b == '_';
}

std::string FilterAnswer(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::uint8_t b : bytes) text.push_back(IsKeptCharacter(b) ? static_cast<char>(b) : ' ');
  return text;
}

static constexpr char kDigits[] = "0123456789ABCDEF";

std::string Hex2(unsigned value) {
  return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

std::string Hex4(unsigned value) { return Hex2((value >> 8) & 0xFF) + Hex2(value & 0xFF); }

std::string Hex8(std::uint32_t value) { return Hex4(value >> 16) + Hex4(value & 0xFFFF); }

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) text += Hex2(b);
  return text;
}

}  // namespace jig
