#include "Mec16xx/TMEC16_Form.h"

#include <QVBoxLayout>

namespace jig {

TMEC16_Form::TMEC16_Form(D2xx& d2xx) : TTaskWindow("TMEC16_Form", "Чтение и запись MEC16 09_06_16"), d2xx_(d2xx) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  Memo_MEC16 = new QPlainTextEdit(this);
  Memo_MEC16->setObjectName("Memo_MEC16");
  Memo_MEC16->setReadOnly(true);
  setLogWidget(Memo_MEC16);
  EXIT_MEC16 = new QPushButton("СТОП или ВЫХОД", this);
  EXIT_MEC16->setObjectName("EXIT_MEC16");
  connect(EXIT_MEC16, &QPushButton::clicked, this, [this] { EXIT_MEC16Click(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Memo_MEC16);
  layout->addWidget(EXIT_MEC16);
  resize(560, 420);
}

void TMEC16_Form::EXIT_MEC16Click() {
  showWindow("Form1", true);
  hide();
}

}  // namespace jig
