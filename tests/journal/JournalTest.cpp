// The journal itself: what a record keeps, how history filters and orders, the schema's
// migrations, and what a damaged, locked, read-only or shared file does to a record.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "journal/JobJournal.h"
#include "journal/Journal.h"
#include "journal/JournalFields.h"
#include "journal/JournalSchema.h"
#include "tests/support/JournalRecords.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::Record;
using test::WriteFileBytes;

struct ScratchJournal {
  test::TempDir dir;
  fs::path file = dir.path() / "holbrenik-jig" / kJournalName;
};

// One statement's first column as text; empty when it gives no row.
std::string Ask(const fs::path& file, const std::string& sql) {
  SqliteDb db(file.string(), false, 100);
  SqliteStatement statement = db.prepare(sql);
  return statement.step() ? statement.text(0) : std::string();
}

// A journal of the first schema, as the first program made it (WAL), with one job.
void MakeFirstSchemaFile(const fs::path& file) {
  fs::create_directories(file.parent_path());
  SqliteDb first(file.string(), true, 100);
  ASSERT_TRUE(first.prepare("PRAGMA journal_mode = WAL").run());
  ASSERT_TRUE(first.exec(std::string(JournalMigrations()[0])) && first.exec("PRAGMA user_version = 1"));
  ASSERT_TRUE(first.exec(
      "INSERT INTO jobs VALUES (1, '2026-01-02T03:04:05Z', '2026-01-02T03:04:09Z', 4000, 'ite', 'read', 1, 0, "
      "'', '', '', '', '/x.bin', 131072, 'abc', '', '', 'RESULT: ok', NULL, NULL, '4.91')"));
}

// Every file of a folder with its bytes (a -shm's only by name: readers mark it as they read).
std::map<std::string, std::vector<std::uint8_t>> FolderState(const fs::path& folder) {
  std::map<std::string, std::vector<std::uint8_t>> state;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    state[name] = name.ends_with("-shm") || fs::is_symlink(entry.symlink_status())
                      ? std::vector<std::uint8_t>{}
                      : ReadFileBytes(entry.path().string());
  }
  return state;
}

// A journal file (or its folder) nobody may write: its write bits taken off, and for root
// (whom modes do not stop) immutable; all undone when the test ends.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const fs::path& file) : file_(file), perms_(fs::status(file).permissions()) {
    fs::permissions(file_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (geteuid() != 0) {
      ok_ = true;
      return;
    }
    const int fd = open(file_.c_str(), O_RDONLY);
    int flags = 0;
    if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags |= FS_IMMUTABLE_FL;
      immutable_ = ok_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0) close(fd);
  }
  ~ReadOnlyFile() {
    if (immutable_) {
      const int fd = open(file_.c_str(), O_RDONLY);
      int flags = 0;
      if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ioctl(fd, FS_IOC_SETFLAGS, &flags);
      }
      if (fd >= 0) close(fd);
    }
    std::error_code ec;
    fs::permissions(file_, perms_, ec);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  bool ok() const { return ok_; }

 private:
  fs::path file_;
  fs::perms perms_;
  bool ok_ = false, immutable_ = false;
};

