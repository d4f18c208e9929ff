#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "Edid/TEDID_form.h"
#include "sim/EdidSim.h"
#include "sim/SimD2xx.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

struct EdidWindowBench {
  EdidWindowBench() : programmer(d2xx.attach()), window(d2xx, EdidBounds{300, 200, 300}) {
    window.dialogAnswer = [this](const FileDialog& dialog) {
      dialogs.push_back(dialog.title);
      return answer;
    };
    window.errorBoxSeen = [this](const std::string& text) { boxes.push_back(text); };
    window.endedSeen = [this](bool success) { endings.push_back(success); };
  }
  sim::EdidSim& chip() { return dynamic_cast<sim::EdidSim&>(*programmer.commandSet("EDID")); }
  QString memo() const { return window.EDID_Memo->toPlainText(); }

  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  TEDID_form window;
  std::optional<std::string> answer;
  std::vector<std::string> dialogs, boxes;
  std::vector<bool> endings;
  test::TempDir dir;
};

TEST(EdidWindow, HasTheDocumentedControls) {
  sim::SimD2xx d2xx;
  TEDID_form window(d2xx);
  EXPECT_EQ(window.windowTitle(), "EEPROM LCD read/write VER4.1");
  EXPECT_EQ(window.findChild<QPushButton*>("EDID_READ")->text(), "EDID_READ");
  EXPECT_EQ(window.findChild<QPushButton*>("EDID_WRITE")->text(), "EDID_WRITE");
  EXPECT_EQ(window.findChild<QPushButton*>("EXIT_EDID")->text(), "EXIT");
  EXPECT_TRUE(window.findChild<QPlainTextEdit*>("EDID_Memo")->isReadOnly());
  EXPECT_EQ(TTaskWindow::Find("TEDID_form"), &window);
}

TEST(EdidWindow, WriteThenReadByClicks) {
  EdidWindowBench bench;
  std::vector<std::uint8_t> image(128);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(0x40 + i % 40);
  test::WriteFileBytes(bench.dir.file("in.bin"), image);

  bench.answer = bench.dir.file("in.bin");
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

}  // namespace
}  // namespace jig
