// Register access, the probe with its protection test, and the erase.
#include "Mec16xx/Mec16Family.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/OpenProgrammer.h"
#include "tests/Mec16xx/Mec16Bench.h"

namespace jig::test {
namespace {

using sim::Mec16Sim;

const std::string kProbeWire = "B1jrFFFD00rFF3908rFF3910rFF390C";

TEST(Mec16Registers, AnswersBecomeValueTextsOrLost) {
  const std::uint8_t bytes[4] = {0x00, 0x00, 0x01, 0x05};
  EXPECT_EQ(mec16::RegisterValueText(bytes), "0000 0105h");

  // The third access (a read) loses its fifth byte; the fourth (a write) is answered 00h.
  Mec16Bench bench(V42({{"mec16-lose-register", "3,4"}}));
  ProgrammerLink link(bench.d2xx, mec16::kBufferSize);
  ASSERT_EQ(OpenProgrammer(link, profiles::kMec16, bench.view), OpenResult::Ready);
  link.writeByte('1');
  ASSERT_EQ(mec16::AwaitStartAnswer(link, 300), WaitResult::Ok);
  EXPECT_EQ(mec16::WriteReg_MEC16(link, "FF3908", "FFFFFFFF"), "MEC_OK");
  const auto all = mec16::ReadReg_MEC16(link, "FF3908");
  EXPECT_EQ(all.text, "FFFF FFFFh");
  EXPECT_EQ(all.low(), 0xFF);
  EXPECT_TRUE(mec16::ReadReg_MEC16(link, "FF3908").lost());  // four bytes of five
  EXPECT_EQ(mec16::WriteReg_MEC16(link, "FF3910", "00000001"), "MEC_lost");
  EXPECT_EQ(bench.chip().registerValue(Mec16Sim::kFlashEnable), 0u);
  link.close();
  EXPECT_EQ(bench.host(), "B1wFF3908FFFFFFFFrFF3908rFF3908wFF391000000001");
}

TEST(Mec16Probe, FreeChipLogsEveryRegisterAndEndsWithI0) {
  ProbedMec16 bench;
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.host(), kProbeWire + "I0");
  const std::vector<std::string> expected = {
      "получили ответ после команды 1",
      "Получен ID от MEC16 -> 1609 0001h",
      "Регистр FFFD00h -> 0000 0001h",
      "Регистр FF3908h -> 0000 0000h",
      "Регистр FF3910h -> 0000 0000h",
      "Регистр FF390Ch -> 0000 0000h",
      "--> Стирание и запись разрешена (FWP ножка)",
      "--> Стирание и запись загрузочного блока разрешена",
      "Закрыли VCOM порт",
  };
  auto after = bench.linesAfter("Communication with programmer installed.");
  ASSERT_EQ(after.size(), expected.size() + 2);
  EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 9), expected);
  EXPECT_EQ(after[9].rfind("Текущее время  ", 0), 0u);
  EXPECT_EQ(after[10], "");
  EXPECT_EQ(bench.view.colour("Shape_FWP_MEC16"), colour::kLime);
  EXPECT_EQ(bench.view.colour("Shape_BootLock_MEC"), colour::kLime);
}

TEST(Mec16Probe, FwpBitPaintsRedAndEndsWithO) {
  ProbedMec16 bench(V42({{"mec16-fwp", ""}}));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.host(), kProbeWire + "O0");
  EXPECT_TRUE(bench.logged("Регистр FF390Ch -> 0000 0010h"));
  EXPECT_TRUE(bench.logged("--> СТОИТ ЗАЩИТА ЗАПИСИ ! (FWP ножка)"));
  EXPECT_TRUE(bench.logged("--> Стирание и запись загрузочного блока разрешена"));
  EXPECT_EQ(bench.view.colour("Shape_FWP_MEC16"), colour::kRed);
  EXPECT_EQ(bench.view.colour("Shape_BootLock_MEC"), colour::kLime);
}

TEST(Mec16Probe, LostRegisterReadsAreLoggedAndTheRestStillRead) {
  {
    ProbedMec16 bench(V42({{"mec16-lose-register", "1"}, {"mec16-boot-lock", ""}}));
    EXPECT_EQ(bench.host(), kProbeWire + "O0");
    EXPECT_TRUE(bench.logged("Потеряна связь с MEC16 (I100)"));
    EXPECT_FALSE(bench.logged("Регистр FFFD00h -> 0000 0001h"));
    EXPECT_TRUE(bench.logged("Регистр FF3908h -> 0000 0000h"));
    EXPECT_TRUE(bench.logged("Регистр FF390Ch -> 0000 0008h"));
    EXPECT_EQ(bench.view.colour("Shape_BootLock_MEC"), colour::kRed);
    EXPECT_EQ(bench.view.colour("Shape_FWP_MEC16"), colour::kLime);
  }
  {
    // A lost status read leaves both indicators black and logs no protection line.
    ProbedMec16 bench(V42({{"mec16-lose-register", "4"}}));
    EXPECT_TRUE(bench.logged("Потеряна связь с MEC16 (I103)"));
    EXPECT_FALSE(bench.logged("--> Стирание и запись разрешена (FWP ножка)"));
    EXPECT_EQ(bench.view.colour("Shape_FWP_MEC16"), colour::kBlack);
    EXPECT_EQ(bench.view.colour("Shape_BootLock_MEC"), colour::kBlack);
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  }
}

