#pragma once
// What the MEC16xx operation files share: the loss line, the register caption, the blank
// ID test and the language of the read-back verdicts.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "Mec16xx/Mec16Texts.h"
#include "view/LogLanguage.h"

namespace jig::mec16 {

inline std::string Lost(std::string_view code) { return std::string(text::kLostPrefix) + std::string(code); }

inline std::string Caption(std::string_view address) {
  return std::string(text::kRegisterPrefix) + std::string(address) + std::string(text::kRegisterArrow);
}

inline bool AllFF(const std::array<std::uint8_t, 4>& id) {
  return std::all_of(id.begin(), id.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// The window's log is Russian, and so are its read-back verdicts.
inline constexpr LogLanguage kLanguage = LogLanguage::Russian;

}  // namespace jig::mec16
