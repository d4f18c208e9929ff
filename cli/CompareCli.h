#pragma once
// "compare A B": where two dump files differ, offline (no programmer involved).
#include "cli/ConsoleView.h"

namespace jig {

// Exit 0 when the two are identical, 1 when they differ, 2 when a file cannot be read.
int RunCompareCommand(CliRequest& request);

}  // namespace jig
