#include "app/TWindows.h"

#include <stdexcept>
#include <string>

#include "app/Families.h"
#include "gui/TTaskWindowMakers.h"

namespace jig {

namespace {
std::vector<std::unique_ptr<TTaskWindow>> MakeTaskWindows(D2xx& d2xx) {
  std::vector<std::unique_ptr<TTaskWindow>> windows;
  for (const Family* family : Families()) {
    const TaskWindowMaker make = FindTaskWindowMaker(family->task.window);
    // A family whose window file registered no maker is a fault of the build.
    if (!make) throw std::logic_error("no window registered as " + std::string(family->task.window));
    windows.push_back(make(d2xx));
  }
  return windows;
}
}  // namespace

TWindows::TWindows(D2xx& d2xx)
    : Form1(std::make_unique<TForm1>(d2xx, TaskList())), tasks(MakeTaskWindows(d2xx)), UPDATE_FORM(std::make_unique<TUPDATE_FORM>()) {
  // Each window centres itself on its screen when it is first shown (TTaskWindow::placeOn).
  Form1->attachUpdateWindow(*UPDATE_FORM);
}

}  // namespace jig
