// The EDID check around the documented read and write: the summary and dump line after a
// read, the question before writing a wrong checksum, and the checksum fix of a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "files/DumpSink.h"
#include "Edid/EdidDecode.h"
#include "Edid/EdidOperations.h"
#include "tests/support/CliRun.h"
#include "sim/SimD2xx.h"
#include "tests/Edid/EdidBench.h"
#include "tests/support/TestFiles.h"

namespace jig {

using namespace edid;
namespace {

using test::Bytes;
using test::Panel;
using test::ReadFileBytes;
using test::WriteFileBytes;

// A sound 256-byte EDID with an extension block.
std::vector<std::uint8_t> Sdc() { return Panel("SDC_SDC4141_1FB7B65F5CB0.bin"); }

// The backup before a write stays as the window starts it: on.
struct CheckBench : test::EdidBench {
  CheckBench() : EdidBench({}, true) {}
};

TEST(EdidCheckRead, SuspiciousEepromsAreFlaggedAfterTheDump) {
  struct Case {
    std::vector<std::uint8_t> contents;
    std::vector<std::string> expected;  // lines between the dump's empty line and "Save the file: "
  };
  auto headless = Sdc();
  headless[1] = 0x00;  // a 256-byte image whose header is broken
  auto badExtension = Sdc();
  badExtension[200] ^= 0x01;
  std::vector<std::uint8_t> pattern(256);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i % 16 * 3);
  const std::vector<Case> cases = {
      {std::vector<std::uint8_t>(256, 0xFF),
       {"EDID header: WRONG, the image does not begin with 00 FF FF FF FF FF FF 00.",
        "Checksum of block 0: WRONG, byte 127 is FFh, should be 7Fh.", "Block 1: empty (all FFh), no extension block.",
        "Manufacturer: ???, product code: 65535 (FFFFh), serial number: 4294967295.",
        "Model year 2245, EDID version 255.255.",
        "Warning: the dump is all FFh. This usually means a bad contact; do not write this dump back."}},
      {headless,
       {"EDID header: WRONG, the image does not begin with 00 FF FF FF FF FF FF 00.",
        "Checksum of block 0: WRONG, byte 127 is 15h, should be 14h.", "Checksum of block 1: OK (ABh).",
        "Manufacturer: SDC, product code: 16705 (4141h), serial number: 0.",
        "Made in week 19 of 2019, EDID version 1.4.", "Dump check: the content looks like real data."}},
      {badExtension,
       {"EDID header: OK.", "Checksum of block 0: OK (15h).",
        "Checksum of block 1: WRONG, byte 255 is ABh, should be AAh.",
        "Manufacturer: SDC, product code: 16705 (4141h), serial number: 0.",
        "Made in week 19 of 2019, EDID version 1.4.", "Dump check: the content looks like real data."}},
  };
  for (const Case& c : cases) {
    CheckBench bench;
    bench.chip().setContents(c.contents);
    bench.view.answerDialog(bench.dir.file("read.bin"));
    bench.ops.read();
    // A doubtful image is still saved: the technician may need it.
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
    EXPECT_EQ(ReadFileBytes(bench.dir.file("read.bin")), c.contents);
    const auto lines = bench.view.lines();
    const auto save = std::find(lines.begin(), lines.end(), "Save the file: ");
    ASSERT_NE(save, lines.end());
    ASSERT_GE(save - lines.begin(), static_cast<std::ptrdiff_t>(c.expected.size()));
    EXPECT_EQ(std::vector<std::string>(save - static_cast<std::ptrdiff_t>(c.expected.size()), save), c.expected);
    // The check lines come after the documented dump and its empty line.
    EXPECT_EQ(*(save - static_cast<std::ptrdiff_t>(c.expected.size()) - 1), "");
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes("BErI"));
  }
  // The 16-byte pattern: flagged as repeated.
  CheckBench bench;
  bench.chip().setContents(pattern);
  bench.view.answerDialog(bench.dir.file("read.bin"));
  bench.ops.read();
  EXPECT_TRUE(bench.hasLine("Warning: the dump repeats one 16-byte pattern throughout. This usually means a bad "
                           "contact; do not write this dump back."));
}

