#pragma once
// The program's windows with every task window's class, for tests that reach into one.
#include "Edid/TEDID_form.h"
#include "Ite/TITE_FORM.h"
#include "Kb901x_form/TKB901X_forms.h"
#include "Keyboard/TKeyboard_testing.h"
#include "Mec16xx/TMEC16_Form.h"
#include "Npce/TNPCE_FORM.h"
#include "app/TWindows.h"
