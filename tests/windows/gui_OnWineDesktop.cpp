// The Windows program's windows on a real screen: Wine's own desktop of 1366x768 on an X
// display, which draws the windows' title bars and frames as Windows does. Every task window
// is opened from the main window through Start, as the technician opens it, and must fit
// the desktop with its title bar; each is pictured (JIG_SCREENSHOT_DIR). Then a KB90xx read
// is clicked in its window through a real COM port (JIG_COM_PORT, which the check maps to
// jig-sim's pseudo-terminal) and the dump must equal the simulator's flash (JIG_SIM_FLASH).
// Run by scripts/check-windows-port, which sets all of that up, with -platform windows (the
// window tests' main makes the offscreen platform the default).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/Backend.h"
#include "tests/support/Pictures.h"
#include "tests/support/TaskWindows.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

constexpr int kOpenBoundMs = 60000;  // Start, with a firmware upload when the image differs
constexpr int kReadBoundMs = 120000;

// Waits for Wine to draw what was just shown.
void Settle() {
  for (int i = 0; i < 10; ++i) {
    QApplication::processEvents();
    QTest::qWait(50);
  }
}

// The window as the desktop shows it, title bar and frame included.
QImage Picture(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  return window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
}

// Opens the task through Start and returns its window once it shows.
TTaskWindow* OpenThroughStart(TWindows& windows, const QString& task) {
  windows.Form1->MAIN_SELECTOR->setCurrentText(task);
  EXPECT_EQ(windows.Form1->MAIN_SELECTOR->currentText(), task);
  QTest::mouseClick(windows.Form1->MAIN_CONNECT, Qt::LeftButton);
  TTaskWindow* opened = nullptr;
  const bool shown = QTest::qWaitFor(
      [&] {
        for (const auto& window : windows.tasks) {
          if (window->isVisible()) opened = window.get();
        }
        return opened != nullptr;
      },
      kOpenBoundMs);
  return shown ? opened : nullptr;
}

void BackToMain(TWindows& windows, TTaskWindow& task) {
  task.close();  // the close box acts as EXIT when the window is idle
  ASSERT_TRUE(QTest::qWaitFor([&] { return windows.Form1->isVisible(); }, 5000));
}

struct TaskRow {
  const char* task;     // the main window's item
  const char* picture;  // docs/wine-<picture>.png
};

TEST(OnWineDesktop, EveryTaskWindowOpensThroughStartAndFitsWithItsTitleBar) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_EQ(screen->geometry().size(), QSize(1366, 768)) << "run on a Wine desktop of 1366x768";
  const QRect desktop = screen->availableGeometry();
  sim::SimD2xx d2xx;
  d2xx.attach();
  TWindows windows(d2xx);
  windows.Form1->show();
  Settle();
  {
    SCOPED_TRACE("main window");
    const QRect frame = windows.Form1->frameGeometry();
    EXPECT_GT(windows.Form1->geometry().top(), frame.top()) << "no title bar drawn";
    EXPECT_TRUE(desktop.contains(frame));
    const QImage picture = Picture(*windows.Form1);
    EXPECT_GT(test::ColoursIn(picture), 8u);
    test::KeepPicture(picture, "wine-main");
  }
  const TaskRow rows[] = {{"EEPROM lcd (EDID)", "edid"},   {"Keyboard testing", "keyboard"},
                          {"KB9010/12/16/22", "kb90"},     {"MEC1609", "mec16"},
                          {"ITE chip", "ite"},             {"NPCE288N/388N", "npce"}};
  for (const TaskRow& row : rows) {
    SCOPED_TRACE(row.task);
    TTaskWindow* window = OpenThroughStart(windows, row.task);
    ASSERT_NE(window, nullptr) << "Start opened no window";
    Settle();
    const QRect frame = window->frameGeometry();
    const QRect inside = window->geometry();
    // Wine draws the title bar above the window's inside: the frame must hold it whole.
    EXPECT_GE(inside.top() - frame.top(), 15) << "no title bar drawn";
    EXPECT_TRUE(desktop.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                         << frame.height() << " on " << desktop.width() << "x" << desktop.height();
    const QImage picture = Picture(*window);
    EXPECT_EQ(picture.size(), frame.size());
    EXPECT_GT(test::ColoursIn(picture), 8u) << "an empty picture";
    test::KeepPicture(picture, QString("wine-") + row.picture);
    BackToMain(windows, *window);
  }
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

// The whole road on Windows: Start and the read through the COM port of the Win32 link, the
// dialog's answer given in the form Qt's dialogs give it, the dump written through the
// Windows file layer.
TEST(OnWineDesktop, Kb90ReadClickedInItsWindowThroughTheComPort) {
  const QString port = qEnvironmentVariable("JIG_COM_PORT");
  const QString flashFile = qEnvironmentVariable("JIG_SIM_FLASH");
  ASSERT_FALSE(port.isEmpty() || flashFile.isEmpty()) << "JIG_COM_PORT and JIG_SIM_FLASH name the port and its flash";
  Options options;
  options.ports = {port.toStdString()};
  Backend backend = MakeBackend(options);
  TWindows windows(*backend.d2xx);
  windows.Form1->show();
  Settle();
  TTaskWindow* opened = OpenThroughStart(windows, "KB9010/12/16/22");
  ASSERT_NE(opened, nullptr) << "Start through " << port.toStdString() << " opened no window";
  auto& kb90 = *windows.window<TKB901X_forms>();
  ASSERT_EQ(opened, &kb90);

  const test::TempDir dir;
  const QString dump = QDir::fromNativeSeparators(QString::fromStdString(dir.file("through-com.bin")));
  std::vector<bool> endings;
  kb90.endedSeen = [&](bool ok) { endings.push_back(ok); };
  kb90.dialogAnswer = [&](const FileDialog&) -> std::optional<std::string> { return dump.toStdString(); };
  QTest::mouseClick(kb90.KB901X_READ, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !endings.empty(); }, kReadBoundMs)) << "the read did not end";
  Settle();  // the verdict follows the end
  const QString log = kb90.findChild<QPlainTextEdit*>()->toPlainText();
  EXPECT_TRUE(endings.front()) << log.toStdString();
  EXPECT_TRUE(log.contains("Reading completed successfully.")) << log.toStdString();
  // The log names the dump as Windows writes paths, in the verdict too.
  EXPECT_TRUE(log.endsWith("RESULT: read OK, the dump is saved: " + QDir::toNativeSeparators(dump))) << log.toStdString();
  EXPECT_FALSE(log.contains(dump)) << log.toStdString();

  const std::vector<std::uint8_t> got = test::ReadFileBytes(dir.file("through-com.bin"));
  EXPECT_EQ(got.size(), 131072u);
  EXPECT_TRUE(got == test::ReadFileBytes(flashFile.toStdString())) << "the dump differs from the simulator's flash";
  test::KeepPicture(Picture(kb90), "wine-kb90-read-com5");
  BackToMain(windows, kb90);
}

}  // namespace
}  // namespace jig
