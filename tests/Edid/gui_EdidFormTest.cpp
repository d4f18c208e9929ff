#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "Edid/TEDID_form.h"
#include "sim/EdidSim.h"
#include "sim/SimD2xx.h"
#include "tests/support/TestFiles.h"
#include "tests/support/GuiLog.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

struct EdidWindowBench : test::WindowScript {
  EdidWindowBench() : programmer(d2xx.attach()), window(d2xx, EdidBounds{300, 200, 300}) { hook(window); }
  sim::EdidSim& chip() { return dynamic_cast<sim::EdidSim&>(*programmer.commandSet("EDID")); }
  QString memo() const { return test::DocumentedLines(window.EDID_Memo).join('\n'); }

  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  TEDID_form window;
  test::TempDir dir;
};

TEST(EdidWindow, HasTheDocumentedControls) {
  sim::SimD2xx d2xx;
  TEDID_form window(d2xx);
  EXPECT_EQ(window.windowTitle(), "EEPROM LCD read/write VER4.1");
  EXPECT_EQ(window.findChild<QPushButton*>("EDID_READ")->text(), "EDID_READ");
  EXPECT_EQ(window.findChild<QPushButton*>("EDID_WRITE")->text(), "EDID_WRITE");
  EXPECT_EQ(window.findChild<QPushButton*>("EXIT_EDID")->text(), "EXIT");
  EXPECT_EQ(window.findChild<QPushButton*>("FixChecksum")->text(), "Fix checksum");
  EXPECT_TRUE(window.findChild<QPlainTextEdit*>("EDID_Memo")->isReadOnly());
  EXPECT_EQ(TTaskWindow::Find("TEDID_form"), &window);
}

TEST(EdidWindow, WriteThenReadByClicks) {
  EdidWindowBench bench;
  std::vector<std::uint8_t> image(128);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(0x40 + i % 40);
  test::WriteFileBytes(bench.dir.file("in.bin"), image);

  bench.answer = bench.dir.file("in.bin");
  bench.yes = true;  // a test pattern, not an EDID: its checksum is wrong
  QTest::mouseClick(bench.window.EDID_WRITE, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(bench.endings, std::vector<bool>{true});
  EXPECT_TRUE(bench.memo().endsWith("Writing data to EEPROM is completed successfully."));

  bench.answer = bench.dir.file("out.bin");
  QTest::mouseClick(bench.window.EDID_READ, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(bench.endings, (std::vector<bool>{true, true}));
  auto expected = image;
  expected.resize(256, 0xFF);
  EXPECT_EQ(test::ReadFileBytes(bench.dir.file("out.bin")), expected);
  // The read cleared the write's lines; its dump ends with 8 lines of FFh.
  EXPECT_FALSE(bench.memo().contains("Writing EEPROM ..."));
  EXPECT_EQ(bench.memo().count(": FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................"), 8);
  EXPECT_TRUE(bench.memo().endsWith("Save the file: \n" + QString::fromStdString(bench.dir.file("out.bin"))));
  EXPECT_EQ(bench.dialogs, (std::vector<std::string>{"Укажите файл за заливки.", "Укажите имя файла для сохранения."}));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidWindow, AbsentEepromAndExit) {
  EdidWindowBench bench;
  bench.chip().setPresent(false);
  bench.answer = bench.dir.file("x.bin");
  bench.window.show();
  QTest::mouseClick(bench.window.EDID_READ, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(bench.memo().contains("EEPROM does not respond, check the connection !!!"));
  EXPECT_TRUE(bench.dialogs.empty());
  EXPECT_EQ(bench.endings, std::vector<bool>{false});
  QTest::mouseClick(bench.window.EXIT_EDID, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(bench.memo().isEmpty());
  EXPECT_FALSE(bench.window.isVisible());
}

// A panel image with a wrong base checksum: refused on No, written on Yes, corrected by
// Fix checksum and then written without a question.
TEST(EdidWindow, WrongChecksumAskFixAndWriteByClicks) {
  EdidWindowBench bench;
  auto image = test::PanelEdid("SDC_SDC4141_1FB7B65F5CB0.bin");
  ASSERT_EQ(image.size(), 256u);
  const auto sound = image;
  image[127] = 0x16;
  const std::string path = bench.dir.file("panel.bin");
  test::WriteFileBytes(path, image);
  const auto before = bench.chip().contents();
  bench.answer = path;

  bench.yes = false;
  QTest::mouseClick(bench.window.EDID_WRITE, Qt::LeftButton);
  QApplication::processEvents();
  ASSERT_EQ(bench.questions.size(), 1u);
  EXPECT_TRUE(bench.questions[0].starts_with("The checksum of block 0 is wrong (byte 127 is 16h, should be 15h)."));
  EXPECT_EQ(bench.chip().contents(), before);
  EXPECT_TRUE(bench.memo().endsWith("The image is not written to the EEPROM: its checksum is wrong."));
  EXPECT_EQ(bench.endings, std::vector<bool>{false});
  EXPECT_TRUE(bench.window.EDID_WRITE->isEnabled());

  bench.yes = true;
  QTest::mouseClick(bench.window.EDID_WRITE, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(bench.questions.size(), 2u);
  EXPECT_EQ(bench.chip().contents(), image);
  EXPECT_TRUE(bench.memo().contains("The image is written with its wrong checksum, as confirmed."));
  EXPECT_EQ(bench.endings, (std::vector<bool>{false, true}));

  QTest::mouseClick(bench.window.FixChecksum, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(bench.memo().startsWith("Fix checksum: byte 127 changed from 16h to 15h.\nFix checksum: the corrected file is saved.\n"));
  EXPECT_EQ(test::ReadFileBytes(path), sound);
  EXPECT_EQ(bench.endings, (std::vector<bool>{false, true, true}));

  QTest::mouseClick(bench.window.EDID_WRITE, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(bench.questions.size(), 2u);  // sound now: no question
  EXPECT_EQ(bench.chip().contents(), sound);
  EXPECT_EQ(bench.endings, (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig
