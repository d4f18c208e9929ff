#pragma once
#include "link/ConsoleView.h"

namespace jig {

// The "mec16" command line: the window's operations, headless.
int RunMec16Command(CliRequest& request);

}  // namespace jig
