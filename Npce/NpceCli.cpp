#include "Npce/NpceCli.h"

#include <chrono>
#include <string>
#include <vector>

#include "Npce/NpceOperations.h"
#include "link/limits.h"
#include "main/SwitchCli.h"

namespace jig {

int RunNpceCommand(CliRequest& request) {
  const bool read = request.action == "read";
  const bool write = request.action == "write";
  std::vector<std::string> files;
  bool readTwice = false;
  bool known = true;
  for (const std::string& arg : request.args) {
    if (arg == "--read-twice" && read) readTwice = true;
    else if (arg.starts_with("--")) known = false;
    else files.push_back(arg);
  }
  if ((!read && !write) || files.size() != 1 || !known) {
    request.err << "usage: holbrenik-jig npce read FILE [--read-twice] | npce write FILE\n";
    return kExitUsage;
  }
  if (!EnsureFirmware(request, "NPCE288N/388N")) return kExitFailed;
  ConsoleView view(request.out, request.err);
  if (read) view.setSaveFile(files[0], request.force);
  else view.setOpenFile(files[0]);
  NpceOperations operations(request.d2xx, view);
  operations.setReadTwice(readTwice);
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
