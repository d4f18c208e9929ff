#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include "tests/Kb901x_form/Kb90Bench.h"
#include "tests/support/CliRun.h"

namespace jig {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Bench = test::Kb90Bench;
using test::Pattern;
using test::Kb90ShortBounds;
constexpr std::size_t kImage = test::kKb90Image;

Bytes FullWriteWire(const Bytes& image, std::uint8_t end) { return test::Kb90WriteWire(image, end); }

void ExpectIdleAndClosed(Bench& bench, Kb90Operations& ops) {
  EXPECT_EQ(ops.mode(), Kb90Mode::None);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.view.enabled("KB901X_READ").value_or(true), true);
  EXPECT_EQ(bench.view.enabled("KB901X_WRITE").value_or(true), true);
  EXPECT_EQ(bench.view.enabled("EXIT_KB901X").value_or(true), true);
  EXPECT_EQ(bench.view.endings().size(), 1u);
}

TEST(Kb901xRead, DumpsTheWholeFlashWithTheDocumentedSequence) {
  Bench bench;
  const Bytes flash = Pattern(kImage, 3);
  bench.chip().setFlash(flash);
  Kb90Operations ops(bench.d2xx, bench.view);
  const std::string file = bench.dir.file("dump.bin");
  bench.view.answerDialog(file);
  ops.KB901X_READClick();
  ASSERT_TRUE(bench.view.waitEnded());
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});

  Bytes wire = {'B', 'V', 'R'};
  wire.insert(wire.end(), 511, 'N');
  wire.insert(wire.end(), {'X', 'I'});
  EXPECT_EQ(bench.programmer.hostBytes(), wire);
  EXPECT_EQ(test::ReadFileBytes(file), flash);

  EXPECT_EQ(bench.linesWithoutTime(),
            (std::vector<std::string>{"Number of VCOM ports found on the machine: 1",
                                      "Communication with programmer installed.",
                                      "Communication with KB90XX installed.", "Embedded Debug Version ID = 48",
                                      "Save the file: ", file, "Reading KB9012 ...",
                                      "Reading completed successfully.",
                                      "Dump check: the content looks like real data."}));
  const auto lines = bench.view.lines();
  EXPECT_EQ(lines[lines.size() - 2].rfind("Current time  ", 0), 0u);
  const auto dialogs = bench.view.dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, "Укажите имя файла для сохранения.");
  EXPECT_EQ(dialogs[0].defaultName, "Noname");
  EXPECT_TRUE(dialogs[0].promptOverwrite);
  EXPECT_EQ(bench.view.gauge("CGauge_KB901X"), 32768);
  EXPECT_EQ(bench.view.gaugeColour("CGauge_KB901X"), colour::kGreen);
  ExpectIdleAndClosed(bench, ops);
}

TEST(Kb901xLinkCheck, NoControllerNoDialog) {
  Bench bench(test::Options("", {{"kb90-no-controller", ""}}));
  Kb90Operations ops(bench.d2xx, bench.view);
  ops.KB901X_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded());
  EXPECT_EQ(bench.programmer.hostBytes(), (Bytes{'B', 'V', 'O'}));
  const auto lines = bench.view.lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{"", "No connection to the KB90XX!", "Motherboard is connected / powered ?"}));
  EXPECT_TRUE(bench.view.dialogs().empty());
  ExpectIdleAndClosed(bench, ops);
}

TEST(Kb901xLinkCheck, VersionIdZeroIsAController) {
  Bench bench(test::Options("", {{"kb90-id", "0"}}));
  Kb90Operations ops(bench.d2xx, bench.view);
  ops.KB901X_READClick();  // the dialog is cancelled
  ASSERT_TRUE(bench.view.waitEnded());
  EXPECT_TRUE(bench.hasLine("Embedded Debug Version ID = 0"));
  EXPECT_EQ(bench.view.lastLine(), "Write to file is interrupted.");
  EXPECT_EQ(bench.programmer.hostBytes(), (Bytes{'B', 'V'}));
  ExpectIdleAndClosed(bench, ops);
}

// A programmer that falls silent, sends too much or goes away ends the click within its
// bound: one line last, the failure's end byte, no dump (a write keeps its source).
struct ClickFault {
  std::string name;
  test::Faults faults;
  bool write;
  std::string lastLine;
  bool lineIsStart;          // the line starts so (a block number follows)
  char lastSent;             // the failure's end byte, or what went before an unplug
  std::optional<Bytes> wire;  // all the host sent
  std::optional<int> gauge;
};

void PrintTo(const ClickFault& row, std::ostream* out) { *out << row.name; }

