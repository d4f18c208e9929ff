#pragma once
#include <QPlainTextEdit>
#include <QPushButton>

#include "link/D2xx.h"
#include "main/TTaskWindow.h"

namespace jig {

class TMEC16_Form : public TTaskWindow {
 public:
  explicit TMEC16_Form(D2xx& d2xx);
  void EXIT_MEC16Click();

  QPlainTextEdit* Memo_MEC16;
  QPushButton* EXIT_MEC16;

 private:
  D2xx& d2xx_;
};

}  // namespace jig
