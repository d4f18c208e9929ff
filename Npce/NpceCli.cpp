#include "Npce/NpceCli.h"

#include <chrono>

#include "Npce/NpceFamily.h"
#include "Npce/NpceOperations.h"
#include "cli/CliInterrupt.h"
#include "Npce/NpceBounds.h"
#include "main/SwitchCli.h"

namespace jig {

int RunNpceCommand(CliRequest& request) {
  const bool read = request.action == "read";
  const bool write = !read;
  const bool readTwice = request.options.has("--read-twice");
  if (!EnsureFirmware(request, NpceFamily().task)) return kExitFailed;
  // A Ctrl-C that came before the operation started: nothing is started.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  ConsoleView view(request.out, request.err);
  if (read) {
    view.setSaveFile(request.operand, request.force);
  } else {
    view.setOpenFile(request.operand);
    view.setYesNoAnswer(request.yes);
  }
  NpceOperations operations(request.d2xx, view);
  operations.job().setReadTwice(readTwice);
  operations.job().setBackup(request.backup);
  if (read) operations.job().read();
  else operations.job().write();
  return AwaitOperation(view, std::chrono::milliseconds(limits::kNpceOperationBoundMs),
                        CliStop{[&operations] { operations.job().requestStop(); }, write, &operations.job().chipGate()},
                        "npce " + request.action);
}

}  // namespace jig