TEST(Journal, ARecordComesBackWithEveryField) {
  ScratchJournal scratch;
  JobRecord r = Record("npce", "write", 1'765'000'000, false, "T-4711");
  r.durationMs = 12345;
  r.chipTouched = true;
  r.chipId = "FC 0A";
  r.chipVersion = "V2";
  r.port = "/dev/ttyUSB0";
  r.firmware = "NPCE_V3";
  r.file = "/home/t/img.bin";
  r.fileSize = 196608;
  r.fileSha256 = std::string(64, 'a');
  r.backupPath = "/home/t/.local/share/holbrenik-jig/backups/npce-1.bin";
  r.backupSha256 = std::string(64, 'b');
  r.firstDifference = 0x11170;
  r.differingBytes = 1;
  Journal journal(scratch.file);
  ASSERT_TRUE(journal.ok()) << journal.error().text;
  const auto id = journal.record(r);
  ASSERT_TRUE(id);
  const auto back = journal.job(*id);
  ASSERT_TRUE(back);
  const JobRecord& b = back->record;
  EXPECT_EQ(std::tie(b.task, b.action, b.started, b.ended, b.durationMs, b.success, b.chipTouched),
            std::tie(r.task, r.action, r.started, r.ended, r.durationMs, r.success, r.chipTouched));
  EXPECT_EQ(std::tie(b.chipId, b.chipVersion, b.port, b.firmware, b.file, b.fileSize, b.fileSha256),
            std::tie(r.chipId, r.chipVersion, r.port, r.firmware, r.file, r.fileSize, r.fileSha256));
  EXPECT_EQ(std::tie(b.backupPath, b.backupSha256, b.verdict, b.label, b.firstDifference, b.differingBytes),
            std::tie(r.backupPath, r.backupSha256, r.verdict, r.label, r.firstDifference, r.differingBytes));
  EXPECT_EQ(b.programVersion, "4.92") << "the program's version is filled in";
  EXPECT_EQ(journal.jobsWithSha256(std::string(64, 'b')).size(), 1u) << "found by its backup's digest too";
  EXPECT_TRUE(journal.jobsWithSha256(std::string(64, 'c')).empty());
  // Without a steady-clock duration, the two times give it.
  const auto second = journal.record(Record("kb90", "read", 1'765'000'100, true));
  EXPECT_EQ(journal.job(*second)->record.durationMs, 3000);
}

TEST(Journal, HistoryIsNewestFirstAndFilters) {
  ScratchJournal scratch;
  Journal journal(scratch.file);
  const std::time_t day = 86400, base = 1'765'000'000 - 1'765'000'000 % day;
  ASSERT_TRUE(journal.recordAll({Record("kb90", "read", base + 10, true, "T-1"),
                                 Record("npce", "write", base + day + 10, false, "T-1 board 7"),
                                 Record("kb90", "write", base + 2 * day, false, "T-2"),
                                 Record("kb90", "read", base + 2 * day, true)}));
  struct Case {
    HistoryFilter filter;
    std::vector<std::int64_t> ids;
  };
  const Case cases[] = {
      {{}, {4, 3, 2, 1}},  // the two of one second: the later recorded first
      {{"kb90"}, {4, 3, 1}},
      {{"", "T-1"}, {2, 1}},
      {{"", "", UtcText(base + day)}, {4, 3, 2}},
      {{"", "", UtcText(base + day).substr(0, 10)}, {4, 3, 2}},
      {{"", "", "", true}, {3, 2}},
      {{"kb90", "", "", true}, {3}},
      {{"", "", "", false, 2}, {4, 3}},
      {{"ite"}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::int64_t> ids;
    for (const auto& entry : journal.history(c.filter)) ids.push_back(entry.id);
    EXPECT_EQ(ids, c.ids) << c.filter.task << "|" << c.filter.label << "|" << c.filter.since << "|" << c.filter.failedOnly;
  }
  EXPECT_FALSE(ParseUtcText("2026-13-01"));
  EXPECT_FALSE(ParseUtcText("2026-12-01T10:00"));
  EXPECT_EQ(ParseUtcText("1970-01-02"), std::optional<std::time_t>(86400));
  EXPECT_EQ(UtcText(*ParseUtcText("2026-12-10T06:42:56Z")), "2026-12-10T06:42:56Z");
}

// How a job ended, kept beside success: a job called off is neither ok nor failed, "failed
// only" leaves it out, and its fields and table word say so. A row written by a program of
// the second schema (success alone) reads as ok or failed.
TEST(Journal, ACalledOffJobIsKeptAsCancelled) {
  ScratchJournal scratch;
  fs::create_directories(scratch.file.parent_path());
  {
    SqliteDb second(scratch.file.string(), true, 100);
    ASSERT_TRUE(second.exec(std::string(JournalMigrations()[0])) && second.exec(std::string(JournalMigrations()[1])) &&
                second.exec("PRAGMA user_version = 2"));
    for (const char* success : {"1", "0"})
      ASSERT_TRUE(second.exec(std::string("INSERT INTO jobs (started, ended, duration_ms, task, action, success, "
                                          "chip_touched, chip_id, chip_version, port, firmware, file, file_size, "
                                          "file_sha256, backup_path, backup_sha256, verdict, program_version) VALUES "
                                          "('2026-01-02T03:04:05Z', '2026-01-02T03:04:09Z', 4000, 'ite', 'read', ") +
                              success + ", 0, '', '', '', '', '', 0, '', '', '', 'RESULT', '4.91')"));
  }
  Journal journal(scratch.file);
  ASSERT_TRUE(journal.ok()) << journal.error().text;
  JobRecord cancelled = Record("kb90", "write", 1'765'000'300, false);
  cancelled.cancelled = true;
  ASSERT_TRUE(journal.recordAll({Record("kb90", "read", 1'765'000'100, true), Record("kb90", "write", 1'765'000'200, false),
                                 cancelled}));
  struct Case {
    std::int64_t id;
    JobOutcome outcome;
    const char* word;
  };
  for (const Case& c : {Case{1, JobOutcome::Ok, "ok"}, Case{2, JobOutcome::Failed, "FAILED"},
                        Case{3, JobOutcome::Ok, "ok"}, Case{4, JobOutcome::Failed, "FAILED"},
                        Case{5, JobOutcome::Cancelled, "cancelled"}}) {
    const auto entry = journal.job(c.id);
    ASSERT_TRUE(entry) << c.id;
    EXPECT_EQ(OutcomeOf(entry->record), c.outcome) << c.id;
    EXPECT_EQ(std::string(ResultText(entry->record)), c.word) << c.id;
    const auto fields = JournalFields(*entry);
    EXPECT_EQ(JournalFieldValue(fields, "outcome"), OutcomeName(c.outcome)) << c.id;
    EXPECT_EQ(JournalFieldValue(fields, "success"), c.outcome == JobOutcome::Ok ? "true" : "false") << c.id;
  }
  std::vector<std::int64_t> failed;
  for (const auto& entry : journal.history({.failedOnly = true})) failed.push_back(entry.id);
  EXPECT_EQ(failed, (std::vector<std::int64_t>{2, 4}));  // newest first: the old rows are of 2026
  // What an older program reading the file sees: success alone, 0 for the job called off.
  SqliteDb raw(scratch.file.string(), false, 100);
  SqliteStatement select = raw.prepare("SELECT success, outcome FROM jobs WHERE id = 5");
  ASSERT_TRUE(select.step());
  EXPECT_EQ(select.integer(0), 0);
  EXPECT_EQ(select.text(1), "cancelled");
}

// A file of the first schema, with a job in it, opened by this program: brought to the newest
// version, the job kept, the new columns empty, the backups table there.
TEST(Journal, AFileOfTheFirstSchemaIsMigratedAndKeepsItsJobs) {
  ScratchJournal scratch;
  fs::create_directories(scratch.file.parent_path());
  {
    SqliteDb first(scratch.file.string(), true, 100);
    ASSERT_TRUE(first.exec(std::string(JournalMigrations()[0])) && first.exec("PRAGMA user_version = 1"));
    ASSERT_TRUE(first.exec(
        "INSERT INTO jobs VALUES (1, '2026-01-02T03:04:05Z', '2026-01-02T03:04:09Z', 4000, 'ite', 'read', 1, 0, "
        "'', '', '', '', '/x.bin', 131072, 'abc', '', '', 'RESULT: ok', NULL, NULL, '4.91')"));
  }
  Journal journal(scratch.file);
  ASSERT_TRUE(journal.ok()) << journal.error().text;
  EXPECT_EQ(journal.schemaVersion(), JournalSchemaVersion());
  EXPECT_GE(JournalSchemaVersion(), 2);
  const auto old = journal.job(1);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->record.file, "/x.bin");
  EXPECT_EQ(old->record.started, *ParseUtcText("2026-01-02T03:04:05Z"));
  EXPECT_EQ(old->record.label, "");
  EXPECT_TRUE(journal.rememberBackup({"/b/ite-1.bin", "abc", 5, "ite"}));

  // A file from a newer program is refused, and left as it was.
  { SqliteDb newer(scratch.file.string(), false, 100); ASSERT_TRUE(newer.exec("PRAGMA user_version = 99")); }
  Journal refused(scratch.file);
  EXPECT_FALSE(refused.ok());
  EXPECT_NE(refused.error().text.find("newer"), std::string::npos) << refused.error().text;
  EXPECT_EQ(refused.schemaVersion(), 99);
}

// A migration step that fails partway (a file of the first schema that already holds a
// table the second step makes) is undone whole: the file stays at version 1 without the
// label column the step added first, and the error says which step failed.
TEST(Journal, AMigrationStepThatFailsPartwayLeavesTheFileAsItWas) {
  ScratchJournal scratch;
  MakeFirstSchemaFile(scratch.file);
  { SqliteDb db(scratch.file.string(), false, 100); ASSERT_TRUE(db.exec("CREATE TABLE backups (x)")); }
  Journal journal(scratch.file);
  EXPECT_FALSE(journal.ok());
  EXPECT_EQ(journal.error().text,
            "the journal could not be brought from schema 1 to 2 (table backups already exists); it is left at "
            "schema 1");
  EXPECT_EQ(Ask(scratch.file, "PRAGMA user_version"), "1");
  EXPECT_EQ(Ask(scratch.file, "SELECT count(*) FROM pragma_table_info('jobs') WHERE name = 'label'"), "0");
  EXPECT_EQ(Ask(scratch.file, "SELECT count(*) FROM sqlite_master WHERE name = 'jobs_backup_sha256'"), "0");
  EXPECT_EQ(Ask(scratch.file, "SELECT file FROM jobs WHERE id = 1"), "/x.bin");
}

// Programs opening one file of the first schema at the same moment (each waits at a pipe
// until all are there): every one ends with the newest version and one set of tables.
TEST(Journal, ProgramsOpeningOneOldFileAtOnceAllBringItUpToDate) {
  constexpr int kRounds = 8, kPrograms = 3;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    ScratchJournal scratch;
    MakeFirstSchemaFile(scratch.file);
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int program = 0; program < kPrograms; ++program) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        char byte = 1;
        if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1) _exit(2);
        Journal journal(scratch.file);
        _exit(journal.ok() && journal.schemaVersion() == JournalSchemaVersion() ? 0 : 1);
      }
      children.push_back(pid);
    }
    char byte = 0;
    for (int program = 0; program < kPrograms; ++program) ASSERT_EQ(read(ready[0], &byte, 1), 1);
    const std::string all(kPrograms, 'g');
    ASSERT_EQ(write(go[1], all.data(), all.size()), static_cast<ssize_t>(all.size()));
    for (const pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a program could not open the journal";
    }
    for (int end : {ready[0], ready[1], go[0], go[1]}) close(end);
    EXPECT_EQ(Ask(scratch.file, "PRAGMA user_version"), std::to_string(JournalSchemaVersion()));
    EXPECT_EQ(Ask(scratch.file, "SELECT count(*) FROM sqlite_master WHERE name IN ('jobs', 'backups')"), "2");
    EXPECT_EQ(Ask(scratch.file, "SELECT count(*) FROM pragma_table_info('jobs') WHERE name = 'label'"), "1");
  }
}

