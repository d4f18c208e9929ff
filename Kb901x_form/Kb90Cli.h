#pragma once
#include "cli/ConsoleView.h"

namespace jig {

// The "kb90" command line: the window's operations, headless.
int RunKb90Command(CliRequest& request);

}  // namespace jig
