// The read-back checks around the documented transfers: the verify after a write, the
// second read with INFO and a stop in it, and the one line about what a dump looks like.
// The read twice that every flash window shares is in tests/reliability/ReadTwiceTest.cpp.
#include <filesystem>

#include "Mec16xx/Mec16Texts.h"
#include "files/Backups.h"
#include "files/DumpChecks.h"
#include "tests/Mec16xx/Mec16Bench.h"

namespace jig::test {
namespace {

using sim::Mec16Sim;

std::vector<std::uint8_t> Firmware(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 29 + seed + (i >> 8));
  return bytes;
}

// The last line that says something: not a time stamp, not empty.
std::string LastSaying(const std::vector<std::string>& lines) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (!it->empty() && it->rfind("Текущее время  ", 0) != 0) return *it;
  return {};
}

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// A write of a whole MAIN image onto an erased array.
struct WriteBench : Mec16Bench {
  explicit WriteBench(sim::SimOptions options = V42()) : Mec16Bench(std::move(options)) {
    chip().setMainArray(std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
    WriteFileBytes(path, source);
    view.answerDialog(path);
  }
  std::vector<std::uint8_t> source = Firmware(Mec16Sim::kMainSize, 11);
  std::string path = dir.file("image.bin");
};

TEST(Mec16Verify, ReadsBackInASeparateRunAndSaysTheFlashMatches) {
  WriteBench bench;
  bench.ops.write(false);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  // The write closes its handle and the read-back opens anew: "B" is the open's query.
  EXPECT_EQ(bench.host(), Mec16ReadBeforeWrite() + kMec16WriteSetUp + Mec16Pages(bench.source) + "X" + kMec16Release + "I0" +
                              Mec16MainRead());
  const auto lines = bench.view.allLines();
  EXPECT_EQ(LastSaying(lines), VerifyLine(std::nullopt, LogLanguage::Russian));
  EXPECT_EQ(LastSaying(lines), "Проверка после записи: OK, флеш совпадает с образом.");
  const auto after = bench.linesAfter("Запись MAIN блока завершена успешно.");
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(Count(after, std::string(mec16::text::kVerifyReadStarts)), 1);
  EXPECT_EQ(Count(after, "Чтение MAIN блока завершено успешно."), 1);
  EXPECT_EQ(Count(after, "Закрыли VCOM порт"), 2);
  // The verify read is no dump: no sanity line.
  EXPECT_EQ(Count(lines, DumpPatternLine({}, LogLanguage::Russian)), 0);
  // One job through both runs: the window holds its check boxes by the job's phase
  // (tests/Mec16xx/gui_Mec16Form.cpp), and the end is told once.
  EXPECT_EQ(bench.view.events(), (std::vector<std::string>{"ended ok"}));
  EXPECT_EQ(bench.view.gaugeColour("CGauge_MEC16"), colour::kLime);
  EXPECT_EQ(bench.view.gauge("CGauge_MEC16"), 192);
}

// An image that differs from the old one in bits a write cannot set back: without the erase
// every third byte would stay wrong; with it the verify finds the flash as the image.
TEST(Mec16Verify, WriteOverOldContentsErasesFirstOnYesAndVerifies) {
  Mec16Bench bench;
  auto old = bench.chip().mainArray();
  std::vector<std::uint8_t> source(Mec16Sim::kMainSize);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(old[i] | (i % 3 == 2 ? 0x80 : 0));
  ClickWrite(bench, source, "f.bin", true);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.questions(), std::vector<std::string>{"Стереть и записать?"});
  EXPECT_EQ(bench.chip().erases(), 1);
  EXPECT_EQ(bench.chip().mainArray(), source);
  EXPECT_EQ(LastSaying(bench.view.allLines()), "Проверка после записи: OK, флеш совпадает с образом.");
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
}

