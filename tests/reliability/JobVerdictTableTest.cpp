// Where a job stops decides what its last line tells the technician and how the journal
// keeps it: one table of (task, where it stopped) -> (verdict, outcome, what the chip holds)
// over every flash task and the EDID EEPROM, each case driven through the simulator's faults
// and a stop, an unplug or a declined dialog at a state the job reports.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <numeric>
#include <optional>

#include "journal/Journal.h"
#include "tests/Edid/EdidBench.h"
#include "tests/Npce/NpceBench.h"
#include "tests/reliability/FlashTasks.h"
#include "tests/support/FileSafety.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;

// What the test does to the job, and when: at the first status with this phase and stage
// whose pass has done at least this much; or, with a line, when the line is logged the
// second time (by the open after the backup).
struct Moment {
  JobPhase phase;
  JobStage stage;
  int done = 2;
  std::string line;
};
// A signal does what the command line's first Ctrl-C does: it stops a write only while the
// chip is untouched.
enum class Act { CancelDialog, Stop, Unplug, Signal };
enum class Action { Read, Write, WriteHalfImage };
// What the chip holds after the job: as before it, the image, or neither; or what it erases
// to in its own time (not looked at).
enum class Holds { Old, Image, Neither, Erasing };

struct VerdictCase {
  std::string task;
  std::string where;
  Action action;
  Act act;
  std::optional<Moment> at;  // none: the dialog is declined
  Faults faults;
  std::string verdict;  // how the verdict begins; "{backup}" stands for the backup's path
  JobOutcome outcome;
  Holds holds;
};

void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.task << " " << c.where; }

const char* kBackup = "{backup}";

// The newest job the journal holds.
std::optional<JobRecord> NewestJob() {
  Journal journal(JournalFile(), false);
  const auto jobs = journal.history({.limit = 1});
  if (jobs.empty()) return std::nullopt;
  return jobs.front().record;
}

std::string WithBackup(std::string verdict, const std::string& backup) {
  if (const auto at = verdict.find(kBackup); at != std::string::npos) verdict.replace(at, std::strlen(kBackup), backup);
  return verdict;
}

// The end shared by the flash tasks and EDID: the verdict logged, the journal's row, the chip.
// The verdicts and endings are the job's alone (none of a set-up before it).
void ExpectEnd(const VerdictCase& c, const std::vector<std::string>& verdicts, const std::vector<bool>& endings,
               const Data& old, const Data& image, const Data& now) {
  const auto record = NewestJob();
  ASSERT_TRUE(record.has_value());
  ASSERT_EQ(verdicts.size(), 1u);
  const std::string& verdict = verdicts[0];
  EXPECT_EQ(verdict.substr(0, WithBackup(c.verdict, record->backupPath).size()), WithBackup(c.verdict, record->backupPath))
      << verdict;
  EXPECT_EQ(record->verdict, verdict);
  EXPECT_EQ(OutcomeOf(*record), c.outcome) << OutcomeName(OutcomeOf(*record));
  EXPECT_EQ(record->success, c.outcome == JobOutcome::Ok);
  EXPECT_EQ(endings, std::vector<bool>{c.outcome == JobOutcome::Ok});
  const bool holdsImage = std::equal(image.begin(), image.end(), now.begin());
  if (c.holds != Holds::Erasing) {
    EXPECT_EQ(now == old, c.holds == Holds::Old) << "the chip as it was";
    EXPECT_EQ(holdsImage, c.holds == Holds::Image) << "the chip holds the image";
  }
  // A chip that holds what it held was touched only by a write that failed on it (refused).
  const bool touched = c.holds != Holds::Old || (c.outcome == JobOutcome::Failed && c.action != Action::Read);
  EXPECT_EQ(record->chipTouched, touched);
}

class FlashVerdicts : public testing::TestWithParam<VerdictCase> {};

