// The flash windows and the files: an image refused before the chip is touched, the
// question before an unusual image, the backup before a write and a backup that fails, each
// on every window; and the command line's answers and signals of KB90xx and NPCE.
#include <csignal>
#include <filesystem>
#include <regex>

#include "files/Backups.h"
#include "cli/CliInterrupt.h"
#include "files/Sha256.h"
#include "tests/Ite/IteTestSupport.h"
#include "tests/Kb901x_form/Kb90Bench.h"
#include "tests/Mec16xx/Mec16Bench.h"
#include "tests/Npce/NpceBench.h"
#include "tests/reliability/FlashTasks.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::size_t kFlash = 131072;  // KB90xx and NPCE

enum class WrittenImage {
  Whole,     // a pattern over the whole chip
  ErasedFirst,  // the write only programs: over the old contents it asks to erase first (Yes)
  MostlyFF,  // every byte but FFh is one lock-step exchange: a sparse image keeps the case
             // short under the thread checker
};

struct WindowRow {
  std::string name;
  FlashTaskRow task;
  LogLanguage language;
  std::size_t largest;          // the largest image the write takes
  Data untouched;               // all the host sends when the chip is not touched
  std::vector<std::string> closing;  // what the log says after a refusal or the question's No
  WrittenImage written;         // the image the backup-and-write case writes
  std::function<bool(const Data& sent)> writeBegan;  // the host's bytes hold a write (or its erase)
  // What the host sent for a backup and a write of image over old.
  std::function<void(const Data& host, const Data& old, const Data& image)> expectBackupAndWrite;
  std::string backupPrefix, writeStarts, writeOk;
  bool okIsLast;                // the write's success is the last line
  Faults silentBackupRead;      // the backup read falls silent inside
  std::vector<std::pair<std::string, Faults>> ownBackupFailures;
  // The command line (empty word: its cases are in the task's folder).
  std::string word, commandSet;
  sim::SimOptions options;
  std::function<void(sim::SimProgrammer&, const Data&)> setFlash;
  std::function<Data(sim::SimProgrammer&)> flash;
  int shortWriteStatus;         // a short image written with --yes
  int signal;                   // a signal before the start
  std::string installed;        // the line of a command that started
  std::uint8_t midReadByte;     // Ctrl-C once the host has sent it five times
  std::string interrupted;
};

FlashTaskRow Task(const std::string& name) {
  for (const FlashTaskRow& row : FlashTasks())
    if (row.name == name) return row;
  return {};
}

std::function<bool(const Data&)> Holds(std::uint8_t byte) {
  return [byte](const Data& sent) { return std::find(sent.begin(), sent.end(), byte) != sent.end(); };
}

std::vector<WindowRow> Windows() {
  return {
      {"Kb90", Task("Kb90"), LogLanguage::English, kFlash, {'B', 'V'}, {}, WrittenImage::Whole, Holds('W'),
       [](const Data& host, const Data&, const Data& image) {
         EXPECT_EQ(host, Cat({Kb90ReadWire(), Kb90WriteWire(image, 'I')}));
       },
       "kb90", "Write in KB901X file:", "Writing and verify is OK !", true,
       {{"silence-after", std::to_string(4 + 40 * 256 + 100)}}, {},
       "kb90", "KB90", sim::SimOptions{},
       [](sim::SimProgrammer& p, const Data& d) { dynamic_cast<sim::Kb90Sim&>(*p.commandSet("KB90")).setFlash(d); },
       [](sim::SimProgrammer& p) { return dynamic_cast<sim::Kb90Sim&>(*p.commandSet("KB90")).flash(); },
       kExitOk /* documented short write, then the chip read back */, SIGINT, "Communication with KB90XX installed.", 'N',
       "Reading stopped: the operation was interrupted at block "},
      {"Npce", Task("Npce"), LogLanguage::English, kFlash, Bytes("BZI"), {}, WrittenImage::Whole, Holds('e'),
       [](const Data& host, const Data&, const Data& image) {
         EXPECT_EQ(host, Cat({Bytes("BZI"), Repeat('r', 256), Bytes("-IBZIex"), WriteBlocks(image, 512), {0x07},
                              Repeat('r', 256), Bytes("-I")}));
       },
       "npce", "Write to NPCE file:", "Nuvoton chip is programmed succesfully!", false,
       {{"silence-after", std::to_string(32 + 4 + 1 + 40 * 512 + 100)}},
       {{"corrupted by the programmer's word", {{"npce-end-answer", "0"}}}},
       "npce", "NPCE", NpceOptions(),
       [](sim::SimProgrammer& p, const Data& d) { dynamic_cast<sim::NpceSim&>(*p.commandSet("NPCE")).setFlash(d); },
       [](sim::SimProgrammer& p) { return dynamic_cast<sim::NpceSim&>(*p.commandSet("NPCE")).flash(); },
       kExitOk, SIGTERM, "Communication with NPCE installed.", 'r',
       "The read is stopped: the operation was interrupted at block "},
      // The backup is a read on the write's open and a run of its own; the erase of MAIN the
      // old contents call for, the write and its verify read follow from their own opens.
      {"Mec16", Task("Mec16"), LogLanguage::Russian, sim::Mec16Sim::kMainSize + sim::Mec16Sim::kInfoSize, Bytes("BO"),
       {"Закрыли VCOM порт"}, WrittenImage::ErasedFirst, Holds('W'),
       [](const Data& host, const Data&, const Data& image) {
         const std::string wire(host.begin(), host.end());
         const std::string head = "B" + Mec16MainRead() + "B1jrFF390CwFF391000000001wFF390800000107wFF390400F80000";
         const std::string tail = kMec16Release + "I0" + kMec16WriteSetUp + Mec16Pages(image) + "X" + kMec16Release +
                                  "I0" + Mec16MainRead();
         EXPECT_TRUE(wire.starts_with(head));
         EXPECT_TRUE(wire.ends_with(tail));
       },
       "mec16", "Записываем в файл: ", "Запись MAIN блока завершена успешно.", false,
       {{"mec16-silent-block", "3"}}, {}},
      // The backup keeps the write's Connect (a second 'T') and its chip erase (C7h) away.
      {"Ite", Task("Ite"), LogLanguage::Russian, kFlash, Bytes("BO"), {}, WrittenImage::MostlyFF,
       [](const Data& sent) { return Holds(0xC7)(sent) || std::count(sent.begin(), sent.end(), 'T') > 1; },
       [](const Data& host, const Data&, const Data&) {
         const Data head = Cat({Bytes("B"), Bytes("B"), ReadExchange(), Bytes("BT")});
         ASSERT_GE(host.size(), head.size());
         EXPECT_TRUE(std::equal(head.begin(), head.end(), host.begin()));
         EXPECT_EQ(host.back(), 'I');
       },
       "ite", "Начинаем запись ITE ...", "Мы все записали. ", false,
       {{"ite-silent-from", "100"}}, {{"bad block", {{"ite-bad-block", "5"}}}}},
  };
}

// The windows whose command line is tried here.
std::vector<WindowRow> CliWindows() {
  std::vector<WindowRow> rows;
  for (WindowRow& row : Windows())
    if (!row.word.empty()) rows.push_back(std::move(row));
  return rows;
}

void PrintTo(const WindowRow& row, std::ostream* os) { *os << row.name; }

class WindowFiles : public ::testing::TestWithParam<WindowRow> {
 protected:
  std::unique_ptr<FlashTask> task(Faults faults = {}) { return GetParam().task.make(std::move(faults)); }
};

// The log ends with the row's closing lines; returns the line before them.
std::string LineBeforeClosing(const TaskBench& bench, const WindowRow& row) {
  const auto lines = bench.view.lines();
  const std::size_t tail = row.closing.size();
  if (lines.size() <= tail) {
    ADD_FAILURE() << "the log is too short";
    return {};
  }
  EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(tail), lines.end()), row.closing);
  return lines[lines.size() - 1 - tail];
}

// ---------------------------------------------------------------- the image to write

class WindowBadSource : public ::testing::TestWithParam<std::tuple<WindowRow, std::size_t>> {};

// Nothing after the link or ID check reaches the programmer: no backup read, no write; one line.
TEST_P(WindowBadSource, NothingAfterTheCheckAndOneLine) {
  const auto& [row, index] = GetParam();
  const BadSource source = BadSources(row.largest)[index];
  const CleanFileFaults clean;
  auto task = row.task.make({});
  TaskBench& bench = task->bench();
  const Data old = Pattern(row.task.flashSize, 40);
  task->setFlash(old);
  const std::string path = source.make(bench.dir);
  InjectSourceReadFault(source.readFaultAfter);
  task->write(path, true);
  ASSERT_TRUE(task->waitEnded(5s));
  EXPECT_EQ(task->endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.hostBytes(), row.untouched);
  const std::string line = LineBeforeClosing(bench, row);
  EXPECT_EQ(line, SourceProblemLine(path, source.refusal, row.largest, row.language));
  if (row.language == LogLanguage::English) {
    EXPECT_NE(line.find(path + source.why), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with("; the chip is not touched.")) << line;
  }
  EXPECT_TRUE(bench.view.errorBoxes().empty());
  EXPECT_TRUE(bench.view.questions().empty());
  EXPECT_TRUE(bench.backups.files().empty());
  EXPECT_EQ(task->flash(), old);
  task->expectIdle();
}

std::string BadSourceName(const ::testing::TestParamInfo<std::tuple<WindowRow, std::size_t>>& row) {
  const WindowRow& window = std::get<0>(row.param);
  const std::string source = BadSources(window.largest)[std::get<1>(row.param)].name;
  return window.name + "_" + std::regex_replace(source, std::regex("[^A-Za-z0-9]"), "_");
}

INSTANTIATE_TEST_SUITE_P(Sources, WindowBadSource,
                         ::testing::Combine(::testing::ValuesIn(Windows()),
                                            ::testing::Range(std::size_t{0}, BadSources(kFlash).size())),
                         BadSourceName);

// A size that is not the chip's, or an image of nothing but FFh or 00h: the question, and
// its No (the default) leaves the chip and the backups untouched.
TEST_P(WindowFiles, QuestionsNoLeavesTheChipUntouched) {
  const WindowRow& row = GetParam();
  const std::size_t flash = row.task.flashSize;
  const std::pair<const char*, Data> cases[] = {{"short", Pattern(1000, 5)},
                                                {"half", Pattern(flash / 2, 5)},
                                                {"three bytes", Pattern(3, 5)},
                                                {"all FFh", Data(flash, 0xFF)},
                                                {"all 00h", Data(flash, 0x00)}};
  for (const auto& [name, image] : cases) {
    SCOPED_TRACE(name);
    auto task = this->task();
    TaskBench& bench = task->bench();
    const Data old = Pattern(flash, 41);
    task->setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, image);
    task->write(path, true);
    ASSERT_TRUE(task->waitEnded(5s));
    EXPECT_EQ(task->endings(), std::vector<bool>{false});
    ASSERT_EQ(bench.view.questions().size(), 1u);
    EXPECT_NE(bench.view.questions()[0].find(path), std::string::npos);
    EXPECT_EQ(LineBeforeClosing(bench, row), row.language == LogLanguage::Russian
                                                 ? "Запись отменена; микросхема не тронута."
                                                 : "The write is cancelled; the chip is not touched.");
    EXPECT_EQ(bench.hostBytes(), row.untouched);
    EXPECT_EQ(task->flash(), old);
    EXPECT_TRUE(bench.backups.files().empty());
    task->expectIdle();
  }
}

// ---------------------------------------------------------------- the backup before a write

TEST_P(WindowFiles, BackupIsTheOldChipReadBeforeTheWrite) {
  const WindowRow& row = GetParam();
  auto task = this->task();
  TaskBench& bench = task->bench();
  const std::size_t flash = row.task.flashSize;
  const Data old = Pattern(flash, 43);
  Data image = Pattern(flash, 44);
  for (std::size_t i = 0; i < flash; ++i) {
    if (row.written == WrittenImage::MostlyFF && i % 61 != 0) image[i] = 0xFF;
  }
  task->setFlash(old);
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, image);
  if (row.written == WrittenImage::ErasedFirst) bench.view.answerYesNo(true);
  task->write(path, true);
  ASSERT_TRUE(task->waitEnded(20s));
  EXPECT_EQ(task->endings(), std::vector<bool>{true});

  // The documented read on the click's open, then the documented write on its own.
  row.expectBackupAndWrite(bench.hostBytes(), old, image);
  EXPECT_EQ(task->flash(), image);

  const auto files = bench.backups.files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadFileBytes(files[0]), old);
  const std::string sha = Sha256Hex(old);
  EXPECT_TRUE(std::regex_match(fs::path(files[0]).filename().string(),
                               std::regex(row.backupPrefix + "-\\d{8}-\\d{6}-" + sha.substr(0, 8) + "\\.bin")))
      << files[0];
  const auto lines = bench.linesWithoutTime();
  const auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
  const auto saved =
      at((row.language == LogLanguage::Russian ? "Копия микросхемы: " : "Backup of the chip: ") + files[0] + " SHA-256 " + sha);
  ASSERT_LT(saved, static_cast<std::ptrdiff_t>(lines.size()));
  EXPECT_LT(at(BackupStartLine(row.language)), at(row.task.readDone));
  EXPECT_LT(at(row.task.readDone), saved);
  EXPECT_LT(saved, at(row.writeStarts));
  EXPECT_TRUE(bench.hasLine(row.writeOk));
  if (row.okIsLast) {
    EXPECT_EQ(lines.back(), row.writeOk);
  }
  task->expectIdle();
}

// The write does not start: no write, the chip as it was, the log says why.
TEST_P(WindowFiles, BackupThatFailsKeepsTheWriteFromStarting) {
  const WindowRow& row = GetParam();
  struct Case {
    std::string name;
    Faults faults;
    bool folderIsAFile;
    bool stop;
    std::string lastLineStart;
  };
  const std::string readFailed = BackupReadFailedLine(row.language);
  std::vector<Case> cases = {
      {"read silent", row.silentBackupRead, false, false, readFailed},
      {"stopped", {}, false, true, readFailed},
      {"folder cannot take it", {}, true, false,
       row.language == LogLanguage::Russian ? "Копия микросхемы не сохранена в " : "The backup could not be saved to "},
  };
  for (const auto& [name, faults] : row.ownBackupFailures) cases.push_back({name, faults, false, false, readFailed});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto task = this->task(c.faults);
    TaskBench& bench = task->bench();
    if (c.folderIsAFile) bench.backups.block();
    const Data old = Pattern(row.task.flashSize, 45);
    task->setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, Pattern(row.task.flashSize, 46));
    task->write(path, true);
    if (c.stop) task->stop();
    ASSERT_TRUE(task->waitEnded(5s));
    EXPECT_EQ(task->endings(), std::vector<bool>{false});
    EXPECT_TRUE(bench.view.lastLine().starts_with(c.lastLineStart)) << bench.view.lastLine();
    const Data sent = bench.sent();
    EXPECT_FALSE(row.writeBegan(sent));
    EXPECT_FALSE(bench.logged(row.writeStarts));
    EXPECT_EQ(task->flash(), old);
    if (!c.folderIsAFile) {
      EXPECT_TRUE(bench.backups.files().empty());
    }
    task->expectIdle();
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowFiles, ::testing::ValuesIn(Windows()), CaseName<WindowRow>);

// ---------------------------------------------------------------- the command line

class WindowCli : public ::testing::TestWithParam<WindowRow> {};

struct FlashRun : CliRun {
  Data flash;
};

// Runs the command; a Ctrl-C comes (when midRead) once the host has sent the row's byte
// five times.
FlashRun Cli(const WindowRow& row, std::vector<std::string> words, const Data& flash, bool wireTime = false,
             bool midRead = false) {
  sim::SimOptions options = row.options;
  options.wireTime = wireTime;
  SimCli cli(std::move(options));
  row.setFlash(cli.programmer, flash);
  std::optional<CtrlCWhen> ctrlC;
  if (midRead) ctrlC.emplace(HostSent(cli.programmer, row.midReadByte, 5));
  CliRun run = cli.run(row.word, std::move(words), midRead);
  ctrlC.reset();
  return {std::move(run), row.flash(cli.programmer)};
}

TEST_P(WindowCli, AnswersAndBackup) {
  const WindowRow& row = GetParam();
  const CleanFileFaults clean;
  TempDir dir;
  const Data old = Pattern(kFlash, 47), image = Pattern(kFlash, 48);
  WriteFileBytes(dir.file("full.bin"), image);
  WriteFileBytes(dir.file("half.bin"), Pattern(65536, 49));
  struct Case {
    std::vector<std::string> words;
    int status;
    bool written;
    std::size_t backups;
  } cases[] = {
      {{"write", dir.file("half.bin")}, kExitFailed, false, 0},  // the question's No
      {{"write", dir.file("half.bin"), "--yes"}, row.shortWriteStatus, true, 1},
      {{"write", dir.file("full.bin")}, kExitOk, true, 1},  // backup by default
      {{"write", "--no-backup", dir.file("full.bin")}, kExitOk, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.back());
    const ScratchBackupFolder home;
    const FlashRun run = Cli(row, c.words, old);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(run.flash != old, c.written);
    EXPECT_EQ(home.files().size(), c.backups);
    if (c.backups == 1) {
      EXPECT_EQ(ReadFileBytes(home.files()[0]), old);
    }
  }
}

TEST_P(WindowCli, SignalBeforeTheStartStartsNothing) {
  const CleanFileFaults clean;
  TempDir dir;
  NoteInterrupt(GetParam().signal);
  const FlashRun run = Cli(GetParam(), {"read", dir.file("dump.bin")}, Pattern(kFlash, 50));
  EXPECT_EQ(run.status, 128 + GetParam().signal);
  EXPECT_EQ(run.out.find(GetParam().installed), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(dir.file("dump.bin")));
}

// At wire speed a read takes seconds: Ctrl-C lands mid-read and ends it through its
// failure path ('O' signalled), the old dump untouched.
TEST_P(WindowCli, CtrlCMidReadKeepsTheOldDump) {
  const CleanFileFaults clean;
  TempDir dir;
  const std::string path = dir.file("dump.bin");
  const Data old = Pattern(5000, 51);
  WriteFileBytes(path, old);
  const FlashRun run = Cli(GetParam(), {"read", path}, Pattern(kFlash, 52), true, true);
  EXPECT_EQ(run.status, 128 + SIGINT) << run.out << run.err;
  EXPECT_NE(run.out.find(GetParam().interrupted), std::string::npos) << run.out;
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(PartFiles(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowCli, ::testing::ValuesIn(CliWindows()), CaseName<WindowRow>);

}  // namespace
}  // namespace jig::test
