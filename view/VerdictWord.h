#pragma once
// The word every verdict line begins with, in each log language: what tells the tool's own
// closing line from the documented ones above it.
#include <string_view>

#include "view/LogLanguage.h"

namespace jig {

inline constexpr std::string_view kVerdictWordEnglish = "RESULT: ";
inline constexpr std::string_view kVerdictWordRussian = "ИТОГ: ";

constexpr std::string_view VerdictWord(LogLanguage language) {
  return language == LogLanguage::Russian ? kVerdictWordRussian : kVerdictWordEnglish;
}

}  // namespace jig
