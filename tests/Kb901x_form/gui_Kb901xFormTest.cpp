// The KB90xx window offscreen: its real buttons and lists, the simulator behind it.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/GuiWait.h"
#include "tests/support/GuiLog.h"
#include "Kb901x_form/TKB901X_forms.h"
#include "sim/Kb90Sim.h"
#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A hang guard, not a timing: a backup read and a write of 512 blocks each under a sanitizer
// on a busy machine have taken over 10 s.
bool WaitFor(const std::function<bool()>& done, int boundMs = 30000) { return jig::test::RunEventsUntil(done, boundMs); }

struct Window : test::WindowScript {
  explicit Window(const std::string& base, sim::SimOptions options = {}, Kb90Bounds bounds = {})
      : programmer(d2xx.attach(options)) {
    if (!base.empty()) test::WriteFileBytes(dir.file(ene::kBaseFileName), test::Bytes(base));
    form = std::make_unique<TKB901X_forms>(d2xx, std::vector<std::filesystem::path>{dir.path()}, bounds);
    // The buttons held while the operation ran come back with its end call, not later.
    hook(*form, [this](bool) { enabledAtEnd.push_back(form->KB901X_READ->isEnabled() && form->KB901X_WRITE->isEnabled()); });
    form->show();
  }
  std::vector<std::string> memo() const {
    std::vector<std::string> out;
    for (const QString& line : test::DocumentedLines(form->KB901X_Memo)) out.push_back(line.toStdString());
    return out;
  }
  void choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  std::string label() const { return form->Label_result->text().toStdString(); }

  test::ScratchBackupFolder home;  // the window backs up before a write by default
  test::TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  std::unique_ptr<TKB901X_forms> form;
  std::vector<bool> enabledAtEnd;
};

Bytes chipFlash(Window& w) { return dynamic_cast<sim::Kb90Sim&>(*w.programmer.commandSet("KB90")).flash(); }

constexpr const char* kBase = "Board-X KSO3=5 KSI4=12 KSI7=16 KSI6=14 KSI5=13\r\nComment only\r\nBad KSO3=q KSI4=1\r\n"
                              "\xCF\xEB\xE0\xF2\xE0 KSO3=1 KSI4=2 KSI7=3 KSI6=4 KSI5=5\r\n"
                              "Big KSO3=20 KSI4=1 KSI7=2 KSI6=3 KSI5=4\r\nunterminated";

TEST(Kb901xWindow, ControlsAndTexts) {
  Window w(kBase);
  EXPECT_EQ(w.form->windowTitle(), "KB9010/9012/9016/9022  programming VER4.1+");
  EXPECT_EQ(w.form->GroupBox1->title(), " Help for FFC cable connection ");
  EXPECT_EQ(w.form->KB901X_READ->text(), "KB90XX_READ");
  EXPECT_EQ(w.form->KB901X_WRITE->text(), "KB90XX_WRITE");
  EXPECT_EQ(w.form->EXIT_KB901X->text(), "EXIT");
  EXPECT_EQ(w.form->CheckBox_KB901X->text(), "Pin 1 connected  to pin 1 on the MB keyboard connector");
  EXPECT_TRUE(w.form->CheckBox_KB901X->isChecked());
  EXPECT_EQ(w.form->CGauge_KB901X->maximum(), 32768);
  EXPECT_TRUE(w.form->KB901X_Memo->isReadOnly());

  ASSERT_EQ(w.form->ComboBox_KB901X->count(), 5);
  EXPECT_EQ(w.form->ComboBox_KB901X->itemText(3).toStdString(), "Плата KSO3=1 KSI4=2 KSI7=3 KSI6=4 KSI5=5");
  EXPECT_EQ(w.form->ComboBox_KB901X->currentText().toStdString(), "Step 1 -> Select MB");
  EXPECT_EQ(w.form->ComboBox_KB901X_FFC->currentText().toStdString(), "Step 2 -> Select FFC cable you used");
  EXPECT_EQ(w.form->ComboBox_KB901X_FFC->count(), 8);
  EXPECT_TRUE(w.form->ComboBox_KB901X->isEnabled());
  EXPECT_TRUE(w.form->ComboBox_KB901X->styleSheet().contains("#ffff00"));
  EXPECT_EQ(w.label(), "");
}

