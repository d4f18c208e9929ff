// The NPCE window and the files: an image refused before the chip is touched, a failed
// read that leaves the old dump as it was, the backup before a write, the question before
// an unusual image, and the command line's answers and signals.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "Npce/NpceProtocol.h"
#include "app/Commands.h"
#include "link/CliInterrupt.h"
#include "link/Sha256.h"
#include "tests/Npce/NpceBench.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using Data = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::size_t kFlash = npce::kFlashSize;
const std::string kBackupStart = "Backup of the chip before the write ...";
const std::string kBackupReadFailed = "The backup read failed; the write does not start.";
const std::string kCancelled = "The write is cancelled; the chip is not touched.";

bool HasLineWith(const NpceBench& bench, const std::string& part) {
  const auto lines = bench.view.lines();
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

bool IdleWithBoxes(const NpceBench& bench) {
  return bench.idle() && bench.view.enabled("ReadTwice") != false && bench.view.enabled("Backup_NPCE") != false;
}

// ---------------------------------------------------------------- the image to write

class NpceBadSource : public ::testing::TestWithParam<BadSource> {};

// Nothing after the ID check reaches the programmer: no backup read, no erase; one line.
TEST_P(NpceBadSource, NothingAfterTheIdCheckAndOneLine) {
  const CleanFileFaults clean;
  NpceBench bench;
  const Data old = Pattern(kFlash, 60);
  bench.chip().setFlash(old);
  const std::string path = GetParam().make(bench.dir);
  InjectSourceReadFault(GetParam().readFaultAfter);
  bench.ops.setBackup(true);
  bench.view.answerDialog(path);
  bench.ops.NPCE_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.sent(), Bytes("ZI"));
  const std::string line = bench.view.lastLine();
  EXPECT_NE(line.find(path + GetParam().why), std::string::npos) << line;
  EXPECT_TRUE(line.ends_with("; the chip is not touched.")) << line;
  EXPECT_TRUE(bench.view.errorBoxes().empty());
  EXPECT_TRUE(bench.view.questions().empty());
  EXPECT_TRUE(bench.home.files().empty());
  EXPECT_EQ(bench.chip().flash(), old);
  EXPECT_TRUE(IdleWithBoxes(bench));
}

INSTANTIATE_TEST_SUITE_P(Sources, NpceBadSource, ::testing::ValuesIn(BadSources(kFlash)), CaseName<BadSource>);

// A size that is not the chip's, or an image of nothing but FFh or 00h: the question, and
// its No (the default) leaves the chip and the backups untouched.
TEST(NpceQuestion, NoLeavesTheChipUntouched) {
  const std::pair<const char*, Data> cases[] = {
      {"half", Pattern(65536, 5)}, {"all FFh", Data(kFlash, 0xFF)}, {"all 00h", Data(kFlash, 0x00)}};
  for (const auto& [name, image] : cases) {
    SCOPED_TRACE(name);
    NpceBench bench;
    const Data old = Pattern(kFlash, 61);
    bench.chip().setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, image);
    bench.ops.setBackup(true);
    bench.view.answerDialog(path);
    bench.ops.NPCE_WRITEClick();
    ASSERT_TRUE(bench.view.waitEnded(5s));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    ASSERT_EQ(bench.view.questions().size(), 1u);
    EXPECT_NE(bench.view.questions()[0].find(path), std::string::npos);
    EXPECT_EQ(bench.view.lastLine(), kCancelled);
    EXPECT_EQ(bench.sent(), Bytes("ZI"));
    EXPECT_EQ(bench.chip().flash(), old);
    EXPECT_TRUE(bench.home.files().empty());
    EXPECT_TRUE(IdleWithBoxes(bench));
  }
}

// ---------------------------------------------------------------- a read that fails

// The device's bytes for one read: the version answer, the ID and the ack of 'I', the
// blocks, the end answer and the ack of the signal.
constexpr std::size_t kVersionAnswer = 32;
constexpr std::size_t kBeforeBlocks = kVersionAnswer + 4 + 1;
constexpr std::size_t kOneRead = kBeforeBlocks + kFlash + 2 + 1;
const std::string kBlock41 = std::to_string(kBeforeBlocks + 40 * 512 + 100);

struct ReadFailure {
  const char* name;
  Faults faults;
  bool twice = false;
  std::optional<std::size_t> diskFullAfter;
  bool stop = false;  // asked to stop as soon as the read runs
  std::string line;   // a line of the log holds it
};

const ReadFailure kReadFailures[] = {
    {"silence", {{"silence-after", kBlock41}}, false, {}, false, "No answer from the programmer: block 41 of 256 did not come"},
    {"unplug", {{"unplug-after", kBlock41}}, false, {}, false, "The programmer is gone (unplugged?) while waiting for block 41"},
    {"corrupted by the programmer's word", {{"npce-end-answer", "0"}}, false, {}, false, "ERROR timeout. Corrupted data !? "},
    {"disk full", {}, false, 40 * 512, false, "dump.bin cannot be written; the read is stopped at block 41."},
    {"stop", {}, false, {}, true, "The read is stopped: the operation was interrupted at block "},
    {"second read silent", {{"silence-after", std::to_string(kOneRead + kBeforeBlocks + 10 * 512 + 5)}}, true, {}, false,
     "No answer from the programmer: block 11 of 256 did not come"},
    {"disk full after two matching reads", {}, true, 0, false, "dump.bin could not be saved to the disk."},
};

