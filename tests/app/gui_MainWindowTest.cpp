// The windows as the program creates them, offscreen: captions, flags, the selector, and
// Start with no task, with no programmer and with a programmer whose firmware fits.
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <stdexcept>

#include "app/Families.h"
#include "app/TApplication.h"
#include "gui/TTaskWindowMakers.h"
#include "tests/support/TaskWindows.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

TEST(Windows, AreCreatedOnceWithTheirCaptionsAndOnlyTheMainOneShows) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  windows.Form1->show();
  EXPECT_EQ(windows.Form1->windowTitle(), "Holbrenik_JIG  VER4.92  21/08/2016");
  EXPECT_EQ(windows.window<TEDID_form>()->windowTitle(), "EEPROM LCD read/write VER4.1");
  EXPECT_EQ(windows.window<TKB901X_forms>()->windowTitle(), "KB9010/9012/9016/9022  programming VER4.1+");
  EXPECT_EQ(windows.window<TKeyboard_testing>()->windowTitle(), "Keyboard_testing");
  EXPECT_EQ(windows.window<TMEC16_Form>()->windowTitle(), QString::fromUtf8("Чтение и запись MEC16 09_06_16"));
  EXPECT_EQ(windows.window<TITE_FORM>()->windowTitle(), "ITE 20_06_2016");
  EXPECT_EQ(windows.window<TNPCE_FORM>()->windowTitle(), "NPCE288N/388N 16_05_2016");
  EXPECT_EQ(windows.UPDATE_FORM->windowTitle(), "UPDATE_FORM");
  EXPECT_TRUE(windows.Form1->isVisible());
  for (QWidget* other : {static_cast<QWidget*>(windows.window<TEDID_form>()), static_cast<QWidget*>(windows.UPDATE_FORM.get()),
                         static_cast<QWidget*>(windows.window<TNPCE_FORM>())})
    EXPECT_FALSE(other->isVisible());
  const Qt::WindowFlags flags = windows.Form1->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(windows.Form1->minimumSize(), windows.Form1->maximumSize()) << "fixed size";
  EXPECT_TRUE(windows.UPDATE_FORM->windowFlags() & Qt::WindowStaysOnTopHint);

  QStringList items;
  for (int i = 0; i < windows.Form1->MAIN_SELECTOR->count(); ++i) items << windows.Form1->MAIN_SELECTOR->itemText(i);
  EXPECT_EQ(items, (QStringList{"Please select ", "EEPROM lcd (EDID)", "Keyboard testing", "KB9010/12/16/22",
                                "MEC1609", "ITE chip", "NPCE288N/388N"}));
  EXPECT_EQ(windows.Form1->MAIN_SELECTOR->currentIndex(), 0);
  EXPECT_EQ(windows.Form1->Timer_RUN->interval(), 300);
  EXPECT_EQ(windows.Form1->Timer_5SEC->interval(), 5000);
}

// One window per family, in the family list's order, made by the maker its window file
// registered, and found by Start under the name its task row gives.
TEST(Windows, EachFamilyGetsTheWindowItsTaskRowNames) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  const auto families = Families();
  ASSERT_EQ(windows.tasks.size(), families.size());
  for (std::size_t i = 0; i < families.size(); ++i) {
    const QString name = QString::fromUtf8(families[i]->task.window.data(), families[i]->task.window.size());
    EXPECT_EQ(TTaskWindow::Find(name), windows.tasks[i].get()) << name.toStdString();
  }
  EXPECT_EQ(FindTaskWindowMaker("TNO_SUCH_FORM"), nullptr);
}

TEST(Start, WithNothingSelectedOpensNothing) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach();
  TWindows windows(d2xx);
  windows.Form1->show();
  QTest::mouseClick(windows.Form1->MAIN_CONNECT, Qt::LeftButton);
  QTest::qWait(50);
  EXPECT_TRUE(programmer.transcript().empty());
  EXPECT_FALSE(windows.UPDATE_FORM->isVisible());
}

// Start with nothing chosen still opens nothing; the status line under the buttons says what
// is missing, whole, until a task is chosen.
TEST(Start, WithNothingSelectedSaysToPickATaskFirst) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach();
  TWindows windows(d2xx);
  TForm1& main = *windows.Form1;
  main.show();
  EXPECT_TRUE(main.Label_MAIN_STATUS->text().isEmpty());
  QTest::mouseClick(main.MAIN_CONNECT, Qt::LeftButton);
  EXPECT_EQ(main.Label_MAIN_STATUS->text(), "Pick a task in the list first, then press Start.");
  EXPECT_LE(main.Label_MAIN_STATUS->sizeHint().width(), main.Label_MAIN_STATUS->width()) << "cut in the fixed window";
  EXPECT_TRUE(programmer.transcript().empty());
  EXPECT_FALSE(windows.UPDATE_FORM->isVisible());
  main.MAIN_SELECTOR->setFocus();
  QTest::keyClick(main.MAIN_SELECTOR, Qt::Key_Down);  // the user chooses the next item
  EXPECT_EQ(main.MAIN_SELECTOR->currentIndex(), 1);
  EXPECT_TRUE(main.Label_MAIN_STATUS->text().isEmpty());
}