TEST(Kb901xWindow, NoBaseLeavesTheAidDisabled) {
  Window w("");
  EXPECT_EQ(w.label(), "Create base of connections KB90XX !");
  EXPECT_FALSE(w.form->ComboBox_KB901X->isEnabled());
  EXPECT_FALSE(w.form->ComboBox_KB901X_FFC->isEnabled());
  EXPECT_FALSE(w.form->CheckBox_KB901X->isEnabled());
  EXPECT_FALSE(w.form->ComboBox_KB901X->styleSheet().contains("#ffff00"));
  // The log says where the base was looked for.
  EXPECT_EQ(w.memo(), std::vector<std::string>{"MB connection ENE.txt: looked in: " + w.dir.path().string()});
}

TEST(Kb901xWindow, WiringFollowsTheChoices) {
  Window w(kBase);
  QTest::mouseClick(w.form->CheckBox_KB901X, Qt::LeftButton);  // nothing chosen yet: no computation
  EXPECT_EQ(w.label(), "");
  w.form->CheckBox_KB901X->setChecked(true);
  w.choose(w.form->ComboBox_KB901X, 0);
  EXPECT_EQ(w.label(), "");  // the cable is not chosen yet
  EXPECT_FALSE(w.form->ComboBox_KB901X->styleSheet().contains("#ffff00"));
  w.choose(w.form->ComboBox_KB901X_FFC, 6);  // "30 pin"
  EXPECT_EQ(w.label(), "Please connect GND and:  A5 B12 C16 D14 E13");
  QTest::mouseClick(w.form->CheckBox_KB901X, Qt::LeftButton);
  EXPECT_EQ(w.label(), "Please connect GND and:  A26 B19 C15 D17 E18");

  w.choose(w.form->ComboBox_KB901X, 2);  // a letter after '=': message box, label unchanged
  EXPECT_EQ(w.boxes, std::vector<std::string>{"'q' is not a valid integer value"});
  EXPECT_EQ(w.label(), "Please connect GND and:  A26 B19 C15 D17 E18");
  w.choose(w.form->ComboBox_KB901X, 1);
  EXPECT_EQ(w.label(), "Error data format!");
  w.choose(w.form->ComboBox_KB901X_FFC, 0);  // "18 pin"
  w.choose(w.form->ComboBox_KB901X, 4);       // pin 20 does not fit
  EXPECT_EQ(w.label(), "Please select big pins FFC!");
}

TEST(Kb901xWindow, ReadAndWriteByClicks) {
  Window w(kBase);
  auto& chip = dynamic_cast<sim::Kb90Sim&>(*w.programmer.commandSet("KB90"));
  Bytes image(131072);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 10));
  const std::string source = w.dir.file("in.bin"), dump = w.dir.file("out.bin");
  test::WriteFileBytes(source, image);

  w.form->dialogAnswer = [&](const FileDialog&) { return std::optional<std::string>(source); };
  QTest::mouseClick(w.form->KB901X_WRITE, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !w.endings.empty(); }));
  EXPECT_EQ(w.endings, std::vector<bool>{true});
  EXPECT_EQ(w.memo().back().rfind("Current time  ", 0), 0u);
  EXPECT_EQ(w.memo()[w.memo().size() - 2], "Writing and verify is OK !");
  EXPECT_EQ(chip.flash(), image);
  EXPECT_TRUE(w.form->KB901X_READ->isEnabled());
  EXPECT_TRUE(w.form->EXIT_KB901X->isEnabled());

  w.form->dialogAnswer = [&](const FileDialog&) { return std::optional<std::string>(dump); };
  QTest::mouseClick(w.form->KB901X_READ, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return w.endings.size() == 2; }));
  EXPECT_EQ(w.endings[1], true);
  EXPECT_EQ(test::ReadFileBytes(dump), image);
  EXPECT_EQ(w.form->CGauge_KB901X->value(), 32768);
  EXPECT_TRUE(w.form->KB901X_WRITE->isEnabled());
  EXPECT_EQ(w.d2xx.openHandles(), 0u);

  // A write cancelled in its dialog is a new operation: no stale "100%" from the read.
  w.form->dialogAnswer = [](const FileDialog&) { return std::optional<std::string>(); };
  QTest::mouseClick(w.form->KB901X_WRITE, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return w.endings.size() == 3; }));
  EXPECT_EQ(w.form->CGauge_KB901X->value(), 0);
}

