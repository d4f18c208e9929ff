#pragma once
#include "link/ConsoleView.h"

namespace jig {

// The "ite" command line: the window's operations, headless.
int RunIteCommand(CliRequest& request);

}  // namespace jig
