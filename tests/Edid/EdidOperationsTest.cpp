#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "Edid/EdidDump.h"
#include "Edid/EdidOperations.h"
#include "files/Sha256.h"
#include "sim/SimD2xx.h"
#include "tests/Edid/EdidBench.h"
#include "tests/support/FileSafetyCases.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig {

using namespace edid;
namespace {

using test::Bytes;
using test::Cat;
using test::EdidBench;
using test::Options;
using test::Panel;
using test::ReadFileBytes;
using test::WriteFileBytes;

TEST(EdidRead, SavesTheEepromAndLogsItsDump) {
  EdidBench bench;
  const auto panel = Panel("SDC_SDC4141_1FB7B65F5CB0.bin");
  ASSERT_EQ(panel.size(), 256u);
  bench.chip().setContents(panel);
  const std::string file = bench.dir.file("panel.bin");
  bench.view.answerDialog(file);

  bench.ops.read();

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
  EdidBench bench(Options("", {{"edid-absent", ""}}));
  const std::string file = bench.dir.file("never.bin");
  bench.view.answerDialog(file);

  bench.ops.read();

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
  bench.ops.read();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.view.lastLine(), "Write to file is interrupted.");
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BErI"));  // the EEPROM was read all right
  EXPECT_TRUE(std::filesystem::is_empty(bench.dir.path()));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidRead, FileThatCannotBeCreatedShowsTheBox) {
  EdidBench bench;
  bench.view.answerDialog(bench.dir.file("no/such/folder/x.bin"));
  bench.ops.read();
  EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка создания файла."});
  EXPECT_EQ(bench.view.lastLine(), "");
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(EdidRead, NoProgrammerEndsAtOnce) {
  sim::SimD2xx d2xx;
  test::RecordingView view;
  EdidOperations ops(d2xx, view, test::kEdidShort);
  ops.read();
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
  bench.view.answerYesNo(true);  // a file shorter than the EEPROM is asked about

  bench.ops.write();

  ASSERT_EQ(bench.view.questions().size(), 1u);
  EXPECT_NE(bench.view.questions()[0].find("holds 128 bytes; the chip holds 256"), std::string::npos);
  const auto padded = Cat({panel, std::vector<std::uint8_t>(128, 0xFF)});
  EXPECT_EQ(bench.chip().contents(), padded);
  EXPECT_EQ(bench.programmer.hostBytes(), Cat({Bytes("BEw"), padded, Bytes("I")}));
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

// A file the EEPROM cannot hold, or none at all, is refused after the open, before 'E' 'w';
// a file of one repeated byte or a wrong header is asked about, and No sends nothing.
TEST(EdidWrite, ALongEmptyOrNonEdidFileIsRefusedOrAskedAboutBeforeTheWrite) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* line;  // a part of the last line
  };
  std::vector<std::uint8_t> big(300);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
  std::vector<std::uint8_t> zeros(256, 0x00);
  std::vector<std::uint8_t> noHeader = Panel("SDC_SDC4141_1FB7B65F5CB0.bin");
  noHeader[1] = 0x00;
  const std::vector<Case> cases = {
      {"big.bin", big, "holds 300 bytes, more than the chip's 256; the chip is not touched."},
      {"empty.bin", {}, "is empty; the chip is not touched."},
      {"zeros.bin", zeros, "The write is cancelled; the chip is not touched."},
      {"sevens.bin", std::vector<std::uint8_t>(256, 0x77), edid::text::kNotAnEdid},
      {"noheader.bin", noHeader, edid::text::kNotAnEdid},
  };
  for (const auto& c : cases) {
    EdidBench bench;
    const auto before = bench.chip().contents();
    WriteFileBytes(bench.dir.file(c.name), c.bytes);
    bench.view.answerDialog(bench.dir.file(c.name));
    bench.ops.write();
    EXPECT_NE(bench.view.lastLine().find(c.line), std::string::npos) << c.name << ": " << bench.view.lastLine();
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes("B")) << c.name;
    EXPECT_EQ(bench.chip().contents(), before) << c.name;
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false}) << c.name;
    EXPECT_EQ(bench.d2xx.openHandles(), 0u) << c.name;
  }
}

