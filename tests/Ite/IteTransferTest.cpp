// Read and write through the worker: bytes on the wire, files, log lines and the end
// state, also when the programmer fails in the middle.

#include <filesystem>
#include <random>

#include "Ite/IteTexts.h"
#include "files/DumpSink.h"
#include "tests/Ite/IteTestSupport.h"

namespace jig {
namespace {

using test::FailureLine;
using test::IteBench;
using test::ReadPreparationBytes;

std::vector<std::uint8_t> RandomImage(unsigned seed, double ffShare) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  std::vector<std::uint8_t> image(131072);
  for (auto& byte : image) byte = share(random) < ffShare ? 0xFF : static_cast<std::uint8_t>(random() % 255);
  return image;
}

std::vector<std::uint8_t> WriteSequenceBytes() {
  const std::uint8_t table[19][2] = {{0x27, 0x01}, {0x27, 0x80}, {0x04, 0xFF}, {0x07, 0x7F}, {0x06, 0xFF},
                                     {0x05, 0xFE}, {0x08, 0x00}, {0x05, 0xFD}, {0x08, 0x06}, {0x05, 0xFE},
                                     {0x08, 0x00}, {0x05, 0xFD}, {0x08, 0x60}, {0x05, 0xFE}, {0x08, 0x00},
                                     {0x05, 0xFD}, {0x08, 0xC7}, {0x05, 0xFE}, {0x08, 0x00}};
  std::vector<std::uint8_t> bytes;
  for (const auto& step : table) bytes.insert(bytes.end(), {'A', step[0], 'W', step[1]});
  return bytes;
}

// Everything the host sent after the write's Connect and its register sequence.
std::vector<std::uint8_t> ProgramPhase(const IteBench& bench) {
  auto bytes = bench.sent();
  const std::size_t head = 1 + WriteSequenceBytes().size();
  EXPECT_GE(bytes.size(), head);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 1, bytes.begin() + static_cast<long>(head)), WriteSequenceBytes());
  return std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(head), bytes.end());
}

TEST(IteRead, FullReadEqualsTheFlashAndEndsWith49) {
  IteBench bench;
  bench.chip().flash() = RandomImage(7, 0.3);
  ASSERT_TRUE(bench.apply());
  bench.clickRead("dump.bin");
  EXPECT_EQ(bench.ops.mode(), IteMode::READ_ITE);
  ASSERT_TRUE(bench.waitEnded(20));
  EXPECT_EQ(bench.view.endings().back(), true);
  EXPECT_EQ(test::ReadFileBytes(bench.dir.file("dump.bin")), bench.chip().flash());
  EXPECT_EQ(bench.view.gauge("ITE_CGauge1"), 512);
  EXPECT_EQ(bench.view.gaugeColour("ITE_CGauge1"), colour::kLime);
  EXPECT_TRUE(bench.logged("Мы все прочитали "));
  EXPECT_EQ(bench.ops.mode(), IteMode::NONE);
  EXPECT_EQ(bench.view.enabled("ITE_SETUP_BitBtn"), true);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);

  auto expected = std::vector<std::uint8_t>{'T'};
  const auto prep = ReadPreparationBytes();
  expected.insert(expected.end(), prep.begin(), prep.end());
  expected.insert(expected.end(), 512, 'r');
  expected.push_back('I');
  EXPECT_EQ(bench.sent(), expected);
  const auto dialog = bench.view.dialogs().back();
  EXPECT_EQ(dialog.title, "Укажите имя файла для сохранения.");
  EXPECT_EQ(dialog.filter, "BIN файл (*.bin)|*.bin");
  EXPECT_EQ(dialog.defaultName, "ITE_");
}

