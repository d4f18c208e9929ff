// `history` on the command line over a journal the test fills: the table and CSV it prints
// from the journal's fields, and what it says of a journal that is not there or is damaged.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "journal/Journal.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafety.h"
#include "tests/support/JournalRecords.h"

namespace jig::test {
namespace {

constexpr std::time_t kBase = 1796000000;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(HistoryCli, PrintsTheJournalsJobsAsTableAndCsv) {
  ScratchBackupFolder home;
  {
    JobRecord write = Record("kb90", "write", kBase + 20, false, "T-12");
    write.file = "/bench/b.bin";
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.recordAll({Record("kb90", "read", kBase, true, "T-1"), write, Record("edid", "read", kBase + 10, true)}));
  }
  sim::SimD2xx d2xx;
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> lines;  // after the header
  };
  const Case cases[] = {
      {{"history"},
       {"     2  2026-11-30T00:53:40Z  kb90      write       FAILED  [T-12] /bench/b.bin",
        "     3  2026-11-30T00:53:30Z  edid      read        ok      ",
        "     1  2026-11-30T00:53:20Z  kb90      read        ok      [T-1] "}},
      {{"history", "--task", "kb90", "--failed"},
       {"     2  2026-11-30T00:53:40Z  kb90      write       FAILED  [T-12] /bench/b.bin"}},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCli(d2xx, c.words);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    auto lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().substr(0, 20), "    ID  STARTED (UTC");
    lines.erase(lines.begin());
    EXPECT_EQ(lines, c.lines);
  }
  const CliRun csv = RunCli(d2xx, {"history", "--csv", "--task", "edid"});
  const auto rows = Lines(csv.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].rfind("id,started,ended,duration_ms,task,action,success,", 0), 0u) << rows[0];
  EXPECT_EQ(rows[1].rfind("3,2026-11-30T00:53:30Z,2026-11-30T00:53:33Z,", 0), 0u) << rows[1];
}

// A job called off: "cancelled" in the table, left out by --failed, its outcome in JSON and CSV.
TEST(HistoryCli, ACalledOffJobIsCancelledNotFailed) {
  ScratchBackupFolder home;
  {
    JobRecord cancelled = Record("npce", "write", kBase + 10, false, "T-3");
    cancelled.cancelled = true;
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.recordAll({Record("npce", "write", kBase, false, "T-2"), cancelled}));
  }
  sim::SimD2xx d2xx;
  auto table = Lines(RunCli(d2xx, {"history"}).out);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[1].substr(0, 56), "     2  2026-11-30T00:53:30Z  npce      write       canc");
  EXPECT_NE(table[1].find(" cancelled "), std::string::npos) << table[1];
  EXPECT_NE(table[2].find(" FAILED "), std::string::npos) << table[2];
  const auto failed = Lines(RunCli(d2xx, {"history", "--failed"}).out);
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[1].substr(0, 6), "     1");
  const std::string json = RunCli(d2xx, {"history", "--json"}).out;
  EXPECT_NE(json.find(R"("outcome": "cancelled")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("outcome": "failed")"), std::string::npos) << json;
  const auto csv = Lines(RunCli(d2xx, {"history", "--csv"}).out);
  ASSERT_EQ(csv.size(), 3u);
  EXPECT_EQ(csv[0].rfind("id,started,ended,duration_ms,task,action,success,outcome,", 0), 0u) << csv[0];
  EXPECT_NE(csv[1].find(",false,cancelled,"), std::string::npos) << csv[1];
}

TEST(HistoryCli, SaysWhenThereIsNoJournalAndWhenItCannotBeRead) {
  ScratchBackupFolder home;
  sim::SimD2xx d2xx;
  const CliRun none = RunCli(d2xx, {"history"});
  EXPECT_EQ(none.status, kExitOk);
  EXPECT_EQ(none.out, "The job journal " + JournalFile().string() + " holds no jobs yet.\n");

  std::filesystem::create_directories(JournalFile().parent_path());
  WriteFileBytes(JournalFile().string(), std::vector<std::uint8_t>(8192, 'x'));
  const CliRun damaged = RunCli(d2xx, {"history"});
  EXPECT_EQ(damaged.status, kExitFailed);
  EXPECT_NE(damaged.err.find("The job journal " + JournalFile().string() + " cannot be read ("), std::string::npos)
      << damaged.err;
}

}  // namespace
}  // namespace jig::test
