// The journal as a technician meets it on the command line: a job goes on record with what
// it did and its label, history and info find it, and a journal in any trouble leaves the
// job itself, its file and its verdict exactly as they would be without it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "files/Sha256.h"
#include "journal/JobJournal.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafety.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using test::CliRun;

class JournalCli : public ::testing::Test {
 protected:
  // A command as the program runs it, the global --label included.
  CliRun run(std::vector<std::string> words, const std::string& label = {}) {
    std::ostringstream out, err;
    const int status = RunCommand(cli.d2xx, words, SharedAnswers{false, false, true, label}, out, err);
    CliRun result{status, out.str(), err.str()};
    test::TakeVerdict(result);
    SetDefaultJobLabel({});
    return result;
  }
  CliRun read(const std::string& name, const std::string& label = {}) {
    return run({"kb90", "read", dir.file(name)}, label);
  }

  test::ScratchBackupFolder data;
  test::TempDir dir;
  test::SimCli cli{sim::SimOptions{"V41"}};
};

TEST_F(JournalCli, AReadGoesOnRecordAndHistoryAndInfoFindIt) {
  const CliRun first = read("a.bin", "T-4711");
  ASSERT_EQ(first.status, kExitOk) << first.out << first.err;
  const CliRun second = read("b.bin");
  ASSERT_EQ(second.status, kExitOk);

  Journal journal(JournalFile(), false);
  const auto jobs = journal.history({});
  ASSERT_EQ(jobs.size(), 2u);
  const JobRecord& r = jobs[1].record;  // newest first: the labelled one is second
  const auto bytes = test::ReadFileBytes(dir.file("a.bin"));
  EXPECT_EQ(r.task + "|" + r.action + "|" + r.label + "|" + r.file, "kb90|read|T-4711|" + dir.file("a.bin"));
  EXPECT_EQ(r.fileSize, bytes.size());
  EXPECT_EQ(r.fileSha256, Sha256Hex(bytes));
  EXPECT_TRUE(r.success);
  EXPECT_EQ(r.verdict, first.verdict) << "the journal keeps the line the job ended with";
  EXPECT_EQ(r.port, "simulated programmer");
  EXPECT_FALSE(r.firmware.empty());
  EXPECT_EQ(r.chipId, "debug version 48");
  EXPECT_GE(r.durationMs, 0);
  EXPECT_EQ(jobs[0].record.label, "") << "a label belongs to the command it was given with";

  struct Case {
    std::vector<std::string> words;
    std::string label;
    int status;
    std::vector<std::string> wanted, unwanted;
  };
  test::WriteFileBytes(dir.file("empty.bin"), {});
  const std::string id = std::to_string(jobs[1].id);
  const std::string sha = Sha256Hex(bytes);
  const Case cases[] = {
      {{"history"}, "", kExitOk, {"ID", "kb90", "[T-4711] " + dir.file("a.bin"), dir.file("b.bin")}, {}},
      {{"history"}, "T-47", kExitOk, {dir.file("a.bin")}, {dir.file("b.bin")}},
      {{"history", "--task", "npce"}, "", kExitOk, {"ID"}, {dir.file("a.bin")}},
      {{"history", "--failed"}, "", kExitOk, {}, {dir.file("a.bin")}},
      {{"history", "--since", "2000-01-01"}, "", kExitOk, {dir.file("a.bin"), dir.file("b.bin")}, {}},
      {{"history", "--json"}, "", kExitOk, {"\"label\": \"T-4711\"", "\"success\": true", "\"file_sha256\": \"" + sha}, {}},
      {{"history", "--csv"}, "", kExitOk, {"id,started,ended,duration_ms,task,action,success", ",T-4711,"}, {}},
      {{"history", "show", id}, "", kExitOk, {"label:           T-4711", "chip_id:         debug version 48"}, {}},
      {{"info", dir.file("a.bin")}, "", kExitOk, {"SHA-256: " + sha, "Size:    131072 bytes", dir.file("a.bin")}, {}},
      {{"history", "--since", "yesterday"}, "", kExitUsage, {}, {}},
      {{"history", "show", "x"}, "", kExitUsage, {}, {}},
      {{"history", "show", "9999"}, "", kExitFailed, {}, {}},
      {{"history", "--json", "--csv"}, "", kExitUsage, {}, {}},
      {{"info", dir.file("missing.bin")}, "", kExitUsage, {}, {}},
      {{"info", dir.file("empty.bin")}, "", kExitOk, {"Size:    0 bytes", "Content: Warning: the dump is empty (0 bytes)."},
       {"real data"}},
  };
  for (const Case& c : cases) {
    std::string words;
    for (const auto& w : c.words) words += w + " ";
    SCOPED_TRACE(words + "--label " + c.label);
    const CliRun got = run(c.words, c.label);
    EXPECT_EQ(got.status, c.status) << got.out << got.err;
    for (const auto& text : c.wanted) EXPECT_NE(got.out.find(text), std::string::npos) << text << "\n" << got.out;
    for (const auto& text : c.unwanted) EXPECT_EQ(got.out.find(text), std::string::npos) << text << "\n" << got.out;
  }
}

