// The streamed read and the paged write against the MEC1609 model.

#include <filesystem>
#include <functional>

#include "Mec16xx/Mec16Family.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "files/DumpSink.h"
#include "link/OpenProgrammer.h"
#include "tests/Mec16xx/Mec16Bench.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using sim::Mec16Sim;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + seed + (i >> 10));
  return bytes;
}


TEST(Mec16Read, MainOnlyCopiesTheArrayWithTheDocumentedWire) {
  Mec16Bench bench;
  const std::string path = ClickRead(bench, false, "main.bin");
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(ReadFileBytes(path), bench.chip().mainArray());
  EXPECT_EQ(bench.host(), Mec16MainRead());
  EXPECT_EQ(bench.view.gauge("CGauge_MEC16"), 192);
  EXPECT_EQ(bench.view.gaugeMax("CGauge_MEC16"), 192);
  EXPECT_EQ(bench.view.gaugeColour("CGauge_MEC16"), colour::kLime);
  const auto dialogs = bench.view.dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, "Укажите имя файла для сохранения.");
  EXPECT_EQ(dialogs[0].defaultName, "Noname");
  const std::vector<std::string> expected = {"Записали в регистр FF3910h 1",    "Записали в регистр FF3908h 105h",
                                             "Чтение MAIN блока завершено успешно.", "Записали в регистр FF3908h 100h",
                                             "Записали в регистр FF3908h 0",     "Записали в регистр FF3910h 0",
                                             "Закрыли VCOM порт"};
  auto after = bench.linesAfter("Получен ID от MEC16 -> 1609 0001h");
  ASSERT_GE(after.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 7), expected);
  auto head = bench.linesAfter("Communication with programmer installed.");
  ASSERT_GE(head.size(), 6u);
  EXPECT_EQ(head[1], "Читаем в файл: ");
  EXPECT_EQ(head[2], path);
  EXPECT_EQ(head[3], "Выбрано чтение только MAIN блока");
  EXPECT_EQ(head[4], "Начали чтение MEC16 main block ...");
}

TEST(Mec16Read, MainAndInfoAppendsInfoAtMainsEnd) {
  Mec16Bench bench;
  const std::string path = ClickRead(bench, true, "both.bin");
  bench.expectEndedIdle();
  const auto file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 198656u);
  EXPECT_EQ(Slice(file, 0, 196608), bench.chip().mainArray());
  EXPECT_EQ(Slice(file, 196608, 2048), bench.chip().infoArray());
  EXPECT_EQ(bench.host(), kMec16ReadSetUp + Repeat("N", 191) + "XwFF390800000100wFF390800000105R040000NX" + kMec16Release + "I0");
  EXPECT_TRUE(bench.logged("Выбрано чтение MAIN и INFO блоков"));
  auto after = bench.linesAfter("Чтение MAIN блока завершено успешно.");
  ASSERT_GE(after.size(), 4u);
  EXPECT_EQ(after[0], "Записали в регистр FF3908h 100h");
  EXPECT_EQ(after[1], "Запускаем чтение INFO блока.");
  EXPECT_EQ(after[2], "Записали в регистр FF3908h 105h");
  EXPECT_EQ(after[3], "Чтение INFO блока завершено успешно.");
}

TEST(Mec16Read, StopDuringBlockKeepsThatBlockAndEndsZeroThenO) {
  for (const int n : {1, 7}) {
    Mec16Bench bench;
    bench.chip().setBlockHook([&bench, n](int block) {
      if (block == n) bench.ops.EXIT_MEC16Click();
    });
    const std::string path = ClickRead(bench, true, "stopped.bin");
    bench.expectEndedIdle();
    // The blocks received so far are no dump: nothing goes under the chosen name.
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(TemporaryDumps(bench.dir.path()).empty());
    EXPECT_EQ(bench.host(), kMec16ReadSetUp + Repeat("N", n - 1) + "X" + kMec16Release + "0O");
    EXPECT_TRUE(bench.logged("Пользователь прервал операцию чтения."));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(bench.view.visible("self"), std::nullopt);  // a stop, not an exit
  }
}

