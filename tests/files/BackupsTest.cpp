// The backups before a write: their names and digests, the folder they go to, and the
// rotation that keeps the newest: by the order they were made (the folder's record), never
// by what a clock or a time zone wrote into their names, never the one just made, and never
// a file the program did not make.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/Backups.h"
#include "files/PlatformFiles.h"
#include "files/Sha256.h"
#include "journal/Journal.h"
#include "tests/support/Environment.h"
#include "tests/support/FileSafety.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

// A distinct small image per number: each backup has a name and a digest of its own.
std::vector<std::uint8_t> Image(std::size_t number) {
  std::vector<std::uint8_t> bytes(64, 0x5A);
  for (std::size_t i = 0; i < sizeof number; ++i) bytes[i] = static_cast<std::uint8_t>(number >> (8 * i));
  return bytes;
}

// Sets a variable of the environment (the time zone is read again) until the object goes.
class ScopedVariable {
 public:
  ScopedVariable(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    test::SetEnvironment(name_, value);
    tzset();
  }
  ~ScopedVariable() {
    test::SetEnvironment(name_, old_);
    tzset();
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

std::string Name(const std::string& path) { return fs::path(path).filename().string(); }

// A backups folder of a scratch data home: the journal that keeps its backups lies beside it.
struct ScratchBackups {
  test::TempDir dir;
  fs::path folder = dir.path() / "holbrenik-jig" / "backups";
  std::string file(const std::string& name) const { return (folder / name).string(); }
};

TEST(Backups, NamedByTaskTimeAndDigestAndTheOldestGoBeyondTheLimit) {
  ScratchBackups dir;
  const std::vector<std::uint8_t> image(1000, 0x42);
  // kMaxBackups older ones already made, one of another task among them.
  std::vector<std::string> made;
  for (std::size_t i = 0; i < kMaxBackups; ++i) {
    const SavedBackup older = SaveBackup(i == 5 ? "mec16" : "kb90", Image(i), dir.folder);
    ASSERT_TRUE(older.ok && older.removed.empty()) << i;
    made.push_back(older.path);
  }
  WriteFileBytes(dir.file("notes.txt"), {1});  // not a backup: never removed
  const SavedBackup saved = SaveBackup("npce", image, dir.folder);
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.sha256, Sha256Hex(image));
  const std::string name = Name(saved.path);
  EXPECT_TRUE(name.starts_with("npce-")) << name;
  EXPECT_TRUE(name.ends_with("-" + saved.sha256.substr(0, 8) + ".bin")) << name;
  EXPECT_EQ(name.size(), std::string("npce-YYYYmmdd-HHMMSS-12345678.bin").size()) << name;
  EXPECT_EQ(ReadFileBytes(saved.path), image);
  // The 201st backup removes the first one made.
  EXPECT_EQ(saved.removed, std::vector<std::string>{made[0]});
  EXPECT_EQ(test::BackupsIn(dir.folder).size(), kMaxBackups + 1) << "200 backups and the notes";

  const auto lines = BackupLines(saved, LogLanguage::English);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Backup of the chip: " + saved.path + " SHA-256 " + saved.sha256);
  EXPECT_EQ(lines[1], "The oldest backup " + saved.removed[0] + " was removed (at most 200 are kept).");

  // The same contents again within the second: a second name, nothing overwritten.
  const SavedBackup again = SaveBackup("npce", image, dir.folder);
  ASSERT_TRUE(again.ok);
  EXPECT_NE(again.path, saved.path);
  EXPECT_EQ(ReadFileBytes(saved.path), image);
  EXPECT_EQ(again.removed, std::vector<std::string>{made[1]});
}

// Three kept. Names written in a time zone 14 hours ahead sort after every later one; the
// record keeps the order they were made in, so each new backup removes the oldest made.
TEST(Backups, RotationGoesByTheOrderMadeWhateverTheNamesSay) {
  struct Step {
    const char* zone;
    std::size_t removedIndex;  // which earlier backup the step removes (SIZE_MAX: none)
  };
  const Step steps[] = {{"Etc/GMT-14", SIZE_MAX}, {"Etc/GMT-14", SIZE_MAX}, {"Etc/GMT-14", SIZE_MAX},
                        {"UTC", 0},               {"Etc/GMT+12", 1},        {"Etc/GMT-14", 2},
                        {"UTC", 3}};
  ScratchBackups dir;
  std::vector<std::string> made;
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const ScopedVariable zone("TZ", steps[i].zone);
    const SavedBackup saved = SaveBackup("ite", Image(i), dir.folder, 3);
    ASSERT_TRUE(saved.ok);
    EXPECT_TRUE(fs::exists(saved.path)) << "the backup just made is never removed";
    EXPECT_EQ(saved.removed, steps[i].removedIndex == SIZE_MAX ? std::vector<std::string>{}
                                                               : std::vector<std::string>{made[steps[i].removedIndex]});
    made.push_back(saved.path);
    EXPECT_EQ(test::BackupsIn(dir.folder).size(), std::min<std::size_t>(i + 1, 3));
  }
}

