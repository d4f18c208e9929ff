#include "app/TWindows.h"

namespace jig {

TWindows::TWindows(D2xx& d2xx)
    : Form1(std::make_unique<TForm1>(d2xx)),
      EDID_form(std::make_unique<TEDID_form>(d2xx)),
      KB901X_forms(std::make_unique<TKB901X_forms>(d2xx)),
      Keyboard_testing(std::make_unique<TKeyboard_testing>(d2xx)),
      MEC16_Form(std::make_unique<TMEC16_Form>(d2xx)),
      ITE_FORM(std::make_unique<TITE_FORM>(d2xx)),
      NPCE_FORM(std::make_unique<TNPCE_FORM>(d2xx)),
      UPDATE_FORM(std::make_unique<TUPDATE_FORM>()) {
  // Each window centres itself on its screen when it is first shown (TTaskWindow::placeOn).
  Form1->attachUpdateWindow(*UPDATE_FORM);
}

}  // namespace jig