TEST(Mec16Verify, ShortFileComparesOnlyThePagesSent) {
  WriteBench bench;
  // The four pages the file reaches are erased; what lies past them holds an old image.
  auto old = Firmware(Mec16Sim::kMainSize, 7);
  std::fill(old.begin(), old.begin() + 1024, std::uint8_t{0xFF});
  bench.chip().setMainArray(old);
  const auto source = Firmware(1000, 4);
  WriteFileBytes(bench.path, source);
  bench.view.answerYesNo(true);  // a short file is asked about first
  bench.ops.write(false);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  // The write erases nothing: the question says so, and the flash past the last page sent
  // keeps what it held.
  ASSERT_EQ(bench.view.questions().size(), 1u);
  EXPECT_NE(bench.view.questions()[0].find("Остаток микросхемы не записывается и сохранит прежнее содержимое"),
            std::string::npos)
      << bench.view.questions()[0];
  const auto flash = bench.chip().mainArray();
  EXPECT_TRUE(std::equal(source.begin(), source.end(), flash.begin()));
  EXPECT_TRUE(std::all_of(flash.begin() + 1000, flash.begin() + 1024, [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(std::equal(flash.begin() + 1024, flash.end(), old.begin() + 1024));
  EXPECT_TRUE(bench.logged("-> Записываемый файл короче!"));
  EXPECT_EQ(LastSaying(bench.view.allLines()), "Проверка после записи: OK, флеш совпадает с образом.");
  // The short write ends without "0"; the read-back follows at once.
  EXPECT_NE(bench.host().find("X" + kMec16Release + "I" + Mec16MainRead()), std::string::npos);
}

TEST(Mec16Verify, TurnedOffReadsNothingBack) {
  WriteBench bench;
  bench.ops.job().setVerifyAfterWrite(false);
  bench.ops.write(false);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.host(), Mec16ReadBeforeWrite() + kMec16WriteSetUp + Mec16Pages(bench.source) + "X" + kMec16Release + "I0");
  EXPECT_EQ(bench.chip().mainReads(), 1);  // the look whether MAIN is blank, before the write
  EXPECT_EQ(LastSaying(bench.view.allLines()), "Закрыли VCOM порт");
}

TEST(Mec16Verify, FailedWriteIsNotReadBack) {
  WriteBench bench(V42({{"mec16-no-g", "3"}}));
  bench.ops.write(false);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.host().substr(bench.host().size() - 2), "XO");
  EXPECT_EQ(bench.chip().mainReads(), 1);  // only the one before the write
  EXPECT_EQ(LastSaying(bench.view.allLines()), "Потеряна связь с MEC16 (W103)");
}

// The verify's read is the chip's second MAIN read: the one before the write is the first.
TEST(Mec16Verify, SilenceInTheVerifyReadEndsIdleWithinItsBoundAndOneLine) {
  WriteBench bench(V42({{"mec16-silent-block", "3"}, {"mec16-fault-read", "2"}}));
  bench.ops.write(false);
  ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(20)));
  bench.ops.job().joinWorker();
  EXPECT_EQ(bench.ops.mode(), Mec16Mode::None);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  const auto after = bench.linesAfter(std::string(mec16::text::kVerifyReadStarts));
  const std::string timedOut = std::string(mec16::text::kNoBlock) + "3 (MAIN)";
  ASSERT_EQ(Count(after, timedOut), 1);
  // Nothing after it but the closing of the run.
  const auto tail = bench.linesAfter(timedOut);
  ASSERT_EQ(tail.size(), 3u);
  EXPECT_EQ(tail[0], "Закрыли VCOM порт");
  EXPECT_EQ(tail[2], "");
  EXPECT_EQ(bench.host().substr(bench.host().size() - 5), "NNXO0");
  EXPECT_NE(bench.view.enabled("VerifyAfterWrite"), false);
}

TEST(Mec16Verify, SilenceTakesNoLongerThanTheBlockBound) {
  // Timed from the verify's first line, so that the write before it, whose length a busy
  // machine stretches, is not counted: three blocks, the silence, the close.
  WriteBench bench(V42({{"mec16-silent-block", "3"}, {"mec16-fault-read", "2"}}));
  bench.ops.write(false);
  const auto verifyBegan = bench.view.waitLogged(mec16::text::kVerifyReadStarts, std::chrono::seconds(20));
  ASSERT_TRUE(verifyBegan);
  ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(20)));
  const auto silent = bench.view.endedAt() - *verifyBegan;
  bench.ops.job().joinWorker();
  EXPECT_LT(silent, std::chrono::milliseconds(kMec16Bounds.blockMs + 1500));
  EXPECT_GE(silent, std::chrono::milliseconds(kMec16Bounds.blockMs));
}

// ---------------------------------------------------------------------------------------

TEST(Mec16ReadTwice, MatchingPairWithInfoWritesTheWholeFile) {
  Mec16Bench bench;
  bench.ops.job().setReadTwice(true);
  const std::string path = ClickRead(bench, true, "pair.bin");
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
  auto expected = bench.chip().mainArray();
  const auto info = bench.chip().infoArray();
  expected.insert(expected.end(), info.begin(), info.end());
  EXPECT_EQ(ReadFileBytes(path), expected);
  const std::string withInfo = kMec16ReadSetUp + Repeat("N", 191) + "XwFF390800000100wFF390800000105R040000NX" + kMec16Release + "I0";
  EXPECT_EQ(bench.host(), withInfo + withInfo);
  const auto lines = bench.view.allLines();
  EXPECT_EQ(lines.back(), "Двойное чтение: оба чтения совпадают.");
  EXPECT_EQ(Count(lines, "Чтение INFO блока завершено успешно."), 2);
  EXPECT_EQ(Count(lines, DumpPatternLine({}, LogLanguage::Russian)), 1);
  EXPECT_EQ(bench.view.dialogs().size(), 1u);
}

