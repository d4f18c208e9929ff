#pragma once
// The headless commands: one row each, run against the chosen backend.
#include <span>
#include <string_view>

#include "link/ConsoleView.h"

namespace jig {

struct Command {
  std::string_view word;    // first word on the command line
  std::string_view task;    // selector item text whose firmware it needs ("" = none)
  std::string_view usage;
  std::string_view help;
  int (*run)(CliRequest& request);
};

std::span<const Command> CommandTable();
// Runs words[0] with the rest as action and arguments; returns the exit status.
int RunCommand(D2xx& d2xx, const std::vector<std::string>& words, bool force, std::ostream& out,
               std::ostream& err);

}  // namespace jig