TEST_P(FlashVerdicts, WhereTheJobStoppedIsWhatItsVerdictAndTheJournalSay) {
  const VerdictCase& c = GetParam();
  const auto rows = FlashTasks();
  const auto row = std::find_if(rows.begin(), rows.end(), [&](const FlashTaskRow& r) { return r.name == c.task; });
  ASSERT_NE(row, rows.end());
  auto task = row->make(c.faults);
  TaskBench& bench = task->bench();
  // Data in the first 8 KiB and erased flash after it (short on the ITE wire). The MEC16xx
  // writes without an erase and asks first when the flash is not blank: it starts blank here,
  // so that its stops fall where the other families' do.
  Data image = Pattern(row->flashSize, 11);
  std::fill(image.begin() + 8192, image.end(), std::uint8_t{0xFF});
  Data old = Pattern(row->flashSize, 7);
  if (c.task == "Mec16") std::fill(old.begin(), old.end(), std::uint8_t{0xFF});
  task->setFlash(old);
  if (c.action == Action::WriteHalfImage) {
    image.resize(row->flashSize / 2);
    bench.view.answerYesNo(true);  // the size question
  }
  const std::string source = bench.dir.file("image.bin");
  WriteFileBytes(source, image);

  const std::size_t verdictsBefore = bench.view.verdicts().size();
  std::atomic<bool> acted = false;
  auto act = [&] {
    if (acted.exchange(true)) return;
    if (c.act == Act::Unplug) bench.programmer.unplug();
    if (c.act == Act::Stop || (c.act == Act::Signal && task->job()->chipGate().cancel())) task->stop();
  };
  if (c.at && c.at->line.empty()) {
    bench.view.onJob = [&, at = *c.at](const JobStatus& status) {
      if (status.phase == at.phase && status.stage == at.stage && status.done >= at.done) act();
    };
  }
  int seen = 0;  // the worker's alone
  if (c.at && !c.at->line.empty()) {
    bench.view.onLog = [&, at = *c.at](const std::string& line) {
      if (line == at.line && ++seen == 2) act();
    };
  }
  const std::string path = c.act == Act::CancelDialog ? std::string() : c.action == Action::Read ? bench.dir.file("dump.bin") : source;
  if (c.action == Action::Read) {
    if (path.empty()) bench.view.answerDialog(std::nullopt);
    task->read(path, false);
  } else {
    if (path.empty()) bench.view.answerDialog(std::nullopt);
    task->write(path, true);
  }
  ASSERT_TRUE(task->waitEnded(60s));
  EXPECT_EQ(acted.load(), c.at.has_value());
  const auto verdicts = bench.view.verdicts();
  ExpectEnd(c, std::vector<std::string>(verdicts.begin() + static_cast<std::ptrdiff_t>(verdictsBefore), verdicts.end()),
            task->endings(), old, image, task->flash());
}

const JobOutcome kOk = JobOutcome::Ok, kFailed = JobOutcome::Failed, kCancelled = JobOutcome::Cancelled;
const Moment kBackupRead{JobPhase::Writing, JobStage::NotTouched};
const Moment kProgramming{JobPhase::Writing, JobStage::Programming};
const Moment kVerifying{JobPhase::Verifying, JobStage::Written};

const std::string kCalledOffEn = "RESULT: write called off, the chip is not touched.";
const std::string kCalledOffRu = "ИТОГ: запись отменена, микросхема не тронута.";
const std::string kHalfEn = "RESULT: write FAILED, the chip is half written: restore it from {backup}";
const std::string kHalfRu = "ИТОГ: запись НЕ выполнена, микросхема записана наполовину: восстановите её из {backup}";
const std::string kCutShortEn = "RESULT: write done but NOT verified (the verify was cut short), the file: ";
const std::string kCutShortRu = "ИТОГ: запись выполнена, но НЕ проверена (проверка прервана), файл: ";

