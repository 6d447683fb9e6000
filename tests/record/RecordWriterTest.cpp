// The writer on real files: what it commits, what it refuses to open and
// what only fails for the moment, how it waits out another program's lock,
// and how it fails without taking the panel down (file size limit, the file
// removed) or losing the file (killed in the middle of a flood).
#include "record/RecordWriter.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "QueuedItems.h"
#include "record/Schema.h"
#include "support/FieldRecord.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using halvorn::testing::TemporaryDirectory;
using namespace std::chrono_literals;

SessionInfo Info() { return {1'700'000'000'000'000'000, "0.1", "halvorn-panel --record run.halvorn", "1=/dev/pts/3"}; }

std::int64_t Count(Database& db, const std::string& sql) {
  Statement s = db.Prepare(sql);
  return s.Step() ? s.Integer(0) : -1;
}

TEST(RecordWriterTest, SessionsFollowOneAnotherInOneFileAndEndCleanly) {
  TemporaryDirectory dir;
  const std::string path = dir / "run.halvorn";
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    ItemQueue queue(1 << 16);
    RecordWriter writer(RecordFile(path), queue, Info());
    EXPECT_EQ(writer.session(), run);
    queue.Push(testing::ReceivedItem(10, std::string("\x8c\0\r", 3)));
    Item action;
    action.kind = Item::Kind::Action;
    action.t_ns = 20;
    action.text = {std::string_view("mnuV6Open_Click"), std::string_view("V6"), std::string_view("Open")};
    queue.Push(action);
    writer.Stop();
    EXPECT_FALSE(writer.Failure());
  }
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE ended = 1 AND last_t_ns = 20"), 2);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE port_map = '1=/dev/pts/3' AND version = '0.1'"), 2);
  Statement bytes = db.Prepare("SELECT bytes, direction, wall_ns FROM traffic WHERE session = 2");
  ASSERT_TRUE(bytes.Step());
  EXPECT_EQ(bytes.Text(0), std::string("\x8c\0\r", 3));
  EXPECT_EQ(bytes.Integer(1), static_cast<int>(Direction::Received));
  EXPECT_EQ(bytes.Integer(2), 1'700'000'000'000'000'010);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM action WHERE procedure = 'mnuV6Open_Click' AND device = 'V6'"), 2);
}

TEST(RecordWriterTest, AnotherProgramReadsWhatIsCommittedWhileThePanelWrites) {
  TemporaryDirectory dir;
  const std::string path = dir / "live.halvorn";
  ItemQueue queue(1 << 16);
  RecordWriter writer(RecordFile(path), queue, Info());
  Database viewer(path, Database::Mode::ReadOnly);
  for (int i = 0; i < 3; ++i) {
    queue.Push(testing::ReceivedItem(i, "061_246\r"));
    writer.Flush();
    EXPECT_EQ(Count(viewer, "SELECT count(*) FROM traffic"), i + 1);
    EXPECT_EQ(Count(viewer, "SELECT last_t_ns FROM session"), i);
  }
  EXPECT_EQ(Count(viewer, "SELECT ended FROM session"), 0) << "still running";
}

// How a start of the record came out: a refusal is for the operator to
// mend, a failure of the moment lets the panel start without a record.
struct Start {
  enum Kind { Opened, Refused, OfTheMoment } kind;
  std::string message;
};

Start TryToRecord(const std::string& path) {
  try {
    ItemQueue queue(1 << 12);
    RecordWriter writer(RecordFile(path), queue, Info());
    return {Start::Opened, ""};
  } catch (const RecordRefused& e) {
    return {Start::Refused, e.what()};
  } catch (const DatabaseError& e) {
    return {Start::OfTheMoment, e.what()};
  }
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename());
  return names;
}

// Another program's connection holding the write lock, as `sqlite3 FILE`
// does after BEGIN EXCLUSIVE.
struct HeldLock {
  explicit HeldLock(const std::string& path) : db(path, Database::Mode::ReadWriteCreate) {
    db.Exec("BEGIN EXCLUSIVE");
  }
  Database db;
};

