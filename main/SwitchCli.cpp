#include "main/SwitchCli.h"

#include <chrono>

#include "main/MainForm.h"

namespace jig {

namespace {
// A whole switch (boot loader, 6144-byte upload at 115200 baud) takes a few seconds.
constexpr auto kSwitchBound = std::chrono::seconds(60);
}  // namespace

bool EnsureFirmware(CliRequest& request, std::string_view task) {
  ConsoleView mainView(request.out, request.err);
  ConsoleView updateView(request.out, request.err);
  MainForm form(request.d2xx, mainView, updateView);
  form.MAIN_CONNECTClick(std::string(task));
  if (mainView.result().has_value()) return false;  // no programmer: the box said so
  const auto result = updateView.waitEnded(kSwitchBound);
  form.waitForSwitch();
  return result.value_or(false);
}

int RunSwitchCommand(CliRequest& request) {
  if (request.args.size() != 1) {
    request.err << "usage: holbrenik-jig switch TASK\n";
    return kExitUsage;
  }
  return EnsureFirmware(request, request.args[0]) ? kExitOk : kExitFailed;
}

}  // namespace jig
