#pragma once
// The program's command line: where the programmer is, the simulator's set-up, and the
// command to run headless (none: the windows).
#include <string>
#include <vector>

#include "sim/SimOptions.h"

namespace jig {

struct Options {
  bool simulate = false;
  std::vector<std::string> ports;
  sim::SimOptions sim;
  bool force = false;
  bool yes = false;     // --yes: answer Yes to the questions before a write
  bool backup = true;   // --no-backup: no backup read before a write
  std::string label;    // --label TEXT: the label of the jobs on record
  bool help = false;
  std::vector<std::string> words;  // TASK ACTION [FILE] and the command's own options
  std::string error;               // non-empty: bad usage
};

Options ParseOptions(const std::vector<std::string>& arguments);
std::string UsageText();

}  // namespace jig