// Each time the windows are made, the main window shows "Please select ", also after an
// earlier set of windows ran a task. Coming back from a task window, it is the window the
// technician left (hidden, not made anew): the task chosen stays chosen.
TEST(Windows, MainWindowShowsPleaseSelectAtEveryStart) {
  struct Case {
    const char* task;
    const char* exit;  // the task window's exit control
  };
  const Case cases[] = {{"KB9010/12/16/22", "EXIT_KB901X"}, {"EEPROM lcd (EDID)", "EXIT_EDID"},
                        {"Keyboard testing", "EXIT_KB_TEST"}};
  sim::SimD2xx d2xx;
  d2xx.attach();  // runs the image these three tasks share: no switch
  for (const Case& c : cases) {
    SCOPED_TRACE(c.task);
    TWindows windows(d2xx);
    TForm1& main = *windows.Form1;
    main.show();
    EXPECT_EQ(main.MAIN_SELECTOR->currentIndex(), 0);
    EXPECT_EQ(main.MAIN_SELECTOR->currentText(), "Please select ");
    main.MAIN_SELECTOR->setCurrentText(c.task);
    QTest::mouseClick(main.MAIN_CONNECT, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !main.isVisible(); }, 3000)) << "the task window did not open";
    QPushButton* exit = nullptr;
    for (const auto& task : windows.tasks)
      if (!exit && task->isVisible()) exit = task->findChild<QPushButton*>(c.exit);
    ASSERT_NE(exit, nullptr);
    QTest::mouseClick(exit, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.isVisible(); }, 1000));
    EXPECT_EQ(main.MAIN_SELECTOR->currentText(), c.task) << "back from the task window";
  }
}

TEST(Start, WithoutAProgrammerShowsTheBoxAndLeavesTheWindowAsItWas) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  std::vector<std::string> boxes;
  windows.Form1->errorBoxSeen = [&](const std::string& text) { boxes.push_back(text); };
  windows.Form1->show();
  windows.Form1->MAIN_SELECTOR->setCurrentIndex(3);
  QTest::mouseClick(windows.Form1->MAIN_CONNECT, Qt::LeftButton);
  EXPECT_EQ(boxes, std::vector<std::string>{"JIG not connected to the USB port!"});
  EXPECT_TRUE(windows.Form1->isVisible());
  EXPECT_TRUE(windows.Form1->MAIN_CONNECT->isEnabled());
  EXPECT_FALSE(windows.UPDATE_FORM->isVisible());
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

TEST(Start, FittingFirmwareOpensTheTaskWindowAndExitComesBack) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach();
  TWindows windows(d2xx);
  windows.Form1->show();
  windows.Form1->MAIN_SELECTOR->setCurrentText("KB9010/12/16/22");
  QTest::mouseClick(windows.Form1->MAIN_CONNECT, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return windows.window<TKB901X_forms>()->isVisible(); }, 3000));
  EXPECT_FALSE(windows.Form1->isVisible());
  EXPECT_FALSE(windows.UPDATE_FORM->isVisible());
  EXPECT_EQ(programmer.hostBytes(), std::vector<std::uint8_t>{'B'}) << "only the 'B' of Start was sent";
  EXPECT_EQ(d2xx.openHandles(), 0u);
  auto* exit = windows.window<TKB901X_forms>()->findChild<QPushButton*>("EXIT_KB901X");
  ASSERT_NE(exit, nullptr);
  QTest::mouseClick(exit, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return windows.Form1->isVisible(); }, 1000));
  EXPECT_FALSE(windows.window<TKB901X_forms>()->isVisible());
}

// An error escaping an event handler is shown in the error box and ends the event loop
// with status 1 instead of unwinding through Qt.
TEST(EscapedError, IsShownAndEndsTheProgram) {
  auto* application = dynamic_cast<TApplication*>(QCoreApplication::instance());
  ASSERT_NE(application, nullptr);
  QStringList boxes;
  application->failureSeen = [&](const QString& text) { boxes << text; };
  QTimer::singleShot(0, [] { throw std::runtime_error("the disk went away"); });
  QEventLoop loop;
  QTimer::singleShot(3000, &loop, [&] { loop.exit(99); });
  EXPECT_EQ(loop.exec(), 1);
  EXPECT_EQ(boxes, QStringList{"the disk went away"});
  EXPECT_TRUE(application->hasFailed());
  application->failureSeen = nullptr;
}

}  // namespace
}  // namespace jig