std::vector<ClickFault> ClickFaults() {
  return {
      {"ReadSilentFromBlock17", {{"kb90-silence-block", "17"}}, false,
       "Reading stopped: block 17 of 512 did not come from the programmer; the file is not written.", false, 'O', {}, {}},
      {"ReadBlock3TooLong", {{"kb90-surplus-block", "3"}}, false,
       "Reading stopped: the programmer sent more than 256 bytes for block 3 of 512; the file is not written.", false, 'O',
       {}, {}},
      {"ReadBlock512TooLong", {{"kb90-surplus-block", "512"}}, false,
       "Reading stopped: the programmer sent more than 256 bytes for block 512 of 512; the file is not written.", false,
       'O', {}, {}},
      {"ReadUnplugged", {{"unplug-after", "5000"}}, false, "Reading stopped: the programmer was disconnected at block ",
       true, 'N' /* nothing more */, {}, {}},
      // Answers 'B', then nothing: no controller, so no dialog either.
      {"SilentAfterTheOpen", {{"silence-after", "3"}}, false, "Motherboard is connected / powered ?", false,
       'O', Bytes{'B', 'V', 'O'}, {}},
      // 'B' answer (3), 'V' answer (1), ready and done for 512 blocks (1024), then 100 marks.
      {"WriteSilentInTheChecksum", {{"silence-after", std::to_string(3 + 1 + 1024 + 100)}}, true,
       "Verify stopped: progress mark 101 of 512 did not come from the programmer.", false, 'O', {}, 6400},
      {"WriteSilentBeforeBlock41", {{"silence-after", std::to_string(3 + 1 + 2 * 40)}}, true,
       "Writing stopped: the programmer was not ready for block 41 of 512.", false, 'O', {}, {}},
      // Every mark came, the 4-byte answer after them did not.
      {"WriteSilentAfterTheLastMark", {{"silence-after", std::to_string(3 + 1 + 1024 + 512)}}, true,
       "Verify stopped: the checksum did not come from the programmer.", false, 'O', {}, 32768},
      {"WriteSilentAfterTheReadyOfBlock41", {{"silence-after", std::to_string(3 + 1 + 2 * 40 + 1)}}, true,
       "Writing stopped: the programmer did not confirm block 41 of 512.", false, 'O', {}, {}},
  };
}

class Kb901xClickFault : public ::testing::TestWithParam<ClickFault> {};

TEST_P(Kb901xClickFault, EndsWithinItsBoundIdleAndClosed) {
  const ClickFault& c = GetParam();
  Bench bench(test::Options("", c.faults));
  Kb90Operations ops(bench.d2xx, bench.view, Kb90ShortBounds());
  const std::string file = bench.dir.file(c.write ? "image.bin" : "dump.bin");
  if (c.write) test::WriteFileBytes(file, Pattern(kImage, 1));
  bench.view.answerDialog(file);
  if (c.write) ops.KB901X_WRITEClick();
  else ops.KB901X_READClick();
  // Only a guard against a hang: the fault's own bound is the short one (200 ms), but a
  // whole 512-block write before it takes about five seconds under the thread checker.
  ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(30)));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  if (c.lineIsStart) {
    EXPECT_TRUE(bench.view.lastLine().starts_with(c.lastLine)) << bench.view.lastLine();
  } else {
    EXPECT_EQ(bench.view.lastLine(), c.lastLine);
  }
  EXPECT_EQ(bench.programmer.hostBytes().back(), c.lastSent);
  if (c.wire) {
    EXPECT_EQ(bench.programmer.hostBytes(), *c.wire);
  }
  if (c.gauge) {
    EXPECT_EQ(bench.view.gauge("CGauge_KB901X"), *c.gauge);
  }
  EXPECT_EQ(std::filesystem::exists(file), c.write);  // a write never removes its source
  ExpectIdleAndClosed(bench, ops);
}

INSTANTIATE_TEST_SUITE_P(Faults, Kb901xClickFault, ::testing::ValuesIn(ClickFaults()),
                         [](const ::testing::TestParamInfo<ClickFault>& row) { return row.param.name; });

// The checksum's marks as a burst (the simulator's default), one per block as a real
// programmer sends them while it reads the flash back, and with the checksum apart from the
// last mark: a reader that stops one mark early or takes marks and checksum in one read
// passes only the burst.
struct Pacing {
  const char* name;
  std::map<std::string, std::string> options;
};

void PrintTo(const Pacing& pacing, std::ostream* out) { *out << pacing.name; }

class Kb901xWritePaced : public ::testing::TestWithParam<Pacing> {};

