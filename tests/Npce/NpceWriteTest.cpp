// Erase, blank check, write and verify: the bytes on the wire against the documented
// sequence, the chip's contents, the log and the end state on each failure path.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Npce/NpceProtocol.h"
#include "tests/Npce/NpceBench.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> file) {
  file.resize(npce::kFlashSize, 0xFF);
  return file;
}

// Writes file through the bench and waits for the end.
void RunWrite(NpceBench& bench, const std::vector<std::uint8_t>& file) {
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, file);
  bench.view.answerDialog(path);
  // A file shorter than the chip is written only after the technician's Yes.
  if (file.size() != npce::kFlashSize) bench.view.answerYesNo(true);
  bench.ops.NPCE_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(20s));
  EXPECT_EQ(bench.view.endings().size(), 1u);
  EXPECT_TRUE(bench.idle());
}

TEST(NpceWrite, HalfSizeFileIsPaddedWrittenAndVerified) {
  NpceBench bench;
  const auto file = Pattern(65536, 9);
  RunWrite(bench, file);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.view.questions().size(), 1u);
  const auto image = Padded(file);
  EXPECT_EQ(bench.sent(), Cat({Bytes("ZIex"), WriteBlocks(image, 512), {0x07}, Repeat('r', 256), Bytes("-I")}));
  EXPECT_EQ(bench.chip().flash(), image);

  const auto lines = bench.view.lines();
  auto at = std::find(lines.begin(), lines.end(), "Write to NPCE file:");
  ASSERT_NE(at, lines.end());
  std::vector<std::string> tail(at, lines.end());
  ASSERT_EQ(tail.size(), 10u);
  EXPECT_EQ(tail[1], bench.dir.file("image.bin"));
  EXPECT_EQ(tail[2].rfind("Current time  ", 0), 0u);
  EXPECT_EQ(tail[3], "Erase ...");
  EXPECT_EQ(tail[4], "Check clear data ...");
  EXPECT_EQ(tail[5], "All data is clear!");
  EXPECT_EQ(tail[6], "Write ...");
  EXPECT_EQ(tail[7], "Verify ...");
  EXPECT_EQ(tail[8], "Nuvoton chip is programmed succesfully!");
  EXPECT_EQ(tail[9].rfind("Current time  ", 0), 0u);

  const FileDialog dialog = bench.view.dialogs().at(0);
  EXPECT_EQ(dialog.title, "Укажите файл за заливки.");
  EXPECT_EQ(dialog.filter, "BIN файл NPCE (*.bin)|*.bin|Другие|*.*");
  EXPECT_EQ(bench.view.gauge("CGauge_NPCE"), 512);
  EXPECT_EQ(bench.view.gaugeColour("CGauge_NPCE"), colour::kYellow);
}

TEST(NpceWrite, FailedBlockSendsEndOfWritingAndStopsWithoutVerifyOrSignal) {
  NpceBench bench(Faults{{"npce-block-fails", "1"}});
  const auto file = Pattern(npce::kFlashSize, 4);
  RunWrite(bench, file);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.sent(), Cat({Bytes("ZIex"), WriteBlocks(file, 1), {0x07}}));
  const auto lines = bench.view.lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "** ERROR write or ERROR timeout **");
  EXPECT_EQ(lines.back().rfind("Current time  ", 0), 0u);
  EXPECT_FALSE(bench.hasLine("Verify ..."));
  EXPECT_EQ(bench.view.gauge("CGauge_NPCE"), 1);
}

struct FailCase {
  const char* fault;
  const char* wire;  // after the ID check
  const char* line;
};

void PrintTo(const FailCase& c, std::ostream* out) { *out << c.fault; }

class NpceEraseFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(NpceEraseFailure, EndsWithTheFailureSignal) {
  NpceBench bench(Faults{{GetParam().fault, ""}});
  RunWrite(bench, Pattern(1000, 7));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.sent(), Cat({Bytes("ZI"), Bytes(GetParam().wire)}));
  const auto lines = bench.view.lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], GetParam().line);
  EXPECT_EQ(lines.back().rfind("Current time  ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Faults, NpceEraseFailure,
                         ::testing::Values(FailCase{"npce-erase-fails", "eO", "** Lost contact with the chip or ERROR timeout **"},
                                           FailCase{"npce-not-blank", "exO", "** Data not clear !**"},
                                           // Taken only when exactly 2 bytes wait: a third is no answer.
                                           FailCase{"npce-erase-surplus", "eO",
                                                    "The answer to the erase came with 3 bytes instead of 2."}));

TEST(NpceWrite, VerifyEndAnswerCountsOnlyWhenItIsOne) {
  NpceBench bench(Faults{{"npce-end-answer", "2"}});
  RunWrite(bench, Pattern(4096, 8));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.hasLine("ERROR timeout. Corrupted data !? "));
  EXPECT_FALSE(bench.hasLine("Nuvoton chip is programmed succesfully!"));
  EXPECT_EQ(bench.sent().back(), 'O');
}