TEST(EdidCheckWrite, WrongChecksumIsAskedAboutAndNoWritesNothing) {
  auto image = Sdc();
  image[127] = 0x16;
  const std::string question =
      "The checksum of block 0 is wrong (byte 127 is 16h, should be 15h). Write this image to the EEPROM anyway?";
  {
    CheckBench bench;
    const auto before = bench.chip().contents();
    bench.view.answerDialog(bench.file("bad.bin", image));
    bench.view.answerYesNo(false);
    bench.ops.write();
    EXPECT_EQ(bench.view.questions(), std::vector<std::string>{question});
    EXPECT_EQ(bench.chip().contents(), before);
    EXPECT_EQ(bench.chip().writesDone(), 0);
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes("B"));  // no 'E' 'w', no signal
    EXPECT_EQ(bench.view.lastLine(), "The image is not written to the EEPROM: its checksum is wrong.");
    EXPECT_TRUE(bench.hasLine("Checksum of block 0: WRONG, byte 127 is 16h, should be 15h."));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
  {
    CheckBench bench;
    bench.view.answerDialog(bench.file("bad.bin", image));
    bench.view.answerYesNo(true);
    bench.ops.write();
    EXPECT_EQ(bench.view.questions(), std::vector<std::string>{question});
    EXPECT_EQ(bench.chip().contents(), image);
    EXPECT_TRUE(bench.hasLine("The image is written with its wrong checksum, as confirmed."));
    EXPECT_EQ(bench.view.lastLine(), "Writing data to EEPROM is completed successfully.");
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  }
  {
    // A sound image and one whose only fault is in the extension are written without a question.
    for (const bool extensionFault : {false, true}) {
      CheckBench bench;
      auto sound = Sdc();
      if (extensionFault) sound[255] = 0;
      bench.view.answerDialog(bench.file("ok.bin", sound));
      bench.ops.write();
      EXPECT_TRUE(bench.view.questions().empty());
      EXPECT_EQ(bench.chip().contents(), sound);
      const auto lines = bench.view.lines();
      // The summary comes before the dump of the image that is sent.
      const auto header = std::find(lines.begin(), lines.end(), "EDID header: OK.");
      const auto firstDump = std::find_if(lines.begin(), lines.end(), [](auto& l) { return !l.empty() && l[0] == ':'; });
      EXPECT_LT(header, firstDump);
      EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
    }
  }
}

TEST(EdidCheckFix, CorrectsTheFileAndSaysWhatChanged) {
  const auto sound = Sdc();
  {
    CheckBench bench;
    auto image = sound;
    image[127] = 0x99;
    image[255] = 0x01;
    const std::string path = bench.file("panel.bin", image);
    bench.view.answerDialog(path);
    bench.ops.fixChecksum();
    EXPECT_EQ(ReadFileBytes(path), sound);
    const auto lines = bench.view.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"Fix checksum: byte 127 changed from 99h to 15h.",
                                        "Fix checksum: byte 255 changed from 01h to ABh.",
                                        "Fix checksum: the corrected file is saved.", path}));
    EXPECT_TRUE(bench.hasLine("Checksum of block 1: OK (ABh)."));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
    EXPECT_EQ(bench.view.dialogs().size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bench.dir.path()), {}), 1);  // no stray file
    EXPECT_EQ(bench.programmer.hostBytes(), Bytes(""));  // offline
  }
  {
    // A 128-byte file stays 128 bytes; only byte 127 may change.
    CheckBench bench;
    auto half = Panel("IVO_IVO057D_D1625702BCED.bin");
    const auto original = half;
    half[127] = static_cast<std::uint8_t>(half[127] - 1);
    const std::string path = bench.file("ivo.bin", half);
    bench.view.answerDialog(path);
    bench.ops.fixChecksum();
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  }
  struct Refusal {
    std::vector<std::uint8_t> bytes;
    std::string line;
    bool success;
  };
  auto headless = sound;
  headless[0] = 0xFF;
  headless[127] = 0;
  const std::vector<Refusal> refusals = {
      {headless, "Fix checksum: the EDID header is wrong, this is not an EDID image; the file is not changed.", false},
      {std::vector<std::uint8_t>(sound.begin(), sound.begin() + 200),
       "Fix checksum: the file must be 128 or 256 bytes long; it is not changed.", false},
      {[&] { auto longer = sound; longer.push_back(0); longer[127] = 0; return longer; }(),
       "Fix checksum: the file must be 128 or 256 bytes long; it is not changed.", false},
      {sound, "Fix checksum: the checksums are already correct, the file is not changed.", true},
  };
  for (const Refusal& r : refusals) {
    CheckBench bench;
    const std::string path = bench.file("x.bin", r.bytes);
    bench.view.answerDialog(path);
    bench.ops.fixChecksum();
    EXPECT_EQ(ReadFileBytes(path), r.bytes) << r.line;
    EXPECT_EQ(bench.view.lines().front(), r.line);
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{r.success}) << r.line;
  }
  {
    CheckBench bench;
    bench.view.answerDialog(std::nullopt);
    bench.ops.fixChecksum();
    EXPECT_EQ(bench.view.lines(), std::vector<std::string>{"Fix checksum is interrupted: no file chosen."});
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    bench.view.answerDialog(bench.dir.file("missing.bin"));
    bench.ops.fixChecksum();
    EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка открытия файла."});
    EXPECT_EQ(bench.view.endings(), (std::vector<bool>{false, false}));
  }
}

TEST(EdidCheckFix, ACorrectedFileThatCannotBeSavedKeepsTheOriginal) {
  CheckBench bench;
  auto image = Sdc();
  image[127] = 0;
  const std::string path = bench.file("panel.bin", image);
  // The disk fills up while the corrected copy is written.
  InjectDumpWriteFault(10);
  bench.view.answerDialog(path);
  bench.ops.fixChecksum();
  InjectDumpWriteFault(std::nullopt);
  EXPECT_EQ(ReadFileBytes(path), image);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bench.dir.path()), {}), 1) << "no temporary file left";
  EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка создания файла."});
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
}

