#include "Kb901x_form/Cp1251.h"

#include <cstdint>

namespace jig {

namespace {
// Code points of 80h..BFh; C0h..FFh are А..я (0410h..044Fh).
constexpr char16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}
}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    int follow = 0;
    char32_t c = 0;
    if (b < 0x80) follow = 0, c = b;
    else if (b >= 0xC2 && b <= 0xDF) follow = 1, c = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) follow = 2, c = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) follow = 3, c = b & 0x07;
    else return false;
    if (i + static_cast<std::size_t>(follow) >= bytes.size()) return false;  // cut short
    for (int k = 1; k <= follow; ++k) {
      const auto next = static_cast<std::uint8_t>(bytes[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((follow == 2 && c < 0x800) || (follow == 3 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
      return false;
    i += static_cast<std::size_t>(follow) + 1;
  }
  return true;
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<std::uint8_t>(ch);
    if (b < 0x80) AppendUtf8(out, b);
    else if (b < 0xC0) AppendUtf8(out, kHigh[b - 0x80]);
    else AppendUtf8(out, 0x0410 + (b - 0xC0));
  }
  return out;
}

std::string DecodeBaseLine(std::string_view raw) {
  return IsValidUtf8(raw) ? std::string(raw) : Cp1251ToUtf8(raw);
}

}  // namespace jig
