// holbrenik-jig: the windows, or with a command the same operations headless.
#include <iostream>

#include "app/Backend.h"
#include "app/CommandLine.h"
#include "app/Commands.h"
#include "app/TApplication.h"
#include "app/TWindows.h"
#include "cli/ConsoleSetup.h"
#include "journal/JobJournal.h"

int main(int argc, char** argv) {
  jig::PrepareConsole();
  const jig::Options options = jig::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto status = jig::RunCommandLine(options)) return *status;

  jig::ReleaseOwnConsole();
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
  if (const std::string dropped = jig::FlushPendingRecords(); !dropped.empty()) std::cerr << dropped << '\n';
  return application.hasFailed() ? jig::kExitFailed : status;
}