TEST(Mec16Probe, SilentOrMissingProgrammerEndsIdleWithinTheBound) {
  {
    // "V42" gets through, then nothing: the answer to "1" never comes.
    Mec16Bench bench(V42({{"silence-after", "3"}}));
    const auto t0 = std::chrono::steady_clock::now();
    bench.ops.probe();
    bench.expectEndedIdle();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    EXPECT_TRUE(bench.logged(std::string(mec16::text::kNoAnswerTo1)));
    EXPECT_EQ(bench.host(), "B1O0");
    EXPECT_EQ(bench.view.lastLine(), "");
  }
  {
    // Two ID bytes of four: logged, marked failed, the registers still read.
    ProbedMec16 bench(V42({{"silence-after", "6"}}));
    EXPECT_TRUE(bench.logged("ID готово 4 байта но сняли меньше ОШИБКА"));
    EXPECT_TRUE(bench.logged("Получен ID от MEC16 -> 1609 0000h"));
    EXPECT_TRUE(bench.logged("Потеряна связь с MEC16 (I103)"));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  }
  {
    ProbedMec16 bench(V42({{"silence-after", "4"}}));  // "1" answered, no ID at all
    EXPECT_TRUE(bench.logged(std::string(mec16::text::kNoId)));
    EXPECT_EQ(bench.host(), "B1jO0");
  }
  {
    ProbedMec16 bench(V42({{"open-fails", ""}}));
    EXPECT_EQ(bench.host(), "");
    EXPECT_EQ(bench.view.lastLine(), "The programmer is not found or does not respond");
  }
}

TEST(Mec16Erase, ProtectionRefusesWithoutWritingAnyRegister) {
  ErasedMec16 bench(V42({{"mec16-boot-lock", ""}}));
  EXPECT_EQ(bench.host(), "B1jrFF390CO0");
  auto after = bench.linesAfter("Регистр FF390Ch -> 0000 0008h");
  ASSERT_GE(after.size(), 4u);
  EXPECT_EQ(after[0], "--> Стирание и запись разрешена (FWP ножка)");
  EXPECT_EQ(after[1], "--> Стоит Boot_Lock ! (защита загрузочного блока)");
  EXPECT_EQ(after[2], "--> Каманда стирания отменена.");
  EXPECT_EQ(after[3], "Закрыли VCOM порт");
  EXPECT_EQ(bench.chip().erases(), 0);
}

TEST(Mec16Erase, CheckBoxChoosesTheStartValueAndThePollWaitsForBusy) {
  for (const bool infoToo : {false, true}) {
    Mec16Bench bench(V42({{"mec16-erase-reads", "5"}}));
    const auto infoBefore = bench.chip().infoArray();
    bench.view.answerYesNo(true);
    bench.ops.erase(infoToo);
    bench.expectEndedIdle();
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
    const std::string start = infoToo ? "00FC0000" : "00F80000";
    // One status read before, five busy reads and the one that finds the bit clear.
    EXPECT_EQ(bench.host(), "B1jrFF390CwFF391000000001wFF390800000107wFF3904" + start + Repeat("rFF390C", 6) +
                                "wFF390800000100wFF390800000000wFF391000000000I0");
    EXPECT_EQ(bench.chip().statusReads(), 7);
    EXPECT_EQ(bench.chip().mainArray(), std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
    EXPECT_EQ(bench.chip().infoArray() == std::vector<std::uint8_t>(Mec16Sim::kInfoSize, 0xFF), infoToo);
    if (!infoToo) {
      EXPECT_EQ(bench.chip().infoArray(), infoBefore);
    }
    const std::vector<std::string> expected = {
        "Записали в регистр FF3910h 1", "Записали в регистр FF3908h 107h", "Отправили команду стирания.",
        "Стирание завершено успешно.",  "Записали в регистр FF3908h 100h", "Записали в регистр FF3908h 0",
        "Записали в регистр FF3910h 0", "Закрыли VCOM порт"};
    auto after = bench.linesAfter("--> Стирание и запись загрузочного блока разрешена");
    ASSERT_GE(after.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 8), expected);
  }
}

