#pragma once
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "Edid/EdidOperations.h"
#include "link/D2xx.h"
#include "gui/TTaskWindow.h"

namespace jig {

class TEDID_form : public TTaskWindow {
 public:
  explicit TEDID_form(D2xx& d2xx, EdidBounds bounds = {});
  ~TEDID_form() override;

  void EDID_READClick();
  void EDID_WRITEClick();
  void EXIT_EDIDClick();
  void FixChecksumClick();

  QPushButton* EDID_READ;
  QPushButton* EDID_WRITE;
  QPushButton* EXIT_EDID;
  QPushButton* FixChecksum;
  QCheckBox* BackupBeforeWrite;
  QPlainTextEdit* EDID_Memo;

 private:
  void build();
  void layOut();
  void connectControls();
  std::unique_ptr<EdidOperations> operations_;
};

}  // namespace jig
