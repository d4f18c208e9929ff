#include "Ite/IteCli.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>

#include "Ite/IteFamily.h"
#include "Ite/IteLines.h"
#include "cli/CliInterrupt.h"
#include "view/Cp1251.h"
#include "Ite/IteBounds.h"
#include "Ite/IteOperations.h"
#include "main/SwitchCli.h"

namespace jig {

namespace {

// The console view: the board choice and APPLY before the action end one by one (last()),
// and only the action itself, once armed, ends what the command waits for.
class IteConsoleView : public ConsoleView {
 public:
  using ConsoleView::ConsoleView;
  void ended(bool success) override {
    bool armed = false;
    {
      std::lock_guard lock(mutex_);
      last_ = success;
      armed = armed_;
    }
    if (armed) ConsoleView::ended(success);
  }
  bool last() const {
    std::lock_guard lock(mutex_);
    return last_;
  }
  void arm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
  }

 private:
  mutable std::mutex mutex_;
  bool last_ = false;
  bool armed_ = false;
};

// The board number of --board: an entry from 1; -1 without the flag, 0 when it is no number.
int BoardNumber(const CliOptions& options) {
  if (!options.has("--board")) return -1;
  const std::string text = options.value("--board");
  try {
    std::size_t used = 0;
    const int board = std::stoi(text, &used);
    return used == text.size() && board >= 1 ? board : 0;
  } catch (...) {
    return 0;
  }
}

// "PD0=1,PD1=2,...": every signal once, by its key name.
bool ParsePins(const std::string& text, ite::PinAssignment& pins, std::string& error) {
  std::map<std::string, int> given;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const std::size_t eq = item.find('=');
    if (eq == std::string::npos) {
      error = "--pins: " + item + " is not NAME=PIN";
      return false;
    }
    const std::string value = item.substr(eq + 1);
    int pin = -1;
    if (value == "NC") pin = 0;
    else if (!value.empty() && value.size() <= 2 && value.find_first_not_of("0123456789") == std::string::npos)
      pin = std::stoi(value);
    if (pin < 0 || pin > ite::kMaxPin) {
      error = "--pins: " + item + ": the pin is 1-32 or NC";
      return false;
    }
    given[item.substr(0, eq + 1)] = pin;
    start = comma + 1;
  }
  for (std::size_t signal = 0; signal < ite::kSignals.size(); ++signal) {
    const auto it = given.find(std::string(ite::kSignals[signal].key));
    if (it == given.end()) {
      error = "--pins: no value for " + std::string(ite::kSignals[signal].key);
      return false;
    }
    pins[signal] = it->second;
  }
  if (given.size() != ite::kSignals.size()) {
    error = "--pins: unknown or repeated names";
    return false;
  }
  return true;
}

}  // namespace

