// The record's one writer: a thread that owns the database connection,
// takes what the window's thread queued and commits it in one transaction
// at least every kCommitPeriod and at Stop(), so that a crash loses at most
// the last moments and a viewer can follow the file while it grows.
//
// A failure while writing (disk full, file size limit, the file removed,
// an I/O error) stops the recording, never the panel: Failure() then says
// why, and what is queued afterwards is dropped. A lock that another
// program holds on the file (SQLITE_BUSY, SQLITE_LOCKED) is not a failure
// until it has lasted kBusyPatience: the batch it refused is kept and tried
// again at each commit, while the queue takes what follows.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "record/Clock.h"
#include "record/Database.h"
#include "record/ItemQueue.h"
#include "record/RecordPath.h"

namespace halvorn::record {

// What the session row says of the run.
struct SessionInfo {
  std::int64_t startedWallNs = 0;
  std::string version;
  std::string commandLine;
  std::string portMap;
};

constexpr std::chrono::milliseconds kCommitPeriod{200};
// How long the writer tries again while another program locks the file,
// before recording stops for the rest of the run. A steady plant fills the
// queue in more than an hour, a flood in about a minute: within this,
// nothing is lost to the lock.
constexpr std::chrono::milliseconds kBusyPatience{60'000};

// How many days of raw rows the record keeps (see Retention.h), and the
// clock that tells their age.
struct KeepDays {
  std::int64_t days = 0;
  const Clock* clock = nullptr;
};

// An open record: the database, checked or newly made, and a lock on the
// file that keeps a second panel from recording into it at the same time.
class RecordFile {
 public:
  // Opens or creates `path`. Throws RecordRefused when `path` cannot be a
  // record (see RecordPath.h), else DatabaseError with a message for the
  // operator when the file cannot be opened now: another panel records
  // into it, a lock held past a bounded wait, the disk, a read-only folder.
  explicit RecordFile(const std::string& path);
  RecordFile(RecordFile&& other) noexcept;
  RecordFile& operator=(RecordFile&&) = delete;
  ~RecordFile();

  Database& database() { return *m_db; }
  const std::string& path() const { return m_path; }
  // Whether `path` still names the file this record writes into.
  bool StillThere() const;

 private:
  void Close();

  std::string m_path;
  int m_lockFd = -1;  // closed only after the database, so SQLite's locks stay
  std::optional<Database> m_db;
};

class RecordWriter {
 public:
  // Adds the session row (its number is session()); throws DatabaseError.
  // The thread starts at once. `busyPatience`: how long a lock on the file
  // is tried again before recording stops. `keep`: between commits, the
  // raw rows older than that go, a bounded step at a time; without it
  // nothing is ever removed.
  RecordWriter(RecordFile file, ItemQueue& queue, const SessionInfo& info,
               std::chrono::milliseconds busyPatience = kBusyPatience,
               std::optional<KeepDays> keep = std::nullopt);
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;
  // Stops if not stopped.
  ~RecordWriter();

  std::int64_t session() const { return m_session; }
  const std::string& path() const { return m_file.path(); }

  // Commits what is queued, marks the session ended and stops the thread.
  void Stop();

  // Why recording stopped during the run; empty while it works.
  std::optional<std::string> Failure() const;

  // Commits what is queued now, from the writer thread; for tests that
  // read the file while the writer runs. Returns once committed, or once
  // tried while the file is locked.
  void Flush();

 private:
  void Run();
  // `last`: at Stop(), where a locked file is not waited for again.
  void CommitQueued(bool last);
  void CommitBatch();
  // One step of retention, when asked for and the file is not locked.
  void KeepBounded();
  void Fail(const std::string& why);

  RecordFile m_file;
  ItemQueue& m_queue;
  std::int64_t m_session = 0;
  std::int64_t m_lastT = 0;
  // The number of the newest action stored and its rowid; the writer
  // thread's own.
  std::optional<std::pair<std::int64_t, std::int64_t>> m_lastAction;
  std::chrono::milliseconds m_busyPatience;
  std::optional<KeepDays> m_keep;
  // Since when the kept batch has met a lock; the writer thread's own.
  std::optional<std::chrono::steady_clock::time_point> m_busySince;

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_flushed;
  bool m_stopping = false;
  std::uint64_t m_flushRequests = 0;
  std::uint64_t m_flushesDone = 0;
  std::optional<std::string> m_failure;  // guarded by m_mutex
  bool m_failed = false;                 // the writer thread's own copy
  std::thread m_thread;
};

}  // namespace halvorn::record
