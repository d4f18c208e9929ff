#include "Kb901x_form/Kb90Cli.h"

namespace jig {

int RunKb90Command(CliRequest& request) {
  request.err << "kb90 " << request.action << ": not available in this build\n";
  return kExitUsage;
}

}  // namespace jig
