#pragma once
#include <QPlainTextEdit>
#include <QPushButton>

#include "link/D2xx.h"
#include "main/TTaskWindow.h"

namespace jig {

class TNPCE_FORM : public TTaskWindow {
 public:
  explicit TNPCE_FORM(D2xx& d2xx);
  void EXIT_NPCEClick();

  QPlainTextEdit* NPCE_Memo;
  QPushButton* EXIT_NPCE;

 private:
  D2xx& d2xx_;
};

}  // namespace jig