// What the history, show and info read through: whatever state the file is in, the folder
// holds the same files with the same bytes afterwards (nothing moved aside, made, migrated
// or switched to WAL), and what can be read is.
TEST(JobJournal, OpeningToReadChangesNothing) {
  enum class Kind { Healthy, Damaged, FirstSchema, ReadOnlyFolder, WriterAtWork, LinkToAnotherDatabase };
  struct Case {
    const char* name;
    Kind kind;
    std::size_t jobs;     // SIZE_MAX: cannot be read
    const char* problem;  // part of the reason when it cannot be read
    const char* folder = "holbrenik-jig";
  };
  const Case cases[] = {{"healthy", Kind::Healthy, 2, ""},
                        {"damaged", Kind::Damaged, SIZE_MAX, "damaged: file is not a database"},
                        {"first schema", Kind::FirstSchema, 1, ""},
                        {"a folder named with ? # %", Kind::Healthy, 2, "", "a?b#c%41 d"},
                        {"a writer at work", Kind::WriterAtWork, 2, ""},
                        {"a link", Kind::LinkToAnotherDatabase, SIZE_MAX, "symbolic link"},
                        // Last: where a folder cannot be made read-only, the test ends here.
                        {"read-only folder", Kind::ReadOnlyFolder, 2, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchJournal scratch;
    scratch.file = scratch.dir.path() / c.folder / kJournalName;
    const fs::path folder = scratch.file.parent_path();
    fs::create_directories(folder);
    std::optional<SqliteDb> writer;
    const fs::path other = scratch.dir.path() / "other.sqlite";
    switch (c.kind) {
      case Kind::Healthy:
      case Kind::ReadOnlyFolder:
      case Kind::WriterAtWork:
        ASSERT_TRUE(RecordJob(Record("kb90", "read", 100, true), LogLanguage::English, scratch.file).empty());
        ASSERT_TRUE(RecordJob(Record("kb90", "write", 200, true), LogLanguage::English, scratch.file).empty());
        if (c.kind == Kind::WriterAtWork) {
          writer.emplace(scratch.file.string(), false, 100);
          ASSERT_TRUE(writer->exec("CREATE TEMP TABLE t (x); SELECT count(*) FROM jobs"));
          ASSERT_TRUE(fs::exists(scratch.file.string() + "-wal"));
        }
        break;
      case Kind::Damaged:
        WriteFileBytes(scratch.file.string(), std::vector<std::uint8_t>(8192, 0xA5));
        break;
      case Kind::FirstSchema:
        MakeFirstSchemaFile(scratch.file);
        break;
      case Kind::LinkToAnotherDatabase: {
        SqliteDb another(other.string(), true, 100);
        ASSERT_TRUE(another.exec("CREATE TABLE notes (x); INSERT INTO notes VALUES (1)"));
        fs::create_symlink(other, scratch.file);
        break;
      }
    }
    const auto before = FolderState(folder);
    const auto otherBefore = fs::exists(other) ? ReadFileBytes(other.string()) : std::vector<std::uint8_t>{};
    std::optional<ReadOnlyFile> readOnly;
    if (c.kind == Kind::ReadOnlyFolder) {
      readOnly.emplace(folder);
      if (!readOnly->ok()) GTEST_SKIP() << "this file system cannot make a folder read-only for root";
    }
    {
      const JournalToRead read = OpenJournalToRead(scratch.file, LogLanguage::English);
      EXPECT_FALSE(read.missing);
      EXPECT_TRUE(read.lines.empty()) << read.lines.front();
      if (c.jobs == SIZE_MAX) {
        EXPECT_EQ(read.journal, nullptr);
        EXPECT_NE(read.problem.find(c.problem), std::string::npos) << read.problem;
      } else {
        ASSERT_NE(read.journal, nullptr) << read.problem;
        EXPECT_EQ(read.journal->history({}).size(), c.jobs);
        EXPECT_FALSE(read.journal->error()) << read.journal->error().text;
      }
    }
    readOnly.reset();
    EXPECT_EQ(FolderState(folder), before);
    if (fs::exists(other)) {
      EXPECT_EQ(ReadFileBytes(other.string()), otherBefore) << "the other program's file is not touched";
      EXPECT_FALSE(fs::exists(other.string() + "-wal"));
    }
  }
}

// A journal that is a link (to another program's database, say) is never followed by a
// job: one line, and the other file gets no table and no WAL.
TEST(JobJournal, AJournalThatIsALinkIsNotFollowed) {
  ScratchJournal scratch;
  fs::create_directories(scratch.file.parent_path());
  const fs::path other = scratch.dir.path() / "other.sqlite";
  { SqliteDb another(other.string(), true, 100); ASSERT_TRUE(another.exec("CREATE TABLE notes (x)")); }
  const auto otherBefore = ReadFileBytes(other.string());
  fs::create_symlink(other, scratch.file);
  const auto lines = RecordJob(Record("kb90", "read", 100, true), LogLanguage::English, scratch.file);
  EXPECT_EQ(lines, std::vector<std::string>{"The job journal " + scratch.file.string() +
                                            " is a symbolic link, which is not followed."});
  EXPECT_EQ(ReadFileBytes(other.string()), otherBefore);
  EXPECT_FALSE(fs::exists(other.string() + "-wal"));
  EXPECT_TRUE(fs::is_symlink(scratch.file));
  EXPECT_EQ(PendingRecords(), 0u);
}

// Paths go on record absolute and in one spelling, whatever folder the job ran in; the end
// of a program whose journal stayed locked names the backups that are not on record.
TEST(JobJournal, PathsAreRecordedAbsoluteAndDroppedBackupsAreNamed) {
  ScratchJournal scratch;
  JobRecord relative = Record("kb90", "write", 100, true);
  relative.file = "dumps/./a.bin";
  relative.backupPath = "b/../backups/kb90-1.bin";
  ASSERT_TRUE(RecordJob(relative, LogLanguage::English, scratch.file).empty());
  const auto recorded = Journal(scratch.file, false).job(1);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->record.file, (fs::current_path() / "dumps/a.bin").string());
  EXPECT_EQ(recorded->record.backupPath, (fs::current_path() / "backups/kb90-1.bin").string());

  SqliteDb holder(scratch.file.string(), false, 100);
  ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE"));
  JobRecord withBackup = Record("npce", "write", 200, true);
  withBackup.backupPath = "/data/backups/npce-2.bin";
  EXPECT_EQ(RecordJob(withBackup, LogLanguage::English, scratch.file).size(), 1u);
  EXPECT_EQ(RecordJob(Record("npce", "read", 300, true), LogLanguage::English, scratch.file).size(), 1u);
  EXPECT_EQ(FlushPendingRecords(scratch.file),
            "2 job record(s) could not be put on the job journal (database is locked) and are dropped. The backups "
            "made meanwhile are not on record and will never be removed to make room: /data/backups/npce-2.bin.");
}

