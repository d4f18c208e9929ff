#include "cli/ConsoleView.h"

#include "files/DumpSink.h"
#include "cli/InterruptWake.h"

namespace jig {

void ConsoleView::setSaveFile(std::string path, bool replace) {
  std::lock_guard lock(mutex_);
  saveFile_ = std::move(path);
  replace_ = replace;
}

void ConsoleView::setOpenFile(std::string path) {
  std::lock_guard lock(mutex_);
  openFile_ = std::move(path);
}

void ConsoleView::log(std::string line) {
  std::lock_guard lock(mutex_);
  out_ << line << '\n' << std::flush;
}

void ConsoleView::ended(bool success) {
  std::lock_guard lock(mutex_);
  result_ = success;
  endedChanged_.notify_all();
  RingInterruptWake();  // the command line's wait sleeps on it
}

std::optional<std::string> ConsoleView::askSaveFile(const FileDialog&) {
  std::lock_guard lock(mutex_);
  if (saveFile_.empty()) return std::nullopt;
  // lstat: a dangling link counts as existing; it is replaced only when asked.
  if (PathTaken(saveFile_) && !replace_) {
    err_ << saveFile_ << " exists; --force replaces it\n";
    return std::nullopt;
  }
  return saveFile_;
}

std::optional<std::string> ConsoleView::askOpenFile(const FileDialog&) {
  std::lock_guard lock(mutex_);
  if (openFile_.empty()) return std::nullopt;
  return openFile_;
}

void ConsoleView::setYesNoAnswer(bool yes) {
  std::lock_guard lock(mutex_);
  yes_ = yes;
}

bool ConsoleView::askYesNo(std::string question) {
  std::lock_guard lock(mutex_);
  err_ << question << ' ' << (yes_ ? "Yes" : "No") << '\n' << std::flush;
  return yes_;
}

void ConsoleView::errorBox(std::string text) {
  std::lock_guard lock(mutex_);
  err_ << text << '\n' << std::flush;
}

std::optional<bool> ConsoleView::waitEnded(std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  endedChanged_.wait_for(lock, bound, [&] { return result_.has_value(); });
  return result_;
}

std::optional<bool> ConsoleView::result() const {
  std::lock_guard lock(mutex_);
  return result_;
}

}  // namespace jig
