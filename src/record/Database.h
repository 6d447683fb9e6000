// A small RAII wrapper over SQLite's C API: one connection, prepared
// statements, and errors as exceptions carrying SQLite's own message.
//
// The record and the history viewer are its only users; nothing here knows
// what a record holds (see Schema.h for that).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace halvorn::record {

// A failure reported by SQLite, with its primary result code (SQLITE_FULL,
// SQLITE_BUSY, ...) so that callers can tell a full disk from a bad file.
class DatabaseError : public std::runtime_error {
 public:
  DatabaseError(int code, const std::string& what) : std::runtime_error(what), m_code(code) {}
  int code() const { return m_code; }

 private:
  int m_code;
};

class Statement;

class Database {
 public:
  enum class Mode {
    ReadOnly,      // the history viewer: never writes, never creates
    ReadWrite,     // an existing file only
    ReadWriteCreate,
    // Read-only, and no other connection can be writing the file: a closed
    // record in a folder the reader cannot write to, where SQLite could not
    // create the shared-memory file that reading a write-ahead log needs.
    Immutable,
  };

  // Opens `path`; throws DatabaseError when SQLite cannot. A file that is
  // not a database at all is only noticed by the first statement.
  Database(const std::string& path, Mode mode);
  Database(Database&&) noexcept = default;
  Database& operator=(Database&&) noexcept = default;
  ~Database() = default;

  // Runs one or more statements that return no rows.
  void Exec(const std::string& sql);
  Statement Prepare(std::string_view sql);

  // How long a statement waits for another connection's lock before
  // SQLITE_BUSY; 0 fails at once.
  void SetBusyTimeout(int milliseconds);

  std::int64_t LastInsertRowid() const;
  sqlite3* handle() const { return m_db.get(); }

  // The value of `PRAGMA name`, read as an integer.
  std::int64_t PragmaInteger(std::string_view name);

 private:
  struct Close {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  std::unique_ptr<sqlite3, Close> m_db;
};

// A prepared statement. Parameters count from 1, columns from 0, as in
// SQLite. Texts and blobs are copied at bind time (SQLITE_TRANSIENT), so
// the caller's buffer may go at once.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  Statement(Statement&&) noexcept = default;
  Statement& operator=(Statement&&) noexcept = default;
  ~Statement() = default;

  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
  Statement& Bind(int index, double value);
  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, const char* text) { return Bind(index, std::string_view(text)); }
  Statement& BindBlob(int index, std::string_view bytes);
  Statement& BindNull(int index);
  template <typename T>
  Statement& Bind(int index, const std::optional<T>& value) {
    return value ? Bind(index, *value) : BindNull(index);
  }

  // Advances: true while a row is ready, false when done. Throws on error.
  bool Step();
  // Makes the statement ready to run again; bindings are kept.
  void Reset();

  bool IsNull(int column) const;
  std::int64_t Integer(int column) const;
  double Real(int column) const;
  // A text or blob column as bytes (a NULL gives an empty string).
  std::string Text(int column) const;
  std::optional<double> OptionalReal(int column) const;
  std::optional<std::int64_t> OptionalInteger(int column) const;

 private:
  struct Finalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
  };
  void Check(int rc) const;
  sqlite3* m_db = nullptr;
  std::unique_ptr<sqlite3_stmt, Finalize> m_stmt;
};

// Runs `BEGIN IMMEDIATE` now and `ROLLBACK` at scope exit unless Commit()
// was called.
class Transaction {
 public:
  explicit Transaction(Database& db);
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction();
  void Commit();

 private:
  Database& m_db;
  bool m_done = false;
};

}  // namespace halvorn::record
