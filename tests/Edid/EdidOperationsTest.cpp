#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "Edid/EdidDump.h"
#include "Edid/EdidOperations.h"
#include "sim/EdidSim.h"
#include "sim/SimD2xx.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

// Real panels' EDIDs, kept with the tests.
std::vector<std::uint8_t> Panel(const std::string& name) { return test::PanelEdid(name); }

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Short bounds so that a silent programmer ends a test quickly.
constexpr EdidBounds kShort{300, 200, 300};

struct EdidBench {
  explicit EdidBench(sim::SimOptions options = {}) : programmer(d2xx.attach(std::move(options))) {}
  sim::EdidSim& chip() { return dynamic_cast<sim::EdidSim&>(*programmer.commandSet("EDID")); }
  std::vector<std::string> dumpLines() const {
    std::vector<std::string> dump;
    for (const auto& line : view.allLines())
      if (!line.empty() && line[0] == ':') dump.push_back(line);
    return dump;
  }
  bool logged(const std::string& text) const {
    const auto lines = view.allLines();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  test::RecordingView view;
  test::TempDir dir;
  EdidOperations ops{d2xx, view, kShort};
};

TEST(EdidRead, SavesTheEepromAndLogsItsDump) {
  EdidBench bench;
  const auto panel = Panel("SDC_SDC4141_1FB7B65F5CB0.bin");
  ASSERT_EQ(panel.size(), 256u);
  bench.chip().setContents(panel);
  const std::string file = bench.dir.file("panel.bin");
  bench.view.answerDialog(file);

  bench.ops.EDID_READClick();

  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(ReadFileBytes(file), panel);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BErI"));
  const auto lines = bench.view.lines();
  const auto dump = EdidDump(panel);
  std::vector<std::string> tail = {"Communication with programmer installed.", "Reading EEPROM ...",
                                   "Reading from the EEPROM is completed successfully."};
  tail.insert(tail.end(), dump.begin(), dump.end());
  tail.insert(tail.end(), {"", "EDID header: OK.", "Checksum of block 0: OK (15h).", "Checksum of block 1: OK (ABh).",
                           "Manufacturer: SDC, product code: 16705 (4141h), serial number: 0.",
                           "Made in week 19 of 2019, EDID version 1.4.", "Dump check: the content looks like real data.",
                           "Save the file: ", file});
  ASSERT_GE(lines.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(tail.size()), lines.end()), tail);
  ASSERT_EQ(bench.view.dialogs().size(), 1u);
  const FileDialog dialog = bench.view.dialogs()[0];
  EXPECT_EQ(dialog.title, "Укажите имя файла для сохранения.");
  EXPECT_EQ(dialog.filter, "BIN файлы EEPROM (*.bin)|*.bin");
  EXPECT_EQ(dialog.defaultName, "Noname");
  EXPECT_EQ(dialog.defaultExtension, ".bin");
  EXPECT_TRUE(dialog.promptOverwrite);
}

