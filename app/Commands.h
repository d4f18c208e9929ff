#pragma once
// The headless commands: one row each (the families' rows and three of the program's own),
// run against the chosen backend.
#include <ostream>
#include <string>
#include <vector>

#include "cli/ConsoleView.h"

namespace jig {

// Every command row, in the order --help lists them.
const std::vector<const CliCommand*>& CommandTable();
// The answers a write takes from the command line's global flags, wherever they stood.
struct SharedAnswers {
  bool force = false;  // --force: replace an existing output file
  bool yes = false;    // --yes
  bool backup = true;  // --no-backup clears it
  std::string label;   // --label TEXT
};

// Runs words[0] with the rest as action and arguments; returns the exit status. A "--"
// among the words ends the options: what follows it is taken as it stands.
int RunCommand(D2xx& d2xx, const std::vector<std::string>& words, const SharedAnswers& answers, std::ostream& out,
               std::ostream& err);
int RunCommand(D2xx& d2xx, const std::vector<std::string>& words, bool force, std::ostream& out,
               std::ostream& err);

}  // namespace jig
