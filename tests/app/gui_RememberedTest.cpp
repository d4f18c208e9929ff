// What the windows keep between runs: each file dialog's last folder and the wiring aids'
// board and cable. A window made anew is the next run of the program; the test set-up gives
// every test an empty scratch configuration.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "Ite/IteTexts.h"
#include "Kb901x_form/MbConnectionEne.h"
#include "Ite/MbConnectionIte.h"
#include "sim/SimD2xx.h"
#include "tests/Ite/IteTestSupport.h"
#include "tests/support/GuiLog.h"
#include "tests/support/FileSafety.h"
#include "tests/support/GuiWait.h"
#include "tests/support/TaskWindows.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

namespace fs = std::filesystem;

std::vector<TTaskWindow*> EveryWindow(const TWindows& windows) {
  std::vector<TTaskWindow*> all{windows.Form1.get(), windows.UPDATE_FORM.get()};
  for (const auto& task : windows.tasks) all.push_back(task.get());
  return all;
}

// The three dialogs a window may show; each asks with the window's own hook.
enum class Dialog { Save, Open, SaveLog };
const std::map<Dialog, const char*> kDialogs{{Dialog::Save, "save"}, {Dialog::Open, "open"}, {Dialog::SaveLog, "log"}};

// Shows the dialog, answering with `answer`; the folder the dialog started in, or nullopt
// when it was never shown (a window without a log has no "Save log...").
std::optional<std::string> StartFolder(TTaskWindow& window, Dialog dialog, const std::string& answer) {
  std::optional<std::string> seen;
  window.dialogAnswer = [&](const FileDialog& asked) {
    seen = asked.folder;
    return std::optional<std::string>(answer);
  };
  switch (dialog) {
    case Dialog::Save: window.askSaveFile({"Save", "Dump (*.bin)|*.bin", ".bin", "", false, {}}); break;
    case Dialog::Open: window.askOpenFile({"Open", "Dump (*.bin)|*.bin", "", "", false, {}}); break;
    case Dialog::SaveLog: window.saveLogAs(); break;
  }
  window.dialogAnswer = nullptr;
  return seen;
}

TEST(Remembered, EachDialogOfEachWindowStartsInTheFolderItWasLastAnsweredIn) {
  test::TempDir dir;
  sim::SimD2xx d2xx;
  const auto folderOf = [&](const TTaskWindow& window, Dialog dialog) {
    return dir.file(window.objectName().toStdString() + "-" + kDialogs.at(dialog));
  };
  int asked = 0;
  {  // The first run: every dialog starts where it always did, and is answered in a folder of its own.
    TWindows windows(d2xx);
    for (TTaskWindow* window : EveryWindow(windows))
      for (const auto& [dialog, name] : kDialogs) {
        SCOPED_TRACE(window->objectName().toStdString() + " " + name);
        fs::create_directory(folderOf(*window, dialog));
        const auto seen = StartFolder(*window, dialog, folderOf(*window, dialog) + "/file.bin");
        if (!seen) continue;
        ++asked;
        EXPECT_EQ(*seen, "");
      }
  }
  // Six task windows with a save and an open dialog each, and "Save log..." on every log.
  EXPECT_GE(asked, 6 * 3);
  {  // The next run: each dialog offers its own folder, not another dialog's or window's.
    TWindows windows(d2xx);
    for (TTaskWindow* window : EveryWindow(windows))
      for (const auto& [dialog, name] : kDialogs) {
        SCOPED_TRACE(window->objectName().toStdString() + " " + name);
        const auto seen = StartFolder(*window, dialog, folderOf(*window, dialog) + "/file.bin");
        if (seen) {
          EXPECT_EQ(*seen, folderOf(*window, dialog));
        }
      }
  }
}

TEST(Remembered, AFolderThatIsGoneGivesWayToTheDefaultAndTheNextAnswerIsKept) {
  test::TempDir dir;
  sim::SimD2xx d2xx;
  const std::string gone = dir.file("gone"), next = dir.file("next");
  fs::create_directory(gone);
  fs::create_directory(next);
  {
    TWindows windows(d2xx);
    StartFolder(*windows.window<TNPCE_FORM>(), Dialog::Save, gone + "/dump.bin");
  }
  fs::remove(gone);
  {
    TWindows windows(d2xx);
    EXPECT_EQ(StartFolder(*windows.window<TNPCE_FORM>(), Dialog::Save, next + "/dump.bin"), "");
  }
  TWindows windows(d2xx);
  EXPECT_EQ(StartFolder(*windows.window<TNPCE_FORM>(), Dialog::Save, next + "/dump.bin"), next);
}

