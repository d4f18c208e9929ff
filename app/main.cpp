// holbrenik-jig: the windows, or with a command the same operations headless.
#include <QApplication>
#include <iostream>

#include "app/Backend.h"
#include "app/Commands.h"
#include "app/Options.h"
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
  jig::Backend backend = jig::MakeBackend(options);
  if (!options.words.empty()) {
    jig::InstallInterruptHandlers();
    return jig::RunCommand(*backend.d2xx, options.words, options.force, std::cout, std::cerr);
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName("Holbrenik_JIG");
  int status = 0;
  {
    jig::TWindows windows(*backend.d2xx);
    windows.Form1->show();
    status = QApplication::exec();
  }
  return status;
}
