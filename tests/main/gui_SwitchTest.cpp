// Start in the real windows: the update window shows the switch with a moving gauge,
// then the task window opens; a failed switch leaves EXIT to the user.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTest>

#include "tests/support/GuiLog.h"
#include "tests/support/TaskWindows.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

class ShowCounter : public QObject {
 public:
  int shows = 0;
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show) ++shows;
    return QObject::eventFilter(object, event);
  }
};

struct Windows {
  explicit Windows(sim::SimOptions options) {
    d2xx.attach(std::move(options));
    windows = std::make_unique<TWindows>(d2xx);
    windows->Form1->form()->settings().imageFolders = {JIG_BINARY_DIR};
    windows->Form1->show();
    windows->UPDATE_FORM->installEventFilter(&updateShows);
    QObject::connect(windows->UPDATE_FORM->CGauge_UPD, &QProgressBar::valueChanged,
                     [this](int value) { gaugeValues.push_back(value); });
  }
  ~Windows() { windows->Form1->form()->waitForSwitch(); }
  void start(const QString& task) {
    windows->Form1->MAIN_SELECTOR->setCurrentText(task);
    QTest::mouseClick(windows->Form1->MAIN_CONNECT, Qt::LeftButton);
  }
  QString log() const { return windows->UPDATE_FORM->Memo_UPDATE->toPlainText(); }

  sim::SimD2xx d2xx;
  std::unique_ptr<TWindows> windows;
  ShowCounter updateShows;
  std::vector<int> gaugeValues;
};

TEST(SwitchWindow, StartSwitchesAndOpensTheTaskWindow) {
  sim::SimOptions options;
  options.wireTime = true;  // bytes take their time: the gauge has time to move
  Windows w(options);
  w.start("MEC1609");
  // A new choice while the switch runs does not change the window that opens: its
  // firmware is the one loaded.
  w.windows->Form1->MAIN_SELECTOR->setCurrentText("KB9010/12/16/22");
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.windows->window<TMEC16_Form>()->isVisible(); }, 15000)) << w.log().toStdString();
  EXPECT_FALSE(w.windows->window<TKB901X_forms>()->isVisible());
  EXPECT_EQ(w.updateShows.shows, 1);
  EXPECT_FALSE(w.windows->UPDATE_FORM->isVisible());
  EXPECT_FALSE(w.windows->Form1->isVisible());
  EXPECT_TRUE(w.log().contains("Exit from BOOT and RUN ... "));
  EXPECT_TRUE(w.log().contains("отправлено EOF корректно"));
  // The gauge went up step by step to its maximum, the last used address.
  EXPECT_EQ(w.windows->UPDATE_FORM->CGauge_UPD->maximum(), 0x0A3F);
  ASSERT_GT(w.gaugeValues.size(), 50u);
  EXPECT_TRUE(std::is_sorted(w.gaugeValues.begin(), w.gaugeValues.end()));
  EXPECT_EQ(w.gaugeValues.back(), 0x0A3F);
  EXPECT_EQ(w.d2xx.programmer(0).image(), "V42");
  EXPECT_EQ(w.d2xx.openHandles(), 0u);
}

TEST(SwitchWindow, Timer5SecEndsTheBootPhaseAndExitClears) {
  sim::SimOptions options;
  options.faults = {{"no-boot-jump", ""}, {"no-reset", ""}};
  Windows w(options);
  // Only the window's timer ends the boot phase here; it is shortened, not waited out.
  w.windows->Form1->form()->settings().bootWindow = std::chrono::seconds(60);
  w.windows->Form1->Timer_5SEC->setInterval(200);
  w.start("ITE chip");
  auto* exit = w.windows->UPDATE_FORM->SpeedButton_UPD_EXIT;
  ASSERT_TRUE(QTest::qWaitFor([&] { return exit->isEnabled(); }, 10000)) << w.log().toStdString();
  const QPlainTextEdit* memo = w.windows->UPDATE_FORM->Memo_UPDATE;
  EXPECT_EQ(test::DocumentedLines(memo, Qt::SkipEmptyParts).last(), "You did not press the reset button or error response BOOT_loader");
  EXPECT_TRUE(w.log().endsWith("RESULT: firmware switch FAILED, the task window does not open; no chip was touched."));
  EXPECT_TRUE(w.windows->UPDATE_FORM->isVisible());
  EXPECT_FALSE(w.windows->Form1->Timer_5SEC->isActive());
  EXPECT_EQ(w.windows->Form1->form()->BootTimeoutFlag.load(), 1);
  QTest::mouseClick(exit, Qt::LeftButton);
  EXPECT_TRUE(w.log().isEmpty());
  EXPECT_FALSE(exit->isEnabled());
  EXPECT_FALSE(w.windows->UPDATE_FORM->isVisible());
  EXPECT_TRUE(w.windows->Form1->isVisible());
  EXPECT_FALSE(w.windows->window<TITE_FORM>()->isVisible());
}

}  // namespace
}  // namespace jig
