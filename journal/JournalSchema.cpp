#include "journal/JournalSchema.h"

#include <string>

namespace jig {

namespace {

constexpr std::string_view kSteps[] = {
    // 1: the jobs.
    R"(CREATE TABLE jobs (
         id INTEGER PRIMARY KEY,
         started TEXT NOT NULL, ended TEXT NOT NULL, duration_ms INTEGER NOT NULL,
         task TEXT NOT NULL, action TEXT NOT NULL,
         success INTEGER NOT NULL, chip_touched INTEGER NOT NULL,
         chip_id TEXT NOT NULL, chip_version TEXT NOT NULL, port TEXT NOT NULL, firmware TEXT NOT NULL,
         file TEXT NOT NULL, file_size INTEGER NOT NULL, file_sha256 TEXT NOT NULL,
         backup_path TEXT NOT NULL, backup_sha256 TEXT NOT NULL,
         verdict TEXT NOT NULL, first_difference INTEGER, differing_bytes INTEGER,
         program_version TEXT NOT NULL);
       CREATE INDEX jobs_started ON jobs(started);
       CREATE INDEX jobs_file_sha256 ON jobs(file_sha256);)",
    // 2: the technician's label, and the backups the program made, so that rotation goes
    // by the journal and never by a file's name.
    R"(ALTER TABLE jobs ADD COLUMN label TEXT NOT NULL DEFAULT '';
       CREATE INDEX jobs_backup_sha256 ON jobs(backup_sha256);
       CREATE TABLE backups (
         path TEXT PRIMARY KEY, sha256 TEXT NOT NULL, made TEXT NOT NULL, task TEXT NOT NULL);
       CREATE INDEX backups_made ON backups(made);)",
    // 3: how a job ended: 'ok', 'failed' or 'cancelled' (called off before it touched
    // anything). Rows from before it have none: success tells ok from failed.
    R"(ALTER TABLE jobs ADD COLUMN outcome TEXT;)",
};

}  // namespace

int JournalFileVersion(SqliteDb& db) {
  SqliteStatement read = db.prepare("PRAGMA user_version");
  return read.step() ? static_cast<int>(read.integer(0)) : -1;
}

std::span<const std::string_view> JournalMigrations() { return kSteps; }

bool MigrateJournal(SqliteDb& db) {
  const int newest = JournalSchemaVersion();
  const int seen = JournalFileVersion(db);
  if (seen < 0) return false;
  if (seen == newest) return true;
  if (!db.exec("BEGIN IMMEDIATE")) return false;
  // Read again inside the transaction: another program may have migrated meanwhile.
  const int version = JournalFileVersion(db);
  bool ok = version >= 0;
  if (ok && version > newest) {
    db.setError({kSqliteGenericError, "the journal is of a newer version of the program (schema " +
                                          std::to_string(version) + ")"});
    ok = false;
  }
  int step = version;
  for (; ok && step < newest; ++step) ok = db.exec(kSteps[step]);
  if (ok) ok = db.exec("PRAGMA user_version = " + std::to_string(newest));
  if (ok) return db.exec("COMMIT");
  // The first error is what went wrong; the rollback's own is of no interest. Every step
  // rolls back with it: the file stays at the version it was at, whole.
  SqliteError failed = db.error();
  if (version >= 0 && version <= newest)
    failed.text = "the journal could not be brought from schema " + std::to_string(step - 1) + " to " +
                  std::to_string(step) + " (" + failed.text + "); it is left at schema " + std::to_string(version);
  db.exec("ROLLBACK");
  db.setError(failed);
  return false;
}

}  // namespace jig
