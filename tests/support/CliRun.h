#pragma once
// One run of the command line, as a separate run of the program would make it: its exit
// status and what it printed.
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/Commands.h"

namespace jig::test {

struct CliRun {
  int status;
  std::string out, err;
};

inline CliRun RunCli(D2xx& d2xx, const std::vector<std::string>& words, bool force = false) {
  std::ostringstream out, err;
  const int status = RunCommand(d2xx, words, force, out, err);
  return {status, out.str(), err.str()};
}

// The words of a command: its name first.
inline std::vector<std::string> CommandWords(std::string command, std::vector<std::string> words) {
  words.insert(words.begin(), std::move(command));
  return words;
}

}  // namespace jig::test
