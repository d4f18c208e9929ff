// holbrenik-jig built without windows: the command line only. Without a command it prints
// its usage, since there is no window to open.
#include <iostream>

#include "app/Backend.h"
#include "app/Commands.h"
#include "app/Guarded.h"
#include "app/Options.h"
#include "link/CliInterrupt.h"
#include "link/ConsoleSetup.h"

int main(int argc, char** argv) {
  jig::PrepareConsole();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const jig::Options options = jig::ParseOptions(arguments);
  if (options.help) {
    std::cout << jig::UsageText();
    return jig::kExitOk;
  }
  if (!options.error.empty()) {
    std::cerr << options.error << "\n(--help lists the options)\n";
    return jig::kExitUsage;
  }
  if (options.words.empty()) {
    std::cerr << jig::UsageText();
    return jig::kExitUsage;
  }
  jig::InstallInterruptHandlers();
  return jig::RunGuarded(
      [&] {
        jig::Backend backend = jig::MakeBackend(options);
        return jig::RunCommand(*backend.d2xx, options.words, options.force, std::cout, std::cerr);
      },
      std::cerr);
}