TEST(Mec16ReadTwice, StopDuringTheSecondReadEndsItWithoutAFile) {
  Mec16Bench bench;
  bench.ops.job().setReadTwice(true);
  int reads = 0;  // the hook runs under the chip's lock: count here, do not ask the chip
  bench.chip().setBlockHook([&bench, &reads](int block) {
    if (block == 1) ++reads;
    if (block == 5 && reads == 2) bench.ops.EXIT_MEC16Click();
  });
  const std::string path = ClickRead(bench, false, "pair.bin");
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_FALSE(std::filesystem::exists(path));
  const auto second = bench.linesAfter(std::string(mec16::text::kSecondReadStarts));
  EXPECT_EQ(Count(second, "Пользователь прервал операцию чтения."), 1);
  EXPECT_EQ(LastSaying(second), "Закрыли VCOM порт");
  EXPECT_EQ(bench.host(), Mec16MainRead() + kMec16ReadSetUp + "NNNNX" + kMec16Release + "0O");
}

// ---------------------------------------------------------------------------------------

TEST(Mec16DumpCheck, BlankAndPatternedDumpsAreFlaggedAndFirmwareIsNot) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> main;
    DumpVerdict verdict;
  };
  std::vector<std::uint8_t> pattern(Mec16Sim::kMainSize);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(0xA0 + (i % 16) * 3);
  std::vector<Case> cases = {
      {"all FFh", std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF), {DumpPattern::AllFF, 1}},
      {"all 00h", std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0x00), {DumpPattern::All00, 1}},
      {"16-byte pattern", pattern, {DumpPattern::Repeated, 16}},
      {"firmware", Firmware(Mec16Sim::kMainSize, 7), {}},
  };
  // A firmware image with its unused end left blank is still firmware.
  auto padded = Firmware(Mec16Sim::kMainSize, 9);
  std::fill(padded.begin() + 0x20000, padded.end(), 0xFF);
  cases.push_back({"firmware and blank", padded, {}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mec16Bench bench;
    bench.chip().setMainArray(c.main);
    const std::string path = ClickRead(bench, true);
    bench.expectEndedIdle();
    // A warning, not a failure: the dump is kept whole.
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
    EXPECT_EQ(ReadFileBytes(path).size(), 198656u);
    const auto lines = bench.view.allLines();
    EXPECT_EQ(lines.back(), DumpPatternLine(c.verdict, LogLanguage::Russian));
    const bool flagged = c.verdict.pattern != DumpPattern::Mixed;
    EXPECT_EQ(lines.back().rfind("Внимание: ", 0) == 0, flagged) << lines.back();
  }
}

TEST(Mec16DumpCheck, FailedReadSaysNothingAboutTheDump) {
  Mec16Bench bench(V42({{"mec16-bad-block", "5"}}));
  bench.chip().setMainArray(std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
  ClickRead(bench, false, "bad.bin");
  bench.expectEndedIdle();
  for (const auto& line : bench.view.allLines()) {
    EXPECT_EQ(line.rfind("Внимание: ", 0), std::string::npos) << line;
    EXPECT_EQ(line.rfind("Проверка дампа", 0), std::string::npos) << line;
  }
}

// ---------------------------------------------------------------------------------------

// The window's exit button during the backup read stops the backup, and with it the write.
// (The backups of every flash window are tried in tests/reliability/WindowFileSafetyTest.cpp.)
TEST(Mec16Backup, ExitDuringTheBackupReadKeepsTheWriteFromStarting) {
  Mec16Bench bench;
  bench.view.onGauge = [&bench](std::string_view, int progress) {
    if (progress == 4) bench.ops.EXIT_MEC16Click();
  };
  const auto old = bench.chip().mainArray();
  bench.ops.job().setBackup(true);
  ClickWrite(bench, Firmware(Mec16Sim::kMainSize, 3), "image.bin", false);
  bench.expectEndedIdle();
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.chip().mainArray(), old);
  EXPECT_EQ(bench.host().find("wFF390800000106"), std::string::npos);
  EXPECT_FALSE(bench.logged("Записываем в файл: "));
  EXPECT_EQ(LastSaying(bench.view.allLines()).rfind(BackupReadFailedLine(LogLanguage::Russian), 0), 0u)
      << LastSaying(bench.view.allLines());
  EXPECT_TRUE(bench.backups.files().empty());
}

// The exit button is not obeyed during INFO: pressed there, it goes with that read, and the
// next write's backup and read-back run whole.
TEST(Mec16Backup, ExitDuringInfoIsForgottenByTheNextWrite) {
  Mec16Bench bench;
  bench.chip().setBlockHook([&bench](int block) {
    if (block == 193) bench.ops.EXIT_MEC16Click();
  });
  ClickRead(bench, true, "both.bin");
  ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(20)));
  bench.ops.job().joinWorker();
  bench.chip().setBlockHook({});
  bench.chip().setMainArray(std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF));
  bench.ops.job().setBackup(true);
  ClickWrite(bench, Firmware(Mec16Sim::kMainSize, 5), "image.bin", false);
  ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(20), 2));
  bench.ops.job().joinWorker();
  EXPECT_EQ(bench.view.endings(), (std::vector<bool>{true, true}));
  EXPECT_FALSE(bench.logged("Пользователь прервал операцию чтения."));
  EXPECT_EQ(bench.backups.files().size(), 1u);
}

}  // namespace
}  // namespace jig::test
