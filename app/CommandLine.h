#pragma once
// What both front ends do with their arguments first: --help, a bad option, or a command
// run to its end.
#include <optional>

#include "app/Options.h"

namespace jig {

// The program's exit status, or nothing when the arguments name no command (the windows
// open, or the console build prints its usage).
std::optional<int> RunCommandLine(const Options& options);

}  // namespace jig
