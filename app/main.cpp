// holbrenik-jig: the windows, or with a command the same operations headless.
#include <iostream>

#include "app/Backend.h"
#include "app/Commands.h"
#include "app/Guarded.h"
#include "app/Options.h"
#include "app/TApplication.h"
#include "app/TWindows.h"
#include "link/CliInterrupt.h"

int main(int argc, char** argv) {
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
  if (!options.words.empty()) {
    jig::InstallInterruptHandlers();
    return jig::RunGuarded(
        [&] {
          jig::Backend backend = jig::MakeBackend(options);
          return jig::RunCommand(*backend.d2xx, options.words, options.force, std::cout, std::cerr);
        },
        std::cerr);
  }

  jig::TApplication application(argc, argv);
  int status = 0;
  try {
    jig::Backend backend = jig::MakeBackend(options);
    jig::TWindows windows(*backend.d2xx);
    windows.Form1->show();
    status = jig::TApplication::exec();
  } catch (...) {
    // Raised outside an event handler (while the windows are made or taken down).
    application.failed(std::current_exception());
    status = jig::kExitFailed;
  }
  return application.hasFailed() ? jig::kExitFailed : status;
}
