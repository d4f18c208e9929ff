#pragma once
// Text of the motherboard base for display: UTF-8 as it is when it is valid UTF-8,
// otherwise decoded from Windows-1251 (the code page the bases are kept in).
#include <string>
#include <string_view>

namespace jig {

bool IsValidUtf8(std::string_view bytes);
std::string Cp1251ToUtf8(std::string_view bytes);
std::string DisplayText(std::string_view bytes);

}  // namespace jig
