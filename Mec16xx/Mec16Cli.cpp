#include "Mec16xx/Mec16Cli.h"

namespace jig {

int RunMec16Command(CliRequest& request) {
  request.err << "mec16 " << request.action << ": not available in this build\n";
  return kExitUsage;
}

}  // namespace jig
