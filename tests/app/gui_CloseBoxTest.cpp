// The frame's close box (and Alt+F4) on every task window: idle, it does what the window's
// EXIT does; while an operation runs, it is refused with one line in the window's language
// and the operation goes on to its end; once it has ended, a close closes.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>

#include "tests/support/FileSafetyCases.h"
#include "tests/support/GuiWait.h"
#include "tests/support/TaskBench.h"
#include "tests/support/TaskWindows.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

const std::filesystem::path kExampleData = std::filesystem::path(JIG_SOURCE_DIR) / "packaging" / "data";
const QString kRefusedEnglish = "The window stays open while an operation runs: close it once the operation has ended.";
const QString kRefusedRussian = "Окно не закрывается, пока идёт операция: закройте его, когда она закончится.";

// A hang guard: a transfer at wire speed under a sanitizer on a busy machine.
constexpr int kEndBoundMs = 60000;

struct Row {
  const char* name;
  const char* image;
  test::Faults faults;
  std::function<std::unique_ptr<TTaskWindow>(D2xx&)> make;
  const char* exit;
  const char* start;  // starts an operation that lasts
  bool russian;
  // Clicked once the refusal is seen, for an operation that runs until it is told to end.
  const char* endButton = nullptr;
  // Clicked before the operation (the ITE window needs its pins sent first).
  std::vector<const char*> before = {};
  // The operation runs in its click: the close comes while its file dialog is up.
  bool closeInDialog = false;
};

const Row kRows[] = {
    {"EDID", "V41", {}, [](D2xx& d) { return std::make_unique<TEDID_form>(d); }, "EXIT_EDID", "EDID_READ",
     false, nullptr, {}, true},
    {"KB90xx", "V41", {}, [](D2xx& d) { return std::make_unique<TKB901X_forms>(d, std::vector{kExampleData}); },
     "EXIT_KB901X", "KB901X_READ", false},
    {"keyboard", "V41", {{"keyboard-script", "0:"}},
     [](D2xx& d) { return std::make_unique<TKeyboard_testing>(d, KeyboardBounds{1000, 1000}); }, "EXIT_KB_TEST",
     "START_SCAN", false, "EXIT_KB_TEST"},
    {"MEC16xx", "V42", {}, [](D2xx& d) { return std::make_unique<TMEC16_Form>(d); }, "EXIT_MEC16", "BitBtn_RD_MEC16",
     true},
    {"ITE", "ITE", {{"ite-connect-window-ms", "300"}},
     [](D2xx& d) { return std::make_unique<TITE_FORM>(d, (kExampleData / "MB connection ITE.txt").string()); },
     "ITE_EXIT_BitBtn", "ITE_READ_BitBtn", true, nullptr, {"ITE_SETUP_BitBtn", "ITE_CHECK_CON_BitBtn"}},
    {"NPCE", "NPCE", {}, [](D2xx& d) { return std::make_unique<TNPCE_FORM>(d); }, "EXIT_NPCE", "NPCE_READ", false},
};

// One task window on its own simulated bench, shown, with a stand-in for the main window
// that its exit shows again.
struct Bench : test::WindowScript {
  explicit Bench(const Row& row) {
    sim::SimOptions options = test::Options(row.image, row.faults);
    options.wireTime = true;  // a transfer lasts long enough to be closed in its middle
    d2xx.attach(std::move(options));
    window = row.make(d2xx);
    hook(*window);
    answer = dir.file("dump.bin");
    if (row.name == std::string("ITE")) {
      auto* boards = window->findChild<QComboBox*>("ITE_ComboBox_MB_SWITCH");
      boards->setCurrentIndex(1);
      emit boards->activated(1);
    }
    window->show();
  }
  QAbstractButton* button(const char* name) const { return window->findChild<QAbstractButton*>(name); }
  QString log() const { return window->findChild<QPlainTextEdit*>()->toPlainText(); }
  int refusals(const Row& row) const { return log().count(row.russian ? kRefusedRussian : kRefusedEnglish); }