TEST(Mec16Erase, TheBusyPollWaitsOutTheErasesTime) {
  Mec16Bench bench(V42({{"mec16-erase-reads", "0"}, {"mec16-erase-ms", "300"}}));
  const auto t0 = std::chrono::steady_clock::now();
  bench.view.answerYesNo(true);
  bench.ops.erase(false);
  bench.expectEndedIdle();
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_TRUE(bench.logged("Стирание завершено успешно."));
  EXPECT_GT(bench.chip().statusReads(), 2);
}

TEST(Mec16Erase, LostOrEndlessBusyPollEndsWithZeroOnly) {
  {
    // Access 5 is the first poll of the status register.
    ErasedMec16 bench(V42({{"mec16-lose-register", "5"}}));
    EXPECT_TRUE(bench.logged("Потеряна связь с MEC16 (E104)"));
    EXPECT_EQ(bench.host().substr(bench.host().size() - 8), "rFF390C0");
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  }
  {
    // An erase that takes a minute: the poll gives up at its bound, on any machine.
    Mec16Bench bench(V42({{"mec16-erase-ms", "60000"}}));
    const auto t0 = std::chrono::steady_clock::now();
    bench.view.answerYesNo(true);
    bench.ops.erase(false);
    bench.expectEndedIdle();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kMec16Bounds.eraseMs + 2000));
    EXPECT_TRUE(bench.logged(std::string(mec16::text::kEraseTooLong)));
    EXPECT_FALSE(bench.logged("Стирание завершено успешно."));
    EXPECT_EQ(bench.host().back(), '0');
    EXPECT_EQ(bench.host().find("wFF390800000100"), std::string::npos);
  }
}

// An ID of one to three bytes: the wait for four ends at its bound and the short ID is
// logged; the probe and the erase count it a failure, the read and the write go on.
struct ShortIdCase {
  const char* action;
  int bytes;
  const char* idText;
  bool succeeds;
};

void PrintTo(const ShortIdCase& c, std::ostream* out) { *out << c.action << " " << c.bytes; }

class Mec16ShortId : public ::testing::TestWithParam<ShortIdCase> {};

TEST_P(Mec16ShortId, IsLoggedAndOnlyTheProbeAndTheEraseFail) {
  const ShortIdCase c = GetParam();
  Mec16Bench bench(V42({{"mec16-id-bytes", std::to_string(c.bytes)}}));
  bench.chip().setMainArray({});
  const std::string action = c.action;
  const std::string path = bench.dir.file("f.bin");
  if (action == "write") WriteFileBytes(path, std::vector<std::uint8_t>(4096, 0x5A));
  bench.view.answerDialog(path);
  if (action == "write") bench.view.answerYesNo(true);  // a file shorter than MAIN is asked about
  if (action == "probe") bench.ops.probe();
  if (action == "erase") bench.view.answerYesNo(true), bench.ops.erase(false);
  if (action == "read") bench.ops.read(false);
  if (action == "write") bench.ops.write(false);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{c.succeeds});
  EXPECT_EQ(bench.linesAfter(std::string(mec16::text::kShortId)).at(0), std::string(mec16::text::kIdPrefix) + c.idText);
  EXPECT_EQ(bench.host().substr(bench.host().size() - 2), c.succeeds ? "I0" : "O0");
  if (action == "erase") {
    EXPECT_EQ(bench.host(), "B1jrFF390CO0");
    EXPECT_TRUE(bench.logged("--> Каманда стирания отменена."));
  }
  if (action == "read") {
    EXPECT_EQ(ReadFileBytes(path), bench.chip().mainArray());
  }
  if (action == "write") {
    EXPECT_EQ(bench.chip().mainArray()[4095], 0x5A);
  }
}

INSTANTIATE_TEST_SUITE_P(Actions, Mec16ShortId,
                         ::testing::Values(ShortIdCase{"probe", 1, "1600 0000h", false},
                                           ShortIdCase{"probe", 3, "1609 0000h", false},
                                           ShortIdCase{"erase", 2, "1609 0000h", false},
                                           ShortIdCase{"read", 3, "1609 0000h", true},
                                           ShortIdCase{"write", 1, "1600 0000h", true}));

TEST(Mec16Window, HelpAndExitWhenIdle) {
  Mec16Bench bench;
  bench.ops.help();
  const auto lines = bench.view.allLines();
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], "Распиновка для расширенной версии (PCB2):");
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[15], "Не тестировалось с MEC1619 - могут быть проблемы с записью.");
  bench.ops.EXIT_MEC16Click();
  EXPECT_EQ(bench.view.visible("Form1"), true);
  EXPECT_EQ(bench.view.visible("self"), false);
  EXPECT_EQ(bench.host(), "");
}

}  // namespace
}  // namespace jig::test
