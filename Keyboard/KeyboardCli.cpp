#include "Keyboard/KeyboardCli.h"

namespace jig {

int RunKeyboardCommand(CliRequest& request) {
  request.err << "keyboard " << request.action << ": not available in this build\n";
  return kExitUsage;
}

}  // namespace jig