// With the backup on, the EEPROM is read and kept before the write; the copy is the old
// contents, named by its digest.
TEST(EdidWrite, TheBackupBeforeAWriteHoldsTheOldContents) {
  EdidBench bench;
  test::TempDir home;
  setenv("XDG_DATA_HOME", home.path().c_str(), 1);
  const auto old = Panel("SDC_SDC4141_1FB7B65F5CB0.bin");
  bench.chip().setContents(old);
  const auto panel = Cat({Panel("BOE_BOE05DF_042BEAC195EB.bin"), std::vector<std::uint8_t>(128, 0xFF)});
  WriteFileBytes(bench.dir.file("new.bin"), panel);
  bench.view.answerDialog(bench.dir.file("new.bin"));
  bench.ops.setBackup(true);
  bench.ops.write();

  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.chip().contents(), panel);
  EXPECT_EQ(bench.programmer.hostBytes(), Cat({Bytes("B" "BErI" "BEw"), panel, Bytes("I")}));
  const auto folder = home.path() / "holbrenik-jig" / "backups";
  const std::vector<std::string> names = test::BackupsIn(folder);
  const std::vector<std::filesystem::path> backups(names.begin(), names.end());
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(ReadFileBytes(backups[0].string()), old);
  EXPECT_TRUE(backups[0].filename().string().starts_with("edid-"));
  EXPECT_TRUE(bench.logged("Backup of the chip: " + backups[0].string() + " SHA-256 " + Sha256Hex(old)));

  // A backup that cannot be read keeps the write from starting.
  EdidBench failing(Options("", {{"edid-status", "ER"}}));
  WriteFileBytes(failing.dir.file("new.bin"), panel);
  failing.view.answerDialog(failing.dir.file("new.bin"));
  failing.ops.setBackup(true);
  failing.ops.write();
  EXPECT_EQ(failing.view.lastLine(), "The backup read failed; the write does not start.");
  EXPECT_EQ(failing.programmer.hostBytes(), Bytes("B" "BErO"));
  EXPECT_EQ(failing.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(failing.d2xx.openHandles(), 0u);
  unsetenv("XDG_DATA_HOME");
}

