#include "Edid/EdidCli.h"

#include "Edid/EdidOperations.h"
#include "main/SwitchCli.h"

namespace jig {

int RunEdidCommand(CliRequest& request) {
  const bool read = request.action == "read";
  if ((!read && request.action != "write") || request.args.size() != 1) {
    request.err << "usage: holbrenik-jig edid read FILE | edid write FILE\n";
    return kExitUsage;
  }
  if (!EnsureFirmware(request, "EEPROM lcd (EDID)")) return kExitFailed;
  ConsoleView view(request.out, request.err);
  EdidOperations operations(request.d2xx, view);
  // Both operations run to their end in the call, as they do in the window's click.
  if (read) {
    view.setSaveFile(request.args[0], request.force);
    operations.EDID_READClick();
  } else {
    view.setOpenFile(request.args[0]);
    operations.EDID_WRITEClick();
  }
  return view.result().value_or(false) ? kExitOk : kExitFailed;
}

}  // namespace jig