class NpceFailedRead : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(NpceFailedRead, LeavesTheOldDumpAsItWasAndNoTemporaryFile) {
  const CleanFileFaults clean;
  const ReadFailure& c = GetParam();
  NpceBench bench(c.faults);
  const std::string path = bench.dir.file("dump.bin");
  const Data old = Pattern(kFlash, 62);
  WriteFileBytes(path, old);
  InjectDumpWriteFault(c.diskFullAfter);
  bench.ops.setReadTwice(c.twice);
  bench.view.answerDialog(path);
  bench.ops.NPCE_READClick();
  if (c.stop) bench.ops.requestStop();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(HasLineWith(bench, c.line)) << bench.view.lastLine();
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(PartFiles(bench.dir.path()).empty());
  EXPECT_FALSE(bench.hasLine("Dump check: the content looks like real data."));
  EXPECT_TRUE(IdleWithBoxes(bench));
}

INSTANTIATE_TEST_SUITE_P(Failures, NpceFailedRead, ::testing::ValuesIn(kReadFailures), CaseName<ReadFailure>);

// ---------------------------------------------------------------- the backup before a write

TEST(NpceBackup, IsTheOldChipReadBeforeTheWrite) {
  NpceBench bench;
  const Data old = Pattern(kFlash, 63), image = Pattern(kFlash, 64);
  bench.chip().setFlash(old);
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, image);
  bench.ops.setBackup(true);
  bench.view.answerDialog(path);
  bench.ops.NPCE_WRITEClick();
  ASSERT_TRUE(bench.view.waitEnded(20s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});

  // The documented read on the click's open, then the documented write on its own.
  EXPECT_EQ(bench.sent(), Cat({Bytes("ZI"), Repeat('r', 256), Bytes("-IBZIex"), WriteBlocks(image, 512), {0x07},
                               Repeat('r', 256), Bytes("-I")}));
  EXPECT_EQ(bench.chip().flash(), image);

  const auto files = bench.home.files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadFileBytes(files[0]), old);
  const std::string sha = Sha256Hex(old);
  EXPECT_TRUE(std::regex_match(fs::path(files[0]).filename().string(),
                               std::regex("npce-\\d{8}-\\d{6}-" + sha.substr(0, 8) + "\\.bin")))
      << files[0];
  const auto lines = bench.view.lines();
  const auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
  const auto saved = at("Backup of the chip: " + files[0] + " SHA-256 " + sha);
  ASSERT_LT(saved, static_cast<std::ptrdiff_t>(lines.size()));
  EXPECT_LT(at(kBackupStart), at("Reading complete ..."));
  EXPECT_LT(at("Reading complete ..."), saved);
  EXPECT_LT(saved, at("Write to NPCE file:"));
  EXPECT_TRUE(bench.hasLine("Nuvoton chip is programmed succesfully!"));
  EXPECT_TRUE(IdleWithBoxes(bench));
}

// The write does not start: no erase, the chip as it was, the log says why.
TEST(NpceBackup, ThatFailsKeepsTheWriteFromStarting) {
  struct Case {
    const char* name;
    Faults faults;
    bool folderIsAFile;
    bool stop;
    std::string lastLineStart;
  } cases[] = {
      {"read silent", {{"silence-after", kBlock41}}, false, false, kBackupReadFailed},
      {"stopped", {}, false, true, kBackupReadFailed},
      {"corrupted by the programmer's word", {{"npce-end-answer", "0"}}, false, false, kBackupReadFailed},
      {"folder cannot take it", {}, true, false, "The backup could not be saved to "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NpceBench bench(c.faults);
    if (c.folderIsAFile) {
      fs::create_directories(bench.home.folder().parent_path());
      WriteFileBytes(bench.home.folder().string(), {1});
    }
    const Data old = Pattern(kFlash, 65);
    bench.chip().setFlash(old);
    const std::string path = bench.dir.file("image.bin");
    WriteFileBytes(path, Pattern(kFlash, 66));
    bench.ops.setBackup(true);
    bench.view.answerDialog(path);
    bench.ops.NPCE_WRITEClick();
    if (c.stop) bench.ops.requestStop();
    ASSERT_TRUE(bench.view.waitEnded(5s));
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
    EXPECT_TRUE(bench.view.lastLine().starts_with(c.lastLineStart)) << bench.view.lastLine();
    const Data sent = bench.sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'e'), 0);
    EXPECT_EQ(bench.chip().flash(), old);
    if (!c.folderIsAFile) {
      EXPECT_TRUE(bench.home.files().empty());
    }
    EXPECT_TRUE(IdleWithBoxes(bench));
  }
}