// The journal's troubles never reach the job: each gives lines and the record waits (or a
// damaged file is moved aside, kept, and a new one takes the record).
TEST(JobJournal, ADamagedFileIsMovedAsideAndANewOneTakesTheRecord) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> content;  // empty: a truncated real journal
  };
  const Case cases[] = {{"garbage", std::vector<std::uint8_t>(8192, 0xA5)}, {"truncated", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchJournal scratch;
    if (c.content.empty()) {
      ASSERT_TRUE(RecordJob(Record("kb90", "read", 100, true), LogLanguage::English, scratch.file).empty());
      for (int i = 0; i < 50; ++i) RecordJob(Record("kb90", "read", 100 + i, true), LogLanguage::English, scratch.file);
      { SqliteDb db(scratch.file.string(), false, 100); db.exec("PRAGMA wal_checkpoint(TRUNCATE)"); }
      auto bytes = ReadFileBytes(scratch.file.string());
      bytes.resize(bytes.size() / 2);
      bytes[100] ^= 0xFF;  // the header's own fields no longer add up
      WriteFileBytes(scratch.file.string(), bytes);
    } else {
      fs::create_directories(scratch.file.parent_path());
      WriteFileBytes(scratch.file.string(), c.content);
    }
    const auto damaged = ReadFileBytes(scratch.file.string());
    const auto lines = RecordJob(Record("npce", "write", 500, false), LogLanguage::Russian, scratch.file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Журнал работ повреждён")) << lines[0];
    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(scratch.file.parent_path()))
      if (entry.path().filename().string().starts_with("journal.sqlite3.corrupt-") &&
          !entry.path().filename().string().ends_with("-wal") && !entry.path().filename().string().ends_with("-shm"))
        aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(aside[0].string()), damaged) << "the damaged file is kept as it was";
    EXPECT_NE(lines[0].find(aside[0].string()), std::string::npos) << lines[0];
    Journal fresh(scratch.file, false);
    const auto jobs = fresh.history({});
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].record.task, "npce");
    EXPECT_EQ(PendingRecords(), 0u);
  }
}

