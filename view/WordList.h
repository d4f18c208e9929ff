#pragma once
// Lists of names kept as one string, separated by spaces ("read write", "EDID KB90").
#include <string_view>

namespace jig {

// Whether word is one of the list's words.
inline bool ListsWord(std::string_view list, std::string_view word) {
  while (!list.empty()) {
    const std::size_t space = list.find(' ');
    if (list.substr(0, space) == word) return true;
    if (space == std::string_view::npos) break;
    list.remove_prefix(space + 1);
  }
  return false;
}

}  // namespace jig
