// holbrenik-jig built without windows: the command line only. Without a command it prints
// its usage, since there is no window to open.
#include <iostream>

#include "app/CommandLine.h"
#include "app/Commands.h"
#include "cli/ConsoleSetup.h"

int main(int argc, char** argv) {
  jig::PrepareConsole();
  const jig::Options options = jig::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto status = jig::RunCommandLine(options)) return *status;
  std::cerr << jig::UsageText();
  return jig::kExitUsage;
}
