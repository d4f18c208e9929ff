#include "Mec16xx/Mec16Cli.h"

#include <chrono>
#include <string_view>
#include <vector>

#include "Mec16xx/Mec16Operations.h"
#include "link/CliInterrupt.h"
#include "link/limits.h"
#include "main/SwitchCli.h"

namespace jig {

namespace {

constexpr const char* kUsage =
    "usage: holbrenik-jig mec16 probe | read FILE [--info] [--read-twice] | erase [--info] | write FILE [--no-verify]"
    " [--yes] [--no-backup] | help\n";

int Usage(CliRequest& request) {
  request.err << kUsage;
  return kExitUsage;
}

// Takes a flag out of the arguments; true when it was there.
bool TakeFlag(std::vector<std::string>& args, std::string_view flag) {
  return std::erase_if(args, [&](const std::string& arg) { return arg == flag; }) != 0;
}

}  // namespace

int RunMec16Command(CliRequest& request) {
  const std::string& action = request.action;
  std::vector<std::string> args = request.args;
  const bool info = TakeFlag(args, "--info");
  const bool readTwice = TakeFlag(args, "--read-twice");
  const bool noVerify = TakeFlag(args, "--no-verify");
  const bool takesFile = action == "read" || action == "write";
  const bool takesInfo = action == "read" || action == "erase";
  if (action != "probe" && action != "read" && action != "erase" && action != "write" && action != "help")
    return Usage(request);
  if (args.size() != (takesFile ? 1u : 0u) || (info && !takesInfo)) return Usage(request);
  if ((readTwice && action != "read") || (noVerify && action != "write")) return Usage(request);

  ConsoleView view(request.out, request.err);
  Mec16Operations operations(request.d2xx, view);
  operations.setVerifyAfterWrite(!noVerify);
  operations.setReadTwice(readTwice);
  operations.setBackup(request.backup);
  if (action == "help") {
    operations.BitBtn_MEC16_HELPClick();
    return kExitOk;
  }
  if (!EnsureFirmware(request, "MEC1609")) return kExitFailed;
  // A Ctrl-C during the firmware check: the operation is not begun at all.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  if (action == "probe") operations.BitBtn_MEC16Click();
  if (action == "erase") operations.BitBtn_MEC16_ERASEClick(info);
  if (action == "read") {
    view.setSaveFile(args[0], request.force);
    operations.BitBtn_RD_MEC16Click(info);
  }
  if (action == "write") {
    view.setOpenFile(args[0]);
    view.setYesNoAnswer(request.yes);
    operations.BitBtn_MEC16_WRITEClick(false);
  }
  const CliStop stop{[&operations] { operations.requestStop(); }, action == "write"};
  return AwaitOperation(view, std::chrono::milliseconds(limits::kMec16OperationBoundMs), stop, "mec16 " + action);
}

}  // namespace jig