// A damaged journal in a folder where it cannot be moved aside: said so, and the record
// waits for the next job instead of going anywhere else.
TEST(JobJournal, ADamagedJournalThatCannotBeMovedAsideKeepsTheRecord) {
  ScratchJournal scratch;
  fs::create_directories(scratch.file.parent_path());
  WriteFileBytes(scratch.file.string(), std::vector<std::uint8_t>(8192, 0xA5));
  {
    ReadOnlyFile readOnly(scratch.file.parent_path());
    if (!readOnly.ok()) GTEST_SKIP() << "this file system cannot make a folder read-only for root";
    const auto lines = RecordJob(Record("npce", "write", 500, false), LogLanguage::English, scratch.file);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "The job journal " + scratch.file.string() +
                            " is damaged (file is not a database) and could not be moved aside.");
    EXPECT_EQ(lines[1], "The job journal could not be written (file is not a database); the record is kept for "
                        "the next job.");
    EXPECT_EQ(PendingRecords(), 1u);
  }
  EXPECT_EQ(RecordJob(Record("kb90", "read", 600, true), LogLanguage::English, scratch.file).size(), 1u)
      << "moved aside now";
  EXPECT_EQ(PendingRecords(), 0u);
  EXPECT_EQ(Journal(scratch.file, false).history({}).size(), 2u);
}