TEST(RecordWriterTest, WhatCanNeverBeARecordIsRefusedBeforeAnythingIsMadeBesideIt) {
  TemporaryDirectory dir;
  const std::string folder = dir.path();
  struct Case {
    std::string path;
    void (*make)(const std::string& path);
    const char* says;
  };
  const auto nothing = [](const std::string&) {};
  const Case cases[] = {
      {dir / "notes.txt",
       [](const std::string& p) { std::ofstream(p) << "pump-down notes, not a database\n"; },
       "is not a Halvorn record: file is not a database"},
      {dir / "recipes.db",
       [](const std::string& p) {
         Database(p, Database::Mode::ReadWriteCreate).Exec("CREATE TABLE recipe (x)");
       },
       "another program's database"},
      {dir / "newer.halvorn",
       [](const std::string& p) {
         { RecordFile make(p); }
         Database(p, Database::Mode::ReadWrite).Exec("PRAGMA user_version=" + std::to_string(kSchemaVersion + 1));
       },
       "was written by a newer panel"},
      {dir / "no/such/dir/run.halvorn", nothing, "the folder of"},
      {dir / "a-directory", [](const std::string& p) { std::filesystem::create_directory(p); },
       "is a folder"},
      {dir / "a-fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); },
       "is a FIFO"},
      {dir / "dangling",
       [](const std::string& p) { std::filesystem::create_symlink("gone.halvorn", p); },
       "a link to nothing"},
      // Looked at, never opened: as root, SQLite would make /dev/zero-journal.
      {"/dev/zero", nothing, "is a device"},
      {"file:" + std::string(dir / "memory.halvorn") + "?mode=memory", nothing,
       "is an SQLite name, not a file"},
      {"file:" + std::string(dir / "shared.halvorn") + "?nolock=1", nothing,
       "is an SQLite name, not a file"},
      {":memory:", nothing, "is an SQLite name, not a file"},
  };
  const bool journalBefore = std::filesystem::exists("/dev/zero-journal");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    c.make(c.path);
    const std::set<std::string> before = Names(folder);
    const Start start = TryToRecord(c.path);
    EXPECT_EQ(start.kind, Start::Refused) << start.message;
    EXPECT_NE(start.message.find(c.says), std::string::npos) << start.message;
    EXPECT_NE(start.message.find(c.path), std::string::npos) << start.message;
    EXPECT_EQ(Names(folder), before) << "nothing made beside it";
  }
  EXPECT_EQ(std::filesystem::exists("/dev/zero-journal"), journalBefore);
  EXPECT_FALSE(std::filesystem::exists(":memory:"));
}

// A record of an older layout that a panel appends to is brought to this
// layout in place: the alarm journal it lacked is there and empty, and what
// its sessions recorded is as it was.
// The session table before layout 4: without summarised_t_ns and raw_from_t_ns.
std::string SessionTableBeforeLayout4() {
  std::string sql = kSchemaSql;
  const auto cut = [&](const std::string& line) {
    const std::size_t at = sql.find(line);
    if (at != std::string::npos) sql.erase(at, sql.find('\n', at) + 1 - at);
  };
  cut("  summarised_t_ns ");
  cut("  raw_from_t_ns ");
  const std::size_t ended = sql.find("ended INTEGER NOT NULL DEFAULT 0,");
  if (ended != std::string::npos) sql[sql.find(',', ended)] = ' ';
  return sql;
}

// A record of layout 2 or 3, as those panels made it, with one session.
std::string OlderRecord(const TemporaryDirectory& dir, int layout) {
  const std::string path = dir / ("layout-" + std::to_string(layout) + ".halvorn");
  Database old(path, Database::Mode::ReadWriteCreate);
  old.Exec("PRAGMA journal_mode=WAL");
  old.Exec(SessionTableBeforeLayout4());
  old.Exec(kCommandTableSql);
  if (layout >= 3) old.Exec(kAlarmTableSql);
  old.Exec("PRAGMA application_id=" + std::to_string(kApplicationId));
  old.Exec("PRAGMA user_version=" + std::to_string(layout));
  old.Exec(
      "INSERT INTO session(started_wall_ns, version, command_line, port_map) VALUES (5, '0.2', '', '');"
      "INSERT INTO traffic VALUES (1, 10, 15, 1, X'3032305F30360D');"
      "INSERT INTO action VALUES (1, 9, 14, 'mnuV6Open_Click', 'V6', 'Open');"
      "INSERT INTO command VALUES (1, 10, 15, 1, X'3032305F30360D');"
      "INSERT INTO device_state VALUES (1, 11, 16, 'V6', 'open', NULL, 65280, 5, NULL);"
      "INSERT INTO device_state VALUES (1, 12, 17, 'G6', '1.0E-3', 'ok', 65280, 0, 0.001);"
      "INSERT INTO event VALUES (1, 20, 25, 'gap', 3, 'items not recorded', 12);"
      "UPDATE session SET ended = 1, last_t_ns = 20");
  return path;
}

