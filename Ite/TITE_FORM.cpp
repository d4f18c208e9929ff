#include "Ite/TITE_FORM.h"

#include <QVBoxLayout>

namespace jig {

TITE_FORM::TITE_FORM(D2xx& d2xx) : TTaskWindow("TITE_FORM", "ITE 20_06_2016"), d2xx_(d2xx) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  ITE_Memo1 = new QPlainTextEdit(this);
  ITE_Memo1->setObjectName("ITE_Memo1");
  ITE_Memo1->setReadOnly(true);
  setLogWidget(ITE_Memo1);
  ITE_EXIT_BitBtn = new QPushButton("Выход EXIT", this);
  ITE_EXIT_BitBtn->setObjectName("ITE_EXIT_BitBtn");
  connect(ITE_EXIT_BitBtn, &QPushButton::clicked, this, [this] { ITE_EXIT_BitBtnClick(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ITE_Memo1);
  layout->addWidget(ITE_EXIT_BitBtn);
  resize(560, 420);
}

void TITE_FORM::ITE_EXIT_BitBtnClick() {
  showWindow("Form1", true);
  hide();
}

}  // namespace jig
