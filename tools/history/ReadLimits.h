// What reading one record file may cost the viewer. A record is a file from
// anywhere (mailed, copied from another installation's disk), so the viewer
// opens it as SQLite's documentation advises for a database it did not
// write: nothing in the file runs (no view, trigger or function of its
// schema is trusted), no value is larger than any record holds, and a query
// that does not end in time is interrupted.
#pragma once

#include <atomic>
#include <chrono>

#include "record/Database.h"

namespace halvorn::history {

struct ReadLimits {
  // One read of the record (the sessions, or the rows a session added).
  // Opening a whole day of five polls a second (1 million rows, 120 MB)
  // takes well under a second; following the end reads only the new rows.
  std::chrono::milliseconds perRead{30'000};
  // The longest text or blob: captions, warning lines and the panel's
  // command line are a few hundred bytes at most.
  int longestValue = 1 << 20;
};

// The time left to the read under way on one connection. SQLite asks it
// every thousand steps of a query; once the time is up the query ends with
// SQLITE_INTERRUPT.
class ReadBudget {
 public:
  explicit ReadBudget(std::chrono::milliseconds perRead) : m_perRead(perRead) {}
  ReadBudget(const ReadBudget&) = delete;  // SQLite holds its address
  ReadBudget& operator=(const ReadBudget&) = delete;

  // A read begins: it has `perRead` from now. Between reads there is no bound.
  void start() {
    m_expired = false;
    m_deadline = std::chrono::steady_clock::now() + m_perRead;
  }
  void stop() { m_deadline = std::chrono::steady_clock::time_point::max(); }
  // Whether the last query was stopped because its read's time was up.
  [[nodiscard]] bool expired() const { return m_expired; }
  std::chrono::milliseconds perRead() const { return m_perRead; }

  // Reads end at once, as if their time were up but without saying so,
  // whenever `flag` is set (a newer request wants the connection).
  void cancelWith(const std::atomic<bool>* flag) { m_cancel = flag; }

  // SQLite's progress handler: nonzero interrupts.
  static int Check(void* budget);

 private:
  std::chrono::milliseconds m_perRead;
  std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
  bool m_expired = false;
  const std::atomic<bool>* m_cancel = nullptr;
};

// Puts a freshly opened connection under the limits before it reads
// anything: SQLite's defensive mode, an untrusted schema, no views or
// triggers, no attached databases, the bounds on values and statements,
// and `budget` as its progress handler. `budget` outlives the connection.
void Restrict(record::Database& db, const ReadLimits& limits, ReadBudget& budget);

}  // namespace halvorn::history