TEST_P(Kb901xWritePaced, FullImageIsWrittenAndVerified) {
  Bench bench(test::Options("", GetParam().options));
  const Bytes image = Pattern(kImage, 11);
  const std::string file = bench.dir.file("image.bin");
  test::WriteFileBytes(file, image);
  Kb90Operations ops(bench.d2xx, bench.view);
  bench.view.answerDialog(file);
  ops.KB901X_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded());
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.programmer.hostBytes(), FullWriteWire(image, 'I'));
  EXPECT_EQ(bench.chip().flash(), image);

  Kb90Sums sums;
  sums.add(image);
  char summ[8], crc[8];
  std::snprintf(summ, sizeof summ, "%04X", sums.SUMM_KB90);
  std::snprintf(crc, sizeof crc, "%04X", sums.CRC16_KB90);
  const std::string stars(34, '*');
  EXPECT_EQ(bench.linesWithoutTime(),
            (std::vector<std::string>{"Number of VCOM ports found on the machine: 1",
                                      "Communication with programmer installed.",
                                      "Communication with KB90XX installed.", "Embedded Debug Version ID = 48",
                                      "Write in KB901X file:", file, "There is a writing KB901X...",
                                      "Writing is completed successfully.", stars,
                                      "SUMM of data from a file  -> " + std::string(summ), "CRC16 of data from a file -> " + std::string(crc),
                                      stars, "SUMM FLASH KB90XX -> " + std::string(summ), "CRC16 FLASH KB90XX-> " + std::string(crc), stars,
                                      "Writing and verify is OK !"}));
  EXPECT_EQ(bench.view.dialogs().at(0).title, "Укажите файл за заливки.");
  EXPECT_EQ(bench.view.gauge("CGauge_KB901X"), 32768);  // 512 marks counted
  EXPECT_EQ(bench.view.gaugeColour("CGauge_KB901X"), colour::kYellow);
  ExpectIdleAndClosed(bench, ops);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, Kb901xWritePaced,
    ::testing::Values(Pacing{"burst", {}}, Pacing{"onePerBlock", {{"kb90-pace-marks", ""}}},
                      Pacing{"onePerBlockChecksumApart", {{"kb90-pace-marks", ""}, {"kb90-split-checksum", ""}}},
                      Pacing{"burstChecksumApart", {{"kb90-split-checksum", "5000"}}}),
    [](const ::testing::TestParamInfo<Pacing>& row) { return std::string(row.param.name); });

// After the technician's Yes to the question about the size, the documented short write:
// the last block padded with FFh, the warning, no checksum. The programmer checks nothing
// then, so the chip is read back and compared with the file: the write counts only if the
// chip holds it. (An empty file and one longer than the chip are refused before the write:
// see the bad sources.)
TEST(Kb901xWrite, ShortFilesArePaddedAndVerifiedByAReadBack) {
  struct Case {
    std::size_t size;
    std::string badByte;  // a byte the chip keeps wrong, or none
    bool verified;
  };
  for (const Case& c : {Case{65536, "", true}, Case{1000, "", true}, Case{1000, "500", false}}) {
    Bench bench(c.badByte.empty() ? test::Options("", {}) : test::Options("", {{"kb90-bad-byte", c.badByte}}));
    const Bytes image = Pattern(c.size, 9);
    const std::string file = bench.dir.file("short.bin");
    test::WriteFileBytes(file, image);
    Kb90Operations ops(bench.d2xx, bench.view);
    bench.view.answerDialog(file);
    bench.view.answerYesNo(true);
    ops.KB901X_WRITEClick();
    ASSERT_TRUE(bench.view.waitEnded());
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{c.verified}) << c.size;
    EXPECT_EQ(bench.view.questions().size(), 1u);

    Bytes padded = image;
    padded.resize((c.size / 256 + 1) * 256, 0xFF);
    Bytes wire = {'B', 'V', 'W'};
    for (std::size_t at = 0; at < padded.size(); at += 256) {
      if (at > 0) wire.push_back('N');
      wire.insert(wire.end(), padded.begin() + static_cast<std::ptrdiff_t>(at),
                  padded.begin() + static_cast<std::ptrdiff_t>(at + 256));
    }
    wire.insert(wire.end(), {'X', 'I'});
    const Bytes readBack = test::Kb90ReadWire();
    wire.insert(wire.end(), readBack.begin(), readBack.end());
    EXPECT_EQ(bench.programmer.hostBytes(), wire) << c.size;
    const auto lines = bench.linesWithoutTime();
    const auto warning = std::find(lines.begin(), lines.end(), " __ Warning __");
    ASSERT_NE(warning, lines.end());
    EXPECT_EQ(*(warning + 1), "Recorded file is less than 128*1024 byte");
    EXPECT_EQ(*(warning + 2), "Verify: reading the chip back ...");
    EXPECT_EQ(lines.back(), c.verified ? "Verify after write: OK, the flash matches the image."
                                       : "Verify after write: FAILED, first difference at 000001F4, 1 byte differs.");
    EXPECT_FALSE(bench.hasLine("Writing is completed successfully."));
    ASSERT_EQ(bench.view.verdicts().size(), 1u);
    EXPECT_EQ(bench.view.verdicts()[0].starts_with(c.verified ? "RESULT: write OK" : "RESULT: write FAILED, the chip does not hold the file (first difference at 000001F4"), true)
        << bench.view.verdicts()[0];
    ExpectIdleAndClosed(bench, ops);
  }
}

