// A write over a MAIN that is not blank: the window asks before an erase, the command line
// erases only with --erase; nothing of the write or the erase goes out before the answer.
#include <algorithm>
#include <numeric>

#include "job/FlashJob.h"
#include "tests/Mec16xx/Mec16Bench.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafetyCases.h"

namespace jig::test {
namespace {

using sim::Mec16Sim;

enum class Front { Window, CommandLine };
// What MAIN holds before the write: nothing, old firmware, or old firmware only past the
// pages a short image takes (1000 bytes: four pages, the last padded with FFh).
enum class Chip { Blank, Old, BlankWhereWritten };

struct BlankCase {
  const char* name;
  Front front;
  Chip chip;
  bool backup;
  bool erase;  // the window's answer Да, or --erase
  std::size_t imageSize = Mec16Sim::kMainSize;
};

const BlankCase kBlankCases[] = {
    {"window_blank_backup", Front::Window, Chip::Blank, true, false},
    {"window_blank_noBackup", Front::Window, Chip::Blank, false, false},
    {"window_old_backup_yes", Front::Window, Chip::Old, true, true},
    {"window_old_backup_no", Front::Window, Chip::Old, true, false},
    {"window_old_noBackup_yes", Front::Window, Chip::Old, false, true},
    {"window_old_noBackup_no", Front::Window, Chip::Old, false, false},
    {"window_shortImageOverBlankPages", Front::Window, Chip::BlankWhereWritten, false, false, 1000},
    {"cli_blank_noBackup", Front::CommandLine, Chip::Blank, false, false},
    {"cli_blank_backup_erase", Front::CommandLine, Chip::Blank, true, true},
    {"cli_old_backup", Front::CommandLine, Chip::Old, true, false},
    {"cli_old_noBackup", Front::CommandLine, Chip::Old, false, false},
    {"cli_old_backup_erase", Front::CommandLine, Chip::Old, true, true},
    {"cli_old_noBackup_erase", Front::CommandLine, Chip::Old, false, true},
};

// The erase of MAIN alone from its open to its end, the busy poll aside.
const std::string kEraseStart = "B1jrFF390CwFF391000000001wFF390800000107wFF390400F80000";
const std::string kEraseEnd = kMec16Release + "I0";
const std::string kPoll = "rFF390C";

// The wire after the read before the write: the erase (start, polls, release) when wanted,
// then the documented write. True when it matches.
::testing::AssertionResult ChangesAre(std::string wire, bool erased, const std::string& write) {
  if (erased) {
    if (!wire.starts_with(kEraseStart)) return ::testing::AssertionFailure() << "no erase first: " << Tail(wire);
    wire.erase(0, kEraseStart.size());
    int polls = 0;
    for (; wire.starts_with(kPoll); ++polls) wire.erase(0, kPoll.size());
    if (polls == 0 || !wire.starts_with(kEraseEnd)) return ::testing::AssertionFailure() << "erase end: " << Tail(wire);
    wire.erase(0, kEraseEnd.size());
  }
  if (wire != write) return ::testing::AssertionFailure() << "the write differs: " << Tail(wire);
  return ::testing::AssertionSuccess();
}

class Mec16BlankCheck : public ::testing::TestWithParam<BlankCase> {};

TEST_P(Mec16BlankCheck, AsksOrRefusesBeforeAnythingChanges) {
  const BlankCase& c = GetParam();
  const FlashTexts texts = DefaultFlashTexts(LogLanguage::Russian);
  ScratchBackupFolder backups;
  Mec16Bench bench;
  const auto image = Pattern(c.imageSize, 6);
  std::vector<std::uint8_t> old = bench.chip().mainArray();  // the simulator's old firmware
  if (c.chip == Chip::Blank) old.assign(Mec16Sim::kMainSize, 0xFF);
  if (c.chip == Chip::BlankWhereWritten) std::fill_n(old.begin(), 1024, 0xFF);
  bench.chip().setMainArray(old);
  const std::string path = bench.dir.file("image.bin");
  WriteFileBytes(path, image);

  std::string out, err;
  bool success = false;
  if (c.front == Front::Window) {
    bench.ops.job().setBackup(c.backup);
    bench.ops.job().setVerifyAfterWrite(false);
    bench.view.answerDialog(path);
    if (c.imageSize < Mec16Sim::kMainSize) bench.view.answerYesNo(true);  // the short file's question
    if (c.chip == Chip::Old) bench.view.answerYesNo(c.erase);
    bench.ops.write(false);
    bench.expectEndedIdle();
    ASSERT_EQ(bench.view.endings().size(), 1u);
    success = bench.view.endings()[0];
    const auto lines = bench.view.allLines();
    out = std::accumulate(lines.begin(), lines.end(), std::string(), [](std::string all, const std::string& line) {
      return std::move(all) + line + "\n";
    });
    const auto verdicts = bench.view.verdicts();
    ASSERT_EQ(verdicts.size(), 1u);
    out += verdicts[0] + "\n";
  } else {
    std::vector<std::string> words = {"mec16", "write", path, "--no-verify"};
    if (!c.backup) words.push_back("--no-backup");
    if (c.erase) words.push_back("--erase");
    CliRun run = RunCli(bench.d2xx, words);
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
    EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status << run.err;
    success = run.status == 0;
    out = run.out + run.verdict + "\n";
    err = run.err;
  }

  const bool notBlank = c.chip == Chip::Old;
  const bool proceeds = !notBlank || c.erase;
  const bool erased = notBlank && c.erase;
  EXPECT_EQ(success, proceeds) << out;

  // The chip: the image where the write went, over an erased array or what was there.
  std::vector<std::uint8_t> expected = erased ? std::vector<std::uint8_t>(Mec16Sim::kMainSize, 0xFF) : old;
  if (proceeds) std::copy(image.begin(), image.end(), expected.begin());
  EXPECT_EQ(bench.chip().mainArray(), expected);
  EXPECT_EQ(bench.chip().erases(), erased ? 1 : 0);

  // The wire: MAIN read whole first; after it nothing when the write does not go on.
  const std::string host = bench.host();
  const std::size_t read = host.find(kMec16ReadSetUp);
  ASSERT_NE(read, std::string::npos) << Tail(host);
  EXPECT_EQ(host.substr(read, Mec16MainRead().size()), Mec16MainRead());
  const std::string changes = host.substr(read + Mec16MainRead().size());
  if (!proceeds) {
    EXPECT_EQ(changes, "");
  } else {
    // A short image ends on a page of FFh past its end, and without the "0".
    const bool whole = image.size() == Mec16Sim::kMainSize;
    auto sent = image;
    if (!whole) sent.resize((image.size() / 256 + 1) * 256, 0xFF);
    const std::string tail = "X" + kMec16Release + (whole ? "I0" : "I");
    EXPECT_TRUE(ChangesAre(changes, erased, kMec16WriteSetUp + Mec16Pages(sent, static_cast<int>(sent.size() / 256)) + tail));
  }

  // What the technician is told: the window asks once, the command line refuses in one line
  // naming --erase, or erases as told.
  auto count = [&](const std::string& line) {
    std::size_t n = 0;
    for (std::size_t at = out.find(line + "\n"); at != std::string::npos; at = out.find(line + "\n", at + 1))
      n += at == 0 || out[at - 1] == '\n';
    return n;
  };
  const bool asked = c.front == Front::Window && notBlank;
  const auto questions = bench.view.questions();
  EXPECT_EQ(std::count(questions.begin(), questions.end(), "Стереть и записать?"), asked ? 1 : 0);
  EXPECT_EQ(err.find("Стереть"), std::string::npos) << err;
  EXPECT_EQ(count(texts.notBlank), notBlank && (asked || c.erase) ? 1u : 0u) << out;
  EXPECT_EQ(count(texts.eraseFirstDeclined), asked && !c.erase ? 1u : 0u) << out;
  const bool refused = c.front == Front::CommandLine && notBlank && !c.erase;
  EXPECT_EQ(count(texts.eraseFirstRefused), refused ? 1u : 0u) << out;
  EXPECT_NE(texts.eraseFirstRefused.find("--erase"), std::string::npos);
  EXPECT_EQ(count("Стирание завершено успешно."), erased ? 1u : 0u) << out;
  EXPECT_EQ(count("Начали запись MEC16 main block ..."), proceeds ? 1u : 0u) << out;
  if (!proceeds) {
    EXPECT_TRUE(out.ends_with("микросхема не тронута.\n")) << out;
  }

  // The read before the write is the backup when that is on, and only then kept.
  EXPECT_EQ(count(c.backup ? BackupStartLine(LogLanguage::Russian) : texts.blankCheckStarts), 1u) << out;
  const auto saved = backups.files();
  ASSERT_EQ(saved.size(), c.backup ? 1u : 0u);
  if (c.backup) {
    EXPECT_EQ(ReadFileBytes(saved[0]), old);
  }
}

INSTANTIATE_TEST_SUITE_P(Fronts, Mec16BlankCheck, ::testing::ValuesIn(kBlankCases), CaseName<BlankCase>);

}  // namespace
}  // namespace jig::test
