#pragma once
#include <string_view>

#include "cli/ConsoleView.h"

namespace jig {

// "switch TASK": prints the update window's lines; 0 when the programmer runs the task's
// image at the end.
int RunSwitchCommand(CliRequest& request);

// Every task command runs this first: true when the programmer runs the image that the
// task (a selector item text) needs, switching it when it does not.
bool EnsureFirmware(CliRequest& request, std::string_view task);

}  // namespace jig