TEST(Kb901xWindow, ButtonsDuringAnOperationChangeNothing) {
  sim::SimOptions options;
  options.faults["kb90-silence-block"] = "2";
  Window w(kBase, options, {200, 800, 200, 200, 200, 200});
  int dialogs = 0;
  w.form->dialogAnswer = [&](const FileDialog&) {
    ++dialogs;
    return std::optional<std::string>(w.dir.file("out.bin"));
  };
  QTest::mouseClick(w.form->KB901X_READ, Qt::LeftButton);
  ASSERT_EQ(w.form->mode(), Kb90Mode::Reading);
  EXPECT_FALSE(w.form->KB901X_WRITE->isEnabled());
  EXPECT_FALSE(w.form->EXIT_KB901X->isEnabled());
  EXPECT_FALSE(w.form->KB901X_READ->isEnabled()) << "ignored while reading: it looks it";
  const auto memo = w.memo();
  // Disabled buttons take no click; their handlers ignore one too while the mode is busy.
  w.form->KB901X_READClick();
  w.form->KB901X_WRITEClick();
  w.form->EXIT_KB901XClick();
  QTest::mouseClick(w.form->EXIT_KB901X, Qt::LeftButton);
  EXPECT_EQ(w.memo(), memo);
  EXPECT_TRUE(w.form->isVisible());
  EXPECT_EQ(dialogs, 1);
  ASSERT_TRUE(WaitFor([&] { return !w.endings.empty(); }));
  EXPECT_EQ(w.endings, std::vector<bool>{false});
  EXPECT_EQ(w.memo().back(),
            "Reading stopped: block 2 of 512 did not come from the programmer; the file is not written.");
  EXPECT_TRUE(w.form->EXIT_KB901X->isEnabled());
  EXPECT_TRUE(w.form->KB901X_READ->isEnabled());
  EXPECT_TRUE(w.form->KB901X_WRITE->isEnabled());
  EXPECT_EQ(w.enabledAtEnd, std::vector<bool>{true});
  EXPECT_EQ(w.programmer.hostBytes(), (Bytes{'B', 'V', 'R', 'N', 'O'}));

  QTest::mouseClick(w.form->EXIT_KB901X, Qt::LeftButton);
  EXPECT_FALSE(w.form->isVisible());
  EXPECT_EQ(w.form->KB901X_Memo->toPlainText(), "");
  EXPECT_EQ(w.form->CGauge_KB901X->value(), 0);
}

