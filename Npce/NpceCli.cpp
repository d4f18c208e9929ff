#include "Npce/NpceCli.h"

#include <chrono>
#include <string>
#include <vector>

#include "Npce/NpceOperations.h"
#include "link/CliInterrupt.h"
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
    request.err << "usage: holbrenik-jig npce read FILE [--read-twice] | npce write FILE [--yes] [--no-backup]\n";
    return kExitUsage;
  }
  if (!EnsureFirmware(request, "NPCE288N/388N")) return kExitFailed;
  // A Ctrl-C that came before the operation started: nothing is started.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  ConsoleView view(request.out, request.err);
  if (read) {
    view.setSaveFile(files[0], request.force);
  } else {
    view.setOpenFile(files[0]);
    view.setYesNoAnswer(request.yes);
  }
  NpceOperations operations(request.d2xx, view);
  operations.setReadTwice(readTwice);
  operations.setBackup(request.backup);
  if (read) operations.NPCE_READClick();
  else operations.NPCE_WRITEClick();
  return AwaitOperation(view, std::chrono::milliseconds(limits::kNpceOperationBoundMs),
                        CliStop{[&operations] { operations.requestStop(); }, write}, "npce " + request.action);
}

}  // namespace jig