TEST(Kb901xWrite, RefusedBeforeAnythingIsSent) {
  Bench bench;
  Kb90Operations ops(bench.d2xx, bench.view);
  // A missing file cannot be opened: the documented box. A folder opens but is no image:
  // one line that says so.
  for (const std::string& path : {bench.dir.file("missing.bin"), bench.dir.path().string()}) {
    bench.programmer.clearTranscript();
    bench.view.answerDialog(path);
    ops.KB901X_WRITEClick();
  }
  ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(10), 2));
  EXPECT_EQ(bench.view.errorBoxes(), (std::vector<std::string>{"Ошибка открытия файла."}));
  EXPECT_EQ(bench.view.lastLine(), bench.dir.path().string() +
                                       " is not a regular file (a folder, a pipe or a device); the chip is not touched.");
  EXPECT_EQ(bench.programmer.hostBytes(), (Bytes{'B', 'V'}));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(ops.mode(), Kb90Mode::None);
}

TEST(Kb901xOperations, ClicksDuringAnOperationChangeNothing) {
  Bench bench(test::Options("", {{"kb90-silence-block", "2"}}));
  Kb90Operations ops(bench.d2xx, bench.view, {200, 600, 200, 200, 200, 200});
  bench.view.answerDialog(bench.dir.file("dump.bin"));
  ops.KB901X_READClick();
  ASSERT_EQ(ops.mode(), Kb90Mode::Reading);
  const auto linesBefore = bench.view.lines();
  const auto eventsBefore = bench.view.events();
  ops.KB901X_READClick();
  ops.KB901X_WRITEClick();
  EXPECT_FALSE(ops.EXIT_KB901XClick());
  EXPECT_EQ(bench.view.lines(), linesBefore);
  EXPECT_EQ(bench.view.events(), eventsBefore);
  EXPECT_EQ(bench.view.dialogs().size(), 1u);
  ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(5)));
  const Bytes sent = bench.programmer.hostBytes();
  EXPECT_EQ(sent, (Bytes{'B', 'V', 'R', 'N', 'O'}));  // one open, one read, nothing from the ignored clicks

  // Idle again: exit goes back to the main window.
  EXPECT_TRUE(ops.EXIT_KB901XClick());
  EXPECT_EQ(bench.view.visible("Form1"), true);
  EXPECT_EQ(bench.view.visible("self"), false);
  EXPECT_EQ(bench.view.gauge("CGauge_KB901X"), 0);
  EXPECT_TRUE(bench.view.lines().empty());
}

TEST(Kb901xOperations, NoProgrammerEndsAtOnce) {
  sim::SimD2xx d2xx;  // nothing attached
  test::RecordingView view;
  Kb90Operations ops(d2xx, view);
  ops.KB901X_READClick();
  ASSERT_TRUE(view.waitEnded());
  EXPECT_EQ(view.lastLine(), "VCOM port is not found on the machine!");
  EXPECT_TRUE(view.dialogs().empty());
}

TEST(Kb901xCommandLine, WriteThenReadThroughTheSavedState) {
  const test::ScratchBackupFolder home;  // the command line backs up before a write
  test::TempDir dir;
  const std::string image = dir.file("f.bin"), dump = dir.file("g.bin");
  test::WriteFileBytes(image, Pattern(kImage, 77));
  sim::SimOptions options;
  options.stateDir = dir.file("state");
  {
    const test::CliRun write = test::SimCli(options).run("kb90", {"write", image});
    EXPECT_EQ(write.status, kExitOk) << write.err;
    EXPECT_NE(write.out.find("Writing and verify is OK !\n"), std::string::npos);
  }
  {
    test::SimCli cli(options);  // a new run: the chip comes back from the state folder
    const test::CliRun read = cli.run("kb90", {"read", dump});
    EXPECT_EQ(read.status, kExitOk) << read.err;
    EXPECT_EQ(test::ReadFileBytes(dump), test::ReadFileBytes(image));
    // An existing dump is replaced only with --force.
    EXPECT_EQ(cli.run("kb90", {"read", dump}).status, kExitFailed);
  }
  {
    options.faults["kb90-bad-byte"] = "0";
    const test::CliRun write = test::SimCli(options).run("kb90", {"write", image});
    EXPECT_EQ(write.status, kExitFailed);
    EXPECT_NE(write.out.find("!!! Data is written incorrectly !!! \n"), std::string::npos);
  }
}

}  // namespace
}  // namespace jig
