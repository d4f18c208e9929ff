#pragma once
// The journal on the command line: the jobs done (newest first, filtered, as a table, JSON
// or CSV), one job whole, and what the journal knows of a file's exact bytes.
#include "cli/ConsoleView.h"

namespace jig {

// holbrenik-jig history [--task T] [--label TEXT] [--since DATE] [--failed] [--json|--csv]
// holbrenik-jig history show ID
int RunHistoryCommand(CliRequest& request);
// holbrenik-jig info FILE
int RunInfoCommand(CliRequest& request);

}  // namespace jig
