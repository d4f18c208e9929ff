// Each flash family's longest wait with the bound the windows and the command line really
// give it (the bounds headers, untouched), on a programmer whose time runs fast: a long step
// that lasts most of its bound ends well, and a chip that does not answer within it ends
// the run on that bound. Every bound is written here as a number of its own, so a bound
// changed in a bounds header fails these cases instead of moving with them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Commands.h"
#include "tests/Ite/IteTestSupport.h"
#include "tests/support/CliRun.h"
#include "tests/support/TaskBench.h"

namespace jig::test {
namespace {

using Data = std::vector<std::uint8_t>;

// Every row's bound passes in this much real time: the simulated time runs bound/this
// times faster than the host's.
constexpr std::uint32_t kBoundInRealMs = 1000;

// Words of a command line that stand for the files a case makes.
const std::string kSourceWord = "{source}";
const std::string kBaseWord = "{base}";

struct BoundRow {
  std::string name;
  std::string image;                // the firmware the programmer runs
  std::vector<std::string> words;   // the command line, its files as kSourceWord, kBaseWord
  Data source;                      // the file to write (none for an erase)
  std::string stepFault;            // how long the long step lasts, in ms
  std::uint32_t boundMs;            // the bound on it
  Faults silent;                    // nothing comes within the bound
  std::string silentLine;           // the line that ends the run then
};

void PrintTo(const BoundRow& row, std::ostream* os) { *os << row.name; }

Data IteSparseImage() {
  // Every byte but FFh is one lock-step exchange: a short run of data, then blank flash.
  return Cat({Pattern(512, 3), Repeat(0xFF, 131072 - 512)});
}

std::vector<BoundRow> Rows() {
  return {
      {"Kb90", "V41", {"kb90", "write", kSourceWord, "--yes", "--no-backup"}, Pattern(131072, 1),
       "kb90-erase-ms", 10000, {{"kb90-erase-ms", "20000"}},
       "Writing stopped: the programmer was not ready for block 1 of 512."},
      {"Mec16", "V42", {"mec16", "erase", "--yes"}, {},
       "mec16-erase-ms", 30000, {{"mec16-erase-ms", "60000"}},
       "MEC16 не закончил стирание за отведенное время"},
      {"Ite", "ITE",
       {"ite", "write", kSourceWord, "--board", "1", "--base", kBaseWord, "--yes", "--no-backup", "--no-verify"},
       IteSparseImage(), "ite-erase-ms", 30000, {{"ite-erase-ms", "60000"}},
       "Программатор не ответил за 30000 мс на команду адреса во флеш (Y 00 00 00)."},
      {"Npce", "NPCE", {"npce", "write", kSourceWord, "--yes", "--no-backup"}, Pattern(131072, 2),
       "npce-erase-ms", 20000, {{"npce-silent-from", "e"}},
       "No answer from the programmer: the end of the erase did not come within 20000 ms."},
      {"Edid", "V41", {"edid", "write", kSourceWord, "--yes", "--no-backup"}, Pattern(256, 4),
       "edid-write-ms", 5000, {{"edid-write-ms", "10000"}},
       "The programmer does not report the end of the EEPROM write (timeout)."},
  };
}

// One run of the row's command against a programmer with the faults, its time sped up.
struct TimedRun {
  CliRun result;
  std::chrono::milliseconds simulated;  // on the programmer's clock
  std::chrono::milliseconds real;
};

class RealBounds : public ::testing::TestWithParam<BoundRow> {
 protected:
  TimedRun run(Faults faults) {
    const BoundRow& row = GetParam();
    WriteFileBytes(dir.file("source.bin"), row.source);
    WriteFileBytes(dir.file("base.txt"), Bytes(kBoard1 + "\n"));
    std::vector<std::string> words;
    for (const std::string& word : row.words)
      words.push_back(word == kSourceWord ? dir.file("source.bin") : word == kBaseWord ? dir.file("base.txt") : word);
    SimCli cli(Options(row.image, std::move(faults)), row.boundMs / kBoundInRealMs);
    const std::string command = words.front();
    words.erase(words.begin());
    const auto simulatedStart = cli.d2xx.Now();
    const auto realStart = std::chrono::steady_clock::now();
    CliRun result = cli.run(command, std::move(words));
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    return {std::move(result), duration_cast<milliseconds>(cli.d2xx.Now() - simulatedStart),
            duration_cast<milliseconds>(std::chrono::steady_clock::now() - realStart)};
  }

  ScratchBackupFolder backups;
  TempDir dir;
};

TEST_P(RealBounds, StepLastingMostOfItsBoundSucceeds) {
  const BoundRow& row = GetParam();
  // Past half the bound (a halved bound fails it), and 40 % below it: the host's own pauses
  // count bound/kBoundInRealMs times over on the programmer's clock, and the margin is 400 ms
  // of them, room for a busy machine under a sanitizer.
  const std::uint32_t stepMs = row.boundMs / 10 * 6;
  const TimedRun run = this->run({{row.stepFault, std::to_string(stepMs)}});
  EXPECT_EQ(run.result.status, kExitOk) << run.result.out << run.result.err;
  // The step did last that long: the run is no quicker than it.
  EXPECT_GE(run.simulated.count(), stepMs);
}

TEST_P(RealBounds, SilentStepEndsOnItsRealBound) {
  const BoundRow& row = GetParam();
  const TimedRun run = this->run(row.silent);
  EXPECT_EQ(run.result.status, kExitFailed) << run.result.out << run.result.err;
  EXPECT_NE(run.result.out.find(row.silentLine + "\n"), std::string::npos) << run.result.out;
  // Given up no sooner than the bound, which passed on the sped-up clock: in real time the
  // run takes a small part of it, however slow the host.
  EXPECT_GE(run.simulated.count(), row.boundMs);
  EXPECT_LT(run.real.count(), row.boundMs / 2) << "the wait took its bound in real time";
}

INSTANTIATE_TEST_SUITE_P(Families, RealBounds, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<BoundRow>& param) { return param.param.name; });

}  // namespace
}  // namespace jig::test