TEST(RecordWriterTest, AnOlderRecordGetsThisLayoutInPlaceWithItsRowsUntouched) {
  TemporaryDirectory dir;
  using Columns = std::vector<std::pair<std::string, std::string>>;  // table, its columns
  // What layout 1 had; layout 2 besides.
  const Columns layout1 = {
      {"session", "id, started_wall_ns, version, command_line, port_map, last_t_ns, ended"},
      {"traffic", "session, t_ns, wall_ns, direction, bytes"},
      {"action", "session, t_ns, wall_ns, procedure, device, argument"},
      {"device_state", "session, t_ns, wall_ns, device, text, detail, colour, quality, value"},
      {"event", "session, t_ns, wall_ns, kind, number, text"},
  };
  Columns layout2 = layout1;
  layout2.insert(layout2.end(), {{"event", "began_t_ns"}, {"command", "session, t_ns, wall_ns, action, bytes"}});
  struct Case {
    const char* layout;
    const Columns& columns;
    std::string (*make)(const TemporaryDirectory& dir);
  };
  const Case cases[] = {
      {"layout 1 from the field", layout1,
       [](const TemporaryDirectory& d) { return halvorn::testing::CopyOfFixture(d, halvorn::testing::kFieldRecordLayout1); }},
      {"layout 2", layout2, [](const TemporaryDirectory& d) { return OlderRecord(d, 2); }},
      {"layout 3", layout2, [](const TemporaryDirectory& d) { return OlderRecord(d, 3); }},
  };
  // The first session's rows as sqlite3 quotes them, table by table.
  const auto rowsOf = [](const std::string& path, const Columns& columns) {
    Database db(path, Database::Mode::ReadOnly);
    std::string rows;
    for (const auto& [table, list] : columns) {
      std::string quoted = "'" + table + "'";
      for (std::size_t at = 0; at < list.size();) {
        const std::size_t comma = std::min(list.find(", ", at), list.size());
        quoted += " || ' ' || quote(" + list.substr(at, comma - at) + ")";
        at = comma + 2;
      }
      Statement all = db.Prepare("SELECT " + quoted + " FROM " + table + " WHERE " +
                                 (table == "session" ? "id" : "session") + " = 1 ORDER BY rowid");
      while (all.Step()) rows += all.Text(0) + "\n";
    }
    return rows;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    const std::string path = c.make(dir);
    const std::string before = rowsOf(path, c.columns);
    ASSERT_NE(before.find("event "), std::string::npos) << "the old record has rows to keep";
    {
      ItemQueue queue(1 << 16);
      RecordWriter writer(RecordFile(path), queue, Info());
      EXPECT_EQ(writer.session(), 2);
    }
    Database db(path, Database::Mode::ReadOnly);
    EXPECT_EQ(LayoutOf(db), kSchemaVersion);
    EXPECT_EQ(Count(db, "SELECT count(*) FROM alarm"), 0) << "older sessions ran without alarms";
    EXPECT_EQ(Count(db, "SELECT count(*) FROM pragma_table_info('alarm')"), 10);
    EXPECT_EQ(Count(db, "SELECT count(*) FROM pragma_table_info('summary')"), 15);
    EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE raw_from_t_ns = 0"), 2);
    EXPECT_EQ(rowsOf(path, c.columns), before);
  }
}