// Every failure of the programmer or the chip ends the read within its bound, through the
// failure path, idle, with no file under the chosen name and no temporary one beside it.
struct ReadFailure {
  const char* name;
  sim::SimOptions options;
  bool info;
  std::string line;  // logged (empty: no line of its own)
  std::string wire;  // all the host sent (empty: not checked)
  std::string wireEnd;  // how the host's bytes end
};

void PrintTo(const ReadFailure& row, std::ostream* os) { *os << row.name; }

class Mec16ReadFailure : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(Mec16ReadFailure, EndsIdleWithinTheBoundAndLeavesNoFile) {
  const ReadFailure& c = GetParam();
  Mec16Bench bench(c.options);
  const auto t0 = std::chrono::steady_clock::now();
  const std::string path = ClickRead(bench, c.info);
  bench.expectEndedIdle();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kMec16Bounds.blockMs + 2000));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(TemporaryDumps(bench.dir.path()).empty());
  if (!c.line.empty()) {
    EXPECT_TRUE(bench.logged(c.line));
  }
  if (!c.wire.empty()) {
    EXPECT_EQ(bench.host(), c.wire);
  }
  EXPECT_TRUE(bench.host().ends_with(c.wireEnd)) << Tail(bench.host());
}

std::vector<ReadFailure> ReadFailures() {
  return {
      {"bad MAIN block", V42({{"mec16-bad-block", "5"}}), false, "Потеряна связь с MEC16 (P103).",
       kMec16ReadSetUp + "NNNNXO0", "XO0"},
      {"bad INFO block", V42({{"mec16-bad-block", "194"}}), true, "Потеряна связь с MEC16 (P109).", "", "0NXO0"},
      {"ID all ones", V42({{"mec16-id", "FFFFFFFF"}}), false, "Неверный ID. Операция прервана!", "B1jO0", "O0"},
      {"set-up register lost", V42({{"mec16-lose-register", "2"}}), false, "Потеряна связь с MEC16 (R101)",
       "B1jwFF391000000001wFF390800000105O0", "O0"},
      // Half of block 3, then silence, ended by the block bound.
      {"silent block", V42({{"mec16-silent-block", "3"}}), false, std::string(mec16::text::kNoBlock) + "3 (MAIN)",
       kMec16ReadSetUp + "NNXO0", "XO0"},
      {"unplugged", V42({{"unplug-after", "20000"}}), false, "", "", ""},
  };
}

INSTANTIATE_TEST_SUITE_P(Faults, Mec16ReadFailure, ::testing::ValuesIn(ReadFailures()), CaseName<ReadFailure>);

TEST(Mec16Read, IdZeroIsAccepted) {
  Mec16Bench bench(V42({{"mec16-id", "0"}}));
  const std::string path = ClickRead(bench, false);
  bench.expectEndedIdle();
  EXPECT_TRUE(bench.logged("Получен ID от MEC16 -> 0000 0000h"));
  EXPECT_EQ(ReadFileBytes(path).size(), 196608u);
}

