#pragma once
#include "cli/ConsoleView.h"

namespace jig {

// The "edid" command line: the window's operations, headless.
int RunEdidCommand(CliRequest& request);

}  // namespace jig