TEST(NpceWrite, ShortReadBackBlockIsLoggedAndFailsTheVerify) {
  NpceBench bench(Faults{{"npce-short-block", "5"}});
  const auto file = Pattern(npce::kFlashSize, 6);
  RunWrite(bench, file);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.hasLine("Принято не 512 байт  511"));
  EXPECT_TRUE(bench.hasLine("*** Data is written incorrectly ***"));
  // The documented verify ends at the short block; the job then reads the chip back.
  const auto verify = Cat({Bytes("ZIex"), WriteBlocks(file, 512), {0x07}, Repeat('r', 5), Bytes("-O")});
  const auto sent = bench.sent();
  ASSERT_GT(sent.size(), verify.size());
  EXPECT_EQ(decltype(sent)(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(verify.size())), verify);
  EXPECT_TRUE(bench.hasLine("Verify: reading the chip back ..."));
}

TEST(NpceWrite, ReadyByteOtherThanStarIsAProtocolError) {
  NpceBench bench(Faults{{"npce-bad-ready", "3"}});
  const auto file = Pattern(npce::kFlashSize, 6);
  RunWrite(bench, file);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.sent(), Cat({Bytes("ZIex"), WriteBlocks(file, 2), Bytes("w")}));
  EXPECT_TRUE(bench.hasLine("** HOST/Q27 Protocol ERROR **"));
}

// The erase runs in the worker: the click returns at once, a second click is ignored,
// and an erase that never ends is given up after its bound with the failure signal.
TEST(NpceWrite, EndlessEraseReturnsTheClickAndEndsAtItsBound) {
  NpceBounds bounds = NpceShortBounds();
  bounds.eraseMs = 300;
  NpceBench bench(Faults{{"npce-erase-ms", "60000"}}, bounds);
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, Pattern(512, 1));
  bench.view.answerDialog(path);
  bench.view.answerYesNo(true);
  bench.ops.NPCE_WRITEClick();
  EXPECT_EQ(bench.ops.mode(), NpceMode::Write_NPCE);
  EXPECT_EQ(bench.view.enabled("NPCE_READ"), false);
  EXPECT_EQ(bench.view.enabled("EXIT_NPCE"), false);
  bench.ops.NPCE_WRITEClick();  // ignored: no second open, dialog or end
  bench.ops.NPCE_READClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.view.dialogs().size(), 1u);
  EXPECT_TRUE(bench.hasLine("No answer from the programmer: the end of the erase did not come within 300 ms."));
  EXPECT_EQ(bench.sent(), Bytes("ZIeO"));
  EXPECT_TRUE(bench.idle());
}

struct SilenceCase {
  const char* command;
  const char* line;
};

class NpceWriteSilence : public ::testing::TestWithParam<SilenceCase> {};

TEST_P(NpceWriteSilence, EveryWaitEndsIdleWithOneLine) {
  NpceBench bench(Faults{{"npce-silent-from", GetParam().command}});
  const auto started = std::chrono::steady_clock::now();
  RunWrite(bench, Pattern(2048, 3));
  // Far below the real bounds (the erase alone may take 20 s): the short ones were obeyed,
  // with room for a loaded machine under the sanitizers.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.hasLine(GetParam().line));
  EXPECT_FALSE(bench.hasLine("Nuvoton chip is programmed succesfully!"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NpceWriteSilence,
    ::testing::Values(
        SilenceCase{"x", "No answer from the programmer: the answer of the blank check did not come within 500 ms."},
        SilenceCase{"w", "No answer from the programmer: the ready byte '*' of block 1 of 512 did not come within 500 ms."},
        SilenceCase{"0x07", "No answer from the programmer: the answer to 07h did not come within 500 ms."},
        SilenceCase{"r", "No answer from the programmer: read-back block 1 of 256 did not come within 200 ms."},
        SilenceCase{"-", "No answer from the programmer: the answer to '-' did not come within 200 ms."}));

TEST(NpceWrite, CancelledOrMissingFileSendsNothingMore) {
  NpceBench bench;
  bench.view.answerDialog(std::nullopt);
  bench.view.answerDialog(bench.dir.file("absent.bin"));
  bench.ops.NPCE_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.lastLine(), "Write operation is interrupted.");
  bench.ops.NPCE_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(5s, 2));
  EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка открытия файла."});
  EXPECT_EQ(bench.sent(), Bytes("ZIBZI"));
  EXPECT_EQ(bench.view.endings(), (std::vector<bool>{false, false}));
  EXPECT_TRUE(bench.idle());
}

TEST(NpceWrite, UnpluggedDuringTheWriteEndsIdle) {
  NpceBench bench(Faults{{"unplug-after", std::to_string(5 + 2 + 1 + 100)}});
  RunWrite(bench, Pattern(npce::kFlashSize, 5));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig::test
