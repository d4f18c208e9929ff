// An NPCE read that fails leaves the old dump as it was and no temporary file, and a write
// on the command line stops only at the second Ctrl-C. What the window shares with
// KB90xx's about the files is asked of both in tests/reliability/WindowFileSafetyTest.cpp.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>

#include "Npce/NpceProtocol.h"
#include "cli/CliInterrupt.h"
#include "files/Sha256.h"
#include "tests/Npce/NpceBench.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using Data = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::size_t kFlash = npce::kFlashSize;

bool IdleWithBoxes(const NpceBench& bench) {
  return bench.idle() && bench.view.enabled("ReadTwice") != false && bench.view.enabled("Backup_NPCE") != false;
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
    {"disk full after two matching reads", {}, true, 0, false, "dump.bin could not be saved to the disk (No space left on device)."},
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
  bench.ops.job().setReadTwice(c.twice);
  bench.view.answerDialog(path);
  bench.ops.NPCE_READClick();
  if (c.stop) bench.ops.job().requestStop();
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_TRUE(bench.hasLineWith(c.line)) << bench.view.lastLine();
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(PartFiles(bench.dir.path()).empty());
  EXPECT_FALSE(bench.hasLine("Dump check: the content looks like real data."));
  EXPECT_TRUE(IdleWithBoxes(bench));
}

INSTANTIATE_TEST_SUITE_P(Failures, NpceFailedRead, ::testing::ValuesIn(kReadFailures), CaseName<ReadFailure>);

// ---------------------------------------------------------------- the command line

struct NpceRun : CliRun {
  Data flash;
};

// Runs the command; Ctrl-C comes `signals` times, 60 ms apart, once the host has sent the
// byte `when`.
NpceRun NpceCli(std::vector<std::string> words, const Data& flash, sim::SimOptions options = NpceOptions(),
                int signals = 0, std::uint8_t when = 0) {
  SimCli cli(std::move(options));
  auto& chip = dynamic_cast<sim::NpceSim&>(*cli.programmer.commandSet("NPCE"));
  chip.setFlash(flash);
  std::optional<CtrlCWhen> ctrlC;
  if (signals > 0) ctrlC.emplace(HostSent(cli.programmer, when), signals, 60ms);
  CliRun run = cli.run("npce", std::move(words), true);
  ctrlC.reset();
  return {std::move(run), chip.flash()};
}

// Ctrl-C and a write. Before the chip is touched (during the backup's read) the first one
// calls the whole write off: the chip keeps what it held. Once the erase has begun, one
// only warns (a chip left half written does not boot) and the write ends with its own
// status; a second one ends it through its failure path.
struct NpceSignalCase {
  const char* what;
  bool backup;
  int signals;
  std::uint8_t when;  // the host byte after which the signals come
  int status;
  bool written;       // the chip holds the new image afterwards
  bool warned;
  const char* line;   // a line of the log that says how it ended
};

class NpceCliSignals : public ::testing::TestWithParam<NpceSignalCase> {};

TEST_P(NpceCliSignals, TheFirstCtrlCCallsOffOnlyAnUntouchedChip) {
  const NpceSignalCase& c = GetParam();
  const CleanFileFaults clean;
  ScratchBackupFolder backups;
  TempDir dir;
  const Data image = Pattern(kFlash, 73);
  const Data old = Pattern(kFlash, 74);
  WriteFileBytes(dir.file("full.bin"), image);
  ResetInterrupts();
  std::vector<std::string> words = {"write", dir.file("full.bin")};
  if (!c.backup) words.push_back("--no-backup");
  sim::SimOptions options = NpceOptions({{"npce-erase-ms", "700"}});
  options.wireTime = c.backup;  // the backup's read then takes over a second on the wire
  const NpceRun run = NpceCli(words, old, options, c.signals, c.when);
  EXPECT_EQ(run.status, c.status) << run.out << run.err;
  EXPECT_EQ(run.err.find("Press Ctrl-C again to stop it anyway.") != std::string::npos, c.warned) << run.err;
  EXPECT_EQ(run.out.find("Nuvoton chip is programmed succesfully!") != std::string::npos, c.written) << run.out;
  EXPECT_EQ(run.flash == image, c.written);
  if (!c.written && c.backup) {
    EXPECT_EQ(run.flash, old) << "the chip was touched";
  }
  EXPECT_NE((run.out + run.err).find(c.line), std::string::npos) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NpceCliSignals,
    ::testing::Values(
        NpceSignalCase{"OneInTheEraseOnlyWarns", false, 1, npce::kErase, kExitOk, true, true,
                       "Nuvoton chip is programmed succesfully!"},
        NpceSignalCase{"TwoInTheEraseStopTheWrite", false, 2, npce::kErase, 128 + SIGINT, false, true,
                       "The write is stopped: the operation was interrupted at block 1 of 512."},
        NpceSignalCase{"OneInTheBackupCallsTheWriteOff", true, 1, npce::kReadBlock, 128 + SIGINT, false, false,
                       "the write is called off and the chip keeps what it holds"}),
    [](const auto& test) { return std::string(test.param.what); });

}  // namespace
}  // namespace jig::test