// A cancelled dialog or a file that is not there: the open and its end, two lines.
TEST(Mec16Window, CancelledReadAndMissingImageSendOnlyTheOpen) {
  struct Case {
    const char* name;
    std::optional<std::string> answer;
    bool write;
    std::string line;
  };
  const Case cases[] = {
      {"read cancelled", std::nullopt, false, "Операция чтения прервана"},
      {"image missing", "missing.bin", true, "Ошибка открытия файла"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mec16Bench bench;
    bench.view.answerDialog(c.answer ? std::optional<std::string>(bench.dir.file(*c.answer)) : std::nullopt);
    if (c.write) bench.ops.write(false);
    else bench.ops.read(false);
    bench.expectEndedIdle();
    EXPECT_EQ(bench.host(), "BO");
    EXPECT_EQ(bench.linesAfter("Communication with programmer installed."),
              (std::vector<std::string>{c.line, "Закрыли VCOM порт"}));
  }
}

// Each page's 'G' at once, and paced as the programmer answers once the page is programmed.
class Mec16WritePaced : public ::testing::TestWithParam<const char*> {};

TEST_P(Mec16WritePaced, MainAndInfoDumpProgramsMainExactlyAndIgnoresTheRest) {
  Mec16Bench bench(V42({{"mec16-page-us", GetParam()}}));
  bench.ops.job().setVerifyAfterWrite(false);  // the documented write alone
  bench.chip().setMainArray(std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
  const auto infoBefore = bench.chip().infoArray();
  // A dump read with INFO: its MAIN part goes to the chip, without a question.
  const auto source = Pattern(198656, 3);
  const std::string path = bench.dir.file("big.bin");
  WriteFileBytes(path, source);
  bench.view.answerDialog(path);
  bench.ops.write(true);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_TRUE(bench.view.questions().empty());  // a blank MAIN: no erase asked for
  EXPECT_EQ(bench.chip().mainArray(), Slice(source, 0, 196608));
  EXPECT_EQ(bench.chip().infoArray(), infoBefore);
  EXPECT_TRUE(bench.logged("Выбрана запись MAIN и INFO блоков"));
  EXPECT_TRUE(bench.logged("Запись MAIN блока завершена успешно."));
  EXPECT_FALSE(bench.logged("-> Записываемый файл короче!"));
  EXPECT_EQ(bench.view.gauge("CGauge_MEC16"), 768);
  EXPECT_EQ(bench.view.gaugeColour("CGauge_MEC16"), colour::kRed);
  EXPECT_EQ(bench.host(), Mec16ReadBeforeWrite() + kMec16WriteSetUp + Mec16Pages(source) + "X" + kMec16Release + "I0");
  EXPECT_EQ(bench.chip().lostPageBytes(), 0);  // every page waited for the answer before it
}

INSTANTIATE_TEST_SUITE_P(PageAnswers, Mec16WritePaced, ::testing::Values("0", "300"));

// The firmware listens for a page only once its answer to "W" or "N" is out: a page sent
// before the host has read that answer is lost (and never acknowledged).
TEST(Mec16Write, PageBytesBeforeTheAnswerToWOrNWasReadAreLost) {
  Mec16Bench bench;
  bench.chip().setMainArray({});
  ProgrammerLink link(bench.d2xx, mec16::kBufferSize);
  ASSERT_EQ(OpenProgrammer(link, profiles::kMec16, bench.view), OpenResult::Ready);
  for (const char* setUp : {"w" "FF3910" "00000001", "w" "FF3908" "00000106", "w" "FF3904" "00000000"}) {
    link.write(Bytes(setUp));
    ASSERT_EQ(TimedRead(link, 1), 1u);
  }
  const auto page = Pattern(256, 4);
  link.writeByte('W');
  link.write(page);  // too early: the answer to "W" is still waiting
  EXPECT_EQ(bench.chip().lostPageBytes(), 256);
  ASSERT_EQ(QueueWait(link, 1, 300), WaitResult::Ok);
  EXPECT_EQ(link.buffer[0], 'W');
  EXPECT_EQ(QueueWait(link, 1, 100), WaitResult::TimedOut) << "a lost page is not acknowledged";
  link.write(page);  // after the answer: taken
  ASSERT_EQ(QueueWait(link, 1, 300), WaitResult::Ok);
  EXPECT_EQ(link.buffer[0], 'G');
  link.writeByte('N');
  link.write(page);
  EXPECT_EQ(bench.chip().lostPageBytes(), 512);
  link.close();
  EXPECT_EQ(Slice(bench.chip().mainArray(), 0, 256), page);
  EXPECT_EQ(Slice(bench.chip().mainArray(), 256, 256), std::vector<std::uint8_t>(256, 0xFF));
}

TEST(Mec16Write, ShortFilePadsItsLastPageAndEndsWithoutZero) {
  Mec16Bench bench;
  bench.ops.job().setVerifyAfterWrite(false);  // the documented write alone
  bench.chip().setMainArray(std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
  const auto source = Pattern(1024, 9);
  const std::string path = ClickWrite(bench, source, "short.bin");
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  ASSERT_EQ(bench.view.questions().size(), 1u);
  EXPECT_NE(bench.view.questions()[0].find(path), std::string::npos);
  EXPECT_EQ(Slice(bench.chip().mainArray(), 0, 1024), source);
  EXPECT_EQ(bench.chip().mainArray(), [&] {
    auto expected = std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF);
    std::copy(source.begin(), source.end(), expected.begin());
    return expected;
  }());
  const std::string data(source.begin(), source.end());
  EXPECT_EQ(bench.host(), Mec16ReadBeforeWrite() + kMec16WriteSetUp + data.substr(0, 256) + "N" + data.substr(256, 256) + "N" + data.substr(512, 256) +
                              "N" + data.substr(768, 256) + "N" + std::string(256, '\xFF') + "X" + kMec16Release + "I");
  EXPECT_FALSE(bench.logged("Запись MAIN блока завершена успешно."));
  const auto written = bench.linesAfter("Начали запись MEC16 main block ...");
  EXPECT_EQ(std::count(written.begin(), written.end(), "Закрыли VCOM порт"), 0);
  auto after = bench.linesAfter("-> Предупреждение!");
  ASSERT_GE(after.size(), 4u);
  EXPECT_EQ(after[0], "-> Записываемый файл короче!");
  EXPECT_EQ(after[1], "Записали в регистр FF3908h 100h");
  EXPECT_EQ(bench.view.gauge("CGauge_MEC16"), 4);
}

// A lost answer, a silent page or a protected chip ends the write through its failure
// path: the release only after a whole stream, and no stream at all when refused.
struct WriteFailure {
  const char* name;
  sim::SimOptions options;
  std::size_t size;       // of the image
  std::string line;       // logged
  std::string wireEnd;    // how the host's bytes end
  bool released;          // the release went out
  std::optional<int> gauge;
};

std::vector<WriteFailure> WriteFailures() {
  return {
      {"no G for page 3", V42({{"mec16-no-g", "3"}}), 196608, "Потеряна связь с MEC16 (W103)", "XO", false, 3},
      {"silent page 2", V42({{"mec16-silent-page", "2"}}), 196608, std::string(mec16::text::kNoPageAnswer) + "2", "XO",
       false, {}},
      {"no G for the last, short page", V42({{"mec16-no-g", "5"}}), 1024, "Потеряна связь с MEC16 (W102)",
       "X" + kMec16Release + "O", true, {}},
      {"protected chip", V42({{"mec16-fwp", ""}}), 196608, "--> Команда записи отменена (nFWP или BOOT_LOCK)",
       "B1jrFF390CO0", false, {}},
      {"the FF3904h write lost", V42({{"mec16-lose-register", "4"}}), 196608, "Потеряна связь с MEC16 (W101A)",
       "wFF390400000000O0", false, {}},
  };
}

void PrintTo(const WriteFailure& row, std::ostream* os) { *os << row.name; }

class Mec16WriteFailure : public ::testing::TestWithParam<WriteFailure> {};

TEST_P(Mec16WriteFailure, EndsThroughTheFailurePath) {
  const WriteFailure& c = GetParam();
  Mec16Bench bench(c.options);
  bench.chip().setMainArray({});  // blank: the write itself fails, no erase before it
  ClickWrite(bench, Pattern(c.size, 2));
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.logged(c.line));
  EXPECT_TRUE(bench.host().ends_with(c.wireEnd)) << Tail(bench.host());
  // After the read before the write, which ends with a release of its own.
  EXPECT_EQ(bench.host().find(kMec16Release, Mec16ReadBeforeWrite().size()) != std::string::npos, c.released);
  if (c.gauge) {
    EXPECT_EQ(bench.view.gauge("CGauge_MEC16"), *c.gauge);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, Mec16WriteFailure, ::testing::ValuesIn(WriteFailures()), CaseName<WriteFailure>);

TEST(Mec16Write, ProtectedChipPaintsTheLampRed) {
  Mec16Bench bench(V42({{"mec16-fwp", ""}}));
  bench.chip().setMainArray({});
  ClickWrite(bench, Pattern(196608, 2));
  bench.expectEndedIdle();
  EXPECT_EQ(bench.host(), Mec16ReadBeforeWrite() + "B1jrFF390CO0");
  EXPECT_EQ(bench.view.colour("Shape_FWP_MEC16"), colour::kRed);
}

// The model's flash as a write over old contents finds it: programming only clears bits, so
// the page holds neither image (the write asks for an erase first because of this).
TEST(Mec16Write, WithoutEraseTheNorArrayOnlyLosesBits) {
  Mec16Bench bench;
  const auto old = bench.chip().mainArray();
  ProgrammerLink link(bench.d2xx, mec16::kBufferSize);
  ASSERT_EQ(OpenProgrammer(link, profiles::kMec16, bench.view), OpenResult::Ready);
  for (const char* setUp : {"w" "FF3910" "00000001", "w" "FF3908" "00000106", "w" "FF3904" "00000000"}) {
    link.write(Bytes(setUp));
    ASSERT_EQ(TimedRead(link, 1), 1u);
  }
  link.writeByte('W');
  ASSERT_EQ(QueueWait(link, 1, 300), WaitResult::Ok);
  const auto source = Pattern(512, 5);
  for (int page = 0; page < 2; ++page) {
    if (page == 1) {
      link.writeByte('N');
      ASSERT_EQ(QueueWait(link, 1, 300), WaitResult::Ok);
    }
    link.write(Slice(source, static_cast<std::size_t>(page) * 256, 256));
    ASSERT_EQ(QueueWait(link, 1, 300), WaitResult::Ok);
    EXPECT_EQ(link.buffer[0], 'G');
  }
  link.close();
  const auto now = bench.chip().mainArray();
  std::size_t neither = 0;
  for (std::size_t i = 0; i < source.size(); ++i) {
    ASSERT_EQ(now[i], old[i] & source[i]) << i;
    neither += now[i] != old[i] && now[i] != source[i];
  }
  EXPECT_GT(neither, 256u);  // most bytes hold neither image
  EXPECT_TRUE(std::equal(now.begin() + 512, now.end(), old.begin() + 512));
}

TEST(Mec16Lock, ClicksDuringAnOperationDoNothing) {
  Mec16Bench bench(V42({{"mec16-slow-blocks", "2000"}}));
  ClickRead(bench, false, "slow.bin");
  const auto before = bench.view.allLines();
  const auto wire = bench.host();
  bench.ops.probe();
  bench.view.answerYesNo(true);
  bench.ops.erase(true);
  bench.ops.read(true);
  bench.ops.write(false);
  bench.ops.help();
  EXPECT_EQ(bench.view.allLines(), before);
  EXPECT_EQ(bench.view.dialogs().size(), 1u);
  EXPECT_EQ(bench.host().find("1", wire.size()), std::string::npos);
  EXPECT_TRUE(bench.view.endings().empty());
  bench.ops.EXIT_MEC16Click();  // the stop
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.logged("Пользователь прервал операцию чтения."));
}

// ---------------------------------------------------------------------------------------
// The file to write is checked whole before the chip is touched; a dump under the chosen
// name is always whole.

TEST(Mec16Read, FailedReadLeavesTheOldDumpAndNoTemporaryFile) {
  struct Case {
    const char* name;
    sim::SimOptions options;
    bool info = false;
    bool readTwice = false;
    std::optional<std::size_t> diskFullAfter;
    std::function<void(Mec16Bench&)> arm;  // a button pressed during the read
  };
  auto stopAt = [](int block, bool commandLine) {
    return [block, commandLine](Mec16Bench& bench) {
      bench.view.onGauge = [&bench, block, commandLine](std::string_view, int progress) {
        if (progress != block) return;
        if (commandLine) bench.ops.job().requestStop();
        else bench.ops.EXIT_MEC16Click();
      };
    };
  };
  const std::vector<Case> cases = {
      {"silence mid-read", V42({{"mec16-silent-block", "3"}})},
      {"bad block", V42({{"mec16-bad-block", "5"}})},
      {"bad INFO block", V42({{"mec16-bad-block", "193"}}), true},
      {"exit button", V42(), false, false, {}, stopAt(4, false)},
      {"command-line stop", V42(), false, false, {}, stopAt(4, true)},
      {"command-line stop, read twice", V42(), false, true, {}, stopAt(4, true)},
      {"disk full mid-read", V42(), false, false, 5000},
      {"disk full writing a matching pair", V42(), true, true, 1000},
      {"pair that differs", V42({{"mec16-unstable-first-block", ""}}), false, true},
  };
  const std::vector<std::uint8_t> old = {0x4F, 0x4C, 0x44, 0x0A};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mec16Bench bench(c.options);
    bench.ops.job().setReadTwice(c.readTwice);
    if (c.arm) c.arm(bench);
    const std::string path = bench.dir.file("dump.bin");
    WriteFileBytes(path, old);
    InjectDumpWriteFault(c.diskFullAfter);
    bench.view.answerDialog(path);
    bench.ops.read(c.info);
    bench.expectEndedIdle();
    InjectDumpWriteFault(std::nullopt);
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_TRUE(TemporaryDumps(bench.dir.path()).empty());
    EXPECT_EQ(bench.logged(std::string(mec16::text::kFileWriteFailed)), c.diskFullAfter.has_value());
  }
}

