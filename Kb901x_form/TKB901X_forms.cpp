#include "Kb901x_form/TKB901X_forms.h"

#include <QVBoxLayout>

namespace jig {

TKB901X_forms::TKB901X_forms(D2xx& d2xx) : TTaskWindow("TKB901X_forms", "KB9010/9012/9016/9022  programming VER4.1+"), d2xx_(d2xx) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  KB901X_Memo = new QPlainTextEdit(this);
  KB901X_Memo->setObjectName("KB901X_Memo");
  KB901X_Memo->setReadOnly(true);
  setLogWidget(KB901X_Memo);
  EXIT_KB901X = new QPushButton("EXIT", this);
  EXIT_KB901X->setObjectName("EXIT_KB901X");
  connect(EXIT_KB901X, &QPushButton::clicked, this, [this] { EXIT_KB901XClick(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(KB901X_Memo);
  layout->addWidget(EXIT_KB901X);
  resize(560, 420);
}

void TKB901X_forms::EXIT_KB901XClick() {
  showWindow("Form1", true);
  hide();
}

}  // namespace jig
