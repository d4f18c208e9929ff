#pragma once
// Every window of the program, created once at start: the main window, one window per
// chip family in the family list's order (each made by the maker its file registered),
// and the update window.
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "main/TForm1.h"
#include "main/TUPDATE_FORM.h"

namespace jig {

struct TWindows {
  explicit TWindows(D2xx& d2xx);
  // The task window of that class; throws when there is none.
  template <class Window>
  Window* window() const {
    for (const auto& task : tasks)
      if (auto* typed = dynamic_cast<Window*>(task.get())) return typed;
    throw std::logic_error("no such task window");
  }

  std::unique_ptr<TForm1> Form1;
  std::vector<std::unique_ptr<TTaskWindow>> tasks;
  std::unique_ptr<TUPDATE_FORM> UPDATE_FORM;
};

}  // namespace jig
