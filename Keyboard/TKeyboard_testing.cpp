#include "Keyboard/TKeyboard_testing.h"

#include <QVBoxLayout>

namespace jig {

TKeyboard_testing::TKeyboard_testing(D2xx& d2xx) : TTaskWindow("TKeyboard_testing", "Keyboard_testing"), d2xx_(d2xx) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  Memo_keyboard = new QPlainTextEdit(this);
  Memo_keyboard->setObjectName("Memo_keyboard");
  Memo_keyboard->setReadOnly(true);
  setLogWidget(Memo_keyboard);
  EXIT_KB_TEST = new QPushButton("EXIT", this);
  EXIT_KB_TEST->setObjectName("EXIT_KB_TEST");
  connect(EXIT_KB_TEST, &QPushButton::clicked, this, [this] { EXIT_KB_TESTClick(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Memo_keyboard);
  layout->addWidget(EXIT_KB_TEST);
  resize(560, 420);
}

void TKeyboard_testing::EXIT_KB_TESTClick() {
  showWindow("Form1", true);
  hide();
}

}  // namespace jig
