#pragma once
// Every window of the program, created once at start in their order.
#include <memory>

#include "Edid/TEDID_form.h"
#include "Ite/TITE_FORM.h"
#include "Kb901x_form/TKB901X_forms.h"
#include "Keyboard/TKeyboard_testing.h"
#include "Mec16xx/TMEC16_Form.h"
#include "Npce/TNPCE_FORM.h"
#include "main/TForm1.h"
#include "main/TUPDATE_FORM.h"

namespace jig {

struct TWindows {
  explicit TWindows(D2xx& d2xx);
  std::unique_ptr<TForm1> Form1;
  std::unique_ptr<TEDID_form> EDID_form;
  std::unique_ptr<TKB901X_forms> KB901X_forms;
  std::unique_ptr<TKeyboard_testing> Keyboard_testing;
  std::unique_ptr<TMEC16_Form> MEC16_Form;
  std::unique_ptr<TITE_FORM> ITE_FORM;
  std::unique_ptr<TNPCE_FORM> NPCE_FORM;
  std::unique_ptr<TUPDATE_FORM> UPDATE_FORM;
};

}  // namespace jig