// SQLite, as built here, reads any name beginning with "file:" as a URI.
// Through the wrapper such a name is a file in the current folder, and
// "./file:..." is how the panel is given one.
TEST(RecordWriterTest, ANameBeginningWithFileIsOnlyEverAFileName) {
  TemporaryDirectory dir;
  const std::filesystem::path back = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  Database("file:plain.db?mode=memory", Database::Mode::ReadWriteCreate).Exec("CREATE TABLE t (x)");
  const Start start = TryToRecord("./file:run.halvorn?nolock=1");
  std::filesystem::current_path(back);
  EXPECT_TRUE(std::filesystem::exists(dir / "file:plain.db?mode=memory"));
  EXPECT_EQ(start.kind, Start::Opened) << start.message;
  EXPECT_TRUE(std::filesystem::exists(dir / "file:run.halvorn?nolock=1"));
}

TEST(RecordWriterTest, ALockOrAnotherPanelIsAFailureOfTheMomentWithABoundedWait) {
  TemporaryDirectory dir;
  const std::string recorded = dir / "recorded.halvorn";
  const std::string walRecord = dir / "locked.halvorn";
  const std::string newFile = dir / "new.halvorn";
  { RecordFile make(walRecord); }
  RecordFile otherPanel(recorded);
  HeldLock onRecord(walRecord);
  HeldLock onNewFile(newFile);  // an empty database, its whole file locked
  const std::pair<std::string, std::string> cases[] = {
      {recorded, recorded + " is being recorded by another panel"},
      {walRecord, "cannot start a session in " + walRecord + ": database is locked"},
      {newFile, "cannot read " + newFile + ": database is locked"},
  };
  for (const auto& [path, says] : cases) {
    SCOPED_TRACE(path);
    const auto began = std::chrono::steady_clock::now();
    const Start start = TryToRecord(path);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 10s)
        << "a lock is not waited for without end";
    EXPECT_EQ(start.kind, Start::OfTheMoment);
    EXPECT_EQ(start.message, says);
  }
}

// Root writes through any mode bits, so the folder is bound read-only in a
// mount namespace of the child's own.
TEST(RecordWriterTest, AReadOnlyFileSystemIsAFailureOfTheMoment) {
  TemporaryDirectory dir;
  const std::string existing = dir / "kept.halvorn";
  { RecordFile make(existing); }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const char* folder = dir.path().c_str();
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(folder, folder, nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, folder, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      ::_exit(77);
    }
    for (const std::string& path : {existing, std::string(dir / "new.halvorn")}) {
      const Start start = TryToRecord(path);
      if (start.kind != Start::OfTheMoment ||
          start.message.find("Read-only file system") == std::string::npos) {
        std::fprintf(stderr, "%s: %d %s\n", path.c_str(), start.kind, start.message.c_str());
        ::_exit(1);
      }
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's lines above";
}

TEST(RecordWriterTest, ALockOfTheMomentIsWaitedOutWithTheBatchKept) {
  TemporaryDirectory dir;
  const std::string path = dir / "waited.halvorn";
  ItemQueue queue(1 << 16);
  RecordWriter writer(RecordFile(path), queue, Info());
  queue.Push(testing::ReceivedItem(1, "before"));
  writer.Flush();
  {
    HeldLock other(path);
    for (int i = 2; i <= 6; ++i) {
      queue.Push(testing::ReceivedItem(i, "during"));
      writer.Flush();  // refused by the lock, kept
    }
    EXPECT_FALSE(writer.Failure());
  }
  queue.Push(testing::ReceivedItem(7, "after"));
  writer.Flush();
  EXPECT_FALSE(writer.Failure());
  writer.Stop();
  Database db(path, Database::Mode::ReadOnly);
  Statement rows =
      db.Prepare("SELECT group_concat(t_ns, ' ') FROM (SELECT t_ns FROM traffic ORDER BY rowid)");
  ASSERT_TRUE(rows.Step());
  EXPECT_EQ(rows.Text(0), "1 2 3 4 5 6 7") << "each once, in order";
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE ended = 1 AND last_t_ns = 7"), 1);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM event"), 0) << "no gap";
}

