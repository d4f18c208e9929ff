// Every window on the usual bench laptop: a 1366x768 screen less a 40-pixel panel. Runs on
// an offscreen screen of that size whose windows have frames (1366x768.json).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QTableView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>

#include <functional>
#include <string>
#include <vector>

#include "gui/TCompareWindow.h"
#include "tests/support/TaskWindows.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

// The shown widgets of a window whose text is cut: a label narrower than its text (one that
// wraps: lower than its lines), a button or check box narrower than its caption, a line edit
// (an editable list's too) narrower than its text. Each as "name: text".
std::vector<std::string> CutTexts(const QWidget& window) {
  std::vector<std::string> cut;
  auto name = [](const QWidget* widget, const QString& text) {
    const QString who = widget->objectName().isEmpty() ? QString(widget->metaObject()->className()) : widget->objectName();
    return (who + ": " + text).toStdString();
  };
  for (const QWidget* widget : window.findChildren<QWidget*>()) {
    if (!widget->isVisible()) continue;
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
      const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                          : label->sizeHint().width() <= label->width();
      if (!fits) cut.push_back(name(label, label->text()));
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
      if (!button->text().isEmpty() && button->sizeHint().width() > button->width()) cut.push_back(name(button, button->text()));
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
      // What the line edit keeps around its text: its frame, its text margins and two pixels
      // on each side.
      const int frame = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit) : 0;
      const QMargins margins = edit->textMargins() + edit->contentsMargins();
      const int room = edit->width() - 2 * frame - margins.left() - margins.right() - 2 * 2;
      const QWidget* owner = qobject_cast<const QComboBox*>(edit->parentWidget()) ? edit->parentWidget() : edit;
      if (edit->fontMetrics().horizontalAdvance(edit->text()) > room) cut.push_back(name(owner, edit->text()));
    }
  }
  return cut;
}

// The check above sees a cut text: a label, a caption and an editable list's prompt in widgets
// too narrow for them, and none once they are wide enough.
TEST(ScreenFit, ACutTextIsSeen) {
  const QString prompt = "Step 2 -> Select FFC cable you used";
  struct Case {
    const char* what;
    std::function<QWidget*(QWidget*)> make;
  };
  const Case cases[] = {
      {"label", [&](QWidget* parent) { return new QLabel(prompt, parent); }},
      {"check box", [&](QWidget* parent) { return new QCheckBox(prompt, parent); }},
      {"editable list", [&](QWidget* parent) {
         auto* list = new QComboBox(parent);
         list->setEditable(true);
         list->addItem("18 pin");
         list->setEditText(prompt);
         return list;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QWidget window;
    QWidget* widget = c.make(&window);
    widget->setObjectName("probe");
    window.show();
    widget->setGeometry(0, 0, 90, widget->sizeHint().height());
    QApplication::processEvents();
    EXPECT_EQ(CutTexts(window), std::vector<std::string>{"probe: " + prompt.toStdString()});
    widget->setGeometry(0, 0, 600, widget->sizeHint().height());
    QApplication::processEvents();
    EXPECT_EQ(CutTexts(window), std::vector<std::string>{});
  }
}

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
    EXPECT_EQ(CutTexts(*window), std::vector<std::string>{}) << "as first shown";
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
    // Nothing inside is squeezed below what its layout needs, and no text is cut.
    if (window->layout()) {
      EXPECT_EQ(window->size().expandedTo(window->layout()->minimumSize()), window->size());
    }
    EXPECT_EQ(CutTexts(*window), std::vector<std::string>{});
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

// Two 192 KiB dumps side by side: both sides' sixteen columns in sight without scrolling
// sideways, each range shown in the table's middle, and the window, frame included, above
// the panel.
TEST(ScreenFit, TheCompareWindowShowsBothSidesWhole) {
  std::vector<std::uint8_t> image(192 * 1024, 0x5A);
  std::vector<std::uint8_t> readBack = image;
  readBack[0x1234] = 0x00;
  readBack[0x2F000] = 0x00;
  auto* window = OpenCompareWindow(nullptr, {"image.bin", image}, {"read-back", readBack});
  QApplication::processEvents();
  auto* view = window->findChild<QTableView*>("CompareTable");
  ASSERT_NE(view, nullptr);
  // Each range shown is in sight, near the table's middle.
  const auto inSight = [view] {
    const QRect cell = view->visualRect(view->currentIndex());
    return view->viewport()->rect().contains(cell) &&
           std::abs(cell.center().y() - view->viewport()->rect().center().y()) <= cell.height();
  };
  EXPECT_EQ(view->currentIndex().row(), 0x123);
  EXPECT_TRUE(inSight());
  window->nextDifference();
  EXPECT_EQ(view->currentIndex().row(), 0x2F00);
  EXPECT_TRUE(inSight());
  const QSize frame = window->frameGeometry().size();
  EXPECT_LE(frame.width(), 1366);
  EXPECT_LE(frame.height(), 728);
  EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0) << "a side's columns are cut";
  EXPECT_EQ(CutTexts(*window), std::vector<std::string>{});
  window->close();
}

}  // namespace
}  // namespace jig
