#include "sim/KeyboardSim.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>

#include "sim/SimImages.h"

namespace jig::sim {

namespace {
constexpr std::uint8_t kGroup = 0x3E;
constexpr std::uint8_t kEnd = 0x26;
// One scan of 32 lines before the report goes out.
constexpr std::chrono::microseconds kScanTime{500};
// The second piece of a split report comes this much later, long after the first was read.
constexpr std::chrono::microseconds kSplitGap{15000};
// A key pressed now and then, for the demo: rows 1, 3 and 20 against a few columns.
constexpr const char* kDefaultScript = "0:;150:1-2;450:;700:3-9,3-12;1100:;1300:20-31;1700:";
}  // namespace

std::optional<std::vector<MatrixStep>> ParseMatrixScript(const std::string& text) {
  std::vector<MatrixStep> steps;
  std::stringstream all(text);
  std::string step;
  while (std::getline(all, step, ';')) {
    if (step.empty()) continue;
    const auto colon = step.find(':');
    if (colon == std::string::npos) return std::nullopt;
    MatrixStep parsed;
    try {
      parsed.atMs = std::stoll(step.substr(0, colon));
      std::stringstream pairs(step.substr(colon + 1));
      std::string pair;
      while (std::getline(pairs, pair, ',')) {
        const auto dash = pair.find('-');
        if (dash == std::string::npos) return std::nullopt;
        const int row = std::stoi(pair.substr(0, dash));
        const int column = std::stoi(pair.substr(dash + 1));
        if (row < 0 || row > 255 || column < 0 || column > 255) return std::nullopt;
        parsed.closed.emplace_back(row, column);
      }
    } catch (...) {
      return std::nullopt;
    }
    steps.push_back(std::move(parsed));
  }
  std::stable_sort(steps.begin(), steps.end(), [](const auto& a, const auto& b) { return a.atMs < b.atMs; });
  return steps;
}

std::vector<std::uint8_t> MatrixReport(const std::vector<MatrixPair>& closed) {
  std::map<int, std::vector<int>> rows;
  for (const auto& [row, column] : closed) rows[row].push_back(column);
  std::vector<std::uint8_t> report;
  for (const auto& [row, columns] : rows) {
    report.push_back(kGroup);
    report.push_back(static_cast<std::uint8_t>(row));
    for (int column : columns) report.push_back(static_cast<std::uint8_t>(column));
  }
  report.push_back(kEnd);
  return report;
}

KeyboardSim::KeyboardSim(const SimOptions& options)
    : split_(options.has("keyboard-split")),
      invalid_(options.has("keyboard-invalid")),
      oversizeLeft_(options.number("keyboard-oversize", options.has("keyboard-oversize") ? 1 : 0)) {
  auto script = ParseMatrixScript(options.value("keyboard-script", kDefaultScript));
  if (!script) script = ParseMatrixScript(kDefaultScript);
  script_ = *script;
}

void KeyboardSim::reset() {
  std::lock_guard lock(mutex_);
  scanning_ = false;
}

bool KeyboardSim::onByte(std::uint8_t byte, SimContext& context) {
  std::lock_guard lock(mutex_);
  if (byte == 'u') {
    scanning_ = true;
    started_ = context.at();
    sendReport(context);
    return true;
  }
  if (!scanning_) return false;  // only "u" starts this set
  switch (byte) {
    case 'U':
      sendReport(context);
      return true;
    case 'I':
      ++beeps_;
      return true;
    case 'Q':
      scanning_ = false;
      return true;
    default:
      return false;
  }
}

std::vector<MatrixPair> KeyboardSim::closedAt(SimTime at) const {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - started_).count();
  std::vector<MatrixPair> closed;
  for (const auto& step : script_)
    if (step.atMs <= ms) closed = step.closed;
  return closed;
}

void KeyboardSim::sendReport(SimContext& context) {
  ++requests_;
  std::vector<std::uint8_t> report;
  if (!queued_.empty()) {
    report = std::move(queued_.front());
    queued_.pop_front();
  } else if (oversizeLeft_ > 0) {
    // A runaway report: far more bytes than any matrix has, before its "&".
    --oversizeLeft_;
    report = {kGroup, 1};
    report.insert(report.end(), 1500, 2);
    report.push_back(kEnd);
  } else {
    auto closed = closedAt(context.at());
    if (invalid_) closed.emplace_back(5, 3);  // a pair that no indicator shows
    report = MatrixReport(closed);
  }
  if (split_ && report.size() > 1) {
    const auto half = static_cast<std::ptrdiff_t>(report.size() / 2);
    context.send(std::vector<std::uint8_t>(report.begin(), report.begin() + half), kScanTime);
    context.send(std::vector<std::uint8_t>(report.begin() + half, report.end()), kScanTime + kSplitGap);
  } else {
    context.send(report, kScanTime);
  }
}

void KeyboardSim::queueReport(std::vector<std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  queued_.push_back(std::move(report));
}

void KeyboardSim::setScript(std::vector<MatrixStep> script) {
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

bool KeyboardSim::scanning() const {
  std::lock_guard lock(mutex_);
  return scanning_;
}

int KeyboardSim::beeps() const {
  std::lock_guard lock(mutex_);
  return beeps_;
}

int KeyboardSim::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

namespace {
std::unique_ptr<SimCommandSet> MakeKeyboardSim(const SimOptions& options) {
  return std::make_unique<KeyboardSim>(options);
}

std::vector<FaultName> KeyboardSimFaults() {
  return {
      {"keyboard-script=STEPS", "closed matrix pairs over time, \"MS:ROW-COL,ROW-COL;MS:...\" (ms after \"u\")"},
      {"keyboard-split", "every keyboard report comes in two pieces, 15 ms apart"},
      {"keyboard-invalid", "every keyboard report also names the pair (5, 3), which has no indicator"},
      {"keyboard-oversize=N", "the first N keyboard reports are 1500 bytes long (default 1)"},
  };
}

const SimRegistration kRegistered({"KEYBOARD", "V41", MakeKeyboardSim, KeyboardSimFaults});
}  // namespace

}  // namespace jig::sim
