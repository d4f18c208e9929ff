// The KB90xx window and the files: an image refused before the chip is touched, a failed
// read that leaves the old dump as it was, the backup before a write, the question before
// an unusual image, and the command line's answers and signals.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "app/Commands.h"
#include "link/CliInterrupt.h"
#include "link/Sha256.h"
#include "tests/Kb901x_form/Kb90Bench.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::size_t kImage = kKb90Image;
const std::string kBackupStart = "Backup of the chip before the write ...";
const std::string kBackupReadFailed = "The backup read failed; the write does not start.";
const std::string kCancelled = "The write is cancelled; the chip is not touched.";

void ExpectIdle(Kb90Bench& bench, Kb90Operations& ops) {
  EXPECT_EQ(ops.mode(), Kb90Mode::None);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  for (const char* control : {"KB901X_READ", "KB901X_WRITE", "EXIT_KB901X", "ReadTwice", "Backup_KB901X"})
    EXPECT_NE(bench.view.enabled(control), false) << control;
  EXPECT_EQ(bench.view.endings().size(), 1u);
}

// ---------------------------------------------------------------- the image to write

class Kb90BadSource : public ::testing::TestWithParam<BadSource> {};

// Nothing after the link check reaches the programmer: no backup read, no 'W'; one line.
TEST_P(Kb90BadSource, NothingAfterTheLinkCheckAndOneLine) {
  const CleanFileFaults clean;
  Kb90Bench bench;
  const Bytes old = Pattern(kImage, 40);
  bench.chip().setFlash(old);
  const std::string path = GetParam().make(bench.dir);
  InjectSourceReadFault(GetParam().readFaultAfter);
  Kb90Operations ops(bench.d2xx, bench.view, ShortBounds());
  ops.setBackup(true);
  bench.view.answerDialog(path);
  ops.KB901X_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.programmer.hostBytes(), (Bytes{'B', 'V'}));
  const std::string line = bench.view.lastLine();
  EXPECT_NE(line.find(path + GetParam().why), std::string::npos) << line;
  EXPECT_TRUE(line.ends_with("; the chip is not touched.")) << line;
  EXPECT_TRUE(bench.view.errorBoxes().empty());
  EXPECT_TRUE(bench.view.questions().empty());
  EXPECT_TRUE(bench.home.files().empty());
  EXPECT_EQ(bench.chip().flash(), old);
  ExpectIdle(bench, ops);
}

INSTANTIATE_TEST_SUITE_P(Sources, Kb90BadSource, ::testing::ValuesIn(BadSources(kImage)),
                         CaseName<BadSource>);

struct Unusual {
  const char* name;
  Bytes image;
};

// A size that is not the chip's, or an image of nothing but FFh or 00h: the question, and
// its No (the default) leaves the chip and the backups untouched.
TEST(Kb90Question, NoLeavesTheChipUntouched) {
  const Unusual cases[] = {{"short", Pattern(1000, 5)}, {"all FFh", Bytes(kImage, 0xFF)}, {"all 00h", Bytes(kImage, 0x00)}};
  for (const Unusual& c : cases) {
    SCOPED_TRACE(c.name);
    Kb90Bench bench;
    const Bytes old = Pattern(kImage, 41);
    bench.chip().setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, c.image);
    Kb90Operations ops(bench.d2xx, bench.view, ShortBounds());
    ops.setBackup(true);
    bench.view.answerDialog(path);
    ops.KB901X_WRITEClick();
    ASSERT_TRUE(bench.view.waitEnded(5s));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    ASSERT_EQ(bench.view.questions().size(), 1u);
    EXPECT_NE(bench.view.questions()[0].find(path), std::string::npos);
    EXPECT_EQ(bench.view.lastLine(), kCancelled);
    EXPECT_EQ(bench.programmer.hostBytes(), (Bytes{'B', 'V'}));
    EXPECT_EQ(bench.chip().flash(), old);
    EXPECT_TRUE(bench.home.files().empty());
    ExpectIdle(bench, ops);
  }
}

// ---------------------------------------------------------------- a read that fails

struct ReadFailure {
  const char* name;
  std::map<std::string, std::string> faults;
  bool twice = false;
  std::optional<std::size_t> diskFullAfter;
  bool stop = false;  // asked to stop as soon as the read runs
  std::string lastLine;
};

// Version answer (3) and the link check's answer (1) before the first block.
constexpr std::size_t kBeforeBlocks = 4;
const std::string kBlock41 = std::to_string(kBeforeBlocks + 40 * 256 + 100);
const std::string kSecondRead11 = std::to_string(2 * kBeforeBlocks + kImage + 10 * 256 + 5);

