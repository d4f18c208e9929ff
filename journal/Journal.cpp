#include "journal/Journal.h"

#include <cstdio>

#include "files/PlatformFiles.h"
#include "journal/JournalSchema.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kColumns =
    "id, started, ended, duration_ms, task, action, success, chip_touched, chip_id, chip_version, port, firmware, "
    "file, file_size, file_sha256, backup_path, backup_sha256, verdict, first_difference, differing_bytes, "
    "program_version, label, outcome";

#ifdef JIG_VERSION_TEXT
constexpr std::string_view kProgramVersion = JIG_VERSION_TEXT;
#else
constexpr std::string_view kProgramVersion = "";
#endif

bool OpenReady(SqliteDb& db, JournalAccess access) {
  if (!db.ok()) return false;
  if (access == JournalAccess::Read) {
    // An older (or newer) schema is brought up to date, or refused, in a copy in memory:
    // reading changes nothing in the file.
    return JournalFileVersion(db) == JournalSchemaVersion() || (db.continueInMemory() && MigrateJournal(db));
  }
  // WAL lets one program read while the other writes; NORMAL syncs at checkpoints, which
  // keeps a record to a millisecond or two and loses nothing but the last jobs on a power cut.
  if (!db.prepare("PRAGMA journal_mode = WAL").run()) return false;
  return db.exec("PRAGMA synchronous = NORMAL") && MigrateJournal(db);
}

}  // namespace

fs::path NormalFolder(const fs::path& folder) {
  fs::path normal = folder.lexically_normal();
  if (!normal.has_filename() && normal != normal.root_path()) normal = normal.parent_path();
  return normal;
}

fs::path JournalFile() {
  const fs::path data = platform::UserDataFolder();
  return data.empty() ? fs::path() : NormalFolder(data) / "holbrenik-jig" / kJournalName;
}

fs::path JournalFileFor(const fs::path& backupFolder) { return NormalFolder(backupFolder).parent_path() / kJournalName; }

fs::path BackupFolderFor(const fs::path& journalFile) { return journalFile.parent_path() / kBackupFolderName; }

