// The verify after a write on every flash window: one byte that the chip keeps wrong (a bit
// flipped or stuck) fails the click with the task's own line, and the window ends idle. What
// each task adds (its wire, its gauge, where the line stands) is the row's.
#include <filesystem>

#include "Npce/NpceProtocol.h"
#include "job/JobVerdict.h"
#include "tests/Ite/IteTestSupport.h"
#include "tests/Kb901x_form/Kb90Bench.h"
#include "tests/Mec16xx/Mec16Bench.h"
#include "tests/Npce/NpceBench.h"
#include "tests/reliability/FlashTasks.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;

struct VerifyRow {
  std::string name;
  std::string task;
  Faults faults;             // the fault that spoils one byte
  std::size_t badAddress;    // bit 0 of this byte ends up wrong
  std::function<Data()> image;
  std::string failure;       // the line of the failed verify
  std::string verified;      // the line of a verified write: never said here
  std::function<void(FlashTask&, const Data& image)> expectMore;
};

void PrintTo(const VerifyRow& row, std::ostream* os) { *os << row.name; }

FlashTaskRow Task(const std::string& name) {
  for (const FlashTaskRow& row : FlashTasks())
    if (row.name == name) return row;
  return {};
}

// The last line that says something: not a time stamp, not empty.
std::string LastSaying(const std::vector<std::string>& lines) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (!it->empty() && !it->starts_with("Текущее время  ") && !it->starts_with("Current time  ")) return *it;
  return {};
}

const std::string kKb90Failure = "!!! Data is written incorrectly !!! ";
const std::string kNpceFailure = "*** Data is written incorrectly ***";
const std::string kRussianOk = "Проверка после записи: OK, флеш совпадает с образом.";

std::string RussianFailure(const std::string& address) {
  return "Проверка после записи: ОШИБКА, первое отличие по адресу " + address + ", различных байт: 1.";
}

// A stuck bit at address: the verify reads up to the block that differs and no further. A
// read afterwards starts at address 0 again (its ID check rewinds the chip), however far
// the verify had read.
VerifyRow NpceStuckBit(const std::string& name, std::size_t address, int blocksRead) {
  return {"Npce_" + name, "Npce", {{"npce-stuck-bit", std::to_string(address)}}, address,
          [address] {
            auto file = Pattern(npce::kFlashSize, static_cast<unsigned>(address));
            file[address] &= 0xFE;
            return file;
          },
          kNpceFailure, "Nuvoton chip is programmed succesfully!",
          [blocksRead](FlashTask& task, const Data& image) {
            TaskBench& bench = task.bench();
            // The documented verify stops at the block that differs; the job then reads the
            // whole chip back to tell where and how much.
            EXPECT_EQ(bench.sent(), Cat({Bytes("ZIex"), WriteBlocks(image, 512), {0x07}, Repeat('r', blocksRead),
                                         Bytes("-O"), Task("Npce").oneRead}));
            EXPECT_EQ(bench.view.gauge("CGauge_NPCE"), npce::kGaugeMax);
            const std::string dump = bench.dir.file("dump.bin");
            task.read(dump, false);
            ASSERT_TRUE(bench.view.waitEnded(20s, 2));
            EXPECT_EQ(bench.view.endings().back(), true);
            EXPECT_EQ(ReadFileBytes(dump), task.flash());
          }};
}

// An image of FFh but for its first byte and, when whole, its last: quick on the ITE wire.
Data SparseIteImage(std::size_t size) {
  Data image(size, 0xFF);
  image[0] = 0x12;
  if (size == 131072) image[0x1FFFF] = 0x5A;
  return image;
}

