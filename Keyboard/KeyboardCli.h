#pragma once
#include "cli/ConsoleView.h"

namespace jig {

// The "keyboard" command line: the window's operations, headless.
int RunKeyboardCommand(CliRequest& request);

}  // namespace jig