using test::CliRun;
using test::RunCli;

TEST(EdidCheckCli, CheckFixAndTheWriteQuestion) {
  CheckBench bench;
  auto bad = Sdc();
  bad[127] = 0x16;
  const std::string badPath = bench.file("bad.bin", bad);

  const CliRun check = RunCli(bench.d2xx, {"edid", "check", badPath});
  EXPECT_EQ(check.status, kExitFailed);
  EXPECT_EQ(check.out,
            "EDID header: OK.\nChecksum of block 0: WRONG, byte 127 is 16h, should be 15h.\nChecksum of block 1: OK "
            "(ABh).\nManufacturer: SDC, product code: 16705 (4141h), serial number: 0.\nMade in week 19 of 2019, EDID "
            "version 1.4.\n");
  EXPECT_EQ(RunCli(bench.d2xx, {"edid", "check", bench.file("good.bin", Sdc())}).status, kExitOk);
  // A 128-byte file is checked as the write would send it: with an FFh half.
  const CliRun half = RunCli(bench.d2xx, {"edid", "check", bench.file("boe.bin", Panel("BOE_BOE05DF_042BEAC195EB.bin"))});
  EXPECT_EQ(half.status, kExitOk);
  EXPECT_NE(half.out.find("Block 1: empty (all FFh), no extension block.\n"), std::string::npos);
  EXPECT_EQ(RunCli(bench.d2xx, {"edid", "check", bench.dir.file("none.bin")}).status, kExitFailed);
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes(""));  // check never talks to the programmer

  // Without --yes the command line answers No.
  const auto before = bench.chip().contents();
  const CliRun refused = RunCli(bench.d2xx, {"edid", "write", badPath});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_EQ(bench.chip().contents(), before);
  EXPECT_NE(refused.err.find("Write this image to the EEPROM anyway? No"), std::string::npos);
  EXPECT_NE(refused.out.find("The image is not written to the EEPROM: its checksum is wrong.\n"), std::string::npos);

  const CliRun forced = RunCli(bench.d2xx, {"edid", "write", badPath, "--yes"});
  EXPECT_EQ(forced.status, kExitOk) << forced.out << forced.err;
  EXPECT_EQ(bench.chip().contents(), bad);

  const CliRun fix = RunCli(bench.d2xx, {"edid", "fix", badPath});
  EXPECT_EQ(fix.status, kExitOk);
  EXPECT_NE(fix.out.find("Fix checksum: byte 127 changed from 16h to 15h.\n"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(badPath), Sdc());

  // The read prints the summary and the dump line too.
  const CliRun read = RunCli(bench.d2xx, {"edid", "read", bench.dir.file("back.bin")});
  EXPECT_EQ(read.status, kExitOk);
  EXPECT_NE(read.out.find("Checksum of block 0: WRONG, byte 127 is 16h, should be 15h.\nChecksum of block 1: OK (ABh).\n"),
            std::string::npos);
  EXPECT_NE(read.out.find("Dump check: the content looks like real data.\nSave the file: \n"), std::string::npos);

  EXPECT_EQ(RunCli(bench.d2xx, {"edid", "read", bench.dir.file("x.bin"), "--loud"}).status, kExitUsage);
  EXPECT_EQ(RunCli(bench.d2xx, {"edid", "check"}).status, kExitUsage);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

// The offline commands touch no chip and do not say they left one alone; a fix through a
// link fixes the file the link names, and the link stays a link.
TEST(EdidCheckCli, OfflineCommandsNameNoChipAndAFixFollowsALink) {
  CheckBench bench;
  auto bad = Sdc();
  bad[127] = 0x16;
  const std::string target = bench.file("panel.bin", bad);
  const std::string link = bench.dir.file("link.bin");
  std::filesystem::create_symlink(target, link);
  const CliRun fix = RunCli(bench.d2xx, {"edid", "fix", link});
  EXPECT_EQ(fix.status, kExitOk) << fix.out << fix.err;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link), target);
  EXPECT_EQ(ReadFileBytes(target), Sdc());

  const std::string empty = bench.file("empty.bin", {});
  std::filesystem::create_directory(bench.dir.file("folder.bin"));
  for (const char* command : {"check", "fix"}) {
    for (const std::string& path : {empty, bench.dir.file("folder.bin")}) {
      SCOPED_TRACE(std::string(command) + " " + path);
      const CliRun run = RunCli(bench.d2xx, {"edid", command, path});
      EXPECT_EQ(run.status, kExitFailed);
      EXPECT_NE((run.out + run.err).find(path), std::string::npos) << run.out << run.err;
      EXPECT_EQ((run.out + run.err).find("chip"), std::string::npos) << run.out << run.err;
    }
  }
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes(""));
}

}  // namespace
}  // namespace jig
