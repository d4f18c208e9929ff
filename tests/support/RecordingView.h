#pragma once
// A window stand-in for tests: records every call, answers dialogs from a script, and
// lets a test wait (with a bound) for the end of an operation.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "view/TaskView.h"

namespace jig::test {

class RecordingView : public TaskView {
 public:
  void log(std::string line) override;
  void clearLog() override;
  void setGaugeMax(std::string_view gauge, int maximum) override;
  void setGauge(std::string_view gauge, int progress) override;
  void setGaugeColour(std::string_view gauge, Rgb colour) override;
  void enable(std::string_view control, bool enabled) override;
  void setCaption(std::string_view control, std::string caption) override;
  void paint(std::string_view indicator, Rgb colour) override;
  void select(std::string_view control, int index) override;
  void showWindow(std::string_view window, bool visible) override;
  void setTimer(std::string_view timer, bool running) override;
  void ended(bool success) override;
  std::optional<std::string> askSaveFile(const FileDialog& dialog) override;
  std::optional<std::string> askOpenFile(const FileDialog& dialog) override;
  void errorBox(std::string text) override;
  // Answers from answerYesNo(), in order; No once they run out.
  bool askYesNo(std::string question) override;
  void offerComparison(Comparison comparison) override;

  // Script: the next dialogs' answers, in order (nullopt = cancelled).
  void answerDialog(std::optional<std::string> answer);
  void answerYesNo(bool yes);
  std::vector<std::string> questions() const;

  // Waits until ended() has been called count times in all; false when the time passed. The
  // default is a hang guard: a whole write of 512 blocks under the thread checker on a busy
  // machine has taken over 10 s.
  bool waitEnded(std::chrono::milliseconds bound = std::chrono::seconds(30), int count = 1);
  // Waits until a line that begins with start has been logged: when it was, or nothing when
  // the time passed.
  std::optional<std::chrono::steady_clock::time_point> waitLogged(std::string_view start,
                                                                  std::chrono::milliseconds bound);
  // When ended() was last called (the epoch when it was not).
  std::chrono::steady_clock::time_point endedAt() const;

  // Snapshots (thread-safe).
  std::vector<std::string> lines() const;       // the log as it stands (clearLog empties it)
  std::vector<std::string> allLines() const;    // every line ever logged
  std::vector<std::string> errorBoxes() const;
  std::vector<FileDialog> dialogs() const;
  std::vector<bool> endings() const;
  std::vector<std::string> events() const;      // "enable X 0", "timer Timer_RUN 1", ...
  std::optional<bool> enabled(const std::string& control) const;
  std::optional<Rgb> colour(const std::string& indicator) const;
  std::optional<int> selected(const std::string& control) const;
  int gauge(const std::string& gauge) const;
  int gaugeMax(const std::string& gauge) const;
  std::optional<Rgb> gaugeColour(const std::string& gauge) const;
  std::optional<std::string> caption(const std::string& control) const;
  std::optional<bool> visible(const std::string& window) const;
  bool timerRunning(const std::string& timer) const;
  std::string lastLine() const;
  // The jobs' verdict lines, in order (kept out of lines() and allLines()).
  std::vector<std::string> verdicts() const;
  // The comparisons the jobs offered, in order.
  std::vector<Comparison> comparisons() const;

 private:
  void event(std::string text);

  mutable std::mutex mutex_;
  std::condition_variable endedChanged_;  // also told of each line
  std::vector<std::string> lines_, allLines_, errorBoxes_, events_, verdicts_;
  std::vector<Comparison> comparisons_;
  std::vector<std::chrono::steady_clock::time_point> loggedAt_;  // one for each of allLines_
  std::chrono::steady_clock::time_point endedAt_;
  std::vector<FileDialog> dialogs_;
  std::deque<std::optional<std::string>> answers_;
  std::deque<bool> yesNoAnswers_;
  std::vector<std::string> questions_;
  std::vector<bool> endings_;
  std::map<std::string, bool> enabled_, visible_, timers_;
  std::map<std::string, Rgb> colours_, gaugeColours_;
  std::map<std::string, int> gauges_, gaugeMax_, selected_;
  std::map<std::string, std::string> captions_;
};

}  // namespace jig::test