TEST(IteRead, BadFifthBlockLeavesNoFileAndEndsWith4F) {
  IteBench bench(test::IteOptions({{"ite-bad-block", "5"}}));
  bench.chip().flash() = RandomImage(8, 0.0);
  ASSERT_TRUE(bench.apply());
  bench.clickRead("dump.bin");
  ASSERT_TRUE(bench.waitEnded(10));
  // Four blocks are no dump: nothing goes under the chosen name.
  EXPECT_FALSE(std::filesystem::exists(bench.dir.file("dump.bin")));
  EXPECT_TRUE(test::TemporaryDumps(bench.dir.path()).empty());
  EXPECT_TRUE(bench.logged("Ошибка при чтении блока ->5"));
  EXPECT_EQ(bench.sent().back(), 'O');
  EXPECT_EQ(bench.view.gauge("ITE_CGauge1"), 4);
  EXPECT_EQ(bench.view.endings().back(), false);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(IteRead, ShortBlockEndsWithinTheBoundAndSecondPressIsIgnored) {
  IteBench bench(test::IteOptions({{"ite-short-block", "3"}}));
  ASSERT_TRUE(bench.apply());
  test::TempDir dir;
  bench.view.answerDialog(dir.file("dump.bin"));
  const auto started = std::chrono::steady_clock::now();
  bench.ops.ITE_READ_BitBtnClick();
  bench.ops.ITE_READ_BitBtnClick();   // ignored: the mode is busy
  bench.ops.ITE_WRITE_BitBtnClick();  // ignored too
  ASSERT_TRUE(bench.waitEnded(5));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_EQ(bench.view.endings().size(), 3u);  // the board choice, APPLY and the read
  EXPECT_EQ(bench.view.dialogs().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir.file("dump.bin")));
  EXPECT_TRUE(bench.logged("Программатор не ответил за 300 мс пришло байт блока: 100 из 257."));
  EXPECT_TRUE(bench.logged("Ошибка при чтении блока ->3"));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.ops.mode(), IteMode::NONE);
}

// No button is left disabled and nothing is open once a click has failed (a click that ends
// before its job runs has disabled none).
void ExpectIdle(const IteBench& bench) {
  EXPECT_EQ(bench.ops.mode(), IteMode::NONE);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  for (const char* control : {"ITE_READ_BitBtn", "ITE_WRITE_BitBtn", "ITE_CHECK_CON_BitBtn", "ITE_SETUP_BitBtn"})
    EXPECT_NE(bench.view.enabled(control), false) << control;
}