// The check box by clicks: off by default; on, it reads twice, and a pair that differs
// leaves no file; off again, the next read is the documented one.
TEST(Kb901xWindow, ReadTwiceCheckBoxByClicks) {
  sim::SimOptions options;
  options.faults["kb90-unstable-first-block"] = "";
  Window w(kBase, options, {200, 800, 200, 200, 200, 200});
  QCheckBox* box = w.form->ReadTwice;
  ASSERT_EQ(w.form->findChild<QCheckBox*>("ReadTwice"), box);
  EXPECT_EQ(box->text(), "Read twice and compare");
  EXPECT_FALSE(box->isChecked());
  const std::string dump = w.dir.file("out.bin");
  w.form->dialogAnswer = [&](const FileDialog&) { return std::optional<std::string>(dump); };

  QTest::mouseClick(box, Qt::LeftButton);
  ASSERT_TRUE(box->isChecked());
  QTest::mouseClick(w.form->KB901X_READ, Qt::LeftButton);
  EXPECT_FALSE(box->isEnabled());  // not changed under a running read
  ASSERT_TRUE(WaitFor([&] { return !w.endings.empty(); }));
  EXPECT_EQ(w.endings, std::vector<bool>{false});
  EXPECT_EQ(w.memo().back(),
            "Read twice: the reads differ, first difference at 00000000, 2 bytes differ. The file is not written.");
  EXPECT_FALSE(std::filesystem::exists(dump));
  EXPECT_TRUE(box->isEnabled());
  EXPECT_TRUE(w.form->KB901X_WRITE->isEnabled());
  EXPECT_EQ(w.form->mode(), Kb90Mode::None);

  QTest::mouseClick(box, Qt::LeftButton);
  ASSERT_FALSE(box->isChecked());
  QTest::mouseClick(w.form->KB901X_READ, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return w.endings.size() == 2; }));
  EXPECT_EQ(w.endings[1], true);
  EXPECT_EQ(w.memo().back(), "Dump check: the content looks like real data.");
  EXPECT_EQ(test::ReadFileBytes(dump), chipFlash(w));
  EXPECT_EQ(w.d2xx.openHandles(), 0u);
}

// The backup check box: on by default, so a write first reads the chip and keeps that copy;
// not changed under a running write; off, the next write is the documented one.
TEST(Kb901xWindow, BackupCheckBoxByClicks) {
  Window w(kBase, {}, {200, 800, 200, 200, 200, 200});
  QCheckBox* box = w.form->Backup_KB901X;
  ASSERT_EQ(w.form->findChild<QCheckBox*>("Backup_KB901X"), box);
  EXPECT_EQ(box->text(), "Backup before write");
  EXPECT_TRUE(box->isChecked());
  auto& chip = dynamic_cast<sim::Kb90Sim&>(*w.programmer.commandSet("KB90"));
  Bytes old(131072), image(131072);
  for (std::size_t i = 0; i < old.size(); ++i) {
    old[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    image[i] = static_cast<std::uint8_t>(i * 11 + (i >> 10));
  }
  chip.setFlash(old);
  const std::string source = w.dir.file("in.bin");
  test::WriteFileBytes(source, image);
  w.form->dialogAnswer = [&](const FileDialog&) { return std::optional<std::string>(source); };

  QTest::mouseClick(w.form->KB901X_WRITE, Qt::LeftButton);
  EXPECT_FALSE(box->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return !w.endings.empty(); }));
  EXPECT_EQ(w.endings, std::vector<bool>{true});
  const Bytes sent = w.programmer.hostBytes();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 3), (Bytes{'B', 'V', 'R'}));  // the read comes first
  ASSERT_EQ(w.home.files().size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(w.home.files()[0]), old);
  EXPECT_EQ(chip.flash(), image);
  EXPECT_TRUE(box->isEnabled());

  QTest::mouseClick(box, Qt::LeftButton);
  ASSERT_FALSE(box->isChecked());
  w.programmer.clearTranscript();
  QTest::mouseClick(w.form->KB901X_WRITE, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return w.endings.size() == 2; }));
  EXPECT_EQ(w.endings[1], true);
  const Bytes second = w.programmer.hostBytes();
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 3), (Bytes{'B', 'V', 'W'}));
  EXPECT_EQ(w.home.files().size(), 1u);
  EXPECT_EQ(w.d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig
