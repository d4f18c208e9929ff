// The ID check and the read: bytes on the wire, the dump, the log and the end state.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "Npce/NpceProtocol.h"
#include "tests/Npce/NpceBench.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;

const std::regex kTimeStamp("Current time  \\d\\d:\\d\\d:\\d\\d");

struct IdCase {
  const char* answer;
  bool accepted;
};

class NpceIdCheck : public ::testing::TestWithParam<IdCase> {};

// The ID is judged on all four bytes coming and the first three; a cancelled dialog then
// shows that nothing more goes to the programmer.
TEST_P(NpceIdCheck, AcceptsEf4012WithAnyFourthByteOnly) {
  NpceBench bench(Faults{{"npce-id", GetParam().answer}});
  bench.view.answerDialog(std::nullopt);
  bench.ops.NPCE_READClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.idle());
  if (GetParam().accepted) {
    EXPECT_EQ(bench.sent(), Bytes("ZI"));
    const auto lines = bench.view.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Communication with NPCE installed.");
    EXPECT_EQ(lines[lines.size() - 2], "ID FLASH EFh 4012h ");
    EXPECT_EQ(lines.back(), "Write to file is interrupted.");
    EXPECT_EQ(bench.view.dialogs().size(), 1u);
  } else {
    EXPECT_EQ(bench.sent(), Bytes("ZO"));
    const auto lines = bench.view.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "No connection to the NPCE!");
    EXPECT_EQ(lines.back(), "Check soldering NPCE or chip damaged.");
    EXPECT_TRUE(bench.view.dialogs().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, NpceIdCheck,
                         ::testing::Values(IdCase{"EF401200", true}, IdCase{"EF4012A5", true},
                                           IdCase{"EF401300", false}, IdCase{"EF4012", false},
                                           IdCase{"EE401214", false}, IdCase{"", false}));

TEST(NpceRead, RestOfALongVersionAnswerIsNotTakenForTheId) {
  NpceBench bench(Faults{{"version", "Q27 NPCE288 FW 1.7 with a long tail of text\\r\\n"}});
  bench.view.answerDialog(std::nullopt);
  bench.ops.NPCE_READClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_TRUE(bench.hasLine("ID FLASH EFh 4012h "));
  EXPECT_EQ(bench.sent(), Bytes("ZI"));
}

TEST(NpceRead, SendsOneRPerBlockAndStoresTheWholeFlash) {
  NpceBench bench;
  const auto flash = Pattern(npce::kFlashSize, 5);
  bench.chip().setFlash(flash);
  const std::string path = bench.dir.file("dump.bin");
  bench.view.answerDialog(path);
  bench.ops.NPCE_READClick();
  ASSERT_TRUE(bench.view.waitEnded(10s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});

  EXPECT_EQ(bench.sent(), Cat({Bytes("ZI"), Repeat('r', 256), Bytes("-I")}));
  EXPECT_EQ(ReadFileBytes(path), flash);

  const auto lines = bench.view.lines();
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Number of VCOM ports found on the machine: 1");
  EXPECT_EQ(lines[2], kNpceVersionLine);
  EXPECT_EQ(lines[3], "Communication with programmer installed.");
  EXPECT_EQ(lines[6], "Save the file: ");
  EXPECT_EQ(lines[7], path);
  EXPECT_EQ(lines[8], "Reading ...");
  EXPECT_TRUE(std::regex_match(lines[9], kTimeStamp)) << lines[9];
  EXPECT_EQ(lines[10], "Reading complete ...");
  EXPECT_TRUE(std::regex_match(lines[11], kTimeStamp)) << lines[11];
  EXPECT_EQ(lines[12], "Dump check: the content looks like real data.");

  const FileDialog dialog = bench.view.dialogs().at(0);
  EXPECT_EQ(dialog.title, "Укажите имя файла для сохранения.");
  EXPECT_EQ(dialog.filter, "BIN файл NPCE (*.bin)|*.bin");
  EXPECT_EQ(dialog.defaultName, "Noname");
  EXPECT_EQ(bench.view.gauge("CGauge_NPCE"), 512);
  EXPECT_EQ(bench.view.gaugeColour("CGauge_NPCE"), colour::kGreen);
  EXPECT_TRUE(bench.idle());
}

TEST(NpceRead, LogIsNotClearedBetweenOperations) {
  NpceBench bench;
  bench.view.answerDialog(std::nullopt);
  bench.view.answerDialog(std::nullopt);
  bench.ops.NPCE_READClick();
  bench.ops.NPCE_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(5s, 2));
  const auto lines = bench.view.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), ""), 2);
  EXPECT_EQ(lines.back(), "Write operation is interrupted.");
  EXPECT_TRUE(bench.hasLine("Write to file is interrupted."));
}

