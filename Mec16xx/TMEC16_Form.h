#pragma once
// The MEC16xx window: its controls carry the documented names; every click is handed to
// the operations, which do the work and talk back through the view.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "Mec16xx/Mec16Operations.h"
#include "link/D2xx.h"
#include "gui/TTaskWindow.h"

namespace jig {

class TMEC16_Form : public TTaskWindow {
 public:
  explicit TMEC16_Form(D2xx& d2xx, Mec16Bounds bounds = {});
  ~TMEC16_Form() override;

  void BitBtn_MEC16Click();
  void BitBtn_RD_MEC16Click();
  void BitBtn_MEC16_ERASEClick();
  void BitBtn_MEC16_WRITEClick();
  void BitBtn_MEC16_HELPClick();
  void EXIT_MEC16Click();

  Mec16Operations& operations() { return operations_; }

  QPushButton* BitBtn_MEC16;
  QFrame* Shape_BootLock_MEC;
  QLabel* Label_BootLock_MEC;
  QFrame* Shape_FWP_MEC16;
  QLabel* Label_MEC16_FWP;
  QCheckBox* CheckBox_MEC16_RD;
  QPushButton* BitBtn_RD_MEC16;
  QCheckBox* CheckBox_erase_mec16;
  QPushButton* BitBtn_MEC16_ERASE;
  QCheckBox* CheckBox_write_mec16;
  QPushButton* BitBtn_MEC16_WRITE;
  QCheckBox* VerifyAfterWrite;
  QCheckBox* ReadTwice;
  QCheckBox* Backup_MEC16;
  QPushButton* EXIT_MEC16;
  QPushButton* BitBtn_MEC16_HELP;
  QPlainTextEdit* Memo_MEC16;
  QProgressBar* CGauge_MEC16;

 private:
  void showJob(const JobStatus& status) override;
  void build();
  void layOut();
  void connectControls();

  Mec16Operations operations_;
};

}  // namespace jig
