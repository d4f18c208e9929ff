// A KB90xx read that fails leaves the old dump as it was and no temporary file, whatever
// the way it fails. What the window shares with NPCE's about the files is asked of both in
// tests/reliability/WindowFileSafetyTest.cpp.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "app/Commands.h"
#include "cli/CliInterrupt.h"
#include "files/Sha256.h"
#include "tests/Kb901x_form/Kb90Bench.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::size_t kImage = kKb90Image;

void ExpectIdle(Kb90Bench& bench, Kb90Operations& ops) {
  EXPECT_EQ(ops.mode(), Kb90Mode::None);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  for (const char* control : {"KB901X_READ", "KB901X_WRITE", "EXIT_KB901X", "ReadTwice", "Backup_KB901X"})
    EXPECT_NE(bench.view.enabled(control), false) << control;
  EXPECT_EQ(bench.view.endings().size(), 1u);
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
    {"disk full after two matching reads", {}, true, 0, false, "could not be saved to the disk (No space left on device)."},
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
  Kb90Operations ops(bench.d2xx, bench.view, Kb90ShortBounds());
  ops.job().setReadTwice(c.twice);
  bench.view.answerDialog(path);
  ops.KB901X_READClick();
  if (c.stop) ops.job().requestStop();
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

}  // namespace
}  // namespace jig::test