namespace {

// What the command line chose for the pins: an entry of the base, a list, or neither.
struct PinChoice {
  int board = -1;  // an entry from 1; -1: none
  std::string pinText;
  ite::PinAssignment pins{};
  bool chosen() const { return board > 0 || !pinText.empty(); }
};

// The rules the command row cannot say; nullopt when the choice holds, else the exit status.
std::optional<int> ReadPinChoice(CliRequest& request, PinChoice& choice) {
  const CliOptions& options = request.options;
  choice.board = BoardNumber(options);
  if (choice.board == 0) return BadUsage(request, "--board takes an entry number from 1");
  choice.pinText = options.value("--pins");
  if ((request.action == "apply" && !choice.chosen()) || (choice.board > 0 && !choice.pinText.empty()) ||
      (options.has("--reversed") && choice.board < 0))
    return BadUsage(request, "");
  std::string pinError;
  if (!choice.pinText.empty() && !ParsePins(choice.pinText, choice.pins, pinError)) {
    request.err << pinError << '\n';
    return kExitUsage;
  }
  return std::nullopt;
}

// "boards", and the check that a chosen entry is in the base; nullopt to go on.
std::optional<int> CheckBase(CliRequest& request, const PinChoice& choice, const std::string& basePath,
                             const ite::IteBase& base) {
  if (request.action == "boards") {
    if (!base.found) {
      request.err << "File [" << ite::kBaseFileName << "] not found. Please read manual!\n"
                  << ite::MissingBaseLine(basePath) << '\n';
      return kExitFailed;
    }
    for (std::size_t i = 0; i < base.lines.size(); ++i) request.out << i + 1 << "  " << DisplayText(base.lines[i]) << '\n';
    return kExitOk;
  }
  if (choice.board > 0 && (!base.found || static_cast<std::size_t>(choice.board) > base.lines.size())) {
    request.err << "--board " << choice.board << ": the base " << basePath << " has "
                << (base.found ? base.lines.size() : 0) << " entries\n";
    return kExitUsage;
  }
  return std::nullopt;
}

// The board (and its reversed cable) or the pin list, then APPLY, as the window's clicks do.
bool ApplyPins(IteOperations& ops, IteConsoleView& view, const PinChoice& choice, bool reversed) {
  if (choice.board > 0) {
    ops.ITE_ComboBox_MB_SWITCHSelect(choice.board);
    if (!view.last()) return false;
    if (reversed) {
      ops.setStraightCable(false);
      if (!view.last()) return false;
    }
  } else if (!choice.pinText.empty()) {
    for (int signal = 0; signal < ite::kSignalCount; ++signal)
      ops.setPin(signal, choice.pins[static_cast<std::size_t>(signal)]);
  }
  if (!choice.chosen()) return true;
  ops.apply();
  return view.last();
}

// The action itself, waited for with Ctrl-C asking it to stop.
int RunAction(CliRequest& request, IteOperations& ops, IteConsoleView& view) {
  const std::string& action = request.action;
  view.arm();
  if (action == "check") {
    ops.checkConnection();
  } else if (action == "read") {
    view.setSaveFile(request.operand, request.force);
    ops.job().read();
  } else if (action == "write") {
    view.setOpenFile(request.operand);
    view.setYesNoAnswer(request.yes);
    ops.job().write();
  }
  const CliStop stop{[&ops] { ops.job().requestStop(); }, action == "write", &ops.job().chipGate(), ite::kLanguage};
  const int status = AwaitOperation(view, std::chrono::milliseconds(limits::kIteOperationBoundMs), stop, "ite " + action);
  // The worker ends by itself: every wait in it has its bound.
  ops.job().joinWorker();
  return status;
}

}  // namespace

int RunIteCommand(CliRequest& request) {
  const CliOptions& options = request.options;
  PinChoice choice;
  if (const auto status = ReadPinChoice(request, choice)) return *status;
  const std::string givenBase = options.value("--base");
  std::vector<std::string> skipped;
  const std::string basePath = givenBase.empty() ? ite::FindBesideProgram(ite::kBaseFileName, &skipped) : givenBase;
  for (const std::string& line : skipped) request.err << line << '\n';
  ite::IteBase base = ite::LoadIteBase(basePath);
  if (!base.problem.empty()) request.err << base.problem << '\n';
  if (const auto status = CheckBase(request, choice, basePath, base)) return *status;

  if (!EnsureFirmware(request, IteFamily().task)) return kExitFailed;
  IteConsoleView view(request.out, request.err);
  IteOperations ops(request.d2xx, view);
  ops.setApplyFirstLine(ite::text::kApplyFirstCommandLine);
  ops.setApplyIsPrelude(true);
  ops.job().setVerifyAfterWrite(!options.has("--no-verify"));
  ops.job().setReadTwice(options.has("--read-twice"));
  ops.job().setBackup(request.backup);
  ops.FormCreate(std::move(base));
  if (!ApplyPins(ops, view, choice, options.has("--reversed"))) return kExitFailed;
  if (request.action == "apply") return kExitOk;
  // A Ctrl-C before the action: it is not begun at all.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  return RunAction(request, ops, view);
}

}  // namespace jig
