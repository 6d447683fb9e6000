#include "ReadLimits.h"

namespace halvorn::history {

int ReadBudget::Check(void* budget) {
  auto* self = static_cast<ReadBudget*>(budget);
  if (self->m_cancel && self->m_cancel->load(std::memory_order_relaxed)) return 1;
  if (std::chrono::steady_clock::now() < self->m_deadline) return 0;
  self->m_expired = true;
  return 1;
}

namespace {

void Configure(sqlite3* db, int option, int value, const char* what) {
  int now = -1;
  if (sqlite3_db_config(db, option, value, &now) != SQLITE_OK || now != value)
    throw record::DatabaseError(SQLITE_MISUSE, std::string("this SQLite cannot ") + what);
}

}  // namespace

void Restrict(record::Database& db, const ReadLimits& limits, ReadBudget& budget) {
  sqlite3* handle = db.handle();
  Configure(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, "open a file defensively");
  Configure(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, "distrust a file's schema");
  // The viewer reads tables only; a view or trigger of the file is never
  // run (its layout check refuses a view in a table's place as well).
  Configure(handle, SQLITE_DBCONFIG_ENABLE_VIEW, 0, "turn views off");
  Configure(handle, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, "turn triggers off");
  Configure(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, "turn extensions off");
  Configure(handle, SQLITE_DBCONFIG_DQS_DDL, 0, "read the schema strictly");
  Configure(handle, SQLITE_DBCONFIG_DQS_DML, 0, "read statements strictly");
  // The limits also bound what parsing the file's schema may take: each of
  // its statements is parsed under them.
  sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, limits.longestValue);
  sqlite3_limit(handle, SQLITE_LIMIT_SQL_LENGTH, 100'000);
  sqlite3_limit(handle, SQLITE_LIMIT_COLUMN, 200);
  sqlite3_limit(handle, SQLITE_LIMIT_EXPR_DEPTH, 100);
  sqlite3_limit(handle, SQLITE_LIMIT_COMPOUND_SELECT, 10);
  sqlite3_limit(handle, SQLITE_LIMIT_VDBE_OP, 100'000);
  sqlite3_limit(handle, SQLITE_LIMIT_FUNCTION_ARG, 8);
  sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_limit(handle, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 100);
  sqlite3_limit(handle, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
  sqlite3_limit(handle, SQLITE_LIMIT_WORKER_THREADS, 0);
  db.Exec("PRAGMA trusted_schema = OFF");
  sqlite3_progress_handler(handle, 1000, &ReadBudget::Check, &budget);
}

}  // namespace halvorn::history
