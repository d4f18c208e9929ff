#pragma once
#include <span>
#include <string_view>

#include "main/Tasks.h"

#include "cli/ConsoleView.h"

namespace jig {

// "switch TASK" (an item text among tasks): prints the update window's lines; 0 when the
// programmer runs the task's image at the end.
int RunSwitchCommand(CliRequest& request, std::span<const Task> tasks);

// Every task command runs this first: true when the programmer runs the image that its
// task needs, switching it when it does not.
bool EnsureFirmware(CliRequest& request, const Task& task);

}  // namespace jig