struct EndCase {
  int answer;
  bool success;
};

class NpceReadEnd : public ::testing::TestWithParam<EndCase> {};

// Only 0 in byte 0 of the read's end answer is a failure.
TEST_P(NpceReadEnd, OnlyZeroFails) {
  NpceBench bench(Faults{{"npce-end-answer", std::to_string(GetParam().answer)}});
  const std::string path = bench.dir.file("dump.bin");
  bench.view.answerDialog(path);
  bench.ops.NPCE_READClick();
  ASSERT_TRUE(bench.view.waitEnded(10s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{GetParam().success});
  EXPECT_EQ(bench.sent().back(), GetParam().success ? 'I' : 'O');
  EXPECT_EQ(bench.hasLine("ERROR timeout. Corrupted data !? "), !GetParam().success);
  // A dump the programmer called corrupted is not kept under the name.
  EXPECT_EQ(std::filesystem::exists(path), GetParam().success);
  EXPECT_TRUE(bench.idle());
}

INSTANTIATE_TEST_SUITE_P(Answers, NpceReadEnd,
                         ::testing::Values(EndCase{1, true}, EndCase{2, true}, EndCase{0xFF, true}, EndCase{0, false}));

TEST(NpceRead, ProgrammerFallingSilentEndsTheReadWithinItsBound) {
  // ID (4) and the ack of 'I' (1), two whole blocks, then part of the third.
  NpceBench bench(Faults{{"silence-after", std::to_string(5 + 2 * 512 + 100)}});
  const std::string path = bench.dir.file("dump.bin");
  bench.view.answerDialog(path);
  const auto started = std::chrono::steady_clock::now();
  bench.ops.NPCE_READClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.hasLine("No answer from the programmer: block 3 of 256 did not come within 200 ms."));
  EXPECT_EQ(bench.sent(), Cat({Bytes("ZI"), Repeat('r', 3), Bytes("O")}));
  EXPECT_FALSE(std::filesystem::exists(path));  // no part of a dump under the name
  EXPECT_TRUE(bench.idle());
}

TEST(NpceRead, FileThatCannotBeCreatedShowsTheBoxAndSendsNothingMore) {
  NpceBench bench;
  std::string box;
  bench.view.answerDialog(bench.dir.file("missing/folder/dump.bin"));
  bench.ops.NPCE_READClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка создания файла."});
  EXPECT_EQ(bench.sent(), Bytes("ZI"));
  EXPECT_TRUE(bench.idle());
}

TEST(NpceRead, NoProgrammerEndsAtTheOpen) {
  sim::SimD2xx d2xx;
  RecordingView view;
  NpceOperations ops(d2xx, view, NpceShortBounds());
  ops.NPCE_READClick();
  ASSERT_TRUE(view.waitEnded(2s));
  EXPECT_EQ(view.lastLine(), "VCOM port is not found on the machine!");
  EXPECT_TRUE(view.dialogs().empty());
}

TEST(NpceRead, ClicksDuringAReadAreIgnored) {
  // The programmer stops after the first block: the worker waits out its bound meanwhile.
  NpceBench bench(Faults{{"silence-after", std::to_string(5 + 512)}});
  bench.view.answerDialog(bench.dir.file("dump.bin"));
  bench.ops.NPCE_READClick();
  EXPECT_EQ(bench.ops.mode(), NpceMode::Reading_NPCE);
  EXPECT_EQ(bench.view.enabled("NPCE_WRITE"), false);
  EXPECT_EQ(bench.view.enabled("EXIT_NPCE"), false);
  const auto before = bench.sent();
  bench.ops.NPCE_READClick();
  bench.ops.NPCE_WRITEClick();
  bench.ops.EXIT_NPCEClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings().size(), 1u);
  EXPECT_EQ(bench.view.dialogs().size(), 1u);
  EXPECT_FALSE(bench.view.visible("self").has_value());
  EXPECT_EQ(std::count(before.begin(), before.end(), 'Z'), 1);
  EXPECT_TRUE(bench.idle());
}

TEST(NpceRead, ExitShowsTheMainWindow) {
  NpceBench bench;
  bench.ops.EXIT_NPCEClick();
  EXPECT_EQ(bench.view.visible("Form1"), true);
  EXPECT_EQ(bench.view.visible("self"), false);
  EXPECT_TRUE(bench.view.endings().empty());
}

}  // namespace
}  // namespace jig::test