// ---------------------------------------------------------------- the command line

struct CliRun {
  int status;
  std::string out, err;
  Data flash;
};

// Runs the command; signals (if any) come once the host has sent the byte `when`.
CliRun NpceCli(std::vector<std::string> words, const Data& flash, sim::SimOptions options = NpceOptions(),
               int signals = 0, std::uint8_t when = 0) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach(std::move(options));
  auto& chip = dynamic_cast<sim::NpceSim&>(*programmer.commandSet("NPCE"));
  chip.setFlash(flash);
  std::ostringstream out, err;
  words.insert(words.begin(), "npce");
  std::jthread signaller;
  if (signals > 0) {
    signaller = std::jthread([&programmer, signals, when](std::stop_token stop) {
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
        const Data sent = programmer.hostBytes();
        if (std::find(sent.begin(), sent.end(), when) != sent.end()) break;
        std::this_thread::sleep_for(5ms);
      }
      for (int i = 0; i < signals; ++i) {
        std::this_thread::sleep_for(60ms);
        NoteInterrupt(SIGINT);
      }
    });
  }
  const int status = RunCommand(d2xx, words, true, out, err);
  return {status, out.str(), err.str(), chip.flash()};
}

TEST(NpceCliSafety, AnswersAndBackup) {
  const CleanFileFaults clean;
  TempDir dir;
  const Data old = Pattern(kFlash, 67), image = Pattern(kFlash, 68);
  WriteFileBytes(dir.file("full.bin"), image);
  WriteFileBytes(dir.file("half.bin"), Pattern(65536, 69));
  struct Case {
    std::vector<std::string> words;
    int status;
    bool written;
    std::size_t backups;
  } cases[] = {
      {{"write", dir.file("half.bin")}, kExitFailed, false, 0},  // the question's No
      {{"write", dir.file("half.bin"), "--yes"}, kExitOk, true, 1},
      {{"write", dir.file("full.bin")}, kExitOk, true, 1},  // backup by default
      {{"write", "--no-backup", dir.file("full.bin")}, kExitOk, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.back());
    const ScratchBackupFolder home;
    const CliRun run = NpceCli(c.words, old);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(run.flash != old, c.written);
    EXPECT_EQ(home.files().size(), c.backups);
    if (c.backups == 1) {
      EXPECT_EQ(ReadFileBytes(home.files()[0]), old);
    }
  }
}

TEST(NpceCliSafety, SignalBeforeTheStartStartsNothing) {
  const CleanFileFaults clean;
  TempDir dir;
  NoteInterrupt(SIGTERM);
  const CliRun run = NpceCli({"read", dir.file("dump.bin")}, Pattern(kFlash, 70));
  EXPECT_EQ(run.status, 128 + SIGTERM);
  EXPECT_EQ(run.out.find("Communication with NPCE installed."), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(dir.file("dump.bin")));
}

// At wire speed a read takes seconds: Ctrl-C lands mid-read and ends it through its
// failure path ('O' signalled), the old dump untouched.
TEST(NpceCliSafety, CtrlCMidReadKeepsTheOldDump) {
  const CleanFileFaults clean;
  TempDir dir;
  const std::string path = dir.file("dump.bin");
  const Data old = Pattern(5000, 71);
  WriteFileBytes(path, old);
  sim::SimOptions options = NpceOptions();
  options.wireTime = true;
  const CliRun run = NpceCli({"read", path}, Pattern(kFlash, 72), options, 1, 'r');
  EXPECT_EQ(run.status, 128 + SIGINT) << run.out << run.err;
  EXPECT_NE(run.out.find("The read is stopped: the operation was interrupted at block "), std::string::npos) << run.out;
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(PartFiles(dir.path()).empty());
}

// A write goes on after one Ctrl-C (the chip is not left half written); a second one ends
// it through its failure path. The erase is slow enough for both to land in it.
TEST(NpceCliSafety, WriteStopsOnlyAtTheSecondCtrlC) {
  const CleanFileFaults clean;
  TempDir dir;
  const Data image = Pattern(kFlash, 73);
  WriteFileBytes(dir.file("full.bin"), image);
  for (int signals : {1, 2}) {
    SCOPED_TRACE(signals);
    ResetInterrupts();
    const CliRun run = NpceCli({"write", "--no-backup", dir.file("full.bin")}, Pattern(kFlash, 74),
                               NpceOptions({{"npce-erase-ms", "700"}}), signals, npce::kErase);
    EXPECT_EQ(run.status, 128 + SIGINT);
    EXPECT_NE(run.err.find("Press Ctrl-C again to stop it anyway."), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Nuvoton chip is programmed succesfully!") != std::string::npos, signals == 1) << run.out;
    EXPECT_EQ(run.flash == image, signals == 1);
    if (signals == 2) {
      EXPECT_NE(run.out.find("The write is stopped: the operation was interrupted at block 1 of 512."), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace jig::test
