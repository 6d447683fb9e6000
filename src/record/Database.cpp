#include "record/Database.h"

namespace halvorn::record {

namespace {

[[noreturn]] void Fail(sqlite3* db, int rc, std::string_view doing) {
  std::string what(doing);
  what += ": ";
  what += db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw DatabaseError(rc & 0xFF, what);
}

int OpenFlags(Database::Mode mode) {
  switch (mode) {
    case Database::Mode::ReadOnly:
      return SQLITE_OPEN_READONLY;
    case Database::Mode::ReadWrite:
      return SQLITE_OPEN_READWRITE;
    case Database::Mode::Immutable:
      return SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    case Database::Mode::ReadWriteCreate:
      break;
  }
  return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
}

// "file:" + the path with the characters a URI gives a meaning escaped, and
// the parameter that tells SQLite the file cannot change.
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static const char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[static_cast<unsigned char>(c) >> 4];
      uri += kHex[static_cast<unsigned char>(c) & 0xF];
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

// SQLite reads a name beginning with "file:" as a URI (this build always
// does) and ":memory:" as no file at all; "./" makes either a file name.
std::string FileName(const std::string& path) {
  return path.starts_with("file:") || path == ":memory:" ? "./" + path : path;
}

}  // namespace

Database::Database(const std::string& path, Mode mode) {
  sqlite3* raw = nullptr;
  const std::string name = mode == Mode::Immutable ? ImmutableUri(path) : FileName(path);
  // NOMUTEX: each connection is used by one thread only.
  const int rc = sqlite3_open_v2(name.c_str(), &raw, OpenFlags(mode) | SQLITE_OPEN_NOMUTEX, nullptr);
  m_db.reset(raw);  // closed even when the open failed
  if (rc != SQLITE_OK) Fail(raw, rc, "cannot open " + path);
  sqlite3_extended_result_codes(raw, 1);
}

void Database::Exec(const std::string& sql) {
  char* message = nullptr;
  const int rc = sqlite3_exec(m_db.get(), sql.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string what = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    throw DatabaseError(rc & 0xFF, what);
  }
}

Statement Database::Prepare(std::string_view sql) { return Statement(m_db.get(), sql); }

void Database::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(m_db.get(), milliseconds); }

std::int64_t Database::LastInsertRowid() const { return sqlite3_last_insert_rowid(m_db.get()); }

std::int64_t Database::PragmaInteger(std::string_view name) {
  Statement pragma = Prepare("PRAGMA " + std::string(name));
  return pragma.Step() ? pragma.Integer(0) : 0;
}

Statement::Statement(sqlite3* db, std::string_view sql) : m_db(db) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
  m_stmt.reset(raw);
  if (rc != SQLITE_OK) Fail(db, rc, "cannot prepare \"" + std::string(sql.substr(0, 60)) + "\"");
}

void Statement::Check(int rc) const {
  if (rc != SQLITE_OK) Fail(m_db, rc, "cannot bind");
}

Statement& Statement::Bind(int index, std::int64_t value) {
  Check(sqlite3_bind_int64(m_stmt.get(), index, value));
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  Check(sqlite3_bind_double(m_stmt.get(), index, value));
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  Check(sqlite3_bind_text64(m_stmt.get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8));
  return *this;
}

Statement& Statement::BindBlob(int index, std::string_view bytes) {
  Check(sqlite3_bind_blob64(m_stmt.get(), index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
  return *this;
}

Statement& Statement::BindNull(int index) {
  Check(sqlite3_bind_null(m_stmt.get(), index));
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(m_stmt.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(m_db, rc, "cannot run \"" + std::string(sqlite3_sql(m_stmt.get())).substr(0, 60) + "\"");
}

void Statement::Reset() { sqlite3_reset(m_stmt.get()); }

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(m_stmt.get(), column) == SQLITE_NULL;
}

std::int64_t Statement::Integer(int column) const {
  return sqlite3_column_int64(m_stmt.get(), column);
}

double Statement::Real(int column) const { return sqlite3_column_double(m_stmt.get(), column); }

std::string Statement::Text(int column) const {
  // Blob first: it never converts, so a text's bytes come back unchanged too.
  const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt.get(), column));
  const int size = sqlite3_column_bytes(m_stmt.get(), column);
  return data ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::optional<double> Statement::OptionalReal(int column) const {
  if (IsNull(column)) return std::nullopt;
  return Real(column);
}

std::optional<std::int64_t> Statement::OptionalInteger(int column) const {
  if (IsNull(column)) return std::nullopt;
  return Integer(column);
}

Transaction::Transaction(Database& db) : m_db(db) { m_db.Exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
  if (m_done) return;
  try {
    m_db.Exec("ROLLBACK");
  } catch (const DatabaseError&) {
    // A failed statement may already have rolled back; nothing is left.
  }
}

void Transaction::Commit() {
  m_db.Exec("COMMIT");
  m_done = true;
}

}  // namespace halvorn::record
