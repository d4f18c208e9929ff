#include "Mec16xx/Mec16Cli.h"

#include <chrono>

#include "Mec16xx/Mec16Family.h"
#include "Mec16xx/Mec16Operations.h"
#include "Mec16xx/Mec16Texts.h"
#include "cli/CliInterrupt.h"
#include "Mec16xx/Mec16Bounds.h"
#include "main/SwitchCli.h"

namespace jig {

int RunMec16Command(CliRequest& request) {
  const std::string& action = request.action;
  const bool info = request.options.has("--info");
  const bool readTwice = request.options.has("--read-twice");
  const bool noVerify = request.options.has("--no-verify");

  ConsoleView view(request.out, request.err);
  Mec16Operations operations(request.d2xx, view);
  operations.job().setVerifyAfterWrite(!noVerify);
  operations.job().setReadTwice(readTwice);
  operations.job().setBackup(request.backup);
  if (action == "help") {
    operations.help();
    return kExitOk;
  }
  if (!EnsureFirmware(request, Mec16Family().task)) return kExitFailed;
  // A Ctrl-C during the firmware check: the operation is not begun at all.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  if (action == "probe") operations.probe();
  if (action == "erase") {
    view.setYesNoAnswer(request.yes);
    operations.erase(info);
  }
  if (action == "read") {
    view.setSaveFile(request.operand, request.force);
    operations.setReadInfo(info);
    operations.job().read();
  }
  if (action == "write") {
    view.setOpenFile(request.operand);
    view.setYesNoAnswer(request.yes);
    // A flash that is not blank: erased first only when asked for, else the write is refused.
    operations.job().setEraseFirst(request.options.has("--erase"));
    operations.job().write();
  }
  const CliStop stop{[&operations] { operations.job().requestStop(); }, action == "write" || action == "erase",
                      &operations.job().chipGate(), mec16::text::kLanguage};
  return AwaitOperation(view, std::chrono::milliseconds(limits::kMec16OperationBoundMs), stop, "mec16 " + action);
}

}  // namespace jig