std::vector<VerifyRow> Rows() {
  return {
      {"Kb90_byte70000", "Kb90", {{"kb90-bad-byte", "70000"}, {"kb90-stray-marks", ""}}, 70000,
       [] { return Pattern(kKb90Image, 5); }, kKb90Failure, "Writing and verify is OK !",
       [](FlashTask& task, const Data& image) {
         TaskBench& bench = task.bench();
         // The checksum cannot say where: the job reads the chip back to tell.
         EXPECT_EQ(bench.hostBytes(), Cat({Kb90WriteWire(image, 'O'), Task("Kb90").oneRead}));
         const auto after = bench.linesAfter(kKb90Failure);
         ASSERT_GE(after.size(), 2u);
         EXPECT_TRUE(after[0].starts_with("Current time  "));
         EXPECT_EQ(after[1], "Verify: reading the chip back ...");
         EXPECT_EQ(LastSaying(bench.view.lines()), "Verify after write: FAILED, first difference at 00011170, 1 byte differs.");
         EXPECT_EQ(bench.view.gauge("CGauge_KB901X"), 32768);  // stray bytes did not count as marks
       }},
      NpceStuckBit("firstBlock", 0x10, 1),
      NpceStuckBit("block101", 100 * 512 + 7, 101),
      NpceStuckBit("lastByte", npce::kFlashSize - 1, 256),
      {"Mec16_lastByteOfMain", "Mec16", {{"mec16-flip-bit", "2FFFF"}}, 0x2FFFF,
       [] {
         Data image(sim::Mec16Sim::kMainSize);
         for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 29 + 11 + (i >> 8));
         return image;
       },
       RussianFailure("0002FFFF"), kRussianOk,
       [](FlashTask& task, const Data&) {
         // The documented write went well; the click fails on the verify alone.
         EXPECT_TRUE(task.bench().logged("Запись MAIN блока завершена успешно."));
         EXPECT_EQ(LastSaying(task.bench().view.allLines()), RussianFailure("0002FFFF"));
       }},
      {"Ite_lastByte", "Ite", {{"ite-flip-bit", "0x1FFFF"}}, 0x1FFFF, [] { return SparseIteImage(131072); },
       RussianFailure("0001FFFF"), kRussianOk,
       [](FlashTask& task, const Data&) {
         EXPECT_EQ(task.flash()[0x1FFFF], 0x5B);
         EXPECT_EQ(task.bench().view.lastLine(), RussianFailure("0001FFFF"));
         EXPECT_TRUE(task.bench().logged("Мы все записали. "));  // the write itself went through
       }},
      // A 3-byte file: everything from 3 on is padding, and the padding is compared too.
      {"Ite_paddingOfAShortFile", "Ite", {{"ite-flip-bit", "0x10000"}}, 0x10000, [] { return SparseIteImage(3); },
       RussianFailure("00010000"), kRussianOk,
       [](FlashTask& task, const Data&) { EXPECT_EQ(task.bench().view.lastLine(), RussianFailure("00010000")); }},
  };
}

class VerifyMismatch : public ::testing::TestWithParam<VerifyRow> {};

TEST_P(VerifyMismatch, OneWrongByteFailsTheWriteWithTheTasksLine) {
  const VerifyRow& row = GetParam();
  const FlashTaskRow taskRow = Task(row.task);
  auto task = taskRow.make(row.faults);
  TaskBench& bench = task->bench();
  // An erased chip: only the fault can spoil what the write programs.
  task->setFlash(Data(taskRow.flashSize, 0xFF));
  const Data image = row.image();
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, image);
  if (image.size() != taskRow.flashSize) bench.view.answerYesNo(true);  // a short file is asked about
  task->write(path, false);
  ASSERT_TRUE(task->waitEnded(30s));
  EXPECT_EQ(task->endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.logged(row.failure));
  EXPECT_FALSE(bench.logged(row.verified));
  // The chip holds the padded image but for the one bit.
  Data expected = image;
  expected.resize(taskRow.flashSize, 0xFF);
  expected[row.badAddress] ^= 0x01;
  EXPECT_TRUE(task->flash() == expected);
  // The verdict names where the chip differs, how much, and that there is no backup.
  const LogLanguage language = row.task == "Mec16" || row.task == "Ite" ? LogLanguage::Russian : LogLanguage::English;
  auto verdicts = bench.view.verdicts();
  // An ITE write follows its APPLY, which ends with a verdict of its own.
  std::erase(verdicts, CheckVerdictLine(CheckKind::PinsSent, true, language));
  ASSERT_EQ(verdicts.size(), 1u);
  EXPECT_NE(verdicts[0].find(DifferenceText({row.badAddress, 1}, language)), std::string::npos) << verdicts[0];
  EXPECT_TRUE(verdicts[0].ends_with(language == LogLanguage::Russian ? ", резервной копии нет." : ", and no backup of it was taken."))
      << verdicts[0];
  // The window is offered the image and the chip side by side, differing where the chip does.
  const auto comparisons = bench.view.comparisons();
  ASSERT_EQ(comparisons.size(), 1u);
  const Comparison& offered = comparisons[0];
  EXPECT_EQ(offered.labelA, ComparisonLabelsFor(language).image + path);
  EXPECT_EQ(offered.labelB, ComparisonLabelsFor(language).readBack);
  EXPECT_EQ(offered.a.size(), offered.b.size());
  EXPECT_EQ(CompareDumps(offered.a, offered.b).value_or(DumpDifference{}).firstAddress, row.badAddress);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), offered.a.begin())) << "side A is the image sent";
  task->expectIdle();
  row.expectMore(*task, image);
}

INSTANTIATE_TEST_SUITE_P(Tasks, VerifyMismatch, ::testing::ValuesIn(Rows()), CaseName<VerifyRow>);

}  // namespace
}  // namespace jig::test
