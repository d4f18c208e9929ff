#include "Edid/EdidCli.h"

namespace jig {

int RunEdidCommand(CliRequest& request) {
  request.err << "edid " << request.action << ": not available in this build\n";
  return kExitUsage;
}

}  // namespace jig
