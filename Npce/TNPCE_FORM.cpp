#include "Npce/TNPCE_FORM.h"

#include <QVBoxLayout>

namespace jig {

TNPCE_FORM::TNPCE_FORM(D2xx& d2xx) : TTaskWindow("TNPCE_FORM", "NPCE288N/388N 16_05_2016"), d2xx_(d2xx) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  NPCE_Memo = new QPlainTextEdit(this);
  NPCE_Memo->setObjectName("NPCE_Memo");
  NPCE_Memo->setReadOnly(true);
  setLogWidget(NPCE_Memo);
  EXIT_NPCE = new QPushButton("EXIT", this);
  EXIT_NPCE->setObjectName("EXIT_NPCE");
  connect(EXIT_NPCE, &QPushButton::clicked, this, [this] { EXIT_NPCEClick(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(NPCE_Memo);
  layout->addWidget(EXIT_NPCE);
  resize(560, 420);
}

void TNPCE_FORM::EXIT_NPCEClick() {
  showWindow("Form1", true);
  hide();
}

}  // namespace jig
