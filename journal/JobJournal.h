#pragma once
// Where every finished job is put on record. A journal that is locked, read-only, full or
// corrupt never stops or changes a job: the caller logs the lines this returns and goes on.
// A record that could not be written is kept (in this program) for the next job's write,
// up to kMaxPendingRecords; a corrupt file is moved aside, kept, and a new one begun.
#include <filesystem>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "view/LogLanguage.h"

namespace jig {

inline constexpr std::size_t kMaxPendingRecords = 100;

// The log lines to show: none when the record (and any kept before it) went in.
std::vector<std::string> RecordJob(const JobRecord& record, LogLanguage language,
                                   const std::filesystem::path& file = JournalFile());

// Opens the journal to write, moving a corrupt file aside and beginning a new one (which
// takes the backups of its folder on record again): the lines say what happened to it. A
// journal that is a symbolic link is not followed (a line, no journal). Used by the record
// above and the backups.
struct OpenedJournal {
  std::unique_ptr<Journal> journal;  // null when there is no folder for it
  std::vector<std::string> lines;
  bool ok() const { return journal && journal->ok(); }
};
OpenedJournal OpenJournal(const std::filesystem::path& file, LogLanguage language, bool create = true);

// The program ends: one more try for the records still waiting; the line to print when some
// could still not be written (they are dropped), empty when none were left.
std::string FlushPendingRecords(const std::filesystem::path& file = JournalFile());

// What a journal begun anew does with the backups of its folder, which the damaged one kept:
// the backups' own code (which knows their names and digests) sets it where it is linked in,
// and gives the number taken on record again.
using BackupsRecovery = std::size_t (*)(Journal& journal, const std::filesystem::path& folder);
void SetBackupsRecovery(BackupsRecovery recover);

// The journal opened to be read, never made, moved or changed (a damaged one stays where it
// is; an older schema is read through a copy in memory; a read-only folder is fine): missing
// when there is no file yet; else, when it cannot be read, why. The command line's history
// and info and the History window read it so.
struct JournalToRead {
  std::unique_ptr<Journal> journal;  // null when missing or unreadable
  bool missing = false;
  std::vector<std::string> lines;
  std::string problem;  // empty when the journal can be read
};
JournalToRead OpenJournalToRead(const std::filesystem::path& file, LogLanguage language);

// The label of every job this program records without one of its own: the command line's
// --label. Set before the first job.
void SetDefaultJobLabel(std::string label);

// Tests only: the records this program still keeps for the next write.
std::size_t PendingRecords();

}  // namespace jig