// The real dialog starts in the remembered folder (the hook above stands in for it elsewhere).
TEST(Remembered, TheShownDialogOpensInTheRememberedFolder) {
  test::TempDir dir;
  sim::SimD2xx d2xx;
  {
    TWindows windows(d2xx);
    StartFolder(*windows.window<TEDID_form>(), Dialog::Open, dir.file("panel.bin"));
  }
  TWindows windows(d2xx);
  QString shownIn;
  QTimer look;
  // Until the box is up (a bound of its own is not needed: the timer runs only inside its
  // modal loop, and the box ends as soon as it is seen).
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      shownIn = box->directory().absolutePath();
      box->reject();
    }
  });
  look.start(10);
  EXPECT_EQ(windows.window<TEDID_form>()->askOpenFile({"Open", "Dump (*.bin)|*.bin", "", "", false, {}}), std::nullopt);
  look.stop();
  EXPECT_EQ(QDir::toNativeSeparators(shownIn).toStdString(), dir.path().string());
}

// Through the window's own READ: the next run's save dialog starts where the last dump went.
TEST(Remembered, AKb90ReadOffersTheFolderOfTheLastDumpNextRun) {
  test::TempDir dir;
  const std::string dumps = dir.file("dumps");
  fs::create_directory(dumps);
  sim::SimOptions options;
  options.image = "V41";
  std::vector<std::string> folders;
  for (int run = 0; run < 2; ++run) {
    test::ScratchBackupFolder home;
    sim::SimD2xx d2xx;
    d2xx.attach(options);
    TKB901X_forms form(d2xx, std::vector<fs::path>{dir.path()});
    test::WindowScript script;
    script.hook(form);
    form.dialogAnswer = [&](const FileDialog& asked) {
      folders.push_back(asked.folder);
      return std::optional<std::string>(dumps + "/dump" + std::to_string(run) + ".bin");
    };
    QTest::mouseClick(form.KB901X_READ, Qt::LeftButton);
    ASSERT_TRUE(test::RunEventsUntil([&] { return !script.endings.empty(); }, 30000));
    EXPECT_EQ(script.endings, std::vector<bool>{true});
  }
  EXPECT_EQ(folders, (std::vector<std::string>{"", dumps}));
}

// The wiring aids: what the technician chose by hand, what the next run shows for it, and
// what it shows when the board has left the base. A restore sends nothing, logs nothing,
// asks nothing and ends no operation.
struct Aid {
  const char* name;
  std::string image;     // the firmware the bench's programmer runs
  const char* baseName;  // the base file, in the test's folder
  std::string base, baseRenamed;
  std::function<std::unique_ptr<TTaskWindow>(sim::SimD2xx&, const test::TempDir&)> open;
  std::function<void(TTaskWindow&)> choose;
  std::function<void(TTaskWindow&)> expectChosen, expectNoBoard;
};

template <class Window>
Window& As(TTaskWindow& window) {
  return dynamic_cast<Window&>(window);
}

