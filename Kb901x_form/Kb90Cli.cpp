#include "Kb901x_form/Kb90Cli.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "Kb901x_form/Kb90Family.h"
#include "Kb901x_form/Kb90Operations.h"
#include "Kb901x_form/MbConnectionEne.h"
#include "cli/CliInterrupt.h"
#include "Kb901x_form/Kb90Bounds.h"
#include "main/SwitchCli.h"

namespace jig {

namespace {

static_assert(limits::kKb90CliBlocks == kb90::kBlockCount, "the command line's bound counts every block");

int RunOperation(CliRequest& request, bool write) {
  const bool readTwice = request.options.has("--read-twice");
  if (!EnsureFirmware(request, Kb90Family().task)) return kExitFailed;
  // A Ctrl-C that came before the operation started: nothing is started.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  ConsoleView view(request.out, request.err);
  if (write) {
    view.setOpenFile(request.operand);
    view.setYesNoAnswer(request.yes);
  } else {
    view.setSaveFile(request.operand, request.force);
  }
  const Kb90Bounds bounds;  // the family's own bounds, as the bound below counts them
  Kb90Operations operations(request.d2xx, view, bounds);
  operations.job().setReadTwice(readTwice);
  operations.job().setBackup(request.backup);
  if (write) operations.job().write();
  else operations.job().read();
  // Every wait of the operation has its own bound; this one only guards against an
  // operation that never reports its end. A second read, or the backup read before a
  // write, may take as long as the first run.
  const std::uint64_t runs = (readTwice || (write && request.backup)) ? 2 : 1;
  return AwaitOperation(view, std::chrono::milliseconds(runs * limits::kKb90RunBoundMs + limits::kKb90CliMarginMs),
                        CliStop{[&operations] { operations.job().requestStop(); }, write, &operations.job().chipGate()},
                        "kb90 " + request.action);
}

std::optional<std::vector<std::string>> LoadList(CliRequest& request) {
  std::vector<std::string> problems;
  const auto base = ene::LoadBase(ene::BaseFolders(), &problems);
  for (const auto& problem : problems) request.err << problem << '\n';
  if (!base) {
    request.out << ene::kNoBase << '\n' << ene::MissingBaseLine(ene::BaseFolders()) << '\n';
    return std::nullopt;
  }
  return ene::BaseList(*base);
}

int RunBoards(CliRequest& request) {
  const auto list = LoadList(request);
  if (!list) return kExitFailed;
  for (std::size_t i = 0; i < list->size(); ++i) request.out << (i + 1) << ": " << (*list)[i] << '\n';
  return kExitOk;
}

int RunWiring(CliRequest& request) {
  const std::string text = request.options.value("--board");
  const std::string cable = request.options.value("--ffc");
  const bool reversed = request.options.has("--reversed");
  std::size_t board = 0;
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return BadUsage(request, "");
  board = std::stoul(text);
  std::string ffcItem;
  for (const char* size : ene::FfcSizes())
    if (cable == size || cable + " pin" == size) ffcItem = size;
  if (board == 0 || ffcItem.empty())
    return BadUsage(request, "--ffc takes one of 18 20 24 25 26 28 30 32; --board a line number from 1");
  const auto list = LoadList(request);
  if (!list) return kExitFailed;
  if (board > list->size()) {
    request.err << "the base has " << list->size() << " lines\n";
    return kExitUsage;
  }
  const ene::Wiring wiring = ene::ComputeWiring((*list)[board - 1], ffcItem, !reversed);
  if (wiring.kind == ene::Wiring::Kind::ConversionError) {
    request.err << wiring.text << '\n';
    return kExitFailed;
  }
  request.out << wiring.text << '\n';
  return wiring.text.starts_with(ene::kConnectPrefix) ? kExitOk : kExitFailed;
}

}  // namespace

int RunKb90Command(CliRequest& request) {
  if (request.action == "read") return RunOperation(request, false);
  if (request.action == "write") return RunOperation(request, true);
  if (request.action == "boards") return RunBoards(request);
  return RunWiring(request);
}

}  // namespace jig
