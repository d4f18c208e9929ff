#pragma once
#include <QPlainTextEdit>
#include <QPushButton>

#include "link/D2xx.h"
#include "main/TTaskWindow.h"

namespace jig {

class TEDID_form : public TTaskWindow {
 public:
  explicit TEDID_form(D2xx& d2xx);
  void EXIT_EDIDClick();

  QPlainTextEdit* EDID_Memo;
  QPushButton* EXIT_EDID;

 private:
  D2xx& d2xx_;
};

}  // namespace jig
