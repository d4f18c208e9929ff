// The NPCE window driven by clicks on its real buttons, offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/GuiWait.h"
#include "tests/support/GuiLog.h"
#include "gui/TGauge.h"
#include "Npce/TNPCE_FORM.h"
#include "tests/Npce/NpceBench.h"
#include "tests/support/WindowScript.h"

namespace jig::test {
namespace {

bool Pump(const std::function<bool()>& done, int boundMs) { return RunEventsUntil(done, boundMs); }

struct WindowBench : WindowScript {
  explicit WindowBench(Faults faults = {}) : programmer(d2xx.attach(NpceOptions(std::move(faults)))), form(d2xx, NpceShortBounds()) {
    // The buttons are released by the end call itself, not later.
    hook(form, [this](bool) { enabledAtEnd.push_back(buttonsEnabled()); });
    form.show();
  }
  sim::NpceSim& chip() { return dynamic_cast<sim::NpceSim&>(*programmer.commandSet("NPCE")); }
  QStringList lines() const { return DocumentedLines(form.NPCE_Memo); }
  bool buttonsEnabled() const {
    return form.NPCE_READ->isEnabled() && form.NPCE_WRITE->isEnabled() && form.EXIT_NPCE->isEnabled();
  }

  ScratchBackupFolder backups;  // the window backs up before a write by default
  TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  TNPCE_FORM form;
  std::vector<bool> enabledAtEnd;
};

TEST(NpceWindow, ControlsCarryTheirNamesAndCaptions) {
  WindowBench bench;
  EXPECT_EQ(bench.form.windowTitle(), "NPCE288N/388N 16_05_2016");
  EXPECT_EQ(bench.form.NPCE_READ->text(), "Nuvoton_READ");
  EXPECT_EQ(bench.form.NPCE_WRITE->text(), "Nuvoton_WRITE");
  EXPECT_EQ(bench.form.EXIT_NPCE->text(), "EXIT");
  EXPECT_EQ(bench.form.CGauge_NPCE->maximum(), 512);
  EXPECT_TRUE(bench.form.NPCE_Memo->isReadOnly());
  EXPECT_EQ(bench.form.findChild<QWidget*>("NPCE_Memo"), bench.form.NPCE_Memo);
}

TEST(NpceWindow, ReadClickDumpsTheFlash) {
  WindowBench bench;
  const auto flash = Pattern(131072, 11);
  bench.chip().setFlash(flash);
  bench.answer = bench.dir.file("read.bin");
  QTest::mouseClick(bench.form.NPCE_READ, Qt::LeftButton);
  ASSERT_TRUE(Pump([&] { return !bench.endings.empty(); }, 10000));
  EXPECT_EQ(bench.endings, std::vector<bool>{true});
  EXPECT_EQ(ReadFileBytes(*bench.answer), flash);
  EXPECT_TRUE(bench.lines().contains("Reading complete ..."));
  EXPECT_EQ(bench.form.CGauge_NPCE->value(), 512);
  EXPECT_TRUE(bench.buttonsEnabled());
  EXPECT_EQ(bench.enabledAtEnd, std::vector<bool>{true});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

// The erase takes its time in the worker: the click returns at once, the window keeps
// handling events with READ and EXIT disabled, and the write then verifies.
TEST(NpceWindow, WindowStaysResponsiveDuringTheEraseAndTheWriteVerifies) {
  WindowBench bench(Faults{{"npce-erase-ms", "400"}});
  const auto file = Pattern(70000, 12);
  bench.answer = bench.dir.file("image.bin");
  bench.yes = true;  // a file shorter than the chip
  WriteFileBytes(*bench.answer, file);

  bool timerFired = false;
  QTimer::singleShot(100, [&] { timerFired = true; });
  QElapsedTimer clock;
  clock.start();
  QTest::mouseClick(bench.form.NPCE_WRITE, Qt::LeftButton);
  EXPECT_LT(clock.elapsed(), 300);
  ASSERT_TRUE(Pump([&] { return timerFired; }, 1000));
  EXPECT_TRUE(bench.endings.empty());  // still erasing
  EXPECT_FALSE(bench.form.NPCE_READ->isEnabled());
  EXPECT_FALSE(bench.form.EXIT_NPCE->isEnabled());
  EXPECT_FALSE(bench.form.NPCE_WRITE->isEnabled()) << "ignored while busy: it looks it";
  bench.form.NPCE_WRITEClick();  // ignored while busy

  ASSERT_TRUE(Pump([&] { return !bench.endings.empty(); }, 15000));
  Pump([] { return false; }, 50);
  EXPECT_EQ(bench.endings, std::vector<bool>{true});
  EXPECT_TRUE(bench.lines().contains("Nuvoton chip is programmed succesfully!"));
  auto padded = file;
  padded.resize(131072, 0xFF);
  EXPECT_EQ(bench.chip().flash(), padded);
  EXPECT_EQ(bench.questions.size(), 1u);
  EXPECT_TRUE(bench.buttonsEnabled());
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(NpceWindow, StuckBitShowsTheWriteAsIncorrect) {
  WindowBench bench(Faults{{"npce-stuck-bit", "0x200"}});
  auto file = Pattern(131072, 13);
  file[0x200] = 0x10;
  bench.answer = bench.dir.file("image.bin");
  WriteFileBytes(*bench.answer, file);
  QTest::mouseClick(bench.form.NPCE_WRITE, Qt::LeftButton);
  ASSERT_TRUE(Pump([&] { return !bench.endings.empty(); }, 15000));
  EXPECT_EQ(bench.endings, std::vector<bool>{false});
  EXPECT_TRUE(bench.lines().contains("*** Data is written incorrectly ***"));
  // The job read the whole chip back to tell where it differs; the gauge ends red there.
  EXPECT_EQ(bench.form.CGauge_NPCE->value(), 512);  // the gauge's maximum
  EXPECT_TRUE(dynamic_cast<TGauge*>(bench.form.CGauge_NPCE)->showsFailure());
  EXPECT_TRUE(bench.lines().contains("Verify after write: FAILED, first difference at 00000200, 1 byte differs."));
  EXPECT_TRUE(VerdictLines(bench.form.NPCE_Memo).last().startsWith(
      "RESULT: write FAILED, the chip does not hold the file (first difference at 00000200, 1 byte differs)"));
  EXPECT_TRUE(bench.buttonsEnabled());

  // "Compare..." beside the label shows the image and the chip read back, the stuck byte first.
  auto* offered = bench.form.findChild<QPushButton*>("CompareOffered");
  ASSERT_NE(offered, nullptr);
  ASSERT_TRUE(Pump([&] { return offered->isVisible(); }, 2000));
  QTest::mouseClick(offered, Qt::LeftButton);
  auto* compare = bench.form.findChild<QWidget*>("TCompareWindow");
  ASSERT_NE(compare, nullptr);
  auto* summary = compare->findChild<QLabel*>("CompareSummary");
  ASSERT_NE(summary, nullptr);
  EXPECT_TRUE(summary->text().contains("00000200")) << summary->text().toStdString();
  compare->close();
  // The next click starts another job: the offer was the last one's.
  bench.answer = std::nullopt;
  QTest::mouseClick(bench.form.NPCE_READ, Qt::LeftButton);
  EXPECT_FALSE(offered->isVisible());
}

TEST(NpceWindow, ExitHidesTheWindow) {
  WindowBench bench;
  ASSERT_TRUE(bench.form.isVisible());
  QTest::mouseClick(bench.form.EXIT_NPCE, Qt::LeftButton);
  EXPECT_FALSE(bench.form.isVisible());
}

// The check box by clicks: off by default; on, a pair that differs leaves no file; on again
// with a steady chip, the matching pair is written whole.
TEST(NpceWindow, ReadTwiceCheckBoxByClicks) {
  WindowBench bench(Faults{{"npce-unstable-first-block", ""}});
  QCheckBox* box = bench.form.ReadTwice;
  ASSERT_EQ(bench.form.findChild<QCheckBox*>("ReadTwice"), box);
  EXPECT_EQ(box->text(), "Read twice and compare");
  EXPECT_FALSE(box->isChecked());
  bench.answer = bench.dir.file("read.bin");

  QTest::mouseClick(box, Qt::LeftButton);
  ASSERT_TRUE(box->isChecked());
  QTest::mouseClick(bench.form.NPCE_READ, Qt::LeftButton);
  EXPECT_FALSE(box->isEnabled());  // not changed under a running read
  ASSERT_TRUE(Pump([&] { return !bench.endings.empty(); }, 10000));
  EXPECT_EQ(bench.endings, std::vector<bool>{false});
  EXPECT_EQ(bench.lines().last(),
            "Read twice: the reads differ, first difference at 00000000, 2 bytes differ. The file is not written.");
  EXPECT_FALSE(std::filesystem::exists(*bench.answer));
  EXPECT_TRUE(box->isEnabled());
  EXPECT_TRUE(bench.buttonsEnabled());

  // The fault touches the second read since power-on only: this pair is steady.
  QTest::mouseClick(bench.form.NPCE_READ, Qt::LeftButton);
  ASSERT_TRUE(Pump([&] { return bench.endings.size() == 2; }, 10000));
  EXPECT_EQ(bench.endings[1], true);
  EXPECT_TRUE(bench.lines().contains("Read twice: both reads match."));
  EXPECT_EQ(ReadFileBytes(*bench.answer), bench.chip().flash());
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

// The backup check box: on by default, so a write first reads the chip and keeps that copy;
// not changed under a running write; off, the next write is the documented one.
TEST(NpceWindow, BackupCheckBoxByClicks) {
  WindowBench bench;
  QCheckBox* box = bench.form.Backup_NPCE;
  ASSERT_EQ(bench.form.findChild<QCheckBox*>("Backup_NPCE"), box);
  EXPECT_EQ(box->text(), "Backup before write");
  EXPECT_TRUE(box->isChecked());
  const auto old = Pattern(131072, 14), image = Pattern(131072, 15);
  bench.chip().setFlash(old);
  bench.answer = bench.dir.file("image.bin");
  WriteFileBytes(*bench.answer, image);

  QTest::mouseClick(bench.form.NPCE_WRITE, Qt::LeftButton);
  EXPECT_FALSE(box->isEnabled());
  ASSERT_TRUE(Pump([&] { return !bench.endings.empty(); }, 15000));
  EXPECT_EQ(bench.endings, std::vector<bool>{true});
  const auto sent = bench.programmer.hostBytes();
  ASSERT_GE(sent.size(), 4u);
  EXPECT_EQ(std::vector<std::uint8_t>(sent.begin(), sent.begin() + 4), Bytes("BZIr"));  // the read comes first
  ASSERT_EQ(bench.backups.files().size(), 1u);
  EXPECT_EQ(ReadFileBytes(bench.backups.files()[0]), old);
  EXPECT_EQ(bench.chip().flash(), image);
  EXPECT_TRUE(box->isEnabled());

  QTest::mouseClick(box, Qt::LeftButton);
  ASSERT_FALSE(box->isChecked());
  bench.programmer.clearTranscript();
  QTest::mouseClick(bench.form.NPCE_WRITE, Qt::LeftButton);
  ASSERT_TRUE(Pump([&] { return bench.endings.size() == 2; }, 15000));
  EXPECT_EQ(bench.endings[1], true);
  const auto second = bench.programmer.hostBytes();
  ASSERT_GE(second.size(), 4u);
  EXPECT_EQ(std::vector<std::uint8_t>(second.begin(), second.begin() + 4), Bytes("BZIe"));
  EXPECT_EQ(bench.backups.files().size(), 1u);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig::test
