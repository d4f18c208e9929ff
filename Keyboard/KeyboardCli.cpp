#include "Keyboard/KeyboardCli.h"

#include <charconv>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "Keyboard/KeyboardFamily.h"
#include "Keyboard/KeyboardOperations.h"
#include "main/SwitchCli.h"

namespace jig {

using namespace keyboard;

namespace {

constexpr long kDefaultSeconds = limits::kKeyboardCliScanSeconds;
constexpr long kMostSeconds = limits::kKeyboardCliLongestScanSeconds;

std::string ColourName(Rgb colour) {
  if (colour == colour::kRed) return "red";
  if (colour == colour::kYellow) return "yellow";
  if (colour == colour::kAqua) return "aqua";
  return "colour " + std::to_string(colour);
}

// The window's log on standard output, and one line for each indicator that changes.
class ScanConsoleView : public ConsoleView {
 public:
  using ConsoleView::ConsoleView;
  void paint(std::string_view indicator, Rgb colour) override {
    std::string line(indicator);
    int number = 0;
    const std::string_view digits = indicator.substr(std::min<std::size_t>(5, indicator.size()));
    if (std::from_chars(digits.data(), digits.data() + digits.size(), number).ec == std::errc() && number > 0)
      line += " (" + std::to_string((number - 1) / kMatrixLines + 1) + ", " +
              std::to_string((number - 1) % kMatrixLines + 1) + ")";
    log(line + " " + ColourName(colour));
  }
};

// Timer_keyboard_scan of the command line: a tick every 100 ms, sleeping in between.
class Ticker {
 public:
  explicit Ticker(KeyboardOperations& operations)
      : thread_([this, &operations](std::stop_token stop) {
          std::mutex mutex;
          std::condition_variable_any sleep;
          std::unique_lock lock(mutex);
          while (!sleep.wait_for(lock, stop, std::chrono::milliseconds(limits::kKeyboardTickIntervalMs),
                                 [] { return false; }) &&
                 !stop.stop_requested())
            operations.Timer_keyboard_scanTimer();
        }) {}

 private:
  std::jthread thread_;
};

// --seconds N: a whole number of seconds within the day; nullopt for anything else.
std::optional<long> ScanSeconds(const CliOptions& options) {
  if (!options.has("--seconds")) return kDefaultSeconds;
  const std::string text = options.value("--seconds");
  long seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || seconds < 1 || seconds > kMostSeconds)
    return std::nullopt;
  return seconds;
}

}  // namespace

int RunKeyboardCommand(CliRequest& request) {
  const std::optional<long> seconds = ScanSeconds(request.options);
  if (!seconds) return BadUsage(request, "--seconds takes a whole number from 1 to " + std::to_string(kMostSeconds));
  const bool noSound = request.options.has("--no-sound");
  if (!EnsureFirmware(request, KeyboardFamily().task)) return kExitFailed;
  ScanConsoleView view(request.out, request.err);
  KeyboardOperations operations(request.d2xx, view);
  operations.setNoSound(noSound);
  operations.startScan();
  if (!operations.scanning()) return kExitFailed;  // not found or wrong firmware: logged
  std::optional<bool> result;
  {
    Ticker ticker(operations);
    // A scan that fails on its own ends earlier than the time asked for.
    result = view.waitEnded(std::chrono::seconds(*seconds));
    if (!result) {
      operations.endTest();
      const auto bound = std::chrono::milliseconds(limits::kKeyboardReportTimeoutMs + limits::kKeyboardTickTimeoutMs);
      result = view.waitEnded(bound + std::chrono::seconds(1));
    }
  }
  operations.waitForScan();
  view.log("Q");
  return result.value_or(false) ? kExitOk : kExitFailed;
}

}  // namespace jig