TEST(JobJournal, AReadOnlyJournalKeepsTheRecordForTheNextJob) {
  ScratchJournal scratch;
  ASSERT_TRUE(RecordJob(Record("kb90", "read", 100, true), LogLanguage::English, scratch.file).empty());
  { SqliteDb db(scratch.file.string(), false, 100); db.exec("PRAGMA journal_mode = DELETE"); }
  {
    ReadOnlyFile readOnly(scratch.file);
    if (!readOnly.ok()) GTEST_SKIP() << "this file system cannot make a file read-only for root";
    const auto lines = RecordJob(Record("kb90", "write", 200, true), LogLanguage::English, scratch.file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("The job journal could not be written (")) << lines[0];
    EXPECT_NE(lines[0].find("readonly"), std::string::npos) << lines[0];
    EXPECT_EQ(PendingRecords(), 1u);
  }
  EXPECT_TRUE(RecordJob(Record("kb90", "erase", 300, true), LogLanguage::English, scratch.file).empty());
  EXPECT_EQ(PendingRecords(), 0u);
  EXPECT_EQ(Journal(scratch.file, false).history({}).size(), 3u);
}

TEST(JobJournal, ALockedJournalKeepsTheRecordForTheNextJob) {
  ScratchJournal scratch;
  ASSERT_TRUE(RecordJob(Record("kb90", "read", 100, true), LogLanguage::English, scratch.file).empty());
  {
    SqliteDb holder(scratch.file.string(), false, 100);
    ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE"));
    const auto started = std::chrono::steady_clock::now();
    const auto lines = RecordJob(Record("kb90", "write", 200, true), LogLanguage::English, scratch.file);
    const auto waited = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("The job journal could not be written (database is locked)")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("the record is kept for the next job.")) << lines[0];
    EXPECT_EQ(PendingRecords(), 1u);
    EXPECT_LT(waited, std::chrono::milliseconds(kJournalBusyMs + 3000)) << "the wait for the lock is bounded";
    holder.exec("ROLLBACK");
  }
  EXPECT_TRUE(RecordJob(Record("kb90", "erase", 300, true), LogLanguage::English, scratch.file).empty());
  EXPECT_EQ(PendingRecords(), 0u);
  Journal journal(scratch.file, false);
  std::vector<std::string> actions;
  for (const auto& entry : journal.history({})) actions.push_back(entry.record.action);
  EXPECT_EQ(actions, (std::vector<std::string>{"erase", "write", "read"}));

  // The program ends with the journal still locked: the waiting record is dropped, and said so.
  SqliteDb holder(scratch.file.string(), false, 100);
  ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE"));
  EXPECT_EQ(RecordJob(Record("ite", "read", 400, true), LogLanguage::English, scratch.file).size(), 1u);
  EXPECT_EQ(FlushPendingRecords(scratch.file),
            "1 job record(s) could not be put on the job journal (database is locked) and are dropped.");
  EXPECT_EQ(PendingRecords(), 0u);
  EXPECT_EQ(FlushPendingRecords(scratch.file), "") << "nothing left to say";
}

// Two programs on two ports, each recording a thousand jobs at once: none is lost.
TEST(JobJournal, TwoProgramsWritingAtOnceLoseNoRecord) {
  ScratchJournal scratch;
  ASSERT_TRUE(RecordJob(Record("kb90", "read", 1, true), LogLanguage::English, scratch.file).empty());
  constexpr int kEach = 1000;
  std::vector<pid_t> children;
  for (int program = 0; program < 2; ++program) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failed = 0;
      for (int i = 0; i < kEach; ++i)
        if (!RecordJob(Record(program ? "npce" : "ite", "read", 1000 + i, true), LogLanguage::English, scratch.file)
                 .empty())
          ++failed;
      // A record that waited went in with the next one; only the last can still wait.
      _exit(PendingRecords() == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a record is still waiting in a program";
  }
  Journal journal(scratch.file, false);
  EXPECT_EQ(journal.history({"ite"}).size(), static_cast<std::size_t>(kEach));
  EXPECT_EQ(journal.history({"npce"}).size(), static_cast<std::size_t>(kEach));
}

}  // namespace
}  // namespace jig