TEST(Mec16Read, TargetThatCannotBeCreatedFailsBeforeAnyRead) {
  for (const bool readTwice : {false, true}) {
    for (const char* target : {"no-such-folder/dump.bin", "a-folder"}) {
      SCOPED_TRACE(std::string(target) + (readTwice ? ", read twice" : ""));
      Mec16Bench bench;
      std::filesystem::create_directory(bench.dir.file("a-folder"));
      bench.ops.job().setReadTwice(readTwice);
      ClickRead(bench, false, target);
      bench.expectEndedIdle();
      EXPECT_EQ(bench.host(), "BO");
      // The documented line, then the path and the system's reason it does not give.
      const std::string why = std::string(target) == "a-folder" ? "Is a directory." : "No such file or directory.";
      EXPECT_EQ(bench.linesAfter("Communication with programmer installed."),
                (std::vector<std::string>{"Ошибка создания файла",
                                          "Файл " + bench.dir.file(target) + " не удалось создать: " + why,
                                          "Закрыли VCOM порт"}));
      EXPECT_EQ(bench.chip().mainReads(), 0);
    }
  }
}

// The exit button cannot stop a write: the verdict and the verify stay those of the
// whole write. Only the command line's second Ctrl-C stops it, through the failure path.
TEST(Mec16Write, ExitDuringTheWriteChangesNeitherItsVerdictNorItsVerify) {
  Mec16Bench bench;
  bench.chip().setMainArray(std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
  const auto source = Pattern(196608, 6);
  int reads = 0;  // the read before the write, then the verify's
  bench.view.onGauge = [&bench, &reads](std::string_view, int progress) {
    const bool reading = bench.view.gaugeColour("CGauge_MEC16") == colour::kLime;
    if (reading && progress == 1) ++reads;
    // Twice during the write (pages 10 and 11), once during the verify read (block 5).
    if ((!reading && (progress == 10 || progress == 11)) || (reading && reads == 2 && progress == 5))
      bench.ops.EXIT_MEC16Click();
  };
  ClickWrite(bench, source);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.chip().mainArray(), source);
  const auto lines = bench.view.allLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(mec16::text::kWriteCannotStop)), 1);
  EXPECT_TRUE(bench.logged("Проверка после записи: OK, флеш совпадает с образом."));
  EXPECT_FALSE(bench.logged("Пользователь прервал операцию чтения."));
  EXPECT_EQ(bench.view.visible("self"), std::nullopt);  // the window stayed
  // The whole write, then the whole verify read.
  EXPECT_TRUE(bench.host() == Mec16ReadBeforeWrite() + kMec16WriteSetUp + Mec16Pages(source, 768) + "X" + kMec16Release +
                                  "I0" + Mec16MainRead());
}

TEST(Mec16Write, CommandLineStopEndsTheWriteThroughItsFailurePath) {
  Mec16Bench bench;
  bench.chip().setMainArray(std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
  const auto source = Pattern(196608, 6);
  bench.view.onGauge = [&bench](std::string_view, int progress) {
    // At page 10 of the write, not at block 10 of the read before it.
    if (progress == 10 && bench.view.gaugeColour("CGauge_MEC16") == colour::kRed) bench.ops.job().requestStop();
  };
  ClickWrite(bench, source);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  // Page 10 is sent and acknowledged, then the stream ends without the release.
  EXPECT_TRUE(bench.host() == Mec16ReadBeforeWrite() + kMec16WriteSetUp + Mec16Pages(source, 10) + "XO");
  EXPECT_EQ(bench.view.gauge("CGauge_MEC16"), 10);
  EXPECT_EQ(bench.view.lastLine(), "");
  EXPECT_TRUE(bench.logged(std::string(mec16::text::kWriteStopped)));
  EXPECT_EQ(bench.chip().mainReads(), 1);  // the read before it; no verify of a write that did not end
}

}  // namespace
}  // namespace jig::test