std::vector<VerdictCase> FlashCases() {
  std::vector<VerdictCase> cases;
  for (const std::string task : {"Kb90", "Npce", "Mec16", "Ite"}) {
    const bool ru = task == "Mec16" || task == "Ite";
    cases.push_back({task, "read dialog cancelled", Action::Read, Act::CancelDialog, std::nullopt, {},
                     ru ? "ИТОГ: чтение отменено, файл не записан." : "RESULT: read called off, the file is not written.",
                     kCancelled, Holds::Old});
    cases.push_back({task, "write dialog cancelled", Action::Write, Act::CancelDialog, std::nullopt, {},
                     ru ? kCalledOffRu : kCalledOffEn, kCancelled, Holds::Old});
    cases.push_back({task, "stop during the backup read", Action::Write, Act::Stop, kBackupRead, {},
                     ru ? kCalledOffRu : kCalledOffEn, kCancelled, Holds::Old});
    cases.push_back({task, "stop while programming", Action::Write, Act::Stop, kProgramming, {}, ru ? kHalfRu : kHalfEn,
                     kFailed, Holds::Neither});
  }
  cases.push_back({"Npce", "stop during its verify", Action::Write, Act::Stop, kVerifying, {}, kCutShortEn, kFailed,
                   Holds::Image});
  cases.push_back({"Npce", "unplugged during its verify", Action::Write, Act::Unplug, kVerifying, {}, kCutShortEn,
                   kFailed, Holds::Image});
  cases.push_back({"Kb90", "stop during a half image's read-back", Action::WriteHalfImage, Act::Stop, kVerifying, {},
                   kCutShortEn, kFailed, Holds::Image});
  cases.push_back({"Kb90", "unplugged during a half image's read-back", Action::WriteHalfImage, Act::Unplug, kVerifying,
                   {}, kCutShortEn, kFailed, Holds::Image});
  cases.push_back({"Ite", "stop during the read-back", Action::Write, Act::Stop, kVerifying, {}, kCutShortRu, kFailed,
                   Holds::Image});
  cases.push_back({"Mec16", "stop during the read-back", Action::Write, Act::Stop, kVerifying, {}, kCutShortRu, kFailed,
                   Holds::Image});
  // The stop ends the wait for the chip erase at once (the erase takes longer than the stop).
  cases.push_back({"Ite", "stop during the chip erase", Action::Write, Act::Stop,
                   Moment{JobPhase::Erasing, JobStage::Erasing, 0}, {{"ite-erase-ms", "1500"}},
                   "ИТОГ: запись НЕ выполнена, микросхема стёрта (возможно, не полностью), образ в неё не записан: "
                   "восстановите её из {backup}",
                   kFailed, Holds::Erasing});
  cases.push_back({"Npce", "signal during the open after the backup", Action::Write, Act::Signal,
                   Moment{JobPhase::Writing, JobStage::NotTouched, 0, kNpceVersionLine}, {}, kCalledOffEn, kCancelled,
                   Holds::Old});
  cases.push_back({"Npce", "written and verified", Action::Write, Act::Stop, std::nullopt, {},
                   "RESULT: write OK, the chip holds the file: ", kOk, Holds::Image});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Verdicts, FlashVerdicts, testing::ValuesIn(FlashCases()), [](const auto& p) {
  std::string name = p.param.task + "_" + p.param.where;
  std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
  return name;
});

// EDID runs outside the flash job, with the same verdicts and outcomes.
class EdidVerdicts : public testing::TestWithParam<VerdictCase> {};

TEST_P(EdidVerdicts, WhereTheWriteStoppedIsWhatItsVerdictAndTheJournalSay) {
  const VerdictCase& c = GetParam();
  EdidBench bench(Options("", c.faults), true);
  const Data old = Panel("AUO_AUO019C_FC1013A8EE1B.bin");
  Data image = old;
  image[0x10] ^= 0x01;  // another week of manufacture, and the checksum that goes with it
  image[0x7F] = static_cast<std::uint8_t>(-std::accumulate(image.begin(), image.begin() + 0x7F, 0));
  bench.chip().setContents(old);
  if (c.act == Act::CancelDialog) bench.view.answerDialog(std::nullopt);
  else bench.view.answerDialog(bench.file("panel.bin", image));
  if (c.action == Action::Read) bench.ops.read();
  else bench.ops.write();
  ASSERT_TRUE(bench.view.waitEnded(30s));
  ExpectEnd(c, bench.view.verdicts(), bench.view.endings(), old, image, bench.chip().contents());
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, EdidVerdicts,
    testing::Values(VerdictCase{"Edid", "read dialog cancelled", Action::Read, Act::CancelDialog, std::nullopt, {},
                                "RESULT: read called off, the file is not written.", kCancelled, Holds::Old},
                    VerdictCase{"Edid", "write dialog cancelled", Action::Write, Act::CancelDialog, std::nullopt, {},
                                kCalledOffEn, kCancelled, Holds::Old},
                    VerdictCase{"Edid", "write-protected", Action::Write, Act::Stop, std::nullopt,
                                {{"edid-write-protected", ""}},
                                "RESULT: write FAILED, the chip refused the write (write-protected?) and should hold "
                                "what it held: read it to be sure; its backup: {backup}",
                                kFailed, Holds::Old},
                    VerdictCase{"Edid", "written", Action::Write, Act::Stop, std::nullopt, {},
                                "RESULT: write OK, the chip holds the file: ", kOk, Holds::Image}),
    [](const auto& p) {
      std::string name = p.param.where;
      std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
      return name;
    });

}  // namespace
}  // namespace jig::test
