#pragma once
// The journal's schema, one step per version from the first on; the version a file is at is
// its PRAGMA user_version.
#include <span>
#include <string_view>

#include "journal/Sqlite.h"

namespace jig {

// Step N brings a file from version N to N + 1.
std::span<const std::string_view> JournalMigrations();
inline int JournalSchemaVersion() { return static_cast<int>(JournalMigrations().size()); }

// The file's PRAGMA user_version; -1 when it cannot be read (error() of the database).
int JournalFileVersion(SqliteDb& db);

// Brings the file up to the newest version in one transaction (two programs opening a new
// file at once: one migrates, the other finds it done). False: error() of the database.
// A file from a newer program is left as it is and refused.
bool MigrateJournal(SqliteDb& db);

}  // namespace jig
