#include "Edid/EdidCli.h"

#include <array>

#include "Edid/EdidDecode.h"
#include "Edid/EdidDump.h"
#include "Edid/EdidFamily.h"
#include "Edid/EdidOperations.h"
#include "files/SourceFile.h"
#include "main/SwitchCli.h"

namespace jig {

using namespace edid;

namespace {

// Offline: the summary of the image a write of FILE would send (padded with FFh, as the
// write does; a longer file is refused, as the write refuses it).
int RunCheck(CliRequest& request, const std::string& path) {
  const SourceFile source = ReadSourceFile(path, kEdidImageSize);
  if (!source.ok()) {
    request.err << (source.problem == SourceProblem::CannotOpen
                        ? std::string(edid::text::kOpenFailed) + ' ' + path
                        : SourceProblemLine(path, source, kEdidImageSize, LogLanguage::English, ChipInvolved::No))
                << '\n';
    return kExitFailed;
  }
  const auto image = EdidWriteImage(source.bytes);
  const EdidInfo info = DecodeEdid(image);
  for (const auto& line : EdidSummary(info)) request.out << line << '\n';
  return info.valid() ? kExitOk : kExitFailed;
}

}  // namespace

int RunEdidCommand(CliRequest& request) {
  const std::string& action = request.action;
  const std::string& path = request.operand;
  if (action == "check") return RunCheck(request, path);

  ConsoleView view(request.out, request.err);
  EdidOperations operations(request.d2xx, view);
  if (action == "fix") {
    view.setOpenFile(path);
    operations.fixChecksum();
    return view.result().value_or(false) ? kExitOk : kExitFailed;
  }
  if (!EnsureFirmware(request, EdidFamily().task)) return kExitFailed;
  // Both operations run to their end in the call, as they do in the window's click.
  if (action == "read") {
    view.setSaveFile(path, request.force);
    operations.read();
  } else {
    // Without --yes an image with a wrong checksum is answered No and not written.
    view.setYesNoAnswer(request.yes);
    view.setOpenFile(path);
    operations.setBackup(request.backup);
    operations.write();
  }
  return view.result().value_or(false) ? kExitOk : kExitFailed;
}

}  // namespace jig