const ReadFailure kReadFailures[] = {
    {"silence", {{"silence-after", kBlock41}}, false, {}, false,
     "Reading stopped: block 41 of 512 did not come from the programmer; the file is not written."},
    {"unplug", {{"unplug-after", kBlock41}}, false, {}, false,
     "Reading stopped: the programmer was disconnected at block 41 of 512; the file is not written."},
    {"disk full", {}, false, 40 * 256, false, "Reading stopped: the disk did not take block 41 of 512; the file is not written."},
    {"stop", {}, false, {}, true, "; the file is not written."},
    {"second read silent", {{"silence-after", kSecondRead11}}, true, {}, false,
     "Reading stopped: block 11 of 512 did not come from the programmer; the file is not written."},
    {"disk full after two matching reads", {}, true, 0, false, "could not be saved to the disk."},
};

class Kb90FailedRead : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(Kb90FailedRead, LeavesTheOldDumpAsItWasAndNoTemporaryFile) {
  const CleanFileFaults clean;
  const ReadFailure& c = GetParam();
  sim::SimOptions options;
  options.faults = c.faults;
  Kb90Bench bench(options);
  const std::string path = bench.dir.file("dump.bin");
  const Bytes old = Pattern(kImage, 42);
  WriteFileBytes(path, old);
  InjectDumpWriteFault(c.diskFullAfter);
  Kb90Operations ops(bench.d2xx, bench.view, ShortBounds());
  ops.setReadTwice(c.twice);
  bench.view.answerDialog(path);
  ops.KB901X_READClick();
  if (c.stop) ops.requestStop();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.view.lastLine().ends_with(c.lastLine)) << bench.view.lastLine();
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(PartFiles(bench.dir.path()).empty());
  if (c.stop) {
    // The worker may take a block or two before it looks: the stop ends the read with 'O'.
    EXPECT_TRUE(bench.view.lastLine().starts_with("Reading stopped: the operation was interrupted at block "));
    const Bytes sent = bench.programmer.hostBytes();
    EXPECT_EQ(sent.back(), 'O');
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'X'), 0);
  }
  ExpectIdle(bench, ops);
}

INSTANTIATE_TEST_SUITE_P(Failures, Kb90FailedRead, ::testing::ValuesIn(kReadFailures),
                         CaseName<ReadFailure>);

// ---------------------------------------------------------------- the backup before a write

TEST(Kb90Backup, IsTheOldChipReadBeforeTheWrite) {
  Kb90Bench bench;
  const Bytes old = Pattern(kImage, 43), image = Pattern(kImage, 44);
  bench.chip().setFlash(old);
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, image);
  Kb90Operations ops(bench.d2xx, bench.view, ShortBounds());
  ops.setBackup(true);
  bench.view.answerDialog(path);
  ops.KB901X_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(10s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});

  // The documented read on the click's open, then the documented write on its own.
  Bytes wire = Kb90ReadWire();
  const Bytes write = Kb90WriteWire(image, 'I');
  wire.insert(wire.end(), write.begin(), write.end());
  EXPECT_EQ(bench.programmer.hostBytes(), wire);
  EXPECT_EQ(bench.chip().flash(), image);

  const auto files = bench.home.files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadFileBytes(files[0]), old);
  const std::string sha = Sha256Hex(old);
  EXPECT_TRUE(std::regex_match(fs::path(files[0]).filename().string(),
                               std::regex("kb90-\\d{8}-\\d{6}-" + sha.substr(0, 8) + "\\.bin")))
      << files[0];
  const auto lines = bench.linesWithoutTime();
  const auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
  const auto saved = at("Backup of the chip: " + files[0] + " SHA-256 " + sha);
  ASSERT_LT(saved, static_cast<std::ptrdiff_t>(lines.size()));
  EXPECT_LT(at(kBackupStart), at("Reading completed successfully."));
  EXPECT_LT(at("Reading completed successfully."), saved);
  EXPECT_LT(saved, at("Write in KB901X file:"));
  EXPECT_EQ(lines.back(), "Writing and verify is OK !");
  ExpectIdle(bench, ops);
}

struct BackupFailure {
  const char* name;
  std::map<std::string, std::string> faults;
  bool folderIsAFile = false;
  bool stop = false;
  std::string lastLineStart;
};