std::string UtcText(std::time_t time) {
  const std::tm utc = platform::UtcTime(time);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

namespace {

// Digits at text[at, at + count); -1 when any is not one. The history reads two of these
// times a row, so no sscanf.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<std::time_t> ParseUtcText(std::string_view text) {
  // YYYY-MM-DD, or YYYY-MM-DDTHH:MM:SSZ
  const bool withTime = text.size() == 20;
  if ((text.size() != 10 && !withTime) || text[4] != '-' || text[7] != '-') return std::nullopt;
  if (withTime && (text[10] != 'T' || text[13] != ':' || text[16] != ':' || text[19] != 'Z')) return std::nullopt;
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int hour = withTime ? Digits(text, 11, 2) : 0, minute = withTime ? Digits(text, 14, 2) : 0,
            second = withTime ? Digits(text, 17, 2) : 0;
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59)
    return std::nullopt;
  // Days since 1970-01-01 of a proleptic Gregorian date, without the local time zone.
  const int y = year - (month <= 2);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
  return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

namespace {

// The folder first: SQLite creates the file, not the folders above it.
const fs::path& WithFolder(const fs::path& file, JournalAccess access) {
  std::error_code ec;
  if (access == JournalAccess::Create && !file.empty()) fs::create_directories(file.parent_path(), ec);
  return file;
}

// How a journal is opened to be read. While a writer has it open its -wal is beside it, and
// the reading takes SQLite's shared locks through the -shm that writer made. Otherwise
// (no -wal, and no rollback journal of a write cut off) it is opened immutable: a read-only
// connection would leave a -wal and a -shm behind, and cannot make them at all in a folder
// the technician may not write to. A writer that begins meanwhile writes its own -wal; a
// reading that meets that writer's checkpoint at worst fails and says so. The file itself is
// never touched either way.
SqliteOpen ReadMode(const fs::path& file) {
  std::error_code ec;
  for (const char* beside : {"-wal", "-journal"}) {
    fs::path other = file;
    other += beside;
    if (fs::exists(fs::symlink_status(other, ec))) return SqliteOpen::ReadOnly;
  }
  return SqliteOpen::Immutable;
}

SqliteOpen OpenMode(const fs::path& file, JournalAccess access) {
  switch (access) {
    case JournalAccess::Create: return SqliteOpen::Create;
    case JournalAccess::Existing: return SqliteOpen::Existing;
    case JournalAccess::Read: break;
  }
  return ReadMode(file);
}

}  // namespace

Journal::Journal(const fs::path& file, JournalAccess access)
    : db_(WithFolder(file, access).string(), OpenMode(file, access), kJournalBusyMs) {
  ready_ = OpenReady(db_, access);
}

int Journal::schemaVersion() {
  SqliteStatement read = db_.prepare("PRAGMA user_version");
  return read.step() ? static_cast<int>(read.integer(0)) : -1;
}

std::optional<std::int64_t> Journal::record(const JobRecord& r) {
  if (!ok()) return std::nullopt;
  SqliteStatement insert = db_.prepare(
      "INSERT INTO jobs (started, ended, duration_ms, task, action, success, chip_touched, chip_id, chip_version, "
      "port, firmware, file, file_size, file_sha256, backup_path, backup_sha256, verdict, first_difference, "
      "differing_bytes, program_version, label, outcome) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
      "?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22)");
  const std::int64_t duration =
      r.durationMs >= 0 ? r.durationMs : static_cast<std::int64_t>(r.ended - r.started) * 1000;
  insert.bind(1, UtcText(r.started)).bind(2, UtcText(r.ended)).bind(3, duration);
  insert.bind(4, r.task).bind(5, r.action).bind(6, std::int64_t{r.success}).bind(7, std::int64_t{r.chipTouched});
  insert.bind(8, r.chipId).bind(9, r.chipVersion).bind(10, r.port).bind(11, r.firmware);
  insert.bind(12, r.file).bind(13, static_cast<std::int64_t>(r.fileSize)).bind(14, r.fileSha256);
  insert.bind(15, r.backupPath).bind(16, r.backupSha256).bind(17, r.verdict);
  insert.bind(18, r.firstDifference).bind(19, r.differingBytes);
  insert.bind(20, r.programVersion.empty() ? kProgramVersion : std::string_view(r.programVersion));
  insert.bind(21, r.label).bind(22, std::string_view(OutcomeName(OutcomeOf(r))));
  if (!insert.run()) return std::nullopt;
  return db_.lastInsertId();
}

bool Journal::recordAll(const std::vector<JobRecord>& records) {
  if (!ok() || !db_.exec("BEGIN IMMEDIATE")) return false;
  for (const JobRecord& r : records) {
    if (!record(r)) {
      const SqliteError failed = db_.error();
      db_.exec("ROLLBACK");
      db_.setError(failed);
      return false;
    }
  }
  return db_.exec("COMMIT");
}

std::vector<JournalEntry> Journal::entries(SqliteStatement& select) {
  std::vector<JournalEntry> found;
  eachEntry(select, [&found](const JournalEntry& entry) { found.push_back(entry); });
  return found;
}

void Journal::eachEntry(SqliteStatement& select, const std::function<void(const JournalEntry&)>& visit) {
  // One entry, filled anew for each row: its strings keep their room from row to row.
  JournalEntry e;
  while (select.step()) {
    JobRecord& r = e.record;
    e.damaged.clear();
    // A value this program never writes (a time that is none, a count below zero, text in a
    // number's column) is marked, never shown as if it were one.
    auto time = [&](int column, const char* name) {
      const auto parsed = ParseUtcText(select.textView(column));
      if (!parsed) e.damaged.push_back(name);
      return parsed.value_or(0);
    };
    auto number = [&](int column, const char* name, std::int64_t most) {
      const std::int64_t value = select.integer(column);
      const bool fits = select.isInteger(column) && value >= 0 && value <= most;
      if (!fits) e.damaged.push_back(name);
      return fits ? value : 0;
    };
    auto optionalNumber = [&](int column, const char* name, std::int64_t most) {
      return select.isNull(column) ? std::nullopt : std::optional<std::int64_t>(number(column, name, most));
    };
    constexpr std::int64_t kAny = INT64_MAX, kFlag = 1, kAddress = UINT32_MAX;
    e.id = select.integer(0);
    r.started = time(1, "started");
    r.ended = time(2, "ended");
    r.durationMs = number(3, "duration_ms", kAny);
    r.task = select.textView(4);
    r.action = select.textView(5);
    r.success = number(6, "success", kFlag) != 0;
    r.chipTouched = number(7, "chip_touched", kFlag) != 0;
    r.chipId = select.textView(8);
    r.chipVersion = select.textView(9);
    r.port = select.textView(10);
    r.firmware = select.textView(11);
    r.file = select.textView(12);
    r.fileSize = static_cast<std::uint64_t>(number(13, "file_size", kAny));
    r.fileSha256 = select.textView(14);
    r.backupPath = select.textView(15);
    r.backupSha256 = select.textView(16);
    r.verdict = select.textView(17);
    r.firstDifference = optionalNumber(18, "first_difference", kAddress);
    r.differingBytes = optionalNumber(19, "differing_bytes", kAny);
    r.programVersion = select.textView(20);
    r.label = select.textView(21);
    // A row from before the outcome was kept has none: ok or failed, from success.
    r.cancelled = !r.success && !select.isNull(22) && select.textView(22) == OutcomeName(JobOutcome::Cancelled);
    visit(e);
  }
}

std::vector<JournalEntry> Journal::history(const HistoryFilter& filter) {
  std::vector<JournalEntry> found;
  eachInHistory(filter, [&found](const JournalEntry& entry) { found.push_back(entry); });
  return found;
}

bool Journal::eachInHistory(const HistoryFilter& filter, const std::function<void(const JournalEntry&)>& visit) {
  if (!ok()) return false;
  std::string sql = "SELECT " + std::string(kColumns) + " FROM jobs WHERE 1";
  if (!filter.task.empty()) sql += " AND task = ?1";
  if (!filter.label.empty()) sql += " AND instr(label, ?2) > 0";
  if (!filter.since.empty()) sql += " AND started >= ?3";
  if (filter.failedOnly) sql += " AND success = 0 AND (outcome IS NULL OR outcome <> 'cancelled')";
  sql += " ORDER BY started DESC, id DESC";
  if (filter.limit) sql += " LIMIT " + std::to_string(filter.limit);
  SqliteStatement select = db_.prepare(sql);
  if (!filter.task.empty()) select.bind(1, filter.task);
  if (!filter.label.empty()) select.bind(2, filter.label);
  if (!filter.since.empty()) select.bind(3, UtcText(ParseUtcText(filter.since).value_or(0)));
  eachEntry(select, visit);
  return !db_.error();
}

std::optional<JournalEntry> Journal::job(std::int64_t id) {
  if (!ok()) return std::nullopt;
  SqliteStatement select = db_.prepare("SELECT " + std::string(kColumns) + " FROM jobs WHERE id = ?1");
  select.bind(1, id);
  auto found = entries(select);
  if (found.empty()) return std::nullopt;
  return std::move(found.front());
}

std::vector<std::string> Journal::tasks() {
  if (!ok()) return {};
  SqliteStatement select = db_.prepare("SELECT DISTINCT task FROM jobs ORDER BY task");
  std::vector<std::string> found;
  while (select.step()) found.push_back(select.text(0));
  return found;
}

std::vector<JournalEntry> Journal::jobsWithSha256(const std::string& sha256) {
  if (!ok()) return {};
  SqliteStatement select = db_.prepare("SELECT " + std::string(kColumns) +
                                       " FROM jobs WHERE file_sha256 = ?1 OR backup_sha256 = ?1 "
                                       "ORDER BY started DESC, id DESC");
  select.bind(1, sha256);
  return entries(select);
}

bool Journal::rememberBackup(const KeptBackup& backup) {
  if (!ok()) return false;
  SqliteStatement insert =
      db_.prepare("INSERT OR REPLACE INTO backups (path, sha256, made, task) VALUES (?1, ?2, ?3, ?4)");
  insert.bind(1, backup.path).bind(2, backup.sha256).bind(3, UtcText(backup.made)).bind(4, backup.task);
  return insert.run();
}

std::optional<std::vector<KeptBackup>> Journal::backupsOldestFirst(const fs::path& folder) {
  if (!ok()) return std::nullopt;
  // The order they were recorded in, the table's own sequence: a clock that once ran ahead
  // wrote times that would make the oldest backups look the newest.
  SqliteStatement select = db_.prepare("SELECT path, sha256, made, task FROM backups ORDER BY rowid");
  std::vector<KeptBackup> kept;
  const fs::path wanted = NormalFolder(folder);
  while (select.step()) {
    KeptBackup backup{select.text(0), select.text(1), ParseUtcText(select.textView(2)).value_or(0), select.text(3)};
    if (fs::path(backup.path).lexically_normal().parent_path() == wanted) kept.push_back(std::move(backup));
  }
  if (db_.error()) return std::nullopt;
  return kept;
}

bool Journal::forgetBackup(const std::string& path) {
  if (!ok()) return false;
  SqliteStatement remove = db_.prepare("DELETE FROM backups WHERE path = ?1");
  remove.bind(1, path);
  return remove.run();
}

bool Journal::changeBackups(const std::function<void()>& change) {
  if (!ok() || !db_.exec("BEGIN IMMEDIATE")) return false;
  change();
  if (db_.exec("COMMIT")) return true;
  const SqliteError failed = db_.error();
  db_.exec("ROLLBACK");
  db_.setError(failed);
  return false;
}

}  // namespace jig
