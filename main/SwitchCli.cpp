#include "main/SwitchCli.h"

#include <chrono>
#include <thread>

#include "link/Bounds.h"
#include "main/MainForm.h"

namespace jig {

namespace {
bool SwitchFor(CliRequest& request, std::span<const Task> tasks, std::string_view task) {
  ConsoleView mainView(request.out, request.err);
  ConsoleView updateView(request.out, request.err);
  MainForm form(request.d2xx, mainView, updateView, tasks);
  form.startSwitch(std::string(task));
  if (mainView.result().has_value()) return false;  // no programmer: the box said so
  const auto result = updateView.waitEnded(std::chrono::milliseconds(limits::kSwitchCliBoundMs));
  form.waitForSwitch();
  if (!result.value_or(false)) return false;
  // As Timer_RUN does in the window: the new firmware gets its moment to start.
  if (form.lastOutcome() == SwitchOutcome::Switched)
    std::this_thread::sleep_for(std::chrono::milliseconds(limits::kTimerRunMs));
  return true;
}
}  // namespace

bool EnsureFirmware(CliRequest& request, const Task& task) {
  return SwitchFor(request, std::span(&task, 1), task.itemText);
}

int RunSwitchCommand(CliRequest& request, std::span<const Task> tasks) {
  return SwitchFor(request, tasks, request.operand) ? kExitOk : kExitFailed;
}

}  // namespace jig
