#pragma once
// A task window's questions answered by script, and what it showed recorded: the file
// dialogs' titles, the error boxes, the yes/no questions and the ends of its operations.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/TTaskWindow.h"

namespace jig::test {

struct WindowScript {
  // onEnd runs at each end once it is recorded, while the window is as the end left it.
  void hook(TTaskWindow& window, std::function<void(bool)> onEnd = {}) {
    window.endedSeen = [this, onEnd = std::move(onEnd)](bool success) {
      endings.push_back(success);
      if (onEnd) onEnd(success);
    };
    window.dialogAnswer = [this](const FileDialog& dialog) {
      dialogs.push_back(dialog.title);
      return answer;
    };
    window.errorBoxSeen = [this](const std::string& text) { boxes.push_back(text); };
    window.yesNoAnswer = [this](const std::string& question) {
      questions.push_back(question);
      return yes;
    };
  }

  std::optional<std::string> answer;  // what every file dialog gives
  bool yes = false;                   // the answer to every question
  std::vector<std::string> dialogs, boxes, questions;
  std::vector<bool> endings;
};

}  // namespace jig::test