TEST(EdidRead, AbsentEepromCreatesNoFileAndShowsNoData) {
  sim::SimOptions options;
  options.faults["edid-absent"] = "";
  EdidBench bench(options);
  const std::string file = bench.dir.file("never.bin");
  bench.view.answerDialog(file);

  bench.ops.EDID_READClick();

  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(bench.view.dialogs().empty());
  EXPECT_TRUE(bench.dumpLines().empty());
  const auto lines = bench.view.lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "EEPROM does not respond, check the connection !!!");
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BErO"));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidRead, CancelledSaveKeepsNothing) {
  EdidBench bench;
  bench.view.answerDialog(std::nullopt);
  bench.ops.EDID_READClick();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.view.lastLine(), "Write to file is interrupted.");
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BErI"));  // the EEPROM was read all right
  EXPECT_TRUE(std::filesystem::is_empty(bench.dir.path()));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidRead, FileThatCannotBeCreatedShowsTheBox) {
  EdidBench bench;
  bench.view.answerDialog(bench.dir.file("no/such/folder/x.bin"));
  bench.ops.EDID_READClick();
  EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка создания файла."});
  EXPECT_EQ(bench.view.lastLine(), "");
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidRead, UnknownStatusIsLoggedAndNoFileIsMade) {
  sim::SimOptions options;
  options.faults["edid-status"] = "XY";
  EdidBench bench(options);
  bench.view.answerDialog(bench.dir.file("x.bin"));
  bench.ops.EDID_READClick();
  EXPECT_EQ(bench.view.lastLine(), edid_text::kReadBadStatus);
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BEr"));  // closed without a signal
  EXPECT_TRUE(bench.view.dialogs().empty());
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidRead, ShortAnswerEndsWithinItsBound) {
  sim::SimOptions options;
  options.faults["silence-after"] = "103";  // "V41" and 100 of the 258 bytes
  EdidBench bench(options);
  bench.view.answerDialog(bench.dir.file("x.bin"));
  const auto start = std::chrono::steady_clock::now();
  bench.ops.EDID_READClick();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(2000));
  EXPECT_EQ(bench.view.lastLine(), edid_text::kReadNoAnswer);
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BErO"));
  EXPECT_TRUE(bench.dumpLines().empty());
  EXPECT_TRUE(std::filesystem::is_empty(bench.dir.path()));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidRead, NoProgrammerEndsAtOnce) {
  sim::SimD2xx d2xx;
  test::RecordingView view;
  EdidOperations ops(d2xx, view, kShort);
  ops.EDID_READClick();
  EXPECT_EQ(view.lines(), std::vector<std::string>{"VCOM port is not found on the machine!"});
  EXPECT_EQ(view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(view.dialogs().empty());
}

TEST(EdidWrite, ShortFileIsPaddedWithFf) {
  EdidBench bench;
  const auto panel = Panel("BOE_BOE05DF_042BEAC195EB.bin");
  ASSERT_EQ(panel.size(), 128u);
  const std::string file = bench.dir.file("boe.bin");
  WriteFileBytes(file, panel);
  bench.view.answerDialog(file);

  bench.ops.EDID_WRITEClick();

  const auto padded = Concat({panel, std::vector<std::uint8_t>(128, 0xFF)});
  EXPECT_EQ(bench.chip().contents(), padded);
  EXPECT_EQ(bench.programmer.hostBytes(), Concat({Bytes("BEw"), padded, Bytes("I")}));
  const auto dump = bench.dumpLines();
  const auto expected = EdidDump(padded);
  EXPECT_EQ(dump, std::vector<std::string>(expected.begin() + 1, expected.end()));
  EXPECT_EQ(bench.view.lastLine(), "Writing data to EEPROM is completed successfully.");
  EXPECT_TRUE(bench.logged("Writing EEPROM ..."));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  ASSERT_EQ(bench.view.dialogs().size(), 1u);
  EXPECT_EQ(bench.view.dialogs()[0].title, "Укажите файл за заливки.");
  EXPECT_EQ(bench.view.dialogs()[0].filter, "BIN файлы EEPROM (*.bin)|*.bin|Другие|*.*");
}

TEST(EdidWrite, LongFileIsCutAndAnEmptyFileIsAllFf) {
  {
    EdidBench bench;
    std::vector<std::uint8_t> big(300);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    WriteFileBytes(bench.dir.file("big.bin"), big);
    bench.view.answerDialog(bench.dir.file("big.bin"));
    bench.view.answerYesNo(true);  // no EDID, so its checksum is wrong
    bench.ops.EDID_WRITEClick();
    EXPECT_EQ(bench.chip().contents(), std::vector<std::uint8_t>(big.begin(), big.begin() + 256));
    EXPECT_EQ(bench.programmer.hostBytes().size(), 1u + 2u + 256u + 1u);
  }
  {
    EdidBench bench;
    bench.chip().setContents(std::vector<std::uint8_t>(256, 0x00));
    WriteFileBytes(bench.dir.file("empty.bin"), {});
    bench.view.answerDialog(bench.dir.file("empty.bin"));
    bench.view.answerYesNo(true);
    bench.ops.EDID_WRITEClick();
    EXPECT_EQ(bench.chip().contents(), std::vector<std::uint8_t>(256, 0xFF));
  }
}

TEST(EdidWrite, WriteProtectedEepromSaysSoAndKeepsItsData) {
  sim::SimOptions options;
  options.faults["edid-write-protected"] = "";
  EdidBench bench(options);
  const auto before = bench.chip().contents();
  WriteFileBytes(bench.dir.file("a.bin"), std::vector<std::uint8_t>(256, 0x11));
  bench.view.answerDialog(bench.dir.file("a.bin"));
  bench.view.answerYesNo(true);
  bench.ops.EDID_WRITEClick();
  EXPECT_EQ(bench.view.lastLine(), "EEPROM does not respond, or write error! WP 7 pin = '0' ?");
  EXPECT_EQ(bench.programmer.hostBytes().back(), 'O');
  EXPECT_EQ(bench.chip().contents(), before);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidWrite, CancelledOrMissingFileSendsNothing) {
  {
    EdidBench bench;
    bench.view.answerDialog(std::nullopt);
    bench.ops.EDID_WRITEClick();
    EXPECT_EQ(bench.view.lastLine(), "Write operation is interrupted.");
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes("B"));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
  {
    EdidBench bench;
    bench.view.answerDialog(bench.dir.file("missing.bin"));
    bench.ops.EDID_WRITEClick();
    EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка открытия файла."});
    EXPECT_EQ(bench.view.lastLine(), "");
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes("B"));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

TEST(EdidWrite, MissingReadyByteEndsWithinItsBoundWithoutSendingTheImage) {
  sim::SimOptions options;
  options.faults["edid-no-ready"] = "";
  EdidBench bench(options);
  const auto before = bench.chip().contents();
  WriteFileBytes(bench.dir.file("a.bin"), std::vector<std::uint8_t>(256, 0x22));
  bench.view.answerDialog(bench.dir.file("a.bin"));
  bench.ops.EDID_WRITEClick();
  EXPECT_EQ(bench.view.lastLine(), edid_text::kReadyNoAnswer);
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BEwO"));
  EXPECT_EQ(bench.chip().contents(), before);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidWrite, SilentOrUnknownStatusIsNeverSuccess) {
  {
    sim::SimOptions options;
    options.faults["silence-after"] = "4";  // "V41" and the ready byte
    EdidBench bench(options);
    WriteFileBytes(bench.dir.file("a.bin"), {1, 2, 3});
    bench.view.answerDialog(bench.dir.file("a.bin"));
    bench.view.answerYesNo(true);
    bench.ops.EDID_WRITEClick();
    EXPECT_EQ(bench.view.lastLine(), edid_text::kWriteNoAnswer);
    EXPECT_EQ(bench.programmer.hostBytes().back(), 'O');
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
  {
    sim::SimOptions options;
    options.faults["edid-status"] = "O?";
    EdidBench bench(options);
    WriteFileBytes(bench.dir.file("a.bin"), {1, 2, 3});
    bench.view.answerDialog(bench.dir.file("a.bin"));
    bench.view.answerYesNo(true);
    bench.ops.EDID_WRITEClick();
    EXPECT_EQ(bench.view.lastLine(), edid_text::kWriteBadStatus);
    const auto host = bench.programmer.hostBytes();
    EXPECT_EQ(host.size(), 1u + 2u + 256u);  // no 'I' and no 'O'
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

TEST(EdidSim, EepromKeepsItsContentsInTheStateFolder) {
  test::TempDir state;
  sim::SimOptions options;
  options.stateDir = state.path().string();
  const auto panel = Panel("SDC_SDC4141_1FB7B65F5CB0.bin");
  {
    EdidBench bench(options);
    WriteFileBytes(bench.dir.file("in.bin"), panel);
    bench.view.answerDialog(bench.dir.file("in.bin"));
    bench.ops.EDID_WRITEClick();
    ASSERT_EQ(bench.view.endings(), std::vector<bool>{true});
  }
  EdidBench again(options);
  again.view.answerDialog(again.dir.file("out.bin"));
  again.ops.EDID_READClick();
  EXPECT_EQ(ReadFileBytes(again.dir.file("out.bin")), panel);
}

}  // namespace
}  // namespace jig
