// The read twice of every flash window: a matching pair writes the dump whole, a pair that
// differs writes nothing and leaves an older dump as it was, a chip that cannot be read
// alike twice is read once as documented when the second read is off, and a second read
// that fails ends idle with one line. Bytes on the wire, the file and the log on each path.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>

#include "tests/reliability/FlashTasks.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;

// Code and tables in the low part, erased flash above: what a real EC image looks like.
Data FirmwareLike(std::size_t size) {
  Data image(size, 0xFF);
  std::mt19937 random(0x5EED);
  for (std::size_t i = 0; i < size * 2 / 3; ++i) image[i] = static_cast<std::uint8_t>(random());
  return image;
}

long Count(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

class ReadTwice : public ::testing::TestWithParam<FlashTaskRow> {
 protected:
  std::unique_ptr<FlashTask> task(Faults faults = {}) { return GetParam().make(std::move(faults)); }
};

TEST_P(ReadTwice, MatchingPairWritesTheWholeFlash) {
  const FlashTaskRow& row = GetParam();
  auto task = this->task();
  TaskBench& bench = task->bench();
  const Data flash = FirmwareLike(row.flashSize);
  task->setFlash(flash);
  const std::string path = bench.dir.file("dump.bin");
  task->read(path, true);
  ASSERT_TRUE(task->waitEnded(10s));
  EXPECT_EQ(bench.view.endings().back(), true);
  // Two separate runs: the second opens the programmer again with its own version query.
  EXPECT_EQ(bench.hostBytes(), Cat({row.oneRead, row.oneRead}));
  EXPECT_EQ(ReadFileBytes(path), flash);
  const auto lines = bench.view.allLines();
  ASSERT_GE(lines.size(), 2u);
  if (row.verdictAfterMatch) {
    EXPECT_EQ(lines[lines.size() - 2], row.match);
    EXPECT_EQ(lines.back(), row.realData);
  } else {
    EXPECT_EQ(lines.back(), row.match);
  }
  // One verdict, on the dump that is kept.
  EXPECT_EQ(Count(lines, row.realData), 1);
  EXPECT_EQ(Count(lines, row.again), 1);
  EXPECT_EQ(Count(lines, row.readDone), 2);
  task->expectAfterTwoReads();
  task->expectIdle();
}

TEST_P(ReadTwice, DifferenceInTheFirstBlockOnlyLeavesNoFile) {
  const FlashTaskRow& row = GetParam();
  auto task = this->task({{row.unstable, ""}});
  TaskBench& bench = task->bench();
  task->setFlash(FirmwareLike(row.flashSize));
  const std::string path = bench.dir.file("dump.bin");
  task->read(path, true);
  ASSERT_TRUE(task->waitEnded(10s));
  EXPECT_EQ(bench.view.endings().back(), false);
  // Both reads ran to their end: the difference is in the data, not in the exchange.
  EXPECT_EQ(bench.hostBytes(), Cat({row.oneRead, row.oneRead}));
  const auto lines = bench.view.allLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), row.differ);
  EXPECT_EQ(Count(lines, row.again), 1);
  // A verdict that follows the match line is never given; one that precedes it is the
  // first read's.
  EXPECT_EQ(Count(lines, row.realData), row.verdictAfterMatch ? 0 : 1);
  EXPECT_FALSE(std::filesystem::exists(path));
  // The two reads are offered side by side, whole and different.
  const auto comparisons = bench.view.comparisons();
  ASSERT_EQ(comparisons.size(), 1u);
  EXPECT_EQ(comparisons[0].a.size(), row.flashSize);
  EXPECT_EQ(comparisons[0].b.size(), row.flashSize);
  EXPECT_TRUE(CompareDumps(comparisons[0].a, comparisons[0].b));
  task->expectAfterTwoReads();
  task->expectIdle();
}

TEST_P(ReadTwice, DifferingPairLeavesAnOldFileAsItWas) {
  auto task = this->task({{GetParam().unstable, ""}});
  const std::string path = task->bench().dir.file("old.bin");
  const Data old = {1, 2, 3};
  WriteFileBytes(path, old);
  task->read(path, true);
  ASSERT_TRUE(task->waitEnded(10s));
  EXPECT_EQ(task->bench().view.endings().back(), false);
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_TRUE(TemporaryDumps(task->bench().dir.path()).empty());
  task->expectIdle();
}

// The same chip without the second read: the documented read saves what it got.
TEST_P(ReadTwice, OffReadsOnceAsDocumented) {
  const FlashTaskRow& row = GetParam();
  auto task = this->task({{row.unstable, ""}});
  const std::string path = task->bench().dir.file("once.bin");
  task->read(path, false);
  ASSERT_TRUE(task->waitEnded(10s));
  EXPECT_EQ(task->bench().view.endings().back(), true);
  EXPECT_EQ(task->bench().hostBytes(), row.oneRead);
  EXPECT_EQ(ReadFileBytes(path).size(), row.flashSize);
  EXPECT_EQ(Count(task->bench().view.allLines(), row.again), 0);
  task->expectIdle();
}

