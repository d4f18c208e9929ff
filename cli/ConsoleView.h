#pragma once
// A window for the command line: log lines go to standard output, error boxes to
// standard error, and the FILE argument answers the file dialog.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "link/D2xx.h"
#include "view/TaskView.h"

namespace jig {

class ConsoleView : public TaskView {
 public:
  ConsoleView(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  // The file a save dialog answers with; an existing one only with replace.
  void setSaveFile(std::string path, bool replace);
  void setOpenFile(std::string path);
  // How the command line answers a Yes/No question (No unless the command says otherwise).
  void setYesNoAnswer(bool yes);

  void log(std::string line) override;
  void clearLog() override {}
  void setGaugeMax(std::string_view, int) override {}
  void setGauge(std::string_view, int) override {}
  void setGaugeColour(std::string_view, Rgb) override {}
  void enable(std::string_view, bool) override {}
  void setCaption(std::string_view, std::string) override {}
  void paint(std::string_view, Rgb) override {}
  void select(std::string_view, int) override {}
  void showWindow(std::string_view, bool) override {}
  void setTimer(std::string_view, bool) override {}
  void ended(bool success) override;
  std::optional<std::string> askSaveFile(const FileDialog& dialog) override;
  std::optional<std::string> askOpenFile(const FileDialog& dialog) override;
  void errorBox(std::string text) override;
  bool askYesNo(std::string question) override;

  // Waits for the operation's end; nullopt when the bound passed first.
  std::optional<bool> waitEnded(std::chrono::milliseconds bound);
  std::optional<bool> result() const;

 private:
  std::ostream& out_;
  std::ostream& err_;
  mutable std::mutex mutex_;
  std::condition_variable endedChanged_;
  std::optional<bool> result_;
  std::string saveFile_, openFile_;
  bool replace_ = false;
  bool yes_ = false;
};

// What a task's command gets from the command line.
struct CliRequest {
  D2xx& d2xx;
  std::string action;               // "read", "write", "scan", ...
  std::string operand;              // FILE (or TASK) when the action takes one
  CliOptions options;               // the command's own flags, checked against its row
  bool force = false;               // replace an existing output file
  std::ostream& out;
  std::ostream& err;
  bool yes = false;                 // --yes: answer Yes to the questions before a write
  bool backup = true;               // --no-backup: no backup read before a write
  std::string label;                // --label: the jobs' label, or the history's filter
  const CliCommand* command = nullptr;  // the row it was read by (for its usage)
  std::string secondOperand;        // the second FILE of an action that takes two
};

// Bad usage found by the command itself: the reason, the command's usage, status 2.
int BadUsage(CliRequest& request, std::string_view reason);

// Exit statuses of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

}  // namespace jig
