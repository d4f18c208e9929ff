#pragma once
#include <QPlainTextEdit>
#include <QPushButton>

#include "link/D2xx.h"
#include "main/TTaskWindow.h"

namespace jig {

class TITE_FORM : public TTaskWindow {
 public:
  explicit TITE_FORM(D2xx& d2xx);
  void ITE_EXIT_BitBtnClick();

  QPlainTextEdit* ITE_Memo1;
  QPushButton* ITE_EXIT_BitBtn;

 private:
  D2xx& d2xx_;
};

}  // namespace jig
