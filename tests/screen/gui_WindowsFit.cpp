// Every window on the usual bench laptop: a 1366x768 screen less a 40-pixel panel. Runs on
// an offscreen screen of that size whose windows have frames (1366x768.json).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLayout>
#include <QScreen>

#include "tests/support/TaskWindows.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

TEST(ScreenFit, FramesAreShrunkCentredAndClamped) {
  struct Case {
    const char* what;
    QRect available, frame;
    QSize minimum;
    bool centre;
    QRect expected;
  };
  const QRect laptop(0, 0, 1366, 728);         // the panel at the bottom
  const QRect panelOnTop(0, 40, 1366, 728);
  const Case cases[] = {
      {"small, centred", laptop, {0, 0, 428, 142}, {428, 142}, true, {469, 293, 428, 142}},
      {"centred below a top panel", panelOnTop, {0, 0, 428, 142}, {428, 142}, true, {469, 333, 428, 142}},
      {"too tall: shrunk to the area", laptop, {0, -30, 1124, 866}, {600, 500}, true, {121, 0, 1124, 728}},
      {"minimum above the area: title bar kept on it", {0, 0, 800, 600}, {0, 0, 790, 700}, {790, 700}, true,
       {5, 0, 790, 700}},
      {"shown again above the area: clamped, not centred", laptop, {-30, -40, 500, 400}, {}, false, {0, 0, 500, 400}},
      {"shown again below it", laptop, {1300, 700, 200, 100}, {}, false, {1166, 628, 200, 100}},
      {"shown again inside: left where the user put it", laptop, {10, 20, 200, 100}, {}, false, {10, 20, 200, 100}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TTaskWindow::FitFrame(c.available, c.frame, c.minimum, c.centre), c.expected) << c.what;
}

TEST(ScreenFit, EveryWindowFitsTheLaptopScreenLessItsPanel) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_EQ(screen->geometry(), QRect(0, 0, 1366, 768))
      << "run with QT_QPA_PLATFORM=offscreen:configfile=tests/screen/1366x768.json";
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  const QRect withPanel(0, 0, 1366, 728);
  const std::vector<TTaskWindow*> all = {windows.Form1.get(),      windows.window<TEDID_form>(),
                                         windows.window<TKB901X_forms>(), windows.window<TKeyboard_testing>(),
                                         windows.window<TMEC16_Form>(), windows.window<TITE_FORM>(),
                                         windows.window<TNPCE_FORM>(),  windows.UPDATE_FORM.get()};
  for (TTaskWindow* window : all) {
    SCOPED_TRACE(window->objectName().toStdString());
    window->show();
    QApplication::processEvents();
    ASSERT_NE(window->frameGeometry(), window->geometry()) << "the screen's windows have frames";
    EXPECT_TRUE(screen->availableGeometry().contains(window->frameGeometry())) << "as first shown";
    // The same windows above a 40-pixel panel.
    window->placeOn(withPanel, true);
    QApplication::processEvents();
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(withPanel.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                           << frame.height();
    EXPECT_LE(std::abs(frame.center().x() - withPanel.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - withPanel.center().y()), 1);
    // Nothing inside is squeezed below what its layout needs.
    if (window->layout()) {
      EXPECT_EQ(window->size().expandedTo(window->layout()->minimumSize()), window->size());
    }
    window->hide();
  }
  // The keyboard grid is drawn smaller there, with every pair in sight.
  auto& keyboard = *windows.window<TKeyboard_testing>();
  keyboard.show();
  keyboard.placeOn(withPanel, true);
  QApplication::processEvents();
  EXPECT_LT(keyboard.Matrix->scale(), 1.0);
  EXPECT_GE(keyboard.Matrix->scale(), TKeyboardMatrix::kMinimumScale);
  EXPECT_TRUE(keyboard.Matrix->rect().contains(keyboard.Matrix->shownRect({31, 32})));
  EXPECT_TRUE(keyboard.Matrix->rect().contains(keyboard.Matrix->shownRect({1, 2})));
  keyboard.hide();
}

}  // namespace
}  // namespace jig