TEST(EdidWrite, CancelledOrMissingFileSendsNothing) {
  {
    EdidBench bench;
    bench.view.answerDialog(std::nullopt);
    bench.ops.write();
    EXPECT_EQ(bench.view.lastLine(), "Write operation is interrupted.");
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes("B"));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
  {
    EdidBench bench;
    bench.view.answerDialog(bench.dir.file("missing.bin"));
    bench.ops.write();
    EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка открытия файла."});
    EXPECT_EQ(bench.view.lastLine(), "");
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes("B"));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

// A programmer that answers wrong, falls silent or goes away, and an EEPROM that will not
// be written: the click ends within its bound, never as a success, with its line last and
// nothing open; a read leaves no file and shows no data, a refused write keeps the EEPROM.
struct FaultCase {
  const char* name;
  test::Faults faults;
  std::optional<std::vector<std::uint8_t>> image;  // a write of this file (none: a read)
  std::string lastLine;
  std::string wire;       // all the host sent (empty: not checked)
  std::size_t hostBytes;  // how many bytes the host sent (0: not checked)
  char lastSent;          // the last byte the host sent (0: not checked)
  bool eepromKept;
};

std::vector<FaultCase> FaultCases() {
  const std::vector<std::uint8_t> full(256, 0x22), tiny = {1, 2, 3};
  return {
      {"ReadUnknownStatus", {{"edid-status", "XY"}}, {}, std::string(edid::text::kReadBadStatus), "BEr" /* no signal */,
       0, 0, true},
      {"ReadShortAnswer", {{"silence-after", "103"}} /* "V41" and 100 of the 258 bytes */, {},
       std::string(edid::text::kReadNoAnswer), "BErO", 0, 0, true},
      {"WriteProtected", {{"edid-write-protected", ""}}, std::vector<std::uint8_t>(256, 0x11),
       "EEPROM does not respond, or write error! WP 7 pin = '0' ?", "", 0, 'O', true},
      {"NoReadyByte", {{"edid-no-ready", ""}}, full, std::string(edid::text::kReadyNoAnswer), "BEwO", 0, 0, true},
      {"WriteStatusSilent", {{"silence-after", "4"}} /* "V41" and the ready byte */, tiny,
       std::string(edid::text::kWriteNoAnswer), "", 0, 'O', false},
      {"WriteStatusUnknown", {{"edid-status", "O?"}}, tiny, std::string(edid::text::kWriteBadStatus), "",
       1 + 2 + 256 /* no 'I' and no 'O' */, 0, false},
      // Unplugged while an answer is awaited: the line says so, and nothing more is sent
      // (there is nobody to take the 'O').
      {"UnpluggedInTheReadAnswer", {{"unplug-after", "103"}}, {}, std::string(edid::text::kProgrammerGone), "", 3, 0,
       true},
      {"UnpluggedBeforeTheReadyByte", {{"unplug-after", "3"}}, full, std::string(edid::text::kProgrammerGone), "", 3, 0,
       true},
      {"UnpluggedBeforeTheWriteStatus", {{"unplug-after", "4"}}, full, std::string(edid::text::kProgrammerGone), "",
       3 + 256, 0, false},
  };
}

void PrintTo(const FaultCase& row, std::ostream* os) { *os << row.name; }

class EdidFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(EdidFault, EndsWithinItsBoundAndIsNeverSuccess) {
  const FaultCase& c = GetParam();
  EdidBench bench(Options("", c.faults));
  const auto before = bench.chip().contents();
  const auto start = std::chrono::steady_clock::now();
  if (c.image) {
    WriteFileBytes(bench.dir.file("a.bin"), *c.image);
    bench.view.answerDialog(bench.dir.file("a.bin"));
    bench.view.answerYesNo(true);  // its size
    bench.view.answerYesNo(true);  // no EDID header
    bench.ops.write();
  } else {
    bench.view.answerDialog(bench.dir.file("x.bin"));
    bench.ops.read();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  EXPECT_EQ(bench.view.lastLine(), c.lastLine);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  const auto host = bench.programmer.hostBytes();
  if (!c.wire.empty()) {
    EXPECT_EQ(host, Bytes(c.wire));
  }
  if (c.hostBytes != 0) {
    EXPECT_EQ(host.size(), c.hostBytes);
  }
  if (c.lastSent != 0) {
    EXPECT_EQ(host.back(), c.lastSent);
  }
  if (c.eepromKept) {
    EXPECT_EQ(bench.chip().contents(), before);
  }
  if (!c.image) {
    EXPECT_TRUE(bench.view.dialogs().empty());
    EXPECT_TRUE(bench.dumpLines().empty());
    EXPECT_TRUE(std::filesystem::is_empty(bench.dir.path()));
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, EdidFault, ::testing::ValuesIn(FaultCases()), test::CaseName<FaultCase>);

TEST(EdidSim, EepromKeepsItsContentsInTheStateFolder) {
  test::TempDir state;
  sim::SimOptions options;
  options.stateDir = state.path().string();
  const auto panel = Panel("SDC_SDC4141_1FB7B65F5CB0.bin");
  {
    EdidBench bench(options);
    WriteFileBytes(bench.dir.file("in.bin"), panel);
    bench.view.answerDialog(bench.dir.file("in.bin"));
    bench.ops.write();
    ASSERT_EQ(bench.view.endings(), std::vector<bool>{true});
  }
  EdidBench again(options);
  again.view.answerDialog(again.dir.file("out.bin"));
  again.ops.read();
  EXPECT_EQ(ReadFileBytes(again.dir.file("out.bin")), panel);
}

}  // namespace
}  // namespace jig
