#pragma once
// A thin owner of SQLite's handles: a database closed and a statement finalized on every
// path, errors as values (the result code and SQLite's own words), never an exception.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace jig {

class SqliteStatement;

// SQLite's own code for an error of no more precise kind.
inline constexpr int kSqliteGenericError = 1;

struct SqliteError {
  int code = 0;  // SQLite's primary result code; 0: none
  std::string text;
  bool busy() const;     // locked by another program past the busy timeout
  bool corrupt() const;  // not a database, or a damaged one
  explicit operator bool() const { return code != 0; }
};

// How a file is opened. A file that is a symbolic link is never opened, whatever the mode.
enum class SqliteOpen {
  Existing,   // read and written; must be there
  Create,     // read and written; made when missing
  ReadOnly,   // read only, with the locks that keep a writer's transaction out of sight
  Immutable,  // read only, no locks and no shared-memory file: for a file nobody writes now
};

class SqliteDb {
 public:
  // Opens the file. A failed open leaves the error set.
  SqliteDb(const std::string& path, SqliteOpen mode, int busyTimeoutMs);
  SqliteDb(const std::string& path, bool create, int busyTimeoutMs)
      : SqliteDb(path, create ? SqliteOpen::Create : SqliteOpen::Existing, busyTimeoutMs) {}
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  bool ok() const { return db_ != nullptr && !error_; }
  const SqliteError& error() const { return error_; }
  // Runs statements without results; false sets error().
  bool exec(std::string_view sql);
  // A prepared statement; its ok() is false when SQL or the database refused it.
  SqliteStatement prepare(std::string_view sql);
  std::int64_t lastInsertId() const;
  // Goes on with a private copy in memory of what the file holds now: what it is then given
  // (a migration, for one) never reaches the file. False sets error().
  bool continueInMemory();
  // Forgets the last error (after a statement the caller may live without).
  void clearError() { error_ = {}; }
  // An error found by the caller (a file of the wrong version), or one to keep over a later.
  void setError(SqliteError error) { error_ = std::move(error); }

 private:
  friend class SqliteStatement;
  void fail(int code);
  sqlite3* db_ = nullptr;
  SqliteError error_;
};

class SqliteStatement {
 public:
  SqliteStatement(SqliteStatement&&) noexcept;
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  SqliteStatement& operator=(SqliteStatement&&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  // Parameters count from 1, as SQLite counts them.
  SqliteStatement& bind(int index, std::string_view text);
  SqliteStatement& bind(int index, std::int64_t value);
  SqliteStatement& bindNull(int index);
  SqliteStatement& bind(int index, std::optional<std::int64_t> value);
  // One step: true while a row is there; false at the end or on an error (then the
  // database's error() is set).
  bool step();
  // Runs to the end; false on an error.
  bool run();
  void reset();
  std::string text(int column) const;
  // The same without a copy: valid until the next step, reset or column call.
  std::string_view textView(int column) const;
  std::int64_t integer(int column) const;
  // The column holds an integer (not text, a real, a blob or NULL).
  bool isInteger(int column) const;
  bool isNull(int column) const;

 private:
  friend class SqliteDb;
  SqliteStatement(SqliteDb& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
  SqliteDb* db_;
  sqlite3_stmt* stmt_;
};

}  // namespace jig
