#include "Edid/TEDID_form.h"

#include <QVBoxLayout>

namespace jig {

TEDID_form::TEDID_form(D2xx& d2xx) : TTaskWindow("TEDID_form", "EEPROM LCD read/write VER4.1"), d2xx_(d2xx) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  EDID_Memo = new QPlainTextEdit(this);
  EDID_Memo->setObjectName("EDID_Memo");
  EDID_Memo->setReadOnly(true);
  setLogWidget(EDID_Memo);
  EXIT_EDID = new QPushButton("EXIT", this);
  EXIT_EDID->setObjectName("EXIT_EDID");
  connect(EXIT_EDID, &QPushButton::clicked, this, [this] { EXIT_EDIDClick(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(EDID_Memo);
  layout->addWidget(EXIT_EDID);
  resize(560, 420);
}

void TEDID_form::EXIT_EDIDClick() {
  showWindow("Form1", true);
  hide();
}

}  // namespace jig