// A stop that comes as the first read ends (its last block in, or the first dump's check
// where it is judged before the second read) ends the job there, with the job's line, before
// the programmer is opened for the second read; the dump is not written.
TEST_P(ReadTwice, StopAsTheFirstReadEndsEndsBeforeTheSecond) {
  const FlashTaskRow& row = GetParam();
  auto task = this->task();
  TaskBench& bench = task->bench();
  task->setFlash(FirmwareLike(row.flashSize));
  std::atomic<bool> stopped = false;
  // A family that looks for a stop after each block, the last one too, would end its own pass
  // at the last block: there the first read's dump check is the moment.
  if (row.verdictAfterMatch) {
    bench.view.onJob = [&](const JobStatus& status) {
      if (status.phase == JobPhase::Reading && status.total > 0 && status.done == status.total && !stopped.exchange(true))
        task->stop();
    };
  } else {
    bench.view.onLog = [&](const std::string& line) {
      if (line == row.realData && !stopped.exchange(true)) task->stop();
    };
  }
  const std::string path = bench.dir.file("dump.bin");
  task->read(path, true);
  ASSERT_TRUE(task->waitEnded(10s));
  EXPECT_TRUE(stopped.load());
  EXPECT_EQ(bench.view.endings().back(), false);
  EXPECT_EQ(bench.hostBytes(), row.oneRead);
  const auto lines = bench.view.allLines();
  EXPECT_EQ(Count(lines, row.again), 0);
  EXPECT_EQ(Count(lines, row.readDone), 1);
  // The job's line, in each task's wording.
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.find("interrupted before the second read") != std::string::npos ||
                                   line.find("прервана перед вторым чтением") != std::string::npos;
                          }),
            1);
  EXPECT_FALSE(std::filesystem::exists(path));
  task->expectIdle();
}

INSTANTIATE_TEST_SUITE_P(Tasks, ReadTwice, ::testing::ValuesIn(FlashTasks()), CaseName<FlashTaskRow>);

// The second read fails: within its bound, one line after "again", no match, no file.
struct SecondReadFailure {
  std::string name;
  FlashTaskRow task;
  FlashTaskRow::Failure failure;
};

std::vector<SecondReadFailure> SecondReadFailures() {
  std::vector<SecondReadFailure> rows;
  for (const FlashTaskRow& task : FlashTasks())
    for (const auto& failure : task.secondReadFailures) rows.push_back({std::string(task.name) + "_" + failure.fault, task, failure});
  return rows;
}

// The device bytes a clean read takes, to place a fault inside the second one.
std::size_t DeviceBytesOfOneRead(const FlashTaskRow& row) {
  auto task = row.make({});
  task->read(task->bench().dir.file("clean.bin"), false);
  EXPECT_TRUE(task->waitEnded(10s));
  return task->bench().programmer.deviceBytes().size();
}

class SecondReadFails : public ::testing::TestWithParam<SecondReadFailure> {};

// How soon a second read that fails ends: a read and a half and the short bound. The thread
// checker runs the simulated transfer about three times slower (2.9 s of this test on an
// idle machine, against 1.2 s in a plain build).
#if defined(__SANITIZE_THREAD__)
constexpr auto kSecondReadFailsWithin = 6s;
#else
constexpr auto kSecondReadFailsWithin = 3s;
#endif

TEST_P(SecondReadFails, EndsIdleWithOneLineAndNoFile) {
  const FlashTaskRow& row = GetParam().task;
  const auto& failure = GetParam().failure;
  const std::size_t once = DeviceBytesOfOneRead(row);
  auto task = row.make({{failure.fault, std::to_string(once + once / 2)}});
  TaskBench& bench = task->bench();
  const std::string path = bench.dir.file("dump.bin");
  const auto started = std::chrono::steady_clock::now();
  task->read(path, true);
  ASSERT_TRUE(task->waitEnded(10s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, kSecondReadFailsWithin);
  EXPECT_EQ(bench.view.endings().back(), false);
  const auto lines = bench.view.lines();
  const auto again = std::find(lines.begin(), lines.end(), row.again);
  ASSERT_NE(again, lines.end()) << "the fault did not reach the second read";
  // After the second open's own lines the failure is the one line, followed only by the
  // time stamps the documented read logs after it.
  ASSERT_GE(lines.size(), 2u);
  const std::string& said = lines[lines.size() - (failure.stampAfter ? 2 : 1)];
  EXPECT_TRUE(said.starts_with(failure.lineStart)) << said;
  if (failure.stampAfter) {
    EXPECT_TRUE(lines.back().starts_with("Current time  ")) << lines.back();
  }
  EXPECT_EQ(std::count_if(again, lines.end(), [&](const std::string& l) { return l.starts_with(failure.countedStart); }), 1);
  EXPECT_FALSE(bench.hasLine(row.match));
  EXPECT_FALSE(std::filesystem::exists(path));
  if (failure.endMarkSent) {
    EXPECT_EQ(bench.hostBytes().back(), 'O');
  }
  task->expectIdle();
}

INSTANTIATE_TEST_SUITE_P(Tasks, SecondReadFails, ::testing::ValuesIn(SecondReadFailures()),
                         CaseName<SecondReadFailure>);

}  // namespace
}  // namespace jig::test
