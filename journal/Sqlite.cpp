#include "journal/Sqlite.h"

#include <sqlite3.h>

namespace jig {

bool SqliteError::busy() const { return code == SQLITE_BUSY || code == SQLITE_LOCKED; }
bool SqliteError::corrupt() const { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }

namespace {

// file: URI of a path, every byte that could end or change the path (?, #, %) escaped.
std::string ImmutableUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const char given : path) {
#ifdef _WIN32
    // A URI's separators are forward slashes; SQLite takes "file:C:/..." on Windows.
    const char c = given == '\\' ? '/' : given;
#else
    const char c = given;
#endif
    const auto u = static_cast<unsigned char>(c);
    if (c == '?' || c == '#' || c == '%' || u < 0x20 || u >= 0x7F) {
      uri += '%';
      uri += kHex[u >> 4];
      uri += kHex[u & 0xF];
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

}  // namespace

SqliteDb::SqliteDb(const std::string& path, SqliteOpen mode, int busyTimeoutMs) {
  int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
  switch (mode) {
    case SqliteOpen::Existing: flags |= SQLITE_OPEN_READWRITE; break;
    case SqliteOpen::Create: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    case SqliteOpen::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
    case SqliteOpen::Immutable: flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI; break;
  }
  const std::string name = mode == SqliteOpen::Immutable ? ImmutableUri(path) : path;
  const int code = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (code != SQLITE_OK) {
    fail(code);
    return;
  }
  sqlite3_extended_result_codes(db_, 0);
  sqlite3_busy_timeout(db_, busyTimeoutMs);
}

SqliteDb::~SqliteDb() {
  // Every statement is finalized by its owner before this, so the close always succeeds.
  if (db_) sqlite3_close(db_);
}

void SqliteDb::fail(int code) {
  error_.code = code & 0xff;
  error_.text = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
}

bool SqliteDb::exec(std::string_view sql) {
  if (!db_) return false;
  const std::string text(sql);
  const int code = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) fail(code);
  return code == SQLITE_OK;
}

SqliteStatement SqliteDb::prepare(std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  if (db_) {
    const int code = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (code != SQLITE_OK) fail(code);
  }
  return SqliteStatement(*this, stmt);
}

std::int64_t SqliteDb::lastInsertId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

bool SqliteDb::continueInMemory() {
  if (!db_) return false;
  sqlite3* memory = nullptr;
  int code = sqlite3_open_v2(":memory:", &memory, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code == SQLITE_OK) {
    sqlite3_backup* copy = sqlite3_backup_init(memory, "main", db_, "main");
    if (!copy) {
      code = sqlite3_errcode(memory);
    } else {
      // One step copies every page; a busy source gives its code, never a wait without end.
      sqlite3_backup_step(copy, -1);
      code = sqlite3_backup_finish(copy);
    }
  }
  if (code != SQLITE_OK) {
    error_.code = code & 0xff;
    error_.text = sqlite3_errstr(code);
    sqlite3_close(memory);
    return false;
  }
  sqlite3_close(db_);
  db_ = memory;
  return true;
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
  other.stmt_ = nullptr;
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
  if (stmt_) sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
  if (stmt_) sqlite3_bind_null(stmt_, index);
  return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::optional<std::int64_t> value) {
  return value ? bind(index, *value) : bindNull(index);
}

bool SqliteStatement::step() {
  if (!stmt_) return false;
  const int code = sqlite3_step(stmt_);
  if (code == SQLITE_ROW) return true;
  if (code != SQLITE_DONE) db_->fail(code);
  return false;
}

bool SqliteStatement::run() {
  if (!stmt_) return false;
  while (step()) {
  }
  return !db_->error();
}

void SqliteStatement::reset() {
  if (!stmt_) return;
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::string SqliteStatement::text(int column) const { return std::string(textView(column)); }

std::string_view SqliteStatement::textView(int column) const {
  const auto* bytes = stmt_ ? sqlite3_column_text(stmt_, column) : nullptr;
  if (!bytes) return {};
  return {reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::int64_t SqliteStatement::integer(int column) const { return stmt_ ? sqlite3_column_int64(stmt_, column) : 0; }

bool SqliteStatement::isInteger(int column) const {
  return stmt_ && sqlite3_column_type(stmt_, column) == SQLITE_INTEGER;
}

bool SqliteStatement::isNull(int column) const {
  return !stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

}  // namespace jig
