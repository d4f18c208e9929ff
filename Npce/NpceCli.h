#pragma once
#include "cli/ConsoleView.h"

namespace jig {

// The "npce" command line: the window's operations, headless.
int RunNpceCommand(CliRequest& request);

}  // namespace jig
