// Every window rendered offscreen after a representative simulated run: the main window,
// the update window in the middle of an upload, each task window after a successful
// operation, the keyboard window with pairs lit, and what the windows say before the first
// step is taken (Start with no task, the KB90xx wiring prompts, ITE read before APPLY), and
// what a failure looks like. With JIG_SCREENSHOT_DIR set, the pictures are written there
// as PNG (scripts/screenshots makes docs/ from them).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <functional>
#include <set>

#include "tests/support/GuiWait.h"
#include "tests/support/GuiLog.h"
#include "tests/support/Pictures.h"
#include "tests/support/TaskWindows.h"
#include "sim/KeyboardSim.h"
#include "sim/SimD2xx.h"
#include "tests/support/TestFiles.h"

namespace jig {

using namespace keyboard;
namespace {

bool Pump(const std::function<bool()>& done, int boundMs = 20000) { return jig::test::RunEventsUntil(done, boundMs); }

// A picture worth showing: the window's size, and more than a few colours in it. With a
// box given, the box is drawn over the window where it stands on the screen.
void Shoot(QWidget& window, const QString& name, QWidget* box = nullptr) {
  QApplication::processEvents();
  QImage picture = window.grab().toImage();
  ASSERT_FALSE(picture.isNull()) << name.toStdString();
  if (box) {
    const QImage over = box->grab().toImage();
    const double ratio = window.devicePixelRatio();
    QPoint at = (box->mapToGlobal(QPoint()) - window.mapToGlobal(QPoint())) * ratio;
    at.setX(std::clamp(at.x(), 0, std::max(0, picture.width() - over.width())));
    at.setY(std::clamp(at.y(), 0, std::max(0, picture.height() - over.height())));
    QPainter painter(&picture);
    painter.drawImage(at, over);
  }
  EXPECT_EQ(picture.size(), window.size() * window.devicePixelRatio()) << name.toStdString();
  EXPECT_GT(test::ColoursIn(picture), 8u) << name.toStdString() << ": an empty picture";
  test::KeepPicture(picture, name);
}

QString LogOf(QWidget& window) { return test::DocumentedLines(window.findChild<QPlainTextEdit*>()).join('\n'); }

// One task window with its own simulated programmer running the task's image.
template <class Window>
struct Bench {
  explicit Bench(const std::string& image, std::map<std::string, std::string> faults = {}) {
    sim::SimOptions options;
    options.image = image;
    options.faults = std::move(faults);
    programmer = &d2xx.attach(options);
  }
  template <class... Args>
  Window& open(Args&&... args) {
    window = std::make_unique<Window>(d2xx, std::forward<Args>(args)...);
    window->endedSeen = [this](bool ok) { endings.push_back(ok); };
    window->dialogAnswer = [this](const FileDialog&) -> std::optional<std::string> { return dir.file("dump.bin"); };
    window->show();
    return *window;
  }
  // Clicks and waits for the operation's end; true when it succeeded.
  bool run(QAbstractButton* button) {
    const std::size_t before = endings.size();
    QTest::mouseClick(button, Qt::LeftButton);
    return Pump([&] { return endings.size() > before; }) && endings.back();
  }
  test::TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimProgrammer* programmer = nullptr;
  std::unique_ptr<Window> window;
  std::vector<bool> endings;
};

struct SeenQuestion {
  QString text, yes;  // empty: no question was asked
  bool succeeded = false;
};
// Clicks and shoots the question the click asks, drawn over its window, then answers No and
// waits for the end.
template <class Window>
SeenQuestion ShootQuestion(Bench<Window>& bench, QAbstractButton* button, const QString& name) {
  SeenQuestion seen;
  QTimer look;
  look.setInterval(10);
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    look.stop();
    seen.text = box->text();
    seen.yes = box->button(QMessageBox::Yes)->text().remove('&');
    Shoot(*bench.window, name, box);
    box->button(QMessageBox::No)->click();
  });
  look.start();
  seen.succeeded = bench.run(button);
  return seen;
}

const std::filesystem::path kExampleData = std::filesystem::path(JIG_SOURCE_DIR) / "packaging" / "data";

