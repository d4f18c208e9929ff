#pragma once
#include "cli/ConsoleView.h"

namespace jig {

// The "ite" command line: the window's operations, headless.
int RunIteCommand(CliRequest& request);

}  // namespace jig