void Activate(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

const std::string kEneBoard = "Board-X KSO3=5 KSI4=12 KSI7=16 KSI6=14 KSI5=13";

std::vector<Aid> Aids() {
  return {
      {"KB90xx", "V41", ene::kBaseFileName, "First KSO3=1 KSI4=2 KSI7=3 KSI6=4 KSI5=5\n" + kEneBoard + "\n",
       "First KSO3=1 KSI4=2 KSI7=3 KSI6=4 KSI5=5\nBoard-Y KSO3=5 KSI4=12 KSI7=16 KSI6=14 KSI5=13\n",
       [](sim::SimD2xx& d2xx, const test::TempDir& dir) -> std::unique_ptr<TTaskWindow> {
         return std::make_unique<TKB901X_forms>(d2xx, std::vector<fs::path>{dir.path()});
       },
       [](TTaskWindow& window) {
         auto& w = As<TKB901X_forms>(window);
         Activate(w.ComboBox_KB901X, 1);
         Activate(w.ComboBox_KB901X_FFC, 6);  // "30 pin"
         QTest::mouseClick(w.CheckBox_KB901X, Qt::LeftButton);
         EXPECT_EQ(w.Label_result->text(), "Please connect GND and:  A26 B19 C15 D17 E18");
       },
       [](TTaskWindow& window) {
         auto& w = As<TKB901X_forms>(window);
         EXPECT_EQ(w.ComboBox_KB901X->currentIndex(), 1);
         EXPECT_EQ(w.ComboBox_KB901X->currentText().toStdString(), kEneBoard);
         EXPECT_FALSE(w.ComboBox_KB901X->styleSheet().contains("#ffff00"));
         EXPECT_EQ(w.ComboBox_KB901X_FFC->currentText(), "30 pin");
         EXPECT_FALSE(w.CheckBox_KB901X->isChecked());
         EXPECT_EQ(w.Label_result->text(), "Please connect GND and:  A26 B19 C15 D17 E18");
       },
       [](TTaskWindow& window) {
         auto& w = As<TKB901X_forms>(window);
         EXPECT_EQ(w.ComboBox_KB901X->currentIndex(), -1);
         EXPECT_EQ(w.ComboBox_KB901X->currentText(), ene::kSelectBoard);
         EXPECT_TRUE(w.ComboBox_KB901X->styleSheet().contains("#ffff00"));
         EXPECT_EQ(w.ComboBox_KB901X_FFC->currentText(), "30 pin");  // the cable is still there
         EXPECT_EQ(w.Label_result->text(), "");
       }},
      {"ITE", "ITE", ite::kBaseFileName, test::kBoard2 + "\n" + test::kBoard1 + "\n",
       test::kBoard2 + "\nBoard-1a" + test::kBoard1.substr(7) + "\n",
       [](sim::SimD2xx& d2xx, const test::TempDir& dir) -> std::unique_ptr<TTaskWindow> {
         return std::make_unique<TITE_FORM>(d2xx, dir.file(ite::kBaseFileName));
       },
       [](TTaskWindow& window) {
         auto& w = As<TITE_FORM>(window);
         Activate(w.ITE_ComboBox_MB_SWITCH, 2);
         QTest::mouseClick(w.ITE_CheckBox, Qt::LeftButton);  // a reversed cable: PD0 on pin 30
         EXPECT_EQ(w.pinBoxes[0]->currentIndex(), 30);
       },
       [](TTaskWindow& window) {
         auto& w = As<TITE_FORM>(window);
         EXPECT_EQ(w.ITE_ComboBox_MB_SWITCH->currentIndex(), 2);
         EXPECT_FALSE(w.ITE_CheckBox->isChecked());
         EXPECT_TRUE(w.ITE_CheckBox->isEnabled());
         // Board-1 mirrored on its 30 pins: PD0=1 -> 30 ... KSI5=16 -> 15.
         std::vector<int> pins;
         for (QComboBox* box : w.pinBoxes) pins.push_back(box->currentIndex());
         EXPECT_EQ(pins, (std::vector<int>{30, 29, 28, 27, 26, 25, 24, 23, 21, 20, 19, 18, 17, 16, 15}));
         EXPECT_EQ(w.operations().pins()[0], 30);
       },
       [](TTaskWindow& window) {
         auto& w = As<TITE_FORM>(window);
         EXPECT_EQ(w.ITE_ComboBox_MB_SWITCH->currentIndex(), 0);
         EXPECT_FALSE(w.ITE_CheckBox->isEnabled());
         for (QComboBox* box : w.pinBoxes) EXPECT_EQ(box->currentIndex(), 0);
       }},
  };
}

QString LogOf(TTaskWindow& window) { return window.findChild<QPlainTextEdit*>()->toPlainText(); }

TEST(Remembered, AWiringAidOpensWithTheLastBoardAndCableWithoutAWordToTheProgrammer) {
  for (const Aid& aid : Aids()) {
    for (const bool renamed : {false, true}) {
      SCOPED_TRACE(std::string(aid.name) + (renamed ? ", board renamed in the base" : ""));
      QSettings().clear();
      test::TempDir dir;
      sim::SimOptions options;
      options.image = aid.image;
      sim::SimD2xx d2xx;
      sim::SimProgrammer& programmer = d2xx.attach(options);
      test::WriteFileBytes(dir.file(aid.baseName), test::Bytes(aid.base));
      QString logAtStart;
      {
        auto first = aid.open(d2xx, dir);
        logAtStart = LogOf(*first);
        aid.choose(*first);
      }
      if (renamed) test::WriteFileBytes(dir.file(aid.baseName), test::Bytes(aid.baseRenamed));
      auto next = aid.open(d2xx, dir);
      test::WindowScript script;
      script.hook(*next);
      QApplication::processEvents();
      if (renamed) aid.expectNoBoard(*next);
      else aid.expectChosen(*next);
      EXPECT_EQ(LogOf(*next), logAtStart);
      EXPECT_TRUE(programmer.hostBytes().empty());
      EXPECT_EQ(d2xx.openHandles(), 0u);
      EXPECT_TRUE(script.endings.empty());
      EXPECT_TRUE(script.boxes.empty());
    }
  }
}

// The restored board's pins are in the boxes only: the programmer has none until APPLY, so
// the link check says to press it first, as after a board chosen by hand.
TEST(Remembered, ARestoredIteBoardStillNeedsApply) {
  test::TempDir dir;
  test::WriteFileBytes(dir.file(ite::kBaseFileName), test::Bytes(test::kBoard1 + "\n"));
  sim::SimOptions options;
  options.image = "ITE";
  options.faults["ite-connect-window-ms"] = "300";
  options.faults["version"] = test::kIteVersion;
  sim::SimD2xx d2xx;
  d2xx.attach(options);
  for (int run = 0; run < 2; ++run) {
    TITE_FORM form(d2xx, dir.file(ite::kBaseFileName));
    test::WindowScript script;
    script.hook(form);
    if (run == 0) Activate(form.ITE_ComboBox_MB_SWITCH, 1);
    ASSERT_EQ(form.ITE_ComboBox_MB_SWITCH->currentIndex(), 1);
    QTest::mouseClick(form.ITE_CHECK_CON_BitBtn, Qt::LeftButton);
    ASSERT_TRUE(test::RunEventsUntil([&] { return !script.endings.empty(); }, 20000));
    EXPECT_EQ(script.endings.back(), false);
    EXPECT_EQ(test::DocumentedLines(form.ITE_Memo1).last(), QString::fromUtf8(ite::text::kApplyFirst)) << "run " << run;
  }
}

// The task is never kept: the main window starts at "Please select " whatever is kept.
TEST(Remembered, TheMainWindowStartsAtPleaseSelectWithSettingsKept) {
  test::TempDir dir;
  sim::SimD2xx d2xx;
  {
    TWindows windows(d2xx);
    Activate(windows.Form1->MAIN_SELECTOR, 3);
    StartFolder(*windows.Form1, Dialog::SaveLog, dir.file("main-log.txt"));
    StartFolder(*windows.window<TKB901X_forms>(), Dialog::Save, dir.file("dump.bin"));
  }
  QSettings settings;
  EXPECT_FALSE(settings.allKeys().isEmpty());
  // Of the main window, the folder of its "Save log..." at most.
  for (const QString& key : settings.allKeys())
    if (key.startsWith("Form1/")) {
      EXPECT_EQ(key, "Form1/SaveLogFolder");
    }
  // Where the system keeps a program's settings: a file of the user's on Linux, the user's
  // part of the registry on Windows.
#ifdef _WIN32
  EXPECT_EQ(settings.fileName(), "\\HKEY_CURRENT_USER\\Software\\holbrenik-jig\\Holbrenik_JIG");
#else
  EXPECT_TRUE(settings.fileName().endsWith("/holbrenik-jig/Holbrenik_JIG.conf")) << settings.fileName().toStdString();
#endif
  TWindows windows(d2xx);
  EXPECT_EQ(windows.Form1->MAIN_SELECTOR->currentIndex(), 0);
  EXPECT_EQ(windows.Form1->MAIN_SELECTOR->currentText(), "Please select ");
}

}  // namespace
}  // namespace jig
