// Control names: every name the code addresses a control by is a control of its window, and
// a name that no window has fails the test that used it (tests/support/gui_main.cpp).
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <span>
#include <string_view>

#include "Edid/EdidControls.h"
#include "Ite/IteControls.h"
#include "Kb901x_form/Kb90Controls.h"
#include "Keyboard/KeyboardControls.h"
#include "Mec16xx/Mec16Controls.h"
#include "Npce/NpceControls.h"
#include "tests/support/TaskWindows.h"
#include "main/Form1Controls.h"
#include "gui/TWidgets.h"
#include "main/UpdateControls.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

TEST(ControlNames, EveryWindowHasEveryControlItsCodeNames) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  struct Case {
    TTaskWindow* window;
    std::span<const std::string_view> names;
  };
  const Case cases[] = {
      {windows.Form1.get(), form1::control::kAll},
      {windows.UPDATE_FORM.get(), update::control::kAll},
      {windows.window<TEDID_form>(), edid::control::kAll},
      {windows.window<TKB901X_forms>(), kb90::control::kAll},
      {windows.window<TKeyboard_testing>(), keyboard::control::kAll},
      {windows.window<TMEC16_Form>(), mec16::control::kAll},
      {windows.window<TITE_FORM>(), ite::control::kAll},
      {windows.window<TNPCE_FORM>(), npce::control::kAll},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.names.empty());
    for (std::string_view name : c.names)
      EXPECT_NE(c.window->findChild<QObject*>(Q(name)), nullptr)
          << c.window->objectName().toStdString() << ": " << name;
  }
  for (const ite::IteSignal& signal : ite::kSignals)
    EXPECT_NE(windows.window<TITE_FORM>()->findChild<QObject*>(Q(signal.box)), nullptr) << signal.box;
}

TEST(ControlNames, ANameNoWindowHasFailsTheTest) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  TaskView& view = *windows.window<TMEC16_Form>();
  EXPECT_NONFATAL_FAILURE(view.enable("BitBtn_MEC16_WRONG", false), "No control named BitBtn_MEC16_WRONG");
  EXPECT_NONFATAL_FAILURE(view.setGauge("CGauge_WRONG", 1), "No control named CGauge_WRONG");
  EXPECT_NONFATAL_FAILURE(view.setGaugeMax("CGauge_WRONG", 10), "No control named CGauge_WRONG");
  EXPECT_NONFATAL_FAILURE(view.setGaugeColour("CGauge_WRONG", colour::kRed), "No control named CGauge_WRONG");
  EXPECT_NONFATAL_FAILURE(view.setCaption("EXIT_WRONG", "STOP"), "No control named EXIT_WRONG");
  EXPECT_NONFATAL_FAILURE(view.paint("Shape_WRONG", colour::kRed), "No control named Shape_WRONG");
  EXPECT_NONFATAL_FAILURE(view.select("CheckBox_WRONG", 1), "No control named CheckBox_WRONG");
  EXPECT_NONFATAL_FAILURE(view.setTimer("Timer_WRONG", false), "No control named Timer_WRONG");
  // The keyboard window paints its squares itself; a square it does not have is a miss too.
  EXPECT_NONFATAL_FAILURE(static_cast<TaskView&>(*windows.window<TKeyboard_testing>()).paint("Shape1", colour::kRed),
                          "No control named Shape1");
}

TEST(ControlNames, AControlOfAnotherWindowIsFound) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  // A name the window does not have is looked for in every window.
  static_cast<TaskView&>(*windows.Form1).setGaugeMax(update::control::kGauge, 40);
  EXPECT_EQ(windows.UPDATE_FORM->CGauge_UPD->maximum(), 40);
}

}  // namespace
}  // namespace jig