// The jobs that are not flash jobs go on record too: a firmware switch that took place (one
// that found the firmware fitting is no switch), and a keyboard scan with what it lit.
TEST_F(JournalCli, AFirmwareSwitchAndAKeyboardScanGoOnRecord) {
  // The keyboard test runs on the firmware the programmer has: no switch before the scan.
  const CliRun scan = run({"keyboard", "scan", "--seconds", "1", "--no-sound"}, "board 3");
  ASSERT_EQ(scan.status, kExitOk) << scan.out << scan.err;
  ASSERT_EQ(Journal(JournalFile(), false).history({}).size(), 1u);
  // The firmware images are looked for in the current folder: the build's.
  const fs::path previous = fs::current_path();
  fs::current_path(JIG_BINARY_DIR);
  const CliRun switching = run({"switch", "MEC1609"});
  fs::current_path(previous);
  ASSERT_EQ(switching.status, kExitOk) << switching.out << switching.err;
  const auto jobs = Journal(JournalFile(), false).history({});
  ASSERT_EQ(jobs.size(), 2u);
  const JobRecord& scanned = jobs[jobs[0].record.action == "scan" ? 0 : 1].record;
  const JobRecord& switched = jobs[jobs[0].record.action == "switch" ? 0 : 1].record;
  EXPECT_EQ(scanned.task, "keyboard");
  EXPECT_TRUE(scanned.success);
  EXPECT_EQ(scanned.label, "board 3");
  EXPECT_TRUE(scanned.verdict.starts_with("stopped by the technician; ")) << scanned.verdict;
  EXPECT_EQ(switched.task, "MEC1609");
  EXPECT_TRUE(switched.success);
  EXPECT_EQ(switched.firmware, "V41") << "what ran before the switch";
}

// Each trouble of the journal file; the same read against it must end as a clean one does.
enum class Trouble { Garbage, Truncated, ReadOnly, Locked };

class JournalTrouble : public JournalCli, public ::testing::WithParamInterface<Trouble> {};

TEST_P(JournalTrouble, LeavesTheJobAndItsVerdictAsTheyAre) {
  const CliRun clean = read("clean.bin");
  ASSERT_EQ(clean.status, kExitOk);
  const fs::path file = JournalFile();
  std::optional<SqliteDb> holder;
  int immutable = -1;
  switch (GetParam()) {
    case Trouble::Garbage:
      test::WriteFileBytes(file.string(), std::vector<std::uint8_t>(4096, 0x5A));
      fs::remove(fs::path(file.string() + "-wal"));
      break;
    case Trouble::Truncated: {
      { SqliteDb db(file.string(), false, 100); db.exec("PRAGMA wal_checkpoint(TRUNCATE)"); }
      auto bytes = test::ReadFileBytes(file.string());
      bytes.resize(bytes.size() / 3);
      bytes[28] ^= 0x7F;  // the header's page count no longer fits the file
      test::WriteFileBytes(file.string(), bytes);
      break;
    }
    case Trouble::ReadOnly: {
      { SqliteDb db(file.string(), false, 100); db.exec("PRAGMA journal_mode = DELETE"); }
      fs::permissions(file, fs::perms::owner_read);
      immutable = open(file.c_str(), O_RDONLY);
      int flags = 0;
      if (geteuid() == 0 && (ioctl(immutable, FS_IOC_GETFLAGS, &flags) != 0 ||
                             (flags |= FS_IMMUTABLE_FL, ioctl(immutable, FS_IOC_SETFLAGS, &flags) != 0))) {
        close(immutable);
        GTEST_SKIP() << "this file system cannot make a file read-only for root";
      }
      break;
    }
    case Trouble::Locked:
      holder.emplace(file.string(), false, 100);
      ASSERT_TRUE(holder->exec("BEGIN EXCLUSIVE"));
      break;
  }
  const CliRun troubled = read("troubled.bin");
  if (immutable >= 0) {
    int flags = 0;
    if (ioctl(immutable, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(immutable, FS_IOC_SETFLAGS, &flags);
    }
    close(immutable);
  }
  holder.reset();
  EXPECT_EQ(troubled.status, clean.status) << troubled.out << troubled.err;
  EXPECT_EQ(troubled.verdict, std::string(clean.verdict).replace(clean.verdict.find("clean.bin"), 9, "troubled.bin"));
  EXPECT_EQ(test::ReadFileBytes(dir.file("troubled.bin")), test::ReadFileBytes(dir.file("clean.bin")));
  EXPECT_NE(troubled.out.find("job journal"), std::string::npos) << "one line tells what became of the record\n"
                                                                  << troubled.out;
}

std::string TroubleName(const ::testing::TestParamInfo<Trouble>& trouble) {
  constexpr const char* kNames[] = {"Garbage", "Truncated", "ReadOnly", "Locked"};
  return kNames[static_cast<int>(trouble.param)];
}

INSTANTIATE_TEST_SUITE_P(Journal, JournalTrouble,
                         ::testing::Values(Trouble::Garbage, Trouble::Truncated, Trouble::ReadOnly, Trouble::Locked),
                         TroubleName);

}  // namespace
}  // namespace jig
