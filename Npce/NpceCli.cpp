#include "Npce/NpceCli.h"

#include <chrono>

#include "Npce/NpceOperations.h"
#include "link/limits.h"
#include "main/SwitchCli.h"

namespace jig {

int RunNpceCommand(CliRequest& request) {
  const bool read = request.action == "read";
  const bool write = request.action == "write";
  if ((!read && !write) || request.args.size() != 1) {
    request.err << "usage: holbrenik-jig npce read FILE | npce write FILE\n";
    return kExitUsage;
  }
  if (!EnsureFirmware(request, "NPCE288N/388N")) return kExitFailed;
  ConsoleView view(request.out, request.err);
  if (read) view.setSaveFile(request.args[0], request.force);
  else view.setOpenFile(request.args[0]);
  NpceOperations operations(request.d2xx, view);
  if (read) operations.NPCE_READClick();
  else operations.NPCE_WRITEClick();
  const auto result = view.waitEnded(std::chrono::milliseconds(limits::kNpceOperationBoundMs));
  if (!result) {
    request.err << "npce " << request.action << ": the operation did not end within "
                << limits::kNpceOperationBoundMs / 1000 << " s\n";
    return kExitFailed;
  }
  return *result ? kExitOk : kExitFailed;
}

}  // namespace jig