TEST(RecordWriterTest, ALockThatLastsStopsTheRecordingWithTheReason) {
  TemporaryDirectory dir;
  const std::string path = dir / "held.halvorn";
  ItemQueue queue(1 << 16);
  RecordWriter writer(RecordFile(path), queue, Info(), 500ms);
  HeldLock other(path);
  const auto began = std::chrono::steady_clock::now();
  while (!writer.Failure() && std::chrono::steady_clock::now() - began < 10s) {
    queue.Push(testing::ReceivedItem(1, "x"));
    writer.Flush();
  }
  EXPECT_GE(std::chrono::steady_clock::now() - began, 500ms) << "not at the first refusal";
  ASSERT_TRUE(writer.Failure());
  EXPECT_EQ(
      writer.Failure()->rfind(path + " is locked by another program (database is locked for ", 0),
      0u)
      << *writer.Failure();
  const auto stopping = std::chrono::steady_clock::now();
  writer.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 5s);
}

TEST(RecordWriterTest, ARemovedFileStopsTheRecordingWithTheReason) {
  TemporaryDirectory dir;
  const std::string path = dir / "removed.halvorn";
  ItemQueue queue(1 << 16);
  RecordWriter writer(RecordFile(path), queue, Info());
  queue.Push(testing::ReceivedItem(1, "x"));
  writer.Flush();
  EXPECT_FALSE(writer.Failure());
  std::filesystem::remove(path);
  queue.Push(testing::ReceivedItem(2, "y"));
  writer.Flush();
  ASSERT_TRUE(writer.Failure());
  EXPECT_EQ(*writer.Failure(), path + " was removed or replaced");
  queue.Push(testing::ReceivedItem(3, "z"));
  writer.Flush();  // dropped quietly, no second failure
  EXPECT_EQ(*writer.Failure(), path + " was removed or replaced");
}

// The size limit is the process's own; the test runs it in a child so the
// limit and the ignored signal go with it.
TEST(RecordWriterTest, AFileSizeLimitReachedMidRunStopsTheRecordingNotTheProgram) {
  TemporaryDirectory dir;
  const std::string path = dir / "limited.halvorn";
  { RecordFile make(path); }  // the schema, before the limit
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{256 * 1024, 256 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    int status = 1;
    {
      ItemQueue queue(1 << 20);
      RecordWriter writer(RecordFile(path), queue, Info());
      const std::string chunk(4000, 'a');
      for (int i = 0; i < 400 && !writer.Failure(); ++i) {
        queue.Push(testing::ReceivedItem(i, chunk));
        if (i % 10 == 9) writer.Flush();
      }
      // Reaching here alive with a reason is the point.
      if (const auto failure = writer.Failure()) status = failure->empty() ? 3 : 0;
      writer.Stop();
    }
    ::_exit(status);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "no failure was reported";
  Database db(path, Database::Mode::ReadOnly);
  Statement check = db.Prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.Step());
  EXPECT_EQ(check.Text(0), "ok");
  EXPECT_GT(Count(db, "SELECT count(*) FROM traffic"), 10) << "what was committed before the limit stays";
}

// Killed without warning while items pour in: the file opens as it is,
// passes the integrity check, and holds an unbroken run of items from the
// first on.
TEST(RecordWriterTest, KilledDuringAFloodTheFileIsWholeAndHoldsAnUnbrokenRun) {
  TemporaryDirectory dir;
  const std::string path = dir / "killed.halvorn";
  { RecordFile make(path); }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ItemQueue queue(4 << 20);
    RecordWriter writer(RecordFile(path), queue, Info());
    const std::string answer(25, 'x');
    for (std::int64_t i = 0;; ++i) {
      queue.Push(testing::ReceivedItem(i, answer));
      if (i % 64 == 0) std::this_thread::sleep_for(1ms);  // about 64000 items a second
    }
  }
  std::this_thread::sleep_for(1500ms);
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);

  Database db(path, Database::Mode::ReadWrite);
  Statement check = db.Prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.Step());
  EXPECT_EQ(check.Text(0), "ok");
  const std::int64_t rows = Count(db, "SELECT count(*) FROM traffic");
  EXPECT_GT(rows, 1000);
  EXPECT_EQ(Count(db, "SELECT max(t_ns) FROM traffic"), rows - 1) << "no hole: commits are whole";
  EXPECT_EQ(Count(db, "SELECT last_t_ns FROM session"), rows - 1);
  EXPECT_EQ(Count(db, "SELECT ended FROM session"), 0);
}

}  // namespace
}  // namespace halvorn::record
