#include "Ite/IteCli.h"

namespace jig {

int RunIteCommand(CliRequest& request) {
  request.err << "ite " << request.action << ": not available in this build\n";
  return kExitUsage;
}

}  // namespace jig
