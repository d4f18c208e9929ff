#include "app/TWindows.h"

#include <QGuiApplication>
#include <QScreen>

namespace jig {

namespace {
void Centre(QWidget& window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
}
}  // namespace

TWindows::TWindows(D2xx& d2xx)
    : Form1(std::make_unique<TForm1>(d2xx)),
      EDID_form(std::make_unique<TEDID_form>(d2xx)),
      KB901X_forms(std::make_unique<TKB901X_forms>(d2xx)),
      Keyboard_testing(std::make_unique<TKeyboard_testing>(d2xx)),
      MEC16_Form(std::make_unique<TMEC16_Form>(d2xx)),
      ITE_FORM(std::make_unique<TITE_FORM>(d2xx)),
      NPCE_FORM(std::make_unique<TNPCE_FORM>(d2xx)),
      UPDATE_FORM(std::make_unique<TUPDATE_FORM>()) {
  Form1->attachUpdateWindow(*UPDATE_FORM);
  for (QWidget* window : std::initializer_list<QWidget*>{Form1.get(), EDID_form.get(), KB901X_forms.get(),
                                                         Keyboard_testing.get(), MEC16_Form.get(), ITE_FORM.get(),
                                                         NPCE_FORM.get(), UPDATE_FORM.get()})
    Centre(*window);
}

}  // namespace jig
