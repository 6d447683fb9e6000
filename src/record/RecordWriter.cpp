#include "record/RecordWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "record/Retention.h"
#include "record/Schema.h"

namespace halvorn::record {
namespace {

// How long opening the record waits for another program's brief lock (a
// viewer starting to read) before giving up.
constexpr int kOpenBusyMilliseconds = 2000;
// How long one commit waits for a lock during the run.
constexpr int kRunBusyMilliseconds = 100;

bool IsLock(int code) { return code == SQLITE_BUSY || code == SQLITE_LOCKED; }

}  // namespace

RecordFile::RecordFile(const std::string& path) : m_path(path) {
  // Decided on the name before anything is opened: opening a device may
  // already do something, and SQLite would make its journal beside it.
  if (std::optional<std::string> problem = RecordPathProblem(path)) throw RecordRefused(*problem);
  // Non-blocking, so that a FIFO put there since cannot hold the start.
  m_lockFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (m_lockFd < 0) {
    throw DatabaseError(SQLITE_CANTOPEN, "cannot open the record " + path + ": " + std::strerror(errno));
  }
  struct stat opened {};
  if (::fstat(m_lockFd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(m_lockFd);
    m_lockFd = -1;
    throw RecordRefused(path + " is not a regular file, not a record file");
  }
  // An advisory lock of our own beside SQLite's: two panels appending
  // sessions to one file at once would interleave their commits, and
  // SQLite's own locks let them.
  if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(m_lockFd);
    m_lockFd = -1;
    throw DatabaseError(SQLITE_BUSY, error == EWOULDBLOCK
                                         ? path + " is being recorded by another panel"
                                         : "cannot lock the record " + path + ": " + std::strerror(error));
  }
  try {
    m_db.emplace(path, Database::Mode::ReadWriteCreate);
    m_db->SetBusyTimeout(kOpenBusyMilliseconds);
    bool empty = false;
    try {
      empty = IsEmpty(*m_db);
    } catch (const DatabaseError& e) {
      // SQLite's own words ("file is not a database"), not the statement.
      if (IsWrongFile(e.code()))
        throw RecordRefused(path + " is not a Halvorn record: " + sqlite3_errstr(e.code()));
      throw DatabaseError(e.code(), "cannot read " + path + ": " + sqlite3_errstr(e.code()));
    }
    if (empty) {
      CreateSchema(*m_db);
    } else {
      CheckIsRecord(*m_db, path);
      m_db->Exec("PRAGMA journal_mode=WAL");
      // A record of an older layout gets this one's tables before a session
      // of this layout goes in.
      UpgradeSchema(*m_db);
    }
    // In write-ahead-log mode NORMAL loses nothing committed when the panel
    // is killed; only a power cut may take the last commits.
    m_db->Exec("PRAGMA synchronous=NORMAL");
  } catch (const RecordRefused&) {
    Close();
    throw;
  } catch (const DatabaseError& e) {
    Close();
    if (IsWrongFile(e.code())) throw RecordRefused(e.what());
    throw;
  } catch (...) {
    Close();
    throw;
  }
}

void RecordFile::Close() {
  m_db.reset();
  if (m_lockFd >= 0) ::close(m_lockFd);
  m_lockFd = -1;
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_lockFd(other.m_lockFd), m_db(std::move(other.m_db)) {
  other.m_lockFd = -1;
  other.m_db.reset();
}

RecordFile::~RecordFile() { Close(); }

bool RecordFile::StillThere() const {
  struct stat named {};
  struct stat held {};
  if (::stat(m_path.c_str(), &named) != 0 || ::fstat(m_lockFd, &held) != 0) return false;
  return named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

RecordWriter::RecordWriter(RecordFile file, ItemQueue& queue, const SessionInfo& info,
                           std::chrono::milliseconds busyPatience, std::optional<KeepDays> keep)
    : m_file(std::move(file)), m_queue(queue), m_busyPatience(busyPatience), m_keep(keep) {
  Database& db = m_file.database();
  try {
    Statement insert = db.Prepare(
        "INSERT INTO session(started_wall_ns, version, command_line, port_map) "
        "VALUES(?1, ?2, ?3, ?4)");
    insert.Bind(1, info.startedWallNs)
        .Bind(2, info.version)
        .Bind(3, info.commandLine)
        .Bind(4, info.portMap);
    insert.Step();
  } catch (const DatabaseError& e) {
    throw DatabaseError(
        e.code(), "cannot start a session in " + m_file.path() + ": " + sqlite3_errstr(e.code()));
  }
  m_session = db.LastInsertRowid();
  // From now on a lock is tried again at each commit rather than waited
  // for, so that Stop() is never held long by another program.
  db.SetBusyTimeout(kRunBusyMilliseconds);
  m_thread = std::thread([this] { Run(); });
}

RecordWriter::~RecordWriter() { Stop(); }

void RecordWriter::Stop() {
  if (!m_thread.joinable()) return;
  {
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void RecordWriter::Flush() {
  std::unique_lock lock(m_mutex);
  if (!m_thread.joinable() || m_stopping) return;
  const std::uint64_t request = ++m_flushRequests;
  m_wake.notify_all();
  m_flushed.wait(lock, [&] { return m_flushesDone >= request; });
}

std::optional<std::string> RecordWriter::Failure() const {
  const std::lock_guard lock(m_mutex);
  return m_failure;
}

void RecordWriter::Fail(const std::string& why) {
  m_failed = true;
  const std::lock_guard lock(m_mutex);
  if (!m_failure) m_failure = why;
}

void RecordWriter::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait_for(lock, kCommitPeriod, [&] { return m_stopping || m_flushRequests != m_flushesDone; });
    const bool stopping = m_stopping;
    const std::uint64_t requests = m_flushRequests;
    lock.unlock();
    // The last commit waits for a lock as long as the start did.
    if (stopping) m_file.database().SetBusyTimeout(kOpenBusyMilliseconds);
    CommitQueued(stopping);
    if (!stopping) KeepBounded();
    if (stopping && !m_failed) {
      try {
        Statement end = m_file.database().Prepare("UPDATE session SET ended = 1, last_t_ns = ?1 WHERE id = ?2");
        end.Bind(1, m_lastT).Bind(2, m_session).Step();
      } catch (const DatabaseError& e) {
        Fail(e.what());
      }
    }
    lock.lock();
    m_flushesDone = requests;
    m_flushed.notify_all();
    if (stopping) return;
  }
}

void RecordWriter::CommitQueued(bool last) {
  if (m_failed) {
    m_queue.TakeAll([](const Item&) {});
    return;
  }
  try {
    const bool retry = m_queue.HoldsBatch();
    CommitBatch();
    m_busySince.reset();
    // The kept batch is in; what came meanwhile need not wait a period.
    if (retry) CommitBatch();
  } catch (const DatabaseError& e) {
    if (IsLock(e.code())) {
      const auto now = std::chrono::steady_clock::now();
      if (!m_busySince) m_busySince = now;
      if (!last && now - *m_busySince < m_busyPatience)
        return;  // the batch is kept for the next commit
      const auto seconds =
          std::chrono::duration_cast<std::chrono::seconds>(now - *m_busySince).count();
      m_queue.Release();
      Fail(m_file.path() + " is locked by another program (" + e.what() + " for " +
           std::to_string(seconds) + " s)");
      return;
    }
    m_queue.Release();
    Fail(e.what());
    return;
  }
  // SQLite writes on into a file that was deleted or renamed away, and the
  // operator would believe the record safe.
  if (!m_file.StillThere()) Fail(m_file.path() + " was removed or replaced");
}

void RecordWriter::KeepBounded() {
  // While a lock holds the live items back, they go first.
  if (!m_keep || !m_keep->clock || m_failed || m_busySince) return;
  RetentionLimits limits;
  limits.keepDays = m_keep->days;
  try {
    (void)StepRetention(m_file.database(), limits, m_keep->clock->Now().wallNs);
  } catch (const DatabaseError& e) {
    // A lock is waited out by the next step; anything else fails the file.
    if (!IsLock(e.code())) Fail(e.what());
  }
}

void RecordWriter::CommitBatch() {
  Database& db = m_file.database();
  // Prepared once per commit: a handful of statements every 200 ms is
  // nothing beside the rows, and no statement outlives a failure. Kept by
  // the queue until committed: a lock that refuses it leaves it whole for
  // the next try, and the rollback leaves nothing of it in the file.
  std::optional<Transaction> transaction;
  std::int64_t newest = m_lastT;
  std::optional<std::pair<std::int64_t, std::int64_t>> pendingAction;
  std::optional<Statement> traffic, action, device, event, command, alarm;
  m_queue.Offer([&](const Item& item) {
    if (!transaction) {
      transaction.emplace(db);
      traffic.emplace(db.Prepare("INSERT INTO traffic VALUES(?1, ?2, ?3, ?4, ?5)"));
      action.emplace(db.Prepare("INSERT INTO action VALUES(?1, ?2, ?3, ?4, ?5, ?6)"));
      device.emplace(
          db.Prepare("INSERT INTO device_state VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"));
      event.emplace(db.Prepare("INSERT INTO event VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)"));
      command.emplace(db.Prepare("INSERT INTO command VALUES(?1, ?2, ?3, ?4, ?5)"));
      alarm.emplace(db.Prepare("INSERT INTO alarm VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"));
    }
    Statement* row = nullptr;
    switch (item.kind) {
      case Item::Kind::Command: {
        row = &*command;
        // The panel sends an action's frames while the action runs, so the
        // action of a command is the last one stored, or none known.
        const auto& last = pendingAction ? pendingAction : m_lastAction;
        const bool ours = item.number && last && last->first == *item.number;
        row->Bind(4, ours ? std::optional(last->second) : std::nullopt)
            .BindBlob(5, item.text[0].value_or(std::string_view{}));
        break;
      }
      case Item::Kind::Traffic:
        row = &*traffic;
        row->Bind(4, item.code).BindBlob(5, item.text[0].value_or(std::string_view{}));
        break;
      case Item::Kind::Action:
        row = &*action;
        row->Bind(4, item.text[0].value_or(""))
            .Bind(5, item.text[1])
            .Bind(6, item.text[2].value_or(""));
        break;
      case Item::Kind::DeviceState:
        row = &*device;
        row->Bind(4, item.text[0].value_or(""))
            .Bind(5, item.text[1].value_or(""))
            .Bind(6, item.text[2]);
        row->Bind(7, item.number).Bind(8, item.code).Bind(9, item.value);
        break;
      case Item::Kind::Event:
        row = &*event;
        row->Bind(4, item.text[0].value_or(""))
            .Bind(5, item.number)
            .Bind(6, item.text[1].value_or(""))
            .Bind(7, item.began_ns);
        break;
      case Item::Kind::Alarm:
        row = &*alarm;
        row->Bind(4, item.text[0].value_or(""))
            .Bind(5, item.text[1].value_or(""))
            .Bind(6, item.text[2].value_or(""))
            .Bind(7, item.text[3].value_or(""))
            .Bind(8, item.text[4])
            .Bind(9, item.number)
            .Bind(10, item.text[5]);
        break;
    }
    row->Bind(1, m_session).Bind(2, item.t_ns).Bind(3, item.wall_ns);
    row->Step();
    row->Reset();
    if (item.kind == Item::Kind::Action && item.number) pendingAction = {*item.number, db.LastInsertRowid()};
    newest = std::max(newest, item.t_ns);
  });
  if (transaction) {
    Statement last = db.Prepare("UPDATE session SET last_t_ns = ?1 WHERE id = ?2");
    last.Bind(1, newest).Bind(2, m_session).Step();
    traffic.reset();
    action.reset();
    device.reset();
    event.reset();
    command.reset();
    transaction->Commit();
    m_lastT = newest;
    // Only once committed: a batch rolled back is offered again whole.
    if (pendingAction) m_lastAction = pendingAction;
  }
  m_queue.Release();
}

}  // namespace halvorn::record
