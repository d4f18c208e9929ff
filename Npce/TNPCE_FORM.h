#pragma once
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "Npce/NpceOperations.h"
#include "link/D2xx.h"
#include "gui/TTaskWindow.h"

namespace jig {

// The Nuvoton NPCE288N/388N window: read, and erase, write and verify.
class TNPCE_FORM : public TTaskWindow {
 public:
  explicit TNPCE_FORM(D2xx& d2xx, NpceBounds bounds = {});
  ~TNPCE_FORM() override;

  void NPCE_READClick();
  void NPCE_WRITEClick();
  void EXIT_NPCEClick();

  NpceOperations& operations() { return operations_; }

  QPushButton* NPCE_READ;
  QPushButton* NPCE_WRITE;
  QPushButton* EXIT_NPCE;
  QCheckBox* ReadTwice;
  QCheckBox* Backup_NPCE;
  QPlainTextEdit* NPCE_Memo;
  QProgressBar* CGauge_NPCE;

 private:
  void showJob(const JobStatus& status) override;
  void build();
  void layOut();
  void connectControls();
  D2xx& d2xx_;
  NpceOperations operations_;
};

}  // namespace jig
