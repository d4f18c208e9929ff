#include "Ite/IteCli.h"

#include <condition_variable>
#include <map>
#include <mutex>

#include "link/CliInterrupt.h"
#include "link/Cp1251.h"
#include "link/limits.h"
#include "Ite/IteOperations.h"
#include "main/SwitchCli.h"

namespace jig {

namespace {

constexpr const char* kUsage =
    "usage: holbrenik-jig ite boards [--base FILE]\n"
    "       holbrenik-jig ite apply (--board N [--reversed] | --pins PD0=P,...,KSI5=P) [--base FILE]\n"
    "       holbrenik-jig ite check [--board N [--reversed] | --pins ...]\n"
    "       holbrenik-jig ite read FILE [--read-twice] [--board N [--reversed] | --pins ...]\n"
    "       holbrenik-jig ite write FILE [--no-verify] [--yes] [--no-backup] [--board N [--reversed] | --pins ...]\n"
    "  --board N sends that motherboard's pins (APPLY) before the action; without it the\n"
    "  programmer keeps the pins it was last given. P is 1-32 or NC.\n"
    "  write reads the flash back and compares it with the image (all 128 KiB, FFh padding\n"
    "  included); --no-verify skips that. --read-twice reads twice and writes FILE only when\n"
    "  both reads match. A failed verify or a differing pair exits 1.\n"
    "  write first copies the flash into the backup folder (--no-backup skips that) and asks\n"
    "  before an image that is not 128 KiB or holds only FFh or 00h (--yes answers Yes).\n";

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

struct IteArgs {
  std::string file;
  int board = -1;
  bool reversed = false;
  std::string pins;
  std::string base;
  bool noVerify = false;
  bool readTwice = false;
  std::string error;
};

IteArgs ParseArgs(const std::vector<std::string>& args) {
  IteArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) {
        parsed.error = word + " needs a value";
        return {};
      }
      return args[++i];
    };
    if (word == "--board") {
      const std::string text = value();
      try {
        std::size_t used = 0;
        parsed.board = std::stoi(text, &used);
        if (used != text.size() || parsed.board < 1) parsed.error = "--board takes an entry number from 1";
      } catch (...) {
        parsed.error = "--board takes an entry number from 1";
      }
    } else if (word == "--reversed") {
      parsed.reversed = true;
    } else if (word == "--pins") {
      parsed.pins = value();
    } else if (word == "--no-verify") {
      parsed.noVerify = true;
    } else if (word == "--read-twice") {
      parsed.readTwice = true;
    } else if (word == "--base") {
      parsed.base = value();
    } else if (!word.empty() && word[0] != '-' && parsed.file.empty()) {
      parsed.file = word;
    } else {
      parsed.error = "unexpected: " + word;
    }
  }
  return parsed;
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

int RunIteCommand(CliRequest& request) {
  const IteArgs args = ParseArgs(request.args);
  const std::string& action = request.action;
  const bool needsFile = action == "read" || action == "write";
  const bool known = action == "boards" || action == "apply" || action == "check" || needsFile;
  const bool choosesPins = args.board > 0 || !args.pins.empty();
  if (!args.error.empty() || !known || needsFile != !args.file.empty() || (action == "apply" && !choosesPins) ||
      (args.board > 0 && !args.pins.empty()) || (args.reversed && args.board < 0) ||
      (args.noVerify && action != "write") || (args.readTwice && action != "read")) {
    if (!args.error.empty()) request.err << args.error << '\n';
    request.err << kUsage;
    return kExitUsage;
  }
  ite::PinAssignment pins{};
  std::string pinError;
  if (!args.pins.empty() && !ParsePins(args.pins, pins, pinError)) {
    request.err << pinError << '\n';
    return kExitUsage;
  }

  const std::string basePath = args.base.empty() ? ite::FindBesideProgram(ite::kBaseFileName) : args.base;
  ite::IteBase base = ite::LoadIteBase(basePath);
  if (!base.problem.empty()) request.err << base.problem << '\n';
  if (action == "boards") {
    if (!base.found) {
      request.err << "File [" << ite::kBaseFileName << "] not found. Please read manual!\n"
                  << ite::MissingBaseLine(basePath) << '\n';
      return kExitFailed;
    }
    for (std::size_t i = 0; i < base.lines.size(); ++i) request.out << i + 1 << "  " << DisplayText(base.lines[i]) << '\n';
    return kExitOk;
  }
  if (args.board > 0 && (!base.found || static_cast<std::size_t>(args.board) > base.lines.size())) {
    request.err << "--board " << args.board << ": the base " << basePath << " has "
                << (base.found ? base.lines.size() : 0) << " entries\n";
    return kExitUsage;
  }

  if (!EnsureFirmware(request, "ITE chip")) return kExitFailed;
  IteConsoleView view(request.out, request.err);
  IteOperations ops(request.d2xx, view);
  ops.setVerifyAfterWrite(!args.noVerify);
  ops.setReadTwice(args.readTwice);
  ops.setBackup(request.backup);
  ops.FormCreate(std::move(base));

  if (args.board > 0) {
    ops.ITE_ComboBox_MB_SWITCHSelect(args.board);
    if (!view.last()) return kExitFailed;
    if (args.reversed) {
      ops.ITE_CheckBoxClick(false);
      if (!view.last()) return kExitFailed;
    }
  } else if (!args.pins.empty()) {
    for (int signal = 0; signal < ite::kSignalCount; ++signal) ops.setPin(signal, pins[static_cast<std::size_t>(signal)]);
  }
  if (choosesPins) {
    ops.ITE_SETUP_BitBtnClick();
    if (!view.last()) return kExitFailed;
  }

  if (action == "apply") return kExitOk;
  // A Ctrl-C before the action: it is not begun at all.
  if (InterruptCount() > 0) return 128 + InterruptSignal();
  view.arm();
  if (action == "check") {
    ops.ITE_CHECK_CON_BitBtnClick();
  } else if (action == "read") {
    view.setSaveFile(args.file, request.force);
    ops.ITE_READ_BitBtnClick();
  } else if (action == "write") {
    view.setOpenFile(args.file);
    view.setYesNoAnswer(request.yes);
    ops.ITE_WRITE_BitBtnClick();
  }
  const CliStop stop{[&ops] { ops.requestStop(); }, action == "write"};
  const int status = AwaitOperation(view, std::chrono::milliseconds(limits::kIteOperationBoundMs), stop, "ite " + action);
  // The worker ends by itself: every wait in it has its bound.
  ops.joinWorker();
  return status;
}

}  // namespace jig