// The write does not start: no 'W', the chip as it was, the log says why.
TEST(Kb90Backup, ThatFailsKeepsTheWriteFromStarting) {
  const BackupFailure cases[] = {
      {"read silent", {{"silence-after", kBlock41}}, false, false, kBackupReadFailed},
      {"stopped", {}, false, true, kBackupReadFailed},
      {"folder cannot take it", {}, true, false, "The backup could not be saved to "},
  };
  for (const BackupFailure& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimOptions options;
    options.faults = c.faults;
    Kb90Bench bench(options);
    if (c.folderIsAFile) {
      fs::create_directories(bench.home.folder().parent_path());
      WriteFileBytes(bench.home.folder().string(), {1});
    }
    const Bytes old = Pattern(kImage, 45);
    bench.chip().setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, Pattern(kImage, 46));
    Kb90Operations ops(bench.d2xx, bench.view, ShortBounds());
    ops.setBackup(true);
    bench.view.answerDialog(path);
    ops.KB901X_WRITEClick();
    if (c.stop) ops.requestStop();
    ASSERT_TRUE(bench.view.waitEnded(5s));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_TRUE(bench.view.lastLine().starts_with(c.lastLineStart)) << bench.view.lastLine();
    const Bytes sent = bench.programmer.hostBytes();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'W'), 0);
    EXPECT_EQ(bench.chip().flash(), old);
    if (!c.folderIsAFile) {
      EXPECT_TRUE(bench.home.files().empty());
    }
    ExpectIdle(bench, ops);
  }
}

// ---------------------------------------------------------------- the command line

struct CliRun {
  int status;
  std::string out, err;
  Bytes flash;
};

CliRun Kb90Cli(std::vector<std::string> words, const Bytes& flash) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach({});
  auto& chip = dynamic_cast<sim::Kb90Sim&>(*programmer.commandSet("KB90"));
  chip.setFlash(flash);
  std::ostringstream out, err;
  words.insert(words.begin(), "kb90");
  const int status = RunCommand(d2xx, words, false, out, err);
  return {status, out.str(), err.str(), chip.flash()};
}

TEST(Kb90Cli, AnswersAndBackup) {
  const CleanFileFaults clean;
  TempDir dir;
  const Bytes old = Pattern(kImage, 47), image = Pattern(kImage, 48);
  WriteFileBytes(dir.file("full.bin"), image);
  WriteFileBytes(dir.file("short.bin"), Pattern(1000, 49));
  struct Case {
    std::vector<std::string> words;
    int status;
    bool written;
    std::size_t backups;
  } cases[] = {
      {{"write", dir.file("short.bin")}, kExitFailed, false, 0},             // the question's No
      {{"write", dir.file("short.bin"), "--yes"}, kExitFailed, true, 1},     // documented short write: no verify
      {{"write", dir.file("full.bin")}, kExitOk, true, 1},                   // backup by default
      {{"write", "--no-backup", dir.file("full.bin")}, kExitOk, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.back());
    const ScratchBackupFolder home;
    const CliRun run = Kb90Cli(c.words, old);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(run.flash != old, c.written);
    EXPECT_EQ(home.files().size(), c.backups);
    if (c.backups == 1) {
      EXPECT_EQ(ReadFileBytes(home.files()[0]), old);
    }
  }
}

TEST(Kb90Cli, SignalBeforeTheStartStartsNothing) {
  const CleanFileFaults clean;
  TempDir dir;
  NoteInterrupt(SIGINT);
  const CliRun run = Kb90Cli({"read", dir.file("dump.bin")}, Pattern(kImage, 50));
  EXPECT_EQ(run.status, 128 + SIGINT);
  EXPECT_EQ(run.out.find("Communication with KB90XX installed."), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(dir.file("dump.bin")));
}

// At wire speed a read takes seconds: Ctrl-C lands mid-read and ends it through its
// failure path, the old dump untouched.
TEST(Kb90Cli, CtrlCMidReadKeepsTheOldDump) {
  const CleanFileFaults clean;
  TempDir dir;
  const std::string path = dir.file("dump.bin");
  const Bytes old = Pattern(5000, 51);
  WriteFileBytes(path, old);
  sim::SimOptions options;
  options.wireTime = true;
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach(options);
  std::ostringstream out, err;
  std::jthread signal([&programmer](std::stop_token stop) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
      const Bytes sent = programmer.hostBytes();
      if (std::count(sent.begin(), sent.end(), 'N') >= 5) break;
      std::this_thread::sleep_for(5ms);
    }
    NoteInterrupt(SIGINT);
  });
  const int status = RunCommand(d2xx, {"kb90", "read", path}, true, out, err);
  EXPECT_EQ(status, 128 + SIGINT) << out.str() << err.str();
  EXPECT_NE(out.str().find("Reading stopped: the operation was interrupted at block "), std::string::npos) << out.str();
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(PartFiles(dir.path()).empty());
}

}  // namespace
}  // namespace jig::test
