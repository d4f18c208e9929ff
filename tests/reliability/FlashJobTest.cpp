// The shared flash job on every family that runs on it: each job, however it ends, is
// reported once, after its last line and before its end is told, with what it did, which
// file and which backup; and the job's phase is idle again when the window hears the end.
#include <algorithm>
#include <cctype>
#include <mutex>

#include "files/Sha256.h"
#include "tests/reliability/FlashTasks.h"
#include "tests/support/FileSafety.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;

struct ReportCase {
  std::string name;
  std::string action;  // read, read twice, write (with its backup), cancelled
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

// A family's task on its bench with the job's reports collected.
class ReportedTask {
 public:
  ReportedTask(const FlashTaskRow& row, Faults faults) : task(row.make(std::move(faults))), job(task->job()) {
    job->setReporter([this](const JobReport& report) {
      std::lock_guard lock(mutex_);
      reports_.push_back(report);
      // The report comes before the window hears the end, with the job idle.
      endedBefore = task->endings().size();
      idleWhenReported = !job->busy();
    });
  }
  // The reports once the job has ended.
  std::vector<JobReport> reportsAtEnd() {
    EXPECT_TRUE(task->waitEnded(60s));
    job->joinWorker();
    std::lock_guard lock(mutex_);
    return reports_;
  }

  std::unique_ptr<FlashTask> task;
  FlashJob* job;
  std::size_t endedBefore = 99;
  bool idleWhenReported = false;

 private:
  std::mutex mutex_;
  std::vector<JobReport> reports_;
};

class FlashJobReport : public testing::TestWithParam<std::tuple<FlashTaskRow, ReportCase>> {};

TEST_P(FlashJobReport, EachJobIsReportedOnceWithWhatItDid) {
  const auto& [row, c] = GetParam();
  ReportedTask t(row, {});
  TaskBench& bench = t.task->bench();
  // Data in the first 8 KiB, erased flash after it: on the ITE wire every byte but FFh is a
  // lock-step exchange of its own, and the case stays short under the thread checker.
  Data image = Pattern(row.flashSize, 11);
  std::fill(image.begin() + 8192, image.end(), std::uint8_t{0xFF});
  // A chip written without an erase (MEC16xx) only loses bits: the old contents hold every
  // bit the image sets.
  Data old = Pattern(row.flashSize, 7);
  for (std::size_t i = 0; i < old.size(); ++i) old[i] |= image[i];
  t.task->setFlash(old);
  const std::string dump = bench.dir.file("dump.bin");
  const std::string source = bench.dir.file("image.bin");
  WriteFileBytes(source, image);
  if (c.action == "write") {
    // The MEC16xx write looks whether MAIN is blank: it is not, and Yes erases it first.
    bench.view.answerYesNo(true);
    t.task->write(source, true);
  } else if (c.action == "cancelled") {
    bench.view.answerDialog(std::nullopt);
    t.job->read();
  } else {
    t.task->read(dump, c.action == "read twice");
  }
  const auto got = t.reportsAtEnd();
  ASSERT_EQ(got.size(), 1u);
  const JobReport& report = got[0];
  EXPECT_EQ(t.endedBefore, 0u);
  EXPECT_TRUE(t.idleWhenReported);
  std::string task = row.name;
  std::transform(task.begin(), task.end(), task.begin(), [](unsigned char letter) { return static_cast<char>(std::tolower(letter)); });
  EXPECT_EQ(report.task, task);
  EXPECT_LE(report.started, report.ended);
  const bool success = c.action != "cancelled";
  EXPECT_EQ(report.success, success);
  EXPECT_EQ(t.task->endings(), std::vector<bool>{success});
  if (c.action == "cancelled") {
    EXPECT_EQ(report.action, "read");
    EXPECT_TRUE(report.file.empty());
    EXPECT_TRUE(report.fileSha256.empty());
  } else if (c.action == "write") {
    EXPECT_EQ(report.action, "write");
    EXPECT_TRUE(report.chipTouched);
    EXPECT_EQ(report.file, source);
    EXPECT_EQ(report.fileSha256, Sha256Hex(image));
    EXPECT_EQ(t.task->flash(), image);
    // The backup named is the chip as it was.
    ASSERT_FALSE(report.backupPath.empty());
    EXPECT_EQ(ReadFileBytes(report.backupPath), old);
    EXPECT_EQ(report.backupSha256, Sha256Hex(old));
  } else {
    EXPECT_EQ(report.action, c.action);
    EXPECT_FALSE(report.chipTouched);
    EXPECT_EQ(report.file, dump);
    EXPECT_EQ(report.fileSize, row.flashSize);
    EXPECT_EQ(ReadFileBytes(dump), old);
    EXPECT_EQ(report.fileSha256, Sha256Hex(old));
    EXPECT_TRUE(report.backupPath.empty());
  }
}

// A read the programmer leaves half way is reported as a failure, with nothing saved.
class FlashJobFailure : public testing::TestWithParam<FlashTaskRow> {};

TEST_P(FlashJobFailure, AReadCutShortIsReportedAsAFailure) {
  const FlashTaskRow& row = GetParam();
  ReportedTask t(row, {{"unplug-after", std::to_string(row.flashSize / 2)}});
  const std::string dump = t.task->bench().dir.file("dump.bin");
  t.task->read(dump, false);
  const auto got = t.reportsAtEnd();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_FALSE(got[0].success);
  EXPECT_EQ(got[0].file, dump);
  EXPECT_TRUE(got[0].fileSha256.empty());
  EXPECT_FALSE(std::filesystem::exists(dump));
  EXPECT_EQ(t.task->endings(), std::vector<bool>{false});
}

// Every flash family runs on the job.
std::vector<FlashTaskRow> JobTasks() { return FlashTasks(); }

INSTANTIATE_TEST_SUITE_P(Job, FlashJobReport,
                         testing::Combine(testing::ValuesIn(JobTasks()),
                                          testing::Values(ReportCase{"read", "read"}, ReportCase{"twice", "read twice"},
                                                          ReportCase{"write", "write"},
                                                          ReportCase{"cancelled", "cancelled"})),
                         [](const auto& p) {
                           return std::get<0>(p.param).name + "_" + std::get<1>(p.param).name;
                         });
INSTANTIATE_TEST_SUITE_P(Job, FlashJobFailure, testing::ValuesIn(JobTasks()),
                         [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace jig::test