// Backups recorded while the clock said 2099, then written under the right time: rotation
// goes by the order the backups were recorded, so each new one removes the oldest made (a
// 2099 one first), never the board's backup made just before.
TEST(Backups, AClockThatRanAheadNeverTurnsRotationAgainstTheNewest) {
  ScratchBackups dir;
  fs::create_directories(dir.folder);
  constexpr std::time_t k2099 = 4'070'908'800;  // 2099-01-01T00:00:00Z
  std::vector<std::string> made;
  {
    Journal journal(JournalFileFor(dir.folder));
    for (std::size_t i = 0; i < 2; ++i) {
      made.push_back(dir.file("kb90-20990101-00000" + std::to_string(i) + "-00000000.bin"));
      WriteFileBytes(made.back(), Image(100 + i));
      ASSERT_TRUE(journal.rememberBackup({made.back(), Sha256Hex(Image(100 + i)), k2099 + std::time_t(i), "kb90"}));
    }
  }
  // Three kept: board n's backup removes what was recorded three before it.
  for (std::size_t board = 0; board < 4; ++board) {
    SCOPED_TRACE(board);
    const SavedBackup saved = SaveBackup("kb90", Image(board), dir.folder, 3);
    ASSERT_TRUE(saved.ok && saved.problem.empty()) << saved.problem;
    const std::vector<std::string> expected =
        made.size() >= 3 ? std::vector<std::string>{made[made.size() - 3]} : std::vector<std::string>{};
    EXPECT_EQ(saved.removed, expected);
    made.push_back(saved.path);
    std::vector<std::string> kept(made.end() - std::min<std::size_t>(made.size(), 3), made.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(test::BackupsIn(dir.folder), kept);
  }
}

// Only what the program made and recorded is removed, and only while it still holds what
// was recorded: a technician's own dump, a look-alike name of a known task, a recorded name
// whose file was replaced or turned into a link all stay. The backup just made stays even
// when none are to be kept.
TEST(Backups, NothingButTheProgramsOwnRecordedBackupsIsRemoved) {
  ScratchBackups dir;
  fs::create_directories(dir.folder);
  const std::vector<std::string> foreign = {"mydump-20200101-000000-deadbeef.bin", "npce-20200101-000000-deadbeef.bin",
                                            "kb90-19990101-000000-00000000.bin"};
  for (const auto& name : foreign) WriteFileBytes(dir.file(name), {7});
  const SavedBackup replaced = SaveBackup("npce", Image(1), dir.folder);
  const SavedBackup linked = SaveBackup("npce", Image(2), dir.folder);
  const SavedBackup linkedToCopy = SaveBackup("npce", Image(5), dir.folder);
  const SavedBackup plain = SaveBackup("npce", Image(3), dir.folder);
  ASSERT_TRUE(replaced.ok && linked.ok && linkedToCopy.ok && plain.ok);
  WriteFileBytes(replaced.path, {1, 2, 3});  // the technician put something else there
  fs::remove(linked.path);
  fs::create_symlink(plain.path, linked.path);
  // A link to a copy with the very bytes on record is still no backup the program made.
  const std::string copy = dir.dir.file("copy.bin");
  fs::rename(linkedToCopy.path, copy);
  fs::create_symlink(copy, linkedToCopy.path);

  const SavedBackup last = SaveBackup("npce", Image(4), dir.folder, 0);
  ASSERT_TRUE(last.ok);
  EXPECT_EQ(last.removed, std::vector<std::string>{plain.path});
  for (const auto& name : foreign) EXPECT_TRUE(fs::exists(dir.file(name))) << name;
  EXPECT_EQ(ReadFileBytes(replaced.path), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_TRUE(fs::is_symlink(linked.path));
  EXPECT_TRUE(fs::is_symlink(linkedToCopy.path));
  EXPECT_EQ(ReadFileBytes(copy), Image(5));
  EXPECT_EQ(ReadFileBytes(last.path), Image(4));
}

// Holds every dump sink's rename until `count` have come to theirs (or a bound passes): by
// then each has picked its name, so backups of one second and one content all want the same.
class RenamesMeet {
 public:
  explicit RenamesMeet(std::size_t count) : count_(count) {
    platform::SetFileCallHook([this](platform::FileCall call) {
      if (call != platform::FileCall::Rename) return true;
      std::unique_lock lock(mutex_);
      ++arrived_;
      met_.notify_all();
      met_.wait_for(lock, std::chrono::seconds(20), [this] { return arrived_ >= count_; });
      return true;
    });
  }
  ~RenamesMeet() { platform::SetFileCallHook(nullptr); }
  RenamesMeet(const RenamesMeet&) = delete;
  RenamesMeet& operator=(const RenamesMeet&) = delete;
  bool allMet() {
    std::lock_guard lock(mutex_);
    return arrived_ >= count_;
  }

 private:
  std::size_t count_;
  std::size_t arrived_ = 0;
  std::mutex mutex_;
  std::condition_variable met_;
};

// Writes of the same chip at the same moment (one bench, several programs): every job keeps a
// backup file of its own under a name of its own, each on record; with a limit, rotations at
// once leave exactly the kept count, the oldest gone.
TEST(Backups, BackupsOfOneContentAtOnceEachKeepAFileOfTheirOwn) {
  struct Case {
    std::size_t jobs, older, keep;  // keep >= jobs: the jobs' own backups all stay
  };
  for (const Case c : {Case{10, 0, kMaxBackups}, Case{10, 8, 12}}) {
    SCOPED_TRACE(c.keep);
    ScratchBackups dir;
    std::vector<std::string> older;
    for (std::size_t i = 0; i < c.older; ++i) older.push_back(SaveBackup("kb90", Image(i), dir.folder, c.keep).path);
    {
      const Journal created(JournalFileFor(dir.folder));  // there before the jobs, as on a bench in use
      ASSERT_TRUE(created.ok());
    }

    const std::vector<std::uint8_t> image = Image(99);
    std::vector<SavedBackup> saved(c.jobs);
    {
      RenamesMeet meet(c.jobs);
      std::vector<std::jthread> jobs;
      for (std::size_t i = 0; i < c.jobs; ++i)
        jobs.emplace_back([&, i] { saved[i] = SaveBackup("kb90", image, dir.folder, c.keep); });
      jobs.clear();
      EXPECT_TRUE(meet.allMet()) << "the jobs never met at their renames";
    }
    const std::size_t olderKept = std::min(c.older, c.keep - c.jobs);
    std::vector<std::string> expected(older.end() - static_cast<std::ptrdiff_t>(olderKept), older.end());
    for (const SavedBackup& backup : saved) {
      ASSERT_TRUE(backup.ok && backup.problem.empty()) << backup.path << " " << backup.problem;
      EXPECT_EQ(ReadFileBytes(backup.path), image) << backup.path;
      expected.push_back(backup.path);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(std::adjacent_find(expected.begin(), expected.end()), expected.end()) << "a name was given twice";
    const std::vector<std::string> files = test::BackupsIn(dir.folder);
    EXPECT_EQ(files, expected) << "the newest " << c.keep << " are kept, no more, no fewer";
    Journal journal(JournalFileFor(dir.folder));
    const auto recorded = journal.backupsOldestFirst(dir.folder);
    ASSERT_TRUE(recorded);
    std::vector<std::string> onRecord;
    for (const KeptBackup& kept : *recorded) onRecord.push_back(kept.path);
    std::sort(onRecord.begin(), onRecord.end());
    EXPECT_EQ(onRecord, files) << "every file on record, and nothing else";
  }
}

TEST(Backups, TheFolderFollowsXdgDataHome) {
  // One folder however it is spelled, and the journal beside it.
  for (const char* spelling : {"/data/home", "/data/./home", "/data/home/", "/data/x/../home//"}) {
    SCOPED_TRACE(spelling);
    const ScopedVariable data("XDG_DATA_HOME", spelling);
    EXPECT_EQ(BackupFolder(), fs::path("/data/home/holbrenik-jig/backups"));
    EXPECT_EQ(JournalFile(), fs::path("/data/home/holbrenik-jig/journal.sqlite3"));
    EXPECT_EQ(JournalFileFor(std::string(spelling) + "/holbrenik-jig/backups/"), JournalFile());
  }
  const ScopedVariable data("XDG_DATA_HOME", std::nullopt);
  const ScopedVariable home("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root");
  EXPECT_EQ(BackupFolder(), fs::path(std::getenv("HOME")) / ".local/share/holbrenik-jig/backups");
}

// A relative folder would put the backups under whatever folder the command runs in: a
// relative XDG_DATA_HOME is ignored, and a relative or missing HOME gives way to the home
// the user database names.
TEST(Backups, TheFolderIsAlwaysAbsolute) {
  const char* home = std::getenv("HOME");
  struct Case {
    std::optional<std::string> data, home;
  };
  const Case cases[] = {{"relative/data", std::string(home ? home : "/root")},
                        {std::nullopt, "relative-home"},
                        {std::nullopt, std::nullopt},
                        {"", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data.value_or("(unset)") + " " + c.home.value_or("(unset)"));
    const ScopedVariable data("XDG_DATA_HOME", c.data);
    const ScopedVariable homeVariable("HOME", c.home);
    const fs::path folder = BackupFolder();
    ASSERT_FALSE(folder.empty()) << "this user has a home in the user database";
    EXPECT_TRUE(folder.is_absolute()) << folder;
    EXPECT_TRUE(folder.string().ends_with("/.local/share/holbrenik-jig/backups")) << folder;
  }
}

// A damaged journal moved aside: the backups in its folder whose names carry the digest of
// their own bytes (a suffix after it too) go on the new journal's record and rotate as
// before; a look-alike, a link and a technician's own dump stay unknown and are never removed.
TEST(Backups, AJournalBegunAnewTakesTheFoldersOwnBackupsOnRecordAgain) {
  ScratchBackups dir;
  const SavedBackup first = SaveBackup("kb90", Image(1), dir.folder);
  const SavedBackup second = SaveBackup("mec16", Image(2), dir.folder);
  ASSERT_TRUE(first.ok && second.ok);
  const std::string suffixed = second.path.substr(0, second.path.size() - 4) + "-7.bin";
  fs::copy_file(second.path, suffixed);
  const std::vector<std::string> unknown = {dir.file("kb90-20200101-000000-deadbeef.bin"),
                                            dir.file("link-20200101-000000-" + first.sha256.substr(0, 8) + ".bin"),
                                            dir.file("mydump.bin")};
  WriteFileBytes(unknown[0], {7});
  fs::create_symlink(first.path, unknown[1]);
  WriteFileBytes(unknown[2], Image(3));
  const fs::path journal = JournalFileFor(dir.folder);
  WriteFileBytes(journal.string(), std::vector<std::uint8_t>(8192, 0xA5));

  const SavedBackup next = SaveBackup("npce", Image(4), dir.folder, 1);
  ASSERT_TRUE(next.ok);
  const auto lines = BackupLines(next, LogLanguage::English);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_TRUE(lines[1].starts_with("The job journal was damaged (")) << lines[1];
  EXPECT_EQ(lines[2], "The backups in " + dir.folder.string() + " are on the new journal's record again (4).");
  std::vector<std::string> removed = next.removed;
  std::sort(removed.begin(), removed.end());
  std::vector<std::string> older = {first.path, second.path, suffixed};
  std::sort(older.begin(), older.end());
  EXPECT_EQ(removed, older) << "on record again, they rotate as before";
  for (const auto& path : unknown) EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << path;
  EXPECT_EQ(ReadFileBytes(next.path), Image(4));
}

// Every failed backup says where and why; with no folder at all, what to do instead.
TEST(Backups, AFailedBackupNamesThePathAndTheSystemsReason) {
  test::TempDir dir;
  WriteFileBytes(dir.file("blocked"), {1});
  const SavedBackup blocked = SaveBackup("kb90", Image(1), fs::path(dir.file("blocked")) / "backups");
  EXPECT_FALSE(blocked.ok);
  EXPECT_EQ(BackupLines(blocked, LogLanguage::English),
            std::vector<std::string>{"The backup could not be saved to " + blocked.path +
                                     " (Not a directory); the write does not start."});

  const SavedBackup nowhere = SaveBackup("mec16", Image(1), fs::path());
  EXPECT_FALSE(nowhere.ok);
  const auto lines = BackupLines(nowhere, LogLanguage::Russian);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].starts_with("Нет папки для копий микросхем")) << lines[0];
  EXPECT_NE(lines[0].find("--no-backup"), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace jig
