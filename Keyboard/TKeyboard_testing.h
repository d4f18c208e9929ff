#pragma once
#include <QPlainTextEdit>
#include <QPushButton>

#include "link/D2xx.h"
#include "main/TTaskWindow.h"

namespace jig {

class TKeyboard_testing : public TTaskWindow {
 public:
  explicit TKeyboard_testing(D2xx& d2xx);
  void EXIT_KB_TESTClick();

  QPlainTextEdit* Memo_keyboard;
  QPushButton* EXIT_KB_TEST;

 private:
  D2xx& d2xx_;
};

}  // namespace jig
