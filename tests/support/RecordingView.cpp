#include "tests/support/RecordingView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <span>

#include "Edid/EdidControls.h"
#include "Ite/IteControls.h"
#include "job/JobVerdict.h"
#include "Ite/MbConnectionIte.h"
#include "Kb901x_form/Kb90Controls.h"
#include "Keyboard/KeyboardControls.h"
#include "Keyboard/KeyboardReport.h"
#include "Mec16xx/Mec16Controls.h"
#include "Npce/NpceControls.h"
#include "main/Form1Controls.h"
#include "main/UpdateControls.h"

namespace jig::test {

namespace {

bool IsKeyboardSquare(std::string_view name) {
  const std::string_view prefix = keyboard::control::kShapePrefix;
  if (!name.starts_with(prefix)) return false;
  const std::string_view digits = name.substr(prefix.size());
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || number < 1) return false;
  return keyboard::HasIndicator({(number - 1) / keyboard::kMatrixLines + 1, (number - 1) % keyboard::kMatrixLines + 1});
}

// A name some window of the program has: in a window, a call under any other name would do
// nothing, so the test that makes it fails.
void ExpectKnownControl(std::string_view name) {
  const std::span<const std::string_view> windows[] = {
      form1::control::kAll, update::control::kAll,   edid::control::kAll, kb90::control::kAll,
      keyboard::control::kAll, mec16::control::kAll, ite::control::kAll,  npce::control::kAll};
  for (const auto& names : windows)
    for (std::string_view known : names)
      if (name == known) return;
  for (const ite::IteSignal& signal : ite::kSignals)
    if (name == signal.box) return;
  if (IsKeyboardSquare(name)) return;
  ADD_FAILURE() << "No control named " << name;
}

}  // namespace

void RecordingView::event(std::string text) { events_.push_back(std::move(text)); }

void RecordingView::log(std::string line) {
  std::lock_guard lock(mutex_);
  // The job's verdict is kept apart: the lines are the family's documented ones.
  if (IsVerdictLine(line)) {
    verdicts_.push_back(std::move(line));
    endedChanged_.notify_all();
    return;
  }
  lines_.push_back(line);
  allLines_.push_back(std::move(line));
  loggedAt_.push_back(std::chrono::steady_clock::now());
  endedChanged_.notify_all();
}

void RecordingView::clearLog() {
  std::lock_guard lock(mutex_);
  lines_.clear();
  event("clear");
}

void RecordingView::setGaugeMax(std::string_view gauge, int maximum) {
  ExpectKnownControl(gauge);
  std::lock_guard lock(mutex_);
  gaugeMax_[std::string(gauge)] = maximum;
}

void RecordingView::setGauge(std::string_view gauge, int progress) {
  ExpectKnownControl(gauge);
  std::lock_guard lock(mutex_);
  gauges_[std::string(gauge)] = progress;
}

void RecordingView::setGaugeColour(std::string_view gauge, Rgb colour) {
  ExpectKnownControl(gauge);
  std::lock_guard lock(mutex_);
  gaugeColours_[std::string(gauge)] = colour;
}

void RecordingView::enable(std::string_view control, bool on) {
  ExpectKnownControl(control);
  std::lock_guard lock(mutex_);
  enabled_[std::string(control)] = on;
  event("enable " + std::string(control) + (on ? " 1" : " 0"));
}

void RecordingView::setCaption(std::string_view control, std::string caption) {
  ExpectKnownControl(control);
  std::lock_guard lock(mutex_);
  event("caption " + std::string(control) + " " + caption);
  captions_[std::string(control)] = std::move(caption);
}

void RecordingView::paint(std::string_view indicator, Rgb colour) {
  ExpectKnownControl(indicator);
  std::lock_guard lock(mutex_);
  colours_[std::string(indicator)] = colour;
}

void RecordingView::select(std::string_view control, int index) {
  ExpectKnownControl(control);
  std::lock_guard lock(mutex_);
  selected_[std::string(control)] = index;
  event("select " + std::string(control) + " " + std::to_string(index));
}

void RecordingView::showWindow(std::string_view window, bool on) {
  std::lock_guard lock(mutex_);
  visible_[std::string(window)] = on;
  event("show " + std::string(window) + (on ? " 1" : " 0"));
}

void RecordingView::setTimer(std::string_view timer, bool running) {
  ExpectKnownControl(timer);
  std::lock_guard lock(mutex_);
  timers_[std::string(timer)] = running;
  event("timer " + std::string(timer) + (running ? " 1" : " 0"));
}

void RecordingView::ended(bool success) {
  std::lock_guard lock(mutex_);
  endings_.push_back(success);
  endedAt_ = std::chrono::steady_clock::now();
  event(success ? "ended ok" : "ended failed");
  endedChanged_.notify_all();
}

