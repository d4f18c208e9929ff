#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include "tests/support/GuiWait.h"
#include "Keyboard/TKeyboard_testing.h"
#include "sim/KeyboardSim.h"
#include "sim/SimD2xx.h"
#include "tests/support/WindowScript.h"

namespace jig {

using namespace keyboard;
namespace {

using Raw = std::vector<std::uint8_t>;  // a report's bytes as the programmer sends them

bool SpinUntil(const std::function<bool()>& done, int boundMs = 3000) { return jig::test::RunEventsUntil(done, boundMs); }

sim::SimOptions NothingPressed() {
  sim::SimOptions options;
  options.faults["keyboard-script"] = "0:";
  return options;
}

struct KeyboardWindowBench : test::WindowScript {
  explicit KeyboardWindowBench(sim::SimOptions options = NothingPressed())
      : programmer(d2xx.attach(std::move(options))), window(d2xx, KeyboardBounds{1000, 1000}) {
    hook(window);
  }
  sim::KeyboardSim& keyboard() { return dynamic_cast<sim::KeyboardSim&>(*programmer.commandSet("KEYBOARD")); }
  std::optional<Rgb> colour(const char* name) const { return window.Matrix->shapeColour(name); }

  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  TKeyboard_testing window;
};

TEST(KeyboardWindow, ControlsAndIndicatorLayout) {
  KeyboardWindowBench bench;
  auto& w = bench.window;
  EXPECT_EQ(w.windowTitle(), "Keyboard_testing");
  EXPECT_EQ(w.START_SCAN->text(), "START SCAN");
  EXPECT_EQ(w.EXIT_KB_TEST->text(), "EXIT");
  EXPECT_EQ(w.Clear->text(), "Clear");
  EXPECT_EQ(w.Buzzer_box->text(), " No sound");
  EXPECT_FALSE(w.Buzzer_box->isChecked());
  EXPECT_EQ(w.Timer_keyboard_scan->interval(), 100);
  EXPECT_FALSE(w.Timer_keyboard_scan->isActive());
  for (const LinePair& pair : AllPairs())
    ASSERT_EQ(bench.colour(IndicatorName(pair).c_str()), colour::kAqua) << IndicatorName(pair);
  EXPECT_FALSE(bench.colour("Shape1").has_value());
  EXPECT_FALSE(bench.colour("Shape131").has_value());  // (5, 3)
  EXPECT_FALSE(bench.colour("Shape993").has_value());
  const auto* m = w.Matrix;
  // 24 pixels apart, 8 more after every fifth row and column.
  EXPECT_EQ(m->shapeRect({1, 3}).left() - m->shapeRect({1, 2}).left(), 24);
  EXPECT_EQ(m->shapeRect({1, 7}).left() - m->shapeRect({1, 6}).left(), 32);
  EXPECT_EQ(m->shapeRect({2, 10}).top() - m->shapeRect({1, 10}).top(), 24);
  EXPECT_EQ(m->shapeRect({6, 10}).top() - m->shapeRect({5, 10}).top(), 32);
  EXPECT_TRUE(QRect(QPoint(), m->sizeHint()).contains(m->shapeRect({31, 32})));
}

TEST(KeyboardWindow, ScanByClicksRedYellowClearAndStop) {
  KeyboardWindowBench bench;
  bench.keyboard().queueReport(Raw({'>', 1, 2, 3, '&'}));
  bench.keyboard().queueReport(Raw({'>', 1, 2, '&'}));
  auto& w = bench.window;
  w.show();
  QTest::mouseClick(w.START_SCAN, Qt::LeftButton);
  EXPECT_FALSE(w.START_SCAN->isEnabled());
  EXPECT_EQ(w.EXIT_KB_TEST->text(), "STOP");
  EXPECT_TRUE(w.Timer_keyboard_scan->isActive());
  EXPECT_TRUE(w.Memo_keyboard->toPlainText().contains("Настроили порт 0"));
  ASSERT_TRUE(SpinUntil([&] { return bench.colour("Shape2") == colour::kYellow; }));
  EXPECT_EQ(bench.colour("Shape3"), colour::kRed);

  // The pixels show it too.
  const QImage picture = w.Matrix->grab().toImage();
  EXPECT_EQ(picture.pixelColor(w.Matrix->shownRect({1, 2}).center()), QColor(255, 255, 0));
  EXPECT_EQ(picture.pixelColor(w.Matrix->shownRect({1, 3}).center()), QColor(255, 0, 0));
  EXPECT_EQ(picture.pixelColor(w.Matrix->shownRect({1, 4}).center()), QColor(0, 255, 255));
  if (const QByteArray dir = qgetenv("JIG_SCREENSHOT_DIR"); !dir.isEmpty()) {
    w.paint("Shape116", colour::kRed);
    w.paint("Shape300", colour::kYellow);
    w.paint("Shape768", colour::kRed);  // (24, 32)
    QApplication::processEvents();
    w.grab().save(QString::fromUtf8(dir) + "/keyboard-window.png");
  }

  QTest::mouseClick(w.Clear, Qt::LeftButton);
  EXPECT_EQ(bench.colour("Shape2"), colour::kAqua);
  EXPECT_EQ(bench.colour("Shape3"), colour::kAqua);

  bench.keyboard().queueReport(Raw({'>', 1, 3, '&'}));
  ASSERT_TRUE(SpinUntil([&] { return bench.colour("Shape3") == colour::kRed; }));

  QTest::mouseClick(w.EXIT_KB_TEST, Qt::LeftButton);  // STOP
  ASSERT_TRUE(SpinUntil([&] { return !bench.endings.empty(); }));
  EXPECT_EQ(bench.endings, std::vector<bool>{true});
  EXPECT_TRUE(w.START_SCAN->isEnabled());
  EXPECT_EQ(w.EXIT_KB_TEST->text(), "EXIT");
  EXPECT_FALSE(w.Timer_keyboard_scan->isActive());
  EXPECT_EQ(bench.programmer.hostBytes().back(), 'Q');
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_TRUE(w.isVisible());

  QTest::mouseClick(w.EXIT_KB_TEST, Qt::LeftButton);  // EXIT
  QApplication::processEvents();
  EXPECT_FALSE(w.isVisible());
}

// Clear pressed while the worker's paints still wait for the GUI thread: those paints land
// before the aqua, so every indicator ends aqua, as the colour record says; a report after
// Clear paints on top of it.
TEST(KeyboardWindow, ClearComesAfterPaintsAlreadyHandedOver) {
  KeyboardWindowBench bench;
  bench.keyboard().queueReport(Raw({'>', 1, 2, 3, 4, '>', 7, 8, '&'}));
  auto& w = bench.window;
  QTest::mouseClick(w.START_SCAN, Qt::LeftButton);
  // The GUI thread does not run its queue here: the paints wait in it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (w.operations().colourOf({7, 8}) != colour::kRed && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(w.operations().colourOf({7, 8}), colour::kRed);
  QTest::mouseClick(w.Clear, Qt::LeftButton);
  QApplication::processEvents();
  for (const LinePair& pair : AllPairs()) {
    ASSERT_EQ(bench.colour(IndicatorName(pair).c_str()), colour::kAqua) << IndicatorName(pair);
    ASSERT_EQ(w.operations().colourOf(pair), colour::kAqua) << IndicatorName(pair);
  }
  bench.keyboard().queueReport(Raw({'>', 1, 3, '&'}));
  ASSERT_TRUE(SpinUntil([&] { return bench.colour("Shape3") == colour::kRed; }));
  EXPECT_EQ(bench.colour("Shape2"), colour::kAqua);
  EXPECT_EQ(bench.colour("Shape200"), colour::kAqua);
  QTest::mouseClick(w.EXIT_KB_TEST, Qt::LeftButton);
  ASSERT_TRUE(SpinUntil([&] { return !bench.endings.empty(); }));
}

// Beside the matrix, the pairs closed since the last Clear as text, in the order they first
// closed: a pair named again (yellow) keeps its place, Clear empties the list.
TEST(KeyboardWindow, ClosedPairsAreListedAsTextUntilClear) {
  KeyboardWindowBench bench;
  auto& w = bench.window;
  auto listed = [&] {
    QStringList items;
    for (int i = 0; i < w.Pairs_keyboard->count(); ++i) items << w.Pairs_keyboard->item(i)->text();
    return items;
  };
  EXPECT_EQ(w.Label_pairs->text(), "Pairs closed (row - column):");
  EXPECT_TRUE(listed().isEmpty());
  bench.keyboard().queueReport(Raw({'>', 1, 5, 3, '&'}));
  bench.keyboard().queueReport(Raw({'>', 1, 3, '>', 24, 32, '>', 5, 3, '&'}));  // (5, 3) has no indicator
  w.show();
  QTest::mouseClick(w.START_SCAN, Qt::LeftButton);
  ASSERT_TRUE(SpinUntil([&] { return bench.colour("Shape768") == colour::kRed; }));  // (24, 32)
  EXPECT_EQ(bench.colour("Shape3"), colour::kYellow);
  EXPECT_EQ(listed(), (QStringList{"1 - 5", "1 - 3", "24 - 32"}));

  QTest::mouseClick(w.Clear, Qt::LeftButton);
  EXPECT_TRUE(listed().isEmpty());
  bench.keyboard().queueReport(Raw({'>', 2, 7, '&'}));
  ASSERT_TRUE(SpinUntil([&] { return bench.colour("Shape39") == colour::kRed; }));  // (2, 7)
  EXPECT_EQ(listed(), QStringList{"2 - 7"});

  QTest::mouseClick(w.EXIT_KB_TEST, Qt::LeftButton);  // STOP
  ASSERT_TRUE(SpinUntil([&] { return !bench.endings.empty(); }));
  EXPECT_EQ(listed(), QStringList{"2 - 7"}) << "the list outlives the scan, as the matrix does";
}

// Each labelled column has its red number over it, the last one (32) too; the columns between
// them have none.
TEST(KeyboardWindow, ColumnNumbersStandOverTheirColumnsTheLastOneToo) {
  TKeyboardMatrix matrix(nullptr);
  matrix.resize(matrix.sizeHint());
  const QImage picture = matrix.grab().toImage();
  const std::set<int> labelled = {2, 6, 11, 16, 21, 26, 31, 32};
  for (int column = 2; column <= kMatrixLines; ++column) {
    const QRect cell = matrix.shapeRect({1, column});
    int red = 0;
    for (int y = 0; y < TKeyboardMatrix::kTop - 4; ++y)
      for (int x = cell.left(); x <= cell.right(); ++x) {
        const QColor pixel = picture.pixelColor(x, y);
        if (pixel.red() > 180 && pixel.green() < 90 && pixel.blue() < 90) ++red;
      }
    if (labelled.contains(column)) {
      EXPECT_GT(red, 5) << "no number over column " << column;
    } else {
      EXPECT_EQ(red, 0) << "a number over column " << column;
    }
  }
}

TEST(KeyboardWindow, NoSoundBoxKeepsTheProgrammerQuiet) {
  sim::SimOptions options;
  options.faults["keyboard-script"] = "0:7-8";
  KeyboardWindowBench bench(options);
  auto& w = bench.window;
  QTest::mouseClick(w.Buzzer_box, Qt::LeftButton);
  ASSERT_TRUE(w.Buzzer_box->isChecked());
  QTest::mouseClick(w.START_SCAN, Qt::LeftButton);
  ASSERT_TRUE(SpinUntil([&] { return bench.keyboard().requests() >= 3; }));
  QTest::mouseClick(w.EXIT_KB_TEST, Qt::LeftButton);
  ASSERT_TRUE(SpinUntil([&] { return !bench.endings.empty(); }));
  const auto host = bench.programmer.hostBytes();
  EXPECT_EQ(std::count(host.begin(), host.end(), 'I'), 0);
  EXPECT_NE(bench.colour("Shape200"), colour::kAqua);  // (7, 8)
}

TEST(KeyboardWindow, ClosingTheWindowMidScanLeavesTheProgrammerClosed) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach(NothingPressed());
  {
    TKeyboard_testing window(d2xx);
    QTest::mouseClick(window.START_SCAN, Qt::LeftButton);
    QTest::qWait(150);
  }
  EXPECT_EQ(programmer.hostBytes().back(), 'Q');
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig
