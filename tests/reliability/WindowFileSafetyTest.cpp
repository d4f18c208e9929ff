// The KB90xx and NPCE windows and the files: an image refused before the chip is touched,
// the question before an unusual image, the backup before a write and a backup that fails,
// and the command line's answers and signals. Each case runs on both windows.
#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "app/Commands.h"
#include "link/CliInterrupt.h"
#include "link/Sha256.h"
#include "tests/Kb901x_form/Kb90Bench.h"
#include "tests/Npce/NpceBench.h"
#include "tests/reliability/FlashTasks.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::size_t kFlash = 131072;  // both chips
const std::string kBackupStart = "Backup of the chip before the write ...";
const std::string kBackupReadFailed = "The backup read failed; the write does not start.";
const std::string kCancelled = "The write is cancelled; the chip is not touched.";

struct WindowRow {
  std::string name;
  FlashTaskRow task;
  Data untouched;               // all the host sends when the chip is not touched
  std::uint8_t writeStart;      // the byte that starts the write (or its erase)
  std::function<Data(const Data& old, const Data& image)> backupAndWrite;  // the host's bytes
  std::string writeStarts, writeOk;
  bool okIsLast;                // the write's success is the last line
  std::string blockFortyOne;    // device bytes up to inside block 41 of a read
  std::vector<std::pair<std::string, Faults>> ownBackupFailures;
  // The command line.
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

std::vector<WindowRow> Windows() {
  return {
      {"Kb90", Task("Kb90"), {'B', 'V'}, 'W',
       [](const Data&, const Data& image) { return Cat({Kb90ReadWire(), Kb90WriteWire(image, 'I')}); },
       "Write in KB901X file:", "Writing and verify is OK !", true, std::to_string(4 + 40 * 256 + 100), {},
       "kb90", "KB90", sim::SimOptions{},
       [](sim::SimProgrammer& p, const Data& d) { dynamic_cast<sim::Kb90Sim&>(*p.commandSet("KB90")).setFlash(d); },
       [](sim::SimProgrammer& p) { return dynamic_cast<sim::Kb90Sim&>(*p.commandSet("KB90")).flash(); },
       kExitFailed /* documented short write: no verify */, SIGINT, "Communication with KB90XX installed.", 'N',
       "Reading stopped: the operation was interrupted at block "},
      {"Npce", Task("Npce"), Bytes("BZI"), 'e',
       [](const Data&, const Data& image) {
         return Cat({Bytes("BZI"), Repeat('r', 256), Bytes("-IBZIex"), WriteBlocks(image, 512), {0x07}, Repeat('r', 256),
                     Bytes("-I")});
       },
       "Write to NPCE file:", "Nuvoton chip is programmed succesfully!", false, std::to_string(32 + 4 + 1 + 40 * 512 + 100),
       {{"corrupted by the programmer's word", {{"npce-end-answer", "0"}}}},
       "npce", "NPCE", NpceOptions(),
       [](sim::SimProgrammer& p, const Data& d) { dynamic_cast<sim::NpceSim&>(*p.commandSet("NPCE")).setFlash(d); },
       [](sim::SimProgrammer& p) { return dynamic_cast<sim::NpceSim&>(*p.commandSet("NPCE")).flash(); },
       kExitOk, SIGTERM, "Communication with NPCE installed.", 'r',
       "The read is stopped: the operation was interrupted at block "},
  };
}

void PrintTo(const WindowRow& row, std::ostream* os) { *os << row.name; }

class WindowFiles : public ::testing::TestWithParam<WindowRow> {
 protected:
  std::unique_ptr<FlashTask> task(Faults faults = {}) { return GetParam().task.make(std::move(faults)); }
};

// ---------------------------------------------------------------- the image to write

class WindowBadSource : public ::testing::TestWithParam<std::tuple<WindowRow, BadSource>> {};

// Nothing after the link or ID check reaches the programmer: no backup read, no write; one line.
TEST_P(WindowBadSource, NothingAfterTheCheckAndOneLine) {
  const auto& [row, source] = GetParam();
  const CleanFileFaults clean;
  auto task = row.task.make({});
  TaskBench& bench = task->bench();
  const Data old = Pattern(kFlash, 40);
  task->setFlash(old);
  const std::string path = source.make(bench.dir);
  InjectSourceReadFault(source.readFaultAfter);
  task->write(path, true);
  ASSERT_TRUE(task->waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.hostBytes(), row.untouched);
  const std::string line = bench.view.lastLine();
  EXPECT_NE(line.find(path + source.why), std::string::npos) << line;
  EXPECT_TRUE(line.ends_with("; the chip is not touched.")) << line;
  EXPECT_TRUE(bench.view.errorBoxes().empty());
  EXPECT_TRUE(bench.view.questions().empty());
  EXPECT_TRUE(bench.backups.files().empty());
  EXPECT_EQ(task->flash(), old);
  task->expectIdle();
}

INSTANTIATE_TEST_SUITE_P(Sources, WindowBadSource, ::testing::Combine(::testing::ValuesIn(Windows()), ::testing::ValuesIn(BadSources(kFlash))),
                         [](const auto& row) {
                           return std::get<0>(row.param).name + "_" +
                                  std::regex_replace(std::get<1>(row.param).name, std::regex("[^A-Za-z0-9]"), "_");
                         });

// A size that is not the chip's, or an image of nothing but FFh or 00h: the question, and
// its No (the default) leaves the chip and the backups untouched.
TEST_P(WindowFiles, QuestionsNoLeavesTheChipUntouched) {
  const std::pair<const char*, Data> cases[] = {{"short", Pattern(1000, 5)},
                                                {"half", Pattern(65536, 5)},
                                                {"all FFh", Data(kFlash, 0xFF)},
                                                {"all 00h", Data(kFlash, 0x00)}};
  for (const auto& [name, image] : cases) {
    SCOPED_TRACE(name);
    auto task = this->task();
    TaskBench& bench = task->bench();
    const Data old = Pattern(kFlash, 41);
    task->setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, image);
    task->write(path, true);
    ASSERT_TRUE(task->waitEnded(5s));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    ASSERT_EQ(bench.view.questions().size(), 1u);
    EXPECT_NE(bench.view.questions()[0].find(path), std::string::npos);
    EXPECT_EQ(bench.view.lastLine(), kCancelled);
    EXPECT_EQ(bench.hostBytes(), GetParam().untouched);
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
  const Data old = Pattern(kFlash, 43), image = Pattern(kFlash, 44);
  task->setFlash(old);
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, image);
  task->write(path, true);
  ASSERT_TRUE(task->waitEnded(20s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});

  // The documented read on the click's open, then the documented write on its own.
  EXPECT_EQ(bench.hostBytes(), row.backupAndWrite(old, image));
  EXPECT_EQ(task->flash(), image);

  const auto files = bench.backups.files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadFileBytes(files[0]), old);
  const std::string sha = Sha256Hex(old);
  EXPECT_TRUE(std::regex_match(fs::path(files[0]).filename().string(),
                               std::regex(row.word + "-\\d{8}-\\d{6}-" + sha.substr(0, 8) + "\\.bin")))
      << files[0];
  const auto lines = bench.linesWithoutTime();
  const auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
  const auto saved = at("Backup of the chip: " + files[0] + " SHA-256 " + sha);
  ASSERT_LT(saved, static_cast<std::ptrdiff_t>(lines.size()));
  EXPECT_LT(at(kBackupStart), at(row.task.readDone));
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
  struct Case {
    std::string name;
    Faults faults;
    bool folderIsAFile;
    bool stop;
    std::string lastLineStart;
  };
  std::vector<Case> cases = {
      {"read silent", {{"silence-after", GetParam().blockFortyOne}}, false, false, kBackupReadFailed},
      {"stopped", {}, false, true, kBackupReadFailed},
      {"folder cannot take it", {}, true, false, "The backup could not be saved to "},
  };
  for (const auto& [name, faults] : GetParam().ownBackupFailures) cases.push_back({name, faults, false, false, kBackupReadFailed});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto task = this->task(c.faults);
    TaskBench& bench = task->bench();
    if (c.folderIsAFile) bench.backups.block();
    const Data old = Pattern(kFlash, 45);
    task->setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, Pattern(kFlash, 46));
    task->write(path, true);
    if (c.stop) task->stop();
    ASSERT_TRUE(task->waitEnded(5s));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_TRUE(bench.view.lastLine().starts_with(c.lastLineStart)) << bench.view.lastLine();
    const Data sent = bench.sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), GetParam().writeStart), 0);
    EXPECT_EQ(task->flash(), old);
    if (!c.folderIsAFile) {
      EXPECT_TRUE(bench.backups.files().empty());
    }
    task->expectIdle();
  }
}

// ---------------------------------------------------------------- the command line

struct CliRun {
  int status;
  std::string out, err;
  Data flash;
};

// Runs the command; a Ctrl-C comes (when midRead) once the host has sent the row's byte
// five times.
CliRun Cli(const WindowRow& row, std::vector<std::string> words, const Data& flash, bool wireTime = false,
           bool midRead = false) {
  sim::SimOptions options = row.options;
  options.wireTime = wireTime;
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach(options);
  row.setFlash(programmer, flash);
  std::ostringstream out, err;
  words.insert(words.begin(), row.word);
  std::jthread signaller;
  if (midRead) {
    signaller = std::jthread([&programmer, byte = row.midReadByte](std::stop_token stop) {
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
        const Data sent = programmer.hostBytes();
        if (std::count(sent.begin(), sent.end(), byte) >= 5) break;
        std::this_thread::sleep_for(5ms);
      }
      NoteInterrupt(SIGINT);
    });
  }
  const int status = RunCommand(d2xx, words, midRead, out, err);
  return {status, out.str(), err.str(), row.flash(programmer)};
}

TEST_P(WindowFiles, CliAnswersAndBackup) {
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
    const CliRun run = Cli(row, c.words, old);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(run.flash != old, c.written);
    EXPECT_EQ(home.files().size(), c.backups);
    if (c.backups == 1) {
      EXPECT_EQ(ReadFileBytes(home.files()[0]), old);
    }
  }
}

TEST_P(WindowFiles, CliSignalBeforeTheStartStartsNothing) {
  const CleanFileFaults clean;
  TempDir dir;
  NoteInterrupt(GetParam().signal);
  const CliRun run = Cli(GetParam(), {"read", dir.file("dump.bin")}, Pattern(kFlash, 50));
  EXPECT_EQ(run.status, 128 + GetParam().signal);
  EXPECT_EQ(run.out.find(GetParam().installed), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(dir.file("dump.bin")));
}

// At wire speed a read takes seconds: Ctrl-C lands mid-read and ends it through its
// failure path ('O' signalled), the old dump untouched.
TEST_P(WindowFiles, CliCtrlCMidReadKeepsTheOldDump) {
  const CleanFileFaults clean;
  TempDir dir;
  const std::string path = dir.file("dump.bin");
  const Data old = Pattern(5000, 51);
  WriteFileBytes(path, old);
  const CliRun run = Cli(GetParam(), {"read", path}, Pattern(kFlash, 52), true, true);
  EXPECT_EQ(run.status, 128 + SIGINT) << run.out << run.err;
  EXPECT_NE(run.out.find(GetParam().interrupted), std::string::npos) << run.out;
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(PartFiles(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowFiles, ::testing::ValuesIn(Windows()), CaseName<WindowRow>);

}  // namespace
}  // namespace jig::test
