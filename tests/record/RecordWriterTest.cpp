// The writer on real files: what it commits, what it refuses to open, and
// how it fails without taking the panel down (file size limit, the file
// removed) or losing the file (killed in the middle of a flood).
#include "record/RecordWriter.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "QueuedItems.h"
#include "record/Schema.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using halvorn::testing::TemporaryDirectory;
using namespace std::chrono_literals;

SessionInfo Info() { return {1'700'000'000'000'000'000, "0.1", "halvorn-panel --record run.halvorn", "1=/dev/pts/3"}; }

std::int64_t Count(Database& db, const std::string& sql) {
  Statement s = db.prepare(sql);
  return s.step() ? s.integer(0) : -1;
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
  Statement bytes = db.prepare("SELECT bytes, direction, wall_ns FROM traffic WHERE session = 2");
  ASSERT_TRUE(bytes.step());
  EXPECT_EQ(bytes.text(0), std::string("\x8c\0\r", 3));
  EXPECT_EQ(bytes.integer(1), static_cast<int>(Direction::Received));
  EXPECT_EQ(bytes.integer(2), 1'700'000'000'000'000'010);
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

TEST(RecordWriterTest, WhatCannotBeARecordIsRefusedWithASayingMessage) {
  TemporaryDirectory dir;
  struct Case {
    const char* name;
    void (*make)(const std::string& path);
    const char* says;
  };
  const Case cases[] = {
      {"notes.txt", [](const std::string& p) { std::ofstream(p) << "pump-down notes, not a database\n"; },
       "is not a Halvorn record"},
      {"recipes.db",
       [](const std::string& p) { Database(p, Database::Mode::ReadWriteCreate).exec("CREATE TABLE recipe (x)"); },
       "another program's database"},
      {"no/such/dir/run.halvorn", [](const std::string&) {}, "cannot open the record"},
      {"a-directory", [](const std::string& p) { std::filesystem::create_directory(p); }, "cannot open the record"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    c.make(path);
    try {
      RecordFile file(path);
      ADD_FAILURE() << "opened";
    } catch (const DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

TEST(RecordWriterTest, ASecondPanelCannotRecordIntoAFileInUse) {
  TemporaryDirectory dir;
  const std::string path = dir / "shared.halvorn";
  RecordFile first(path);
  try {
    RecordFile second(path);
    ADD_FAILURE() << "opened twice";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), path + " is being recorded by another panel");
  }
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
  Statement check = db.prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.step());
  EXPECT_EQ(check.text(0), "ok");
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
  Statement check = db.prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.step());
  EXPECT_EQ(check.text(0), "ok");
  const std::int64_t rows = Count(db, "SELECT count(*) FROM traffic");
  EXPECT_GT(rows, 1000);
  EXPECT_EQ(Count(db, "SELECT max(t_ns) FROM traffic"), rows - 1) << "no hole: commits are whole";
  EXPECT_EQ(Count(db, "SELECT last_t_ns FROM session"), rows - 1);
  EXPECT_EQ(Count(db, "SELECT ended FROM session"), 0);
}

}  // namespace
}  // namespace halvorn::record