TEST(Screenshots, MainWindowAndTheUpdateWindowMidUpload) {
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  options.wireTime = true;  // the upload takes its real time, so there is a middle to show
  d2xx.attach(options);
  TWindows windows(d2xx);
  windows.Form1->form()->settings().imageFolders = {JIG_BINARY_DIR};
  windows.Form1->show();
  windows.Form1->MAIN_SELECTOR->setCurrentText("MEC1609");
  Shoot(*windows.Form1, "main-window");

  bool shot = false;
  QProgressBar* gauge = windows.UPDATE_FORM->CGauge_UPD;
  QObject::connect(gauge, &QProgressBar::valueChanged, [&](int value) {
    if (!shot && value > gauge->maximum() / 2) {
      shot = true;
      Shoot(*windows.UPDATE_FORM, "update-window");
    }
  });
  QTest::mouseClick(windows.Form1->MAIN_CONNECT, Qt::LeftButton);
  EXPECT_TRUE(Pump([&] { return shot; }, 30000)) << "the upload never reached its middle";
  EXPECT_TRUE(LogOf(*windows.UPDATE_FORM).contains("HEX position_buff"));
  windows.Form1->form()->waitForSwitch();
}

TEST(Screenshots, TaskWindowsAfterASuccessfulOperation) {
  {
    Bench<TEDID_form> bench("V41");
    auto& w = bench.open();
    ASSERT_TRUE(bench.run(w.EDID_READ));
    Shoot(w, "edid-window");
  }
  {
    Bench<TKB901X_forms> bench("V41");
    auto& w = bench.open(std::vector<std::filesystem::path>{kExampleData});
    w.ComboBox_KB901X->setCurrentIndex(0);
    emit w.ComboBox_KB901X->activated(0);
    w.ComboBox_KB901X_FFC->setCurrentIndex(6);  // "30 pin"
    emit w.ComboBox_KB901X_FFC->activated(6);
    EXPECT_TRUE(w.Label_result->text().startsWith("Please connect GND and:"));
    ASSERT_TRUE(bench.run(w.KB901X_READ));
    EXPECT_TRUE(LogOf(w).contains("Reading completed successfully."));
    Shoot(w, "kb90-window");
  }
  {
    Bench<TMEC16_Form> bench("V42");
    auto& w = bench.open();
    ASSERT_TRUE(bench.run(w.BitBtn_MEC16));
    ASSERT_TRUE(bench.run(w.BitBtn_RD_MEC16));
    Shoot(w, "mec16-window");
  }
  {
    Bench<TITE_FORM> bench("ITE", {{"ite-connect-window-ms", "300"}});
    auto& w = bench.open((kExampleData / "MB connection ITE.txt").string());
    w.ITE_ComboBox_MB_SWITCH->setCurrentIndex(1);
    w.ITE_ComboBox_MB_SWITCHSelect();
    QTest::mouseClick(w.ITE_SETUP_BitBtn, Qt::LeftButton);
    QTest::mouseClick(w.ITE_CHECK_CON_BitBtn, Qt::LeftButton);
    ASSERT_TRUE(bench.run(w.ITE_READ_BitBtn));
    Shoot(w, "ite-window");
  }
  {
    Bench<TNPCE_FORM> bench("NPCE");
    auto& w = bench.open();
    ASSERT_TRUE(bench.run(w.NPCE_READ));
    Shoot(w, "npce-window");
  }
}

TEST(Screenshots, WhatTheWindowsSayBeforeTheFirstStep) {
  {
    sim::SimD2xx d2xx;
    d2xx.attach();
    TWindows windows(d2xx);
    windows.Form1->show();
    QTest::mouseClick(windows.Form1->MAIN_CONNECT, Qt::LeftButton);
    EXPECT_FALSE(windows.Form1->Label_MAIN_STATUS->text().isEmpty());
    Shoot(*windows.Form1, "main-window-pick-a-task");
  }
  {
    Bench<TKB901X_forms> bench("V41");
    auto& w = bench.open(std::vector<std::filesystem::path>{kExampleData});
    EXPECT_EQ(w.ComboBox_KB901X_FFC->currentText(), "Step 2 -> Select FFC cable you used");
    Shoot(w, "kb90-window-at-start");
  }
  {
    Bench<TITE_FORM> bench("ITE", {{"ite-connect-window-ms", "300"}});
    auto& w = bench.open((kExampleData / "MB connection ITE.txt").string());
    EXPECT_FALSE(bench.run(w.ITE_READ_BitBtn));
    EXPECT_TRUE(LogOf(w).endsWith(QString::fromUtf8("Сначала нажмите APPLY: выводы программатору ещё не переданы.")));
    // The how-to text above fills the log: its end is what this picture is about.
    w.ITE_Memo1->verticalScrollBar()->setValue(w.ITE_Memo1->verticalScrollBar()->maximum());
    Shoot(w, "ite-window-apply-first");
  }
}