// A cancelled dialog, a link lost in the pre-preparation or a wrong board: the read ends
// with 4Fh, its line last, and no file.
TEST(IteRead, CancelledDialogAndFailedPreparationEndWith4F) {
  struct Case {
    const char* name;
    sim::SimOptions options;
    int board;
    bool cancel;
    std::string lastLine;
    std::vector<std::uint8_t> sent;  // all of it (empty: only its end, 4Fh)
  };
  const Case cases[] = {
      {"dialog cancelled", {}, 1, true, "Чтение отмененено пользователем. Все сворачиваем. (RD_DLG)", test::Bytes("O")},
      {"link lost", test::IteOptions({{"ite-lost-from", "8"}}), 1, false, FailureLine("23"), {}},  // T, 20..22 pass
      {"wrong board", {}, 2, false, FailureLine("2F"), test::Bytes("TO")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IteBench bench(c.options);
    ASSERT_TRUE(bench.apply(c.board) || c.board != 1);
    const std::string path = bench.dir.file("dump.bin");
    bench.view.answerDialog(c.cancel ? std::nullopt : std::optional<std::string>(path));
    bench.ops.ITE_READ_BitBtnClick();
    ASSERT_TRUE(bench.waitEnded(5));
    EXPECT_EQ(bench.view.lastLine(), c.lastLine);
    if (c.sent.empty()) {
      EXPECT_EQ(bench.sent().back(), 'O');
    } else {
      EXPECT_EQ(bench.sent(), c.sent);
    }
    EXPECT_EQ(bench.view.endings().back(), false);
    EXPECT_FALSE(std::filesystem::exists(path));  // no dump: no file
    ExpectIdle(bench);
  }
}

TEST(IteWrite, AllFfImageSendsNoAddressNorByte) {
  IteBench bench;
  bench.chip().flash().assign(131072, 0x00);
  ASSERT_TRUE(bench.apply());
  bench.ops.job().setVerifyAfterWrite(false);  // the write's own exchange alone
  // An image of nothing but FFh is asked about.
  bench.clickWrite("blank.bin", std::vector<std::uint8_t>(131072, 0xFF), true);
  ASSERT_TRUE(bench.waitEnded(10));
  EXPECT_EQ(ProgramPhase(bench), test::Bytes("I"));
  EXPECT_TRUE(bench.logged("Количество байт равных 0xFF в файле -> 131072"));
  EXPECT_TRUE(bench.logged("Считали 131072 байта в буфер ..."));
  EXPECT_TRUE(bench.logged("Мы все записали. "));
  EXPECT_EQ(bench.view.gauge("ITE_CGauge1"), 512);
  EXPECT_EQ(bench.view.gaugeColour("ITE_CGauge1"), colour::kRed);
  EXPECT_EQ(bench.chip().flash(), std::vector<std::uint8_t>(131072, 0xFF));  // the erase did it
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  const auto dialog = bench.view.dialogs().back();
  EXPECT_EQ(dialog.title, "Укажите файл за заливки.");
  EXPECT_EQ(dialog.filter, "BIN файл  (*.bin)|*.bin|Другие|*.*");
}

TEST(IteWrite, AddressesOnlyAfterSkippedFfRuns) {
  {
    IteBench bench;
    bench.ops.job().setVerifyAfterWrite(false);  // the write's own exchange alone
    ASSERT_TRUE(bench.apply());
    std::vector<std::uint8_t> image(131072, 0xFF);
    image[0x10000] = 0x5A;
    bench.clickWrite("one.bin", image);
    ASSERT_TRUE(bench.waitEnded(10));
    EXPECT_EQ(ProgramPhase(bench), (std::vector<std::uint8_t>{0x59, 0x01, 0x00, 0x00, 0x77, 0x5A, 'I'}));
    EXPECT_EQ(bench.chip().flash(), image);
  }
  {
    IteBench bench;
    ASSERT_TRUE(bench.apply());
    bench.ops.job().setVerifyAfterWrite(false);
    bench.clickWrite("three.bin", {0x12, 0xFF, 0x34}, true);
    ASSERT_TRUE(bench.waitEnded(10));
    EXPECT_EQ(ProgramPhase(bench),
              (std::vector<std::uint8_t>{0x59, 0, 0, 0, 0x77, 0x12, 0x59, 0, 0, 2, 0x77, 0x34, 'I'}));
    EXPECT_TRUE(bench.logged("Количество байт равных 0xFF в файле -> 131070"));
  }
}

TEST(IteWrite, HalfFfImageReadsBackEqualAndShortFileCountsItsPadding) {
  IteBench bench;
  ASSERT_TRUE(bench.apply());
  auto image = RandomImage(9, 0.5);
  image.resize(65536);
  bench.clickWrite("half.bin", image, true);
  ASSERT_TRUE(bench.waitEnded(30));
  ASSERT_EQ(bench.view.endings().back(), true);
  const auto ffInFile = std::count(image.begin(), image.end(), std::uint8_t{0xFF});
  EXPECT_TRUE(bench.logged("Количество байт равных 0xFF в файле -> " + std::to_string(ffInFile + 65536)));
  EXPECT_EQ(bench.chip().programCount(), 65536 - ffInFile);

  bench.clickRead("back.bin");
  ASSERT_TRUE(bench.waitEnded(20));
  auto expected = image;
  expected.resize(131072, 0xFF);
  EXPECT_EQ(test::ReadFileBytes(bench.dir.file("back.bin")), expected);
}

TEST(IteWrite, FirstAddressWaitsForTheEraseOthersDoNot) {
  {
    // The erase takes 500 ms, longer than an ordinary answer may (300 ms): only the
    // first Flash address may wait that long.
    IteBench bench(test::IteOptions({{"ite-erase-ms", "500"}}));
    ASSERT_TRUE(bench.apply());
    bench.clickWrite("three.bin", {0x12, 0xFF, 0x34}, true);
    ASSERT_TRUE(bench.waitEnded(10));
    EXPECT_EQ(bench.view.endings().back(), true);
  }
  {
    auto bounds = test::IteShortBounds();
    bounds.eraseMs = 200;
    IteBench bench(test::IteOptions({{"ite-erase-ms", "1500"}}), bounds);
    ASSERT_TRUE(bench.apply());
    bench.clickWrite("three.bin", {0x12}, true);
    ASSERT_TRUE(bench.waitEnded(10));
    EXPECT_TRUE(bench.logged("Программатор не ответил за 200 мс на команду адреса во флеш (Y 00 00 00)."));
    EXPECT_TRUE(bench.logged("Ошибка протокола при отправке адреса во флеш."));
    EXPECT_EQ(bench.sent().back(), 'O');
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

TEST(IteWrite, FailuresEndWith4FAndLeaveTheWindowIdle) {
  struct Case {
    const char* name;
    sim::SimOptions options;
    int board;
    std::vector<std::uint8_t> image;
    std::string line;  // logged
    bool lineIsLast;
  };
  const Case cases[] = {
      {"programming silent", test::IteOptions({{"ite-program-silent", "3"}}), 1, {1, 2, 3, 4},
       "Ошибка записи во флеш или потеряна связь с ITE", false},
      {"link lost", test::IteOptions({{"ite-lost-from", "15"}}), 1, {1}, FailureLine("T007"), false},  // T001..T006 pass
      {"wrong board", {}, 2, {1}, FailureLine("3F"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IteBench bench(c.options);
    ASSERT_TRUE(bench.apply(c.board) || c.board != 1);
    bench.clickWrite("a.bin", c.image, true);
    ASSERT_TRUE(bench.waitEnded(5));
    EXPECT_TRUE(bench.logged(c.line));
    if (c.lineIsLast) {
      EXPECT_EQ(bench.view.lastLine(), c.line);
    }
    EXPECT_EQ(bench.sent().back(), 'O');
    EXPECT_EQ(bench.view.endings().back(), false);
    ExpectIdle(bench);
  }
}

TEST(IteWrite, SilentProgrammingKeepsWhatWasProgrammed) {
  IteBench bench(test::IteOptions({{"ite-program-silent", "3"}}));
  ASSERT_TRUE(bench.apply());
  bench.clickWrite("a.bin", {1, 2, 3, 4}, true);
  ASSERT_TRUE(bench.waitEnded(5));
  EXPECT_EQ(ProgramPhase(bench), (std::vector<std::uint8_t>{0x59, 0, 0, 0, 0x77, 1, 0x77, 2, 0x77, 3, 'O'}));
  EXPECT_EQ(bench.chip().flash()[1], 2);  // what was programmed stays
}

TEST(IteWrite, MissingImageSaysSoInTheLogAndABox) {
  IteBench bench;
  ASSERT_TRUE(bench.apply());
  bench.view.answerDialog(bench.dir.file("missing.bin"));
  bench.ops.ITE_WRITE_BitBtnClick();
  EXPECT_TRUE(bench.logged("Ошибка при открытии файла. (WR_OPN_DLG)"));
  EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка открытия файла."});
  EXPECT_EQ(bench.sent(), test::Bytes("O"));
}

TEST(IteRead, FailedReadLeavesTheOldDumpAndNoTemporaryFile) {
  struct Case {
    const char* name;
    sim::SimOptions options;
    bool readTwice = false;
    std::optional<std::size_t> diskFullAfter;
    int stopAtBlock = 0;  // the command line's stop
  };
  const std::vector<Case> cases = {
      {"bad block", test::IteOptions({{"ite-bad-block", "200"}})},
      {"short block", test::IteOptions({{"ite-short-block", "200"}})},
      {"silence mid-read", test::IteOptions({{"ite-silent-from", "100"}})},
      {"command-line stop", {}, false, {}, 5},
      {"command-line stop, read twice", {}, true, {}, 5},
      {"disk full mid-read", {}, false, 5000},
      {"disk full writing a matching pair", {}, true, 1000},
      {"pair that differs", test::IteOptions({{"ite-unstable-first-block", ""}}), true},
  };
  const std::vector<std::uint8_t> old = {0x4F, 0x4C, 0x44, 0x0A};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IteBench bench(c.options);
    bench.chip().flash() = RandomImage(6, 0.3);
    bench.ops.job().setReadTwice(c.readTwice);
    ASSERT_TRUE(bench.apply());
    bench.view.onGauge = [&bench, block = c.stopAtBlock](std::string_view gauge, int progress) {
      if (block != 0 && gauge == "ITE_CGauge1" && progress == block) bench.ops.job().requestStop();
    };
    test::TempDir dir;
    const std::string path = dir.file("dump.bin");
    test::WriteFileBytes(path, old);
    InjectDumpWriteFault(c.diskFullAfter);
    bench.view.answerDialog(path);
    bench.ops.ITE_READ_BitBtnClick();
    ASSERT_TRUE(bench.waitEnded(10));
    bench.ops.job().joinWorker();
    InjectDumpWriteFault(std::nullopt);
    EXPECT_EQ(bench.view.endings().back(), false);
    EXPECT_EQ(test::ReadFileBytes(path), old);
    EXPECT_TRUE(test::TemporaryDumps(dir.path()).empty());
    EXPECT_EQ(bench.logged(std::string(ite::text::kStopped)), c.stopAtBlock != 0);
    EXPECT_EQ(bench.logged(std::string(ite::text::kFileWriteFailed) + path), c.diskFullAfter.has_value());
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

TEST(IteRead, TargetThatCannotBeCreatedFailsBeforeAnyRead) {
  for (const bool readTwice : {false, true}) {
    for (const char* target : {"no-such-folder/dump.bin", "a-folder"}) {
      SCOPED_TRACE(std::string(target) + (readTwice ? ", read twice" : ""));
      IteBench bench;
      bench.ops.job().setReadTwice(readTwice);
      ASSERT_TRUE(bench.apply());
      test::TempDir dir;
      std::filesystem::create_directory(dir.file("a-folder"));
      bench.view.answerDialog(dir.file(target));
      bench.ops.ITE_READ_BitBtnClick();
      EXPECT_TRUE(bench.logged("Ошибка при создании файла. (RD_CRT_DLG)"));
      EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка создания файла."});
      // The box does not say why: the line after it names the path and the system's reason.
      EXPECT_EQ(bench.view.lastLine(), "Файл " + dir.file(target) + " не удалось создать: " +
                                           (std::string(target) == "a-folder" ? "Is a directory." : "No such file or directory."));
      EXPECT_EQ(bench.sent(), test::Bytes("O"));
      EXPECT_EQ(bench.ops.mode(), IteMode::NONE);
    }
  }
}

TEST(IteWrite, CommandLineStopEndsTheWriteThroughItsFailurePath) {
  IteBench bench;
  bench.ops.job().setVerifyAfterWrite(false);
  ASSERT_TRUE(bench.apply());
  bench.view.onGauge = [&bench](std::string_view gauge, int progress) {
    if (gauge == "ITE_CGauge1" && progress == 2) bench.ops.job().requestStop();
  };
  bench.clickWrite("in.bin", RandomImage(7, 0.0));
  ASSERT_TRUE(bench.waitEnded(30));
  EXPECT_EQ(bench.view.endings().back(), false);
  EXPECT_EQ(bench.view.gauge("ITE_CGauge1"), 2);
  EXPECT_TRUE(bench.logged(std::string(ite::text::kStopped)));
  EXPECT_FALSE(bench.logged("Мы все записали. "));
  // Two pages programmed, then the end byte of a failure.
  EXPECT_EQ(bench.chip().programCount(), 512);
  EXPECT_EQ(bench.sent().back(), 'O');
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig
