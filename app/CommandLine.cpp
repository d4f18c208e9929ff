#include "app/CommandLine.h"

#include <iostream>

#include "app/Backend.h"
#include "app/Commands.h"
#include "app/Guarded.h"
#include "cli/CliInterrupt.h"
#include "journal/JobJournal.h"

namespace jig {

std::optional<int> RunCommandLine(const Options& options) {
  if (options.help) {
    std::cout << UsageText();
    return kExitOk;
  }
  if (!options.error.empty()) {
    std::cerr << options.error << "\n(--help lists the options)\n";
    return kExitUsage;
  }
  if (options.words.empty()) return std::nullopt;
  InstallInterruptHandlers();
  const int status = RunGuarded(
      [&] {
        Backend backend = MakeBackend(options);
        return RunCommand(*backend.d2xx, options.words, SharedAnswers{options.force, options.yes, options.backup, options.label},
                          std::cout, std::cerr);
      },
      std::cerr);
  // A record the journal could not take waits for the next job; a command has none.
  if (const std::string dropped = FlushPendingRecords(); !dropped.empty()) std::cerr << dropped << '\n';
  return status;
}

}  // namespace jig
