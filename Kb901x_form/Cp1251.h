#pragma once
// Motherboard bases come from Windows benches: a line is UTF-8 when it decodes as such,
// otherwise Windows-1251.
#include <string>
#include <string_view>

namespace jig {

bool IsValidUtf8(std::string_view bytes);
std::string Cp1251ToUtf8(std::string_view bytes);
// The line as text to show: itself when valid UTF-8, else decoded from Windows-1251.
std::string DecodeBaseLine(std::string_view raw);

}  // namespace jig
