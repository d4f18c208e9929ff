#pragma once
// The headless commands: one row each (the families' rows and two of the program's own),
// run against the chosen backend.
#include <ostream>
#include <string>
#include <vector>

#include "link/ConsoleView.h"

namespace jig {

// Every command row, in the order --help lists them.
const std::vector<const CliCommand*>& CommandTable();
// Runs words[0] with the rest as action and arguments; returns the exit status.
int RunCommand(D2xx& d2xx, const std::vector<std::string>& words, bool force, std::ostream& out,
               std::ostream& err);

}  // namespace jig
