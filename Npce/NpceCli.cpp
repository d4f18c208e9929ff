#include "Npce/NpceCli.h"

namespace jig {

int RunNpceCommand(CliRequest& request) {
  request.err << "npce " << request.action << ": not available in this build\n";
  return kExitUsage;
}

}  // namespace jig
