#pragma once
#include <QPlainTextEdit>
#include <QPushButton>

#include "link/D2xx.h"
#include "main/TTaskWindow.h"

namespace jig {

class TKB901X_forms : public TTaskWindow {
 public:
  explicit TKB901X_forms(D2xx& d2xx);
  void EXIT_KB901XClick();

  QPlainTextEdit* KB901X_Memo;
  QPushButton* EXIT_KB901X;

 private:
  D2xx& d2xx_;
};

}  // namespace jig