  test::ScratchBackupFolder backups;
  test::TempDir dir;
  sim::SimD2xx d2xx;
  TTaskWindow mainWindow{"Form1", "Holbrenik_JIG"};
  std::unique_ptr<TTaskWindow> window;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class CloseBox : public ::testing::TestWithParam<Row> {};

TEST_P(CloseBox, WhileIdleItIsTheWindowsExit) {
  const Row& row = GetParam();
  // What EXIT does, on a bench of its own (gone before the next, whose exit shows its main window).
  QString logAfterExit;
  std::vector<bool> endingsAfterExit;
  {
    Bench clicked(row);
    clicked.window->log("a line before the exit");
    QTest::mouseClick(clicked.button(row.exit), Qt::LeftButton);
    ASSERT_FALSE(clicked.window->isVisible());
    logAfterExit = clicked.log();
    endingsAfterExit = clicked.endings;
  }
  Bench closed(row);
  closed.window->log("a line before the exit");
  EXPECT_TRUE(closed.window->close());
  // Hidden, the main window back, and the log as EXIT leaves it (cleared or kept).
  EXPECT_FALSE(closed.window->isVisible());
  EXPECT_TRUE(closed.mainWindow.isVisible());
  EXPECT_EQ(closed.log(), logAfterExit);
  EXPECT_EQ(closed.refusals(row), 0);
  EXPECT_EQ(closed.endings, endingsAfterExit);
  EXPECT_EQ(closed.d2xx.openHandles(), 0u);
}

TEST_P(CloseBox, DuringAnOperationItIsRefusedAndTheOperationEndsAsUsual) {
  const Row& row = GetParam();
  Bench bench(row);
  for (const char* name : row.before) QTest::mouseClick(bench.button(name), Qt::LeftButton);
  const std::size_t before = bench.endings.size();
  bool closedInDialog = true;
  if (row.closeInDialog)
    bench.window->dialogAnswer = [&](const FileDialog&) -> std::optional<std::string> {
      closedInDialog = bench.window->close();
      return bench.answer;
    };
  QTest::mouseClick(bench.button(row.start), Qt::LeftButton);
  if (row.closeInDialog) EXPECT_FALSE(closedInDialog);
  else EXPECT_FALSE(bench.window->close());
  EXPECT_TRUE(bench.window->isVisible());
  EXPECT_FALSE(bench.mainWindow.isVisible());
  EXPECT_EQ(bench.refusals(row), 1) << bench.log().toStdString();

  if (row.endButton) QTest::mouseClick(bench.button(row.endButton), Qt::LeftButton);
  ASSERT_TRUE(test::RunEventsUntil([&] { return bench.endings.size() > before; }, kEndBoundMs)) << bench.log().toStdString();
  EXPECT_EQ(bench.endings.size(), before + 1);
  EXPECT_TRUE(bench.endings.back()) << bench.log().toStdString();
  EXPECT_TRUE(bench.window->isVisible());
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);

  // Ended: the next close is the exit.
  EXPECT_TRUE(bench.window->close());
  EXPECT_FALSE(bench.window->isVisible());
  EXPECT_TRUE(bench.mainWindow.isVisible());
}

INSTANTIATE_TEST_SUITE_P(TaskWindows, CloseBox, ::testing::ValuesIn(kRows), test::CaseName<Row>);

// The update window's EXIT is enabled only when a switch has failed: until then a close
// is refused; after, it is EXIT (log cleared, window hidden, the main window usable).
TEST(CloseBoxUpdateWindow, RefusedWhileTheSwitchRunsThenItIsExit) {
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  options.faults = {{"no-boot-jump", ""}, {"no-reset", ""}};
  d2xx.attach(options);
  TWindows windows(d2xx);
  windows.Form1->form()->settings().imageFolders = {JIG_BINARY_DIR};
  windows.Form1->form()->settings().bootWindow = std::chrono::seconds(60);
  windows.Form1->Timer_5SEC->setInterval(1000);  // the only end of the boot phase here
  windows.Form1->show();
  windows.Form1->MAIN_SELECTOR->setCurrentText("ITE chip");
  QTest::mouseClick(windows.Form1->MAIN_CONNECT, Qt::LeftButton);
  TUPDATE_FORM& update = *windows.UPDATE_FORM;
  ASSERT_TRUE(test::RunEventsUntil([&] { return update.isVisible(); }, 10000));
  ASSERT_FALSE(update.SpeedButton_UPD_EXIT->isEnabled());
  EXPECT_FALSE(update.close());
  EXPECT_TRUE(update.isVisible());
  EXPECT_EQ(update.Memo_UPDATE->toPlainText().count(kRefusedEnglish), 1);

  ASSERT_TRUE(test::RunEventsUntil([&] { return update.SpeedButton_UPD_EXIT->isEnabled(); }, 20000));
  EXPECT_TRUE(update.close());
  EXPECT_FALSE(update.isVisible());
  EXPECT_TRUE(update.Memo_UPDATE->toPlainText().isEmpty());
  EXPECT_FALSE(update.SpeedButton_UPD_EXIT->isEnabled());
  EXPECT_TRUE(windows.Form1->isVisible());
  windows.Form1->form()->waitForSwitch();
}

}  // namespace
}  // namespace jig
