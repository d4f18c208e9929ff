#pragma once
// The task windows, each registered from its own file under its class name (the window
// of its family's task row), so that the program makes one of each without a list of
// window classes anywhere else.
#include <memory>
#include <string_view>

#include "link/D2xx.h"
#include "gui/TTaskWindow.h"

namespace jig {

using TaskWindowMaker = std::unique_ptr<TTaskWindow> (*)(D2xx& d2xx);

template <class Window>
std::unique_ptr<TTaskWindow> MakeTaskWindow(D2xx& d2xx) {
  return std::make_unique<Window>(d2xx);
}

// Made at start-up in the window's file: `const TaskWindowRegistration kRegistered("TFOO_FORM",
// MakeTaskWindow<TFOO_FORM>);`. The class name must outlive the program (a literal).
struct TaskWindowRegistration {
  TaskWindowRegistration(std::string_view windowClass, TaskWindowMaker make);
};

// The maker registered under that class name; null when none was.
TaskWindowMaker FindTaskWindowMaker(std::string_view windowClass);

}  // namespace jig
