#include "Kb901x_form/Kb90Cli.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "Kb901x_form/Kb90Operations.h"
#include "Kb901x_form/MbConnectionEne.h"
#include "link/CliInterrupt.h"
#include "main/SwitchCli.h"

namespace jig {

namespace {

constexpr const char* kUsage =
    "usage: holbrenik-jig kb90 read FILE [--read-twice] | kb90 write FILE [--yes] [--no-backup] | kb90 boards |"
    " kb90 wiring --board N --ffc SIZE [--reversed]\n";

int Usage(CliRequest& request) {
  request.err << kUsage;
  return kExitUsage;
}

int RunOperation(CliRequest& request, bool write) {
  std::vector<std::string> files;
  bool readTwice = false;
  for (const std::string& arg : request.args) {
    if (arg == "--read-twice" && !write) readTwice = true;
    else if (arg.starts_with("--")) return Usage(request);
    else files.push_back(arg);
  }
  if (files.size() != 1) return Usage(request);
  if (!EnsureFirmware(request, kb90::kTaskName)) return kExitFailed;
  // A Ctrl-C that came before the operation started: nothing is started.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  ConsoleView view(request.out, request.err);
  if (write) {
    view.setOpenFile(files[0]);
    view.setYesNoAnswer(request.yes);
  } else {
    view.setSaveFile(files[0], request.force);
  }
  const Kb90Bounds bounds;
  Kb90Operations operations(request.d2xx, view, bounds);
  operations.setReadTwice(readTwice);
  operations.setBackup(request.backup);
  if (write) operations.KB901X_WRITEClick();
  else operations.KB901X_READClick();
  // Every wait of the operation has its own bound; this one only guards against an
  // operation that never reports its end. A second read, or the backup read before a
  // write, may take as long as the first run.
  const std::uint64_t runs = (readTwice || (write && request.backup)) ? 2 : 1;
  return AwaitOperation(view, std::chrono::milliseconds(runs * bounds.worstCaseMs() + 10000),
                        CliStop{[&operations] { operations.requestStop(); }, write}, "kb90 " + request.action);
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
  if (!request.args.empty()) return Usage(request);
  const auto list = LoadList(request);
  if (!list) return kExitFailed;
  for (std::size_t i = 0; i < list->size(); ++i) request.out << (i + 1) << ": " << (*list)[i] << '\n';
  return kExitOk;
}

int RunWiring(CliRequest& request) {
  std::size_t board = 0;
  std::string cable;
  bool reversed = false;
  const auto& args = request.args;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--reversed") {
      reversed = true;
    } else if (args[i] == "--board" && i + 1 < args.size()) {
      const std::string& text = args[++i];
      if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return Usage(request);
      board = std::stoul(text);
    } else if (args[i] == "--ffc" && i + 1 < args.size()) {
      cable = args[++i];
    } else {
      return Usage(request);
    }
  }
  std::string ffcItem;
  for (const char* size : ene::FfcSizes())
    if (cable == size || cable + " pin" == size) ffcItem = size;
  if (board == 0 || ffcItem.empty()) {
    request.err << "--ffc takes one of 18 20 24 25 26 28 30 32; --board a line number from 1\n";
    return Usage(request);
  }
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
  if (request.action == "wiring") return RunWiring(request);
  return Usage(request);
}

}  // namespace jig
