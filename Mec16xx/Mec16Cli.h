#pragma once
#include "cli/ConsoleView.h"

namespace jig {

// The "mec16" command line: the window's operations, headless.
int RunMec16Command(CliRequest& request);

}  // namespace jig
