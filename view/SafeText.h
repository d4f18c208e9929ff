#pragma once
// Text that came from outside (a label typed in, a journal row, a file name) shown so that it
// cannot act on the terminal or a table: no control character goes out raw.
#include <cstddef>
#include <string>
#include <string_view>

namespace jig {

// One character of UTF-8 text: its code point and its length in bytes; length 0 when the
// bytes at that place are no valid UTF-8 (overlong forms and surrogates included).
struct Utf8Char {
  char32_t code = 0;
  std::size_t length = 0;
};
Utf8Char NextUtf8(std::string_view text, std::size_t at);

// C0 controls (newline, ESC, BEL ...), DEL and the C1 controls.
inline bool IsControlCode(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

// The text with each control character written out ("\x1B", "\u009B") and each byte of
// invalid UTF-8 as "\xFF"; everything else as it is.
std::string VisibleText(std::string_view text);

}  // namespace jig
