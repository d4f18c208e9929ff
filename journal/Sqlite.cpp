#include "journal/Sqlite.h"

#include <sqlite3.h>

namespace jig {

bool SqliteError::busy() const { return code == SQLITE_BUSY || code == SQLITE_LOCKED; }
bool SqliteError::corrupt() const { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }

SqliteDb::SqliteDb(const std::string& path, bool create, int busyTimeoutMs) {
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  const int code = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
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

bool SqliteStatement::isNull(int column) const {
  return !stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

}  // namespace jig