std::optional<std::string> RecordingView::askSaveFile(const FileDialog& dialog) {
  std::lock_guard lock(mutex_);
  dialogs_.push_back(dialog);
  if (answers_.empty()) return std::nullopt;
  auto answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<std::string> RecordingView::askOpenFile(const FileDialog& dialog) { return askSaveFile(dialog); }

void RecordingView::errorBox(std::string text) {
  std::lock_guard lock(mutex_);
  errorBoxes_.push_back(std::move(text));
}

bool RecordingView::askYesNo(std::string question) {
  std::lock_guard lock(mutex_);
  questions_.push_back(std::move(question));
  if (yesNoAnswers_.empty()) return false;
  const bool yes = yesNoAnswers_.front();
  yesNoAnswers_.pop_front();
  return yes;
}

void RecordingView::answerYesNo(bool yes) {
  std::lock_guard lock(mutex_);
  yesNoAnswers_.push_back(yes);
}

std::vector<std::string> RecordingView::questions() const {
  std::lock_guard lock(mutex_);
  return questions_;
}

void RecordingView::answerDialog(std::optional<std::string> answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(answer));
}

std::optional<std::chrono::steady_clock::time_point> RecordingView::waitLogged(std::string_view start,
                                                                              std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  std::size_t at = 0;
  const bool logged = endedChanged_.wait_for(lock, bound, [&] {
    for (at = 0; at < allLines_.size(); ++at)
      if (allLines_[at].starts_with(start)) return true;
    return false;
  });
  if (!logged) return std::nullopt;
  return loggedAt_[at];
}

std::chrono::steady_clock::time_point RecordingView::endedAt() const {
  std::lock_guard lock(mutex_);
  return endedAt_;
}

bool RecordingView::waitEnded(std::chrono::milliseconds bound, int count) {
  std::unique_lock lock(mutex_);
  return endedChanged_.wait_for(lock, bound, [&] { return static_cast<int>(endings_.size()) >= count; });
}

std::vector<std::string> RecordingView::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}
std::vector<std::string> RecordingView::allLines() const {
  std::lock_guard lock(mutex_);
  return allLines_;
}
std::vector<std::string> RecordingView::errorBoxes() const {
  std::lock_guard lock(mutex_);
  return errorBoxes_;
}
std::vector<FileDialog> RecordingView::dialogs() const {
  std::lock_guard lock(mutex_);
  return dialogs_;
}
std::vector<bool> RecordingView::endings() const {
  std::lock_guard lock(mutex_);
  return endings_;
}
std::vector<std::string> RecordingView::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}
std::optional<bool> RecordingView::enabled(const std::string& control) const {
  std::lock_guard lock(mutex_);
  const auto it = enabled_.find(control);
  return it == enabled_.end() ? std::nullopt : std::optional<bool>(it->second);
}
std::optional<Rgb> RecordingView::colour(const std::string& indicator) const {
  std::lock_guard lock(mutex_);
  const auto it = colours_.find(indicator);
  return it == colours_.end() ? std::nullopt : std::optional<Rgb>(it->second);
}
std::optional<int> RecordingView::selected(const std::string& control) const {
  std::lock_guard lock(mutex_);
  const auto it = selected_.find(control);
  return it == selected_.end() ? std::nullopt : std::optional<int>(it->second);
}
int RecordingView::gauge(const std::string& gauge) const {
  std::lock_guard lock(mutex_);
  const auto it = gauges_.find(gauge);
  return it == gauges_.end() ? 0 : it->second;
}
int RecordingView::gaugeMax(const std::string& gauge) const {
  std::lock_guard lock(mutex_);
  const auto it = gaugeMax_.find(gauge);
  return it == gaugeMax_.end() ? 0 : it->second;
}
std::optional<Rgb> RecordingView::gaugeColour(const std::string& gauge) const {
  std::lock_guard lock(mutex_);
  const auto it = gaugeColours_.find(gauge);
  return it == gaugeColours_.end() ? std::nullopt : std::optional<Rgb>(it->second);
}
std::optional<std::string> RecordingView::caption(const std::string& control) const {
  std::lock_guard lock(mutex_);
  const auto it = captions_.find(control);
  return it == captions_.end() ? std::nullopt : std::optional<std::string>(it->second);
}
std::optional<bool> RecordingView::visible(const std::string& window) const {
  std::lock_guard lock(mutex_);
  const auto it = visible_.find(window);
  return it == visible_.end() ? std::nullopt : std::optional<bool>(it->second);
}
bool RecordingView::timerRunning(const std::string& timer) const {
  std::lock_guard lock(mutex_);
  const auto it = timers_.find(timer);
  return it != timers_.end() && it->second;
}
std::string RecordingView::lastLine() const {
  std::lock_guard lock(mutex_);
  return allLines_.empty() ? std::string() : allLines_.back();
}

std::vector<std::string> RecordingView::verdicts() const {
  std::lock_guard lock(mutex_);
  return verdicts_;
}

void RecordingView::offerComparison(Comparison comparison) {
  std::lock_guard lock(mutex_);
  comparisons_.push_back(std::move(comparison));
}

std::vector<Comparison> RecordingView::comparisons() const {
  std::lock_guard lock(mutex_);
  return comparisons_;
}

}  // namespace jig::test
