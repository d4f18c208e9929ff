#include "view/SafeText.h"

#include <cstdio>

namespace jig {

Utf8Char NextUtf8(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  char32_t code = 0, least = 0;
  if ((lead & 0xE0) == 0xC0) length = 2, code = lead & 0x1F, least = 0x80;
  else if ((lead & 0xF0) == 0xE0) length = 3, code = lead & 0x0F, least = 0x800;
  else if ((lead & 0xF8) == 0xF0) length = 4, code = lead & 0x07, least = 0x10000;
  else return {};
  if (at + length > text.size()) return {};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {};
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, length};
}

std::string VisibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = NextUtf8(text, at);
    char escaped[8];
    if (c.length == 0) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at]));
      out += escaped;
      ++at;
      continue;
    }
    if (IsControlCode(c.code)) {
      std::snprintf(escaped, sizeof escaped, c.code < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c.code));
      out += escaped;
    } else {
      out.append(text.substr(at, c.length));
    }
    at += c.length;
  }
  return out;
}

}  // namespace jig
