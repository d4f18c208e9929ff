#pragma once
// The update window: what the firmware switch does, with its gauge and EXIT.
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "gui/TTaskWindow.h"

namespace jig {

class TUPDATE_FORM : public TTaskWindow {
 public:
  TUPDATE_FORM();
  void SpeedButton_UPD_EXITClick();

  QPlainTextEdit* Memo_UPDATE;
  QProgressBar* CGauge_UPD;
  QPushButton* SpeedButton_UPD_EXIT;

 private:
  void build();
  void layOut();
};

}  // namespace jig