// A Russian window's own dialogs: a close refused while a read runs, and a question with
// Qt's Yes and No in Russian (when Qt's translation is installed).
TEST(Screenshots, RussianWindowRefusingACloseAndAskingAQuestion) {
  {
    Bench<TMEC16_Form> bench("V42", {{"mec16-slow-blocks", "3000"}});
    auto& w = bench.open();
    QTest::mouseClick(w.BitBtn_RD_MEC16, Qt::LeftButton);
    ASSERT_TRUE(Pump([&] { return w.CGauge_MEC16->value() >= 3; }));
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(LogOf(w).endsWith(QString::fromUtf8("Окно не закрывается, пока идёт операция: закройте его, когда она закончится.")));
    Shoot(w, "mec16-close-refused");
    ASSERT_TRUE(Pump([&] { return !bench.endings.empty(); }, 60000));
    EXPECT_TRUE(bench.endings.back());
  }
  {
    Bench<TMEC16_Form> bench("V42");
    auto& w = bench.open();
    test::WriteFileBytes(bench.dir.file("dump.bin"), std::vector<std::uint8_t>(4096, 0x5A));  // short: asked about
    const QString yes = ShootQuestion(bench, w.BitBtn_MEC16_WRITE, "mec16-question").yes;
    EXPECT_FALSE(yes.isEmpty()) << "no question was asked";
    EXPECT_TRUE(LogOf(w).contains(QString::fromUtf8("Запись отменена; микросхема не тронута.")));
  }
}

// What a failure looks like: a read whose programmer fell silent (no file, red gauge), a
// write that did not verify (where the chip differs, the backup to restore from), and the
// question an erase asks first.
TEST(Screenshots, AFailedReadAFailedVerifyAndTheEraseQuestion) {
  {
    Bench<TKB901X_forms> bench("V41", {{"kb90-silence-block", "20"}});
    auto& w = bench.open(std::vector<std::filesystem::path>{kExampleData});
    w.ComboBox_KB901X->setCurrentIndex(0);
    emit w.ComboBox_KB901X->activated(0);
    w.ComboBox_KB901X_FFC->setCurrentIndex(6);
    emit w.ComboBox_KB901X_FFC->activated(6);
    ASSERT_FALSE(bench.run(w.KB901X_READ));
    EXPECT_TRUE(test::VerdictLines(w.findChild<QPlainTextEdit*>()).last().startsWith("RESULT: read FAILED"));
    EXPECT_FALSE(std::filesystem::exists(bench.dir.file("dump.bin")));
    Shoot(w, "kb90-failed-read");
  }
  {
    Bench<TNPCE_FORM> bench("NPCE", {{"npce-stuck-bit", "0x11170"}});
    auto& w = bench.open();
    std::vector<std::uint8_t> file(131072);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 7 + 3);
    file[0x11170] = 0x10;
    test::WriteFileBytes(bench.dir.file("dump.bin"), file);
    ASSERT_FALSE(bench.run(w.NPCE_WRITE));
    EXPECT_TRUE(test::VerdictLines(w.NPCE_Memo).last().contains("first difference at 00011170"));
    Shoot(w, "npce-failed-verify");
  }
  {
    Bench<TMEC16_Form> bench("V42");
    auto& w = bench.open();
    const SeenQuestion seen = ShootQuestion(bench, w.BitBtn_MEC16_ERASE, "mec16-erase-question");
    EXPECT_FALSE(seen.succeeded);
    EXPECT_FALSE(seen.text.isEmpty()) << "the erase asked nothing";
    EXPECT_TRUE(test::VerdictLines(w.findChild<QPlainTextEdit*>()).last().contains(QString::fromUtf8("не тронута")));
  }
}

TEST(Screenshots, KeyboardWindowWithPairsLit) {
  Bench<TKeyboard_testing> bench("V41", {{"keyboard-script", "0:"}});
  auto& w = bench.open(KeyboardBounds{1000, 1000});
  auto& keyboard = dynamic_cast<sim::KeyboardSim&>(*bench.programmer->commandSet("KEYBOARD"));
  keyboard.queueReport({'>', 1, 2, 3, '&'});
  keyboard.queueReport({'>', 1, 2, '&'});
  keyboard.queueReport({'>', 5, 20, '&'});
  keyboard.queueReport({'>', 24, 32, '&'});
  QTest::mouseClick(w.START_SCAN, Qt::LeftButton);
  ASSERT_TRUE(Pump([&] { return w.Matrix->shapeColour(IndicatorName({24, 32})) == colour::kRed; }, 5000));
  Shoot(w, "keyboard-window");
  QTest::mouseClick(w.EXIT_KB_TEST, Qt::LeftButton);  // STOP
  ASSERT_TRUE(Pump([&] { return !bench.endings.empty(); }, 5000));
  EXPECT_EQ(bench.endings, std::vector<bool>{true});
}

}  // namespace
}  // namespace jig
