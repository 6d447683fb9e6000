// The real halvorn-panel program recording: what can never be a record
// stops the start, a record that fails for the moment does not, and a
// panel killed with SIGKILL in the middle of a flood leaves
// a file that opens without repair, passes SQLite's integrity check and
// holds the run up to its last moments. The panel is started unchanged;
// the performance probe's plugin presses its "Connect" button.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ProbedPanel.h"
#include "record/Database.h"
#include "record/Schema.h"
#include "support/StoredSummaries.h"
#include "support/TemporaryDirectory.h"

namespace halvorn {
namespace {

using namespace std::chrono_literals;
using record::Database;
using record::Statement;

std::int64_t WallNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t Count(Database& db, const std::string& sql) {
  Statement s = db.Prepare(sql);
  return s.Step() ? s.Integer(0) : -1;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// Named on the command line or in the settings file, what can never be a
// record stops the start before any window, with status 2 and a line that
// says why; nothing is made beside it.
TEST(RecordProgramTest, WhatCanNeverBeARecordStopsTheStartWithStatusTwo) {
  testing::TemporaryDirectory dir;
  const std::string names = dir / "names";
  std::filesystem::create_directory(names);
  const std::string notes = names + "/notes.txt";
  std::ofstream(notes) << "pump-down notes, not a database\n";
  const std::string fifo = names + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = names + "/folder";
  std::filesystem::create_directory(folder);
  const std::string uri = "file:" + names + "/plant.halvorn?mode=memory";
  const std::string settings = dir / "panel.conf";
  std::ofstream(settings) << "record = " << notes << "\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string says;
    bool byItsName;  // told from the name and the file's kind, without opening it
  };
  const Case cases[] = {
      {{"--record", notes}, notes + " is not a Halvorn record: file is not a database", false},
      {{"--config", settings}, notes + " is not a Halvorn record: file is not a database", false},
      {{"--record", fifo}, fifo + " is a FIFO, not a record file", true},
      {{"--record", folder}, folder + " is a folder, not a record file", true},
      {{"--record", "/dev/zero"}, "/dev/zero is a device, not a record file", true},
      {{"--record", uri},
       uri + " is an SQLite name, not a file: a record is a file (write ./" + uri + " for a file of that name)",
       true},
  };

  const bool journalBefore = std::filesystem::exists("/dev/zero-journal");
  const std::set<std::string> before = Names(names);
  const std::string report = dir / "probe.txt";
  // The same refusal whether or not a display is there: the wrong name is
  // the operator's to mend first.
  struct Display {
    bool there;
    std::vector<std::string> environment;
  };
  const Display displays[] = {
      {true, ProbeEnvironment(report, "offscreen", true)},
      {false, {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="}},
  };
  for (const auto& [there, environment] : displays) {
    for (const auto& [arguments, says, byItsName] : cases) {
      if (!there && !byItsName) continue;
      SCOPED_TRACE((there ? "display: " : "no display: ") + arguments.back());
      std::filesystem::remove(report);
      process::ChildProcess panel({HALVORN_PANEL_PROGRAM, arguments, environment, dir / "panel.err"});
      ASSERT_GT(panel.pid(), 0);
      ASSERT_TRUE(panel.Wait(10s));
      ASSERT_TRUE(panel.exitStatus() && WIFEXITED(*panel.exitStatus()));
      EXPECT_EQ(WEXITSTATUS(*panel.exitStatus()), 2);
      EXPECT_EQ(ReadFile(dir / "panel.err"), "halvorn-panel: " + says + "\n");
      EXPECT_EQ(ReadFile(report), "") << "no window was opened";
    }
  }
  EXPECT_EQ(Names(names), before);
  EXPECT_EQ(ReadFile(notes), "pump-down notes, not a database\n");
  EXPECT_EQ(std::filesystem::exists("/dev/zero-journal"), journalBefore);
}

// The panel is the operator's window on the plant: a record that fails for
// the moment (a panel that hangs holding the file, another program's lock)
// never keeps it from appearing, nor holds it long.
TEST(RecordProgramTest, ARecordThatFailsForTheMomentStillStartsThePanel) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "plant.halvorn";
  const std::vector<std::string> arguments = {"--port", "1=" + std::string(dir / "nothing"), "--record", path};
  const auto shown = [&](const std::string& report) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (ReadFile(report).find("connected") == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  };
  process::ChildProcess hung(
      {HALVORN_PANEL_PROGRAM, arguments, ProbeEnvironment(dir / "hung.txt", "offscreen", true), dir / "hung.err"});
  ASSERT_TRUE(shown(dir / "hung.txt")) << ReadFile(dir / "hung.err");
  hung.Signal(SIGSTOP);
  {
    process::ChildProcess panel({HALVORN_PANEL_PROGRAM, arguments,
                                 ProbeEnvironment(dir / "second.txt", "offscreen", true), dir / "second.err"});
    EXPECT_TRUE(shown(dir / "second.txt")) << ReadFile(dir / "second.err");
    panel.Signal(SIGTERM);
    ASSERT_TRUE(panel.Wait(10s));
    EXPECT_EQ(panel.exitStatus(), 0);
    const std::string said = ReadFile(dir / "second.err");
    EXPECT_EQ(said.rfind("halvorn-panel: not recording: " + path + " is being recorded by another panel\n", 0), 0u)
        << said;
  }
  hung.Signal(SIGCONT);
  hung.Signal(SIGTERM);
  ASSERT_TRUE(hung.Wait(10s));
  {
    Database other(path, Database::Mode::ReadWrite);
    other.Exec("BEGIN EXCLUSIVE");
    process::ChildProcess panel(
        {HALVORN_PANEL_PROGRAM, arguments, ProbeEnvironment(dir / "third.txt", "offscreen", true), dir / "third.err"});
    EXPECT_TRUE(shown(dir / "third.txt")) << ReadFile(dir / "third.err");
    panel.Signal(SIGTERM);
    ASSERT_TRUE(panel.Wait(10s));
    EXPECT_EQ(panel.exitStatus(), 0);
    const std::string said = ReadFile(dir / "third.err");
    EXPECT_EQ(
        said.rfind("halvorn-panel: not recording: cannot start a session in " + path + ": database is locked\n", 0), 0u)
        << said;
  }
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session"), 1) << "the first panel's alone";
  EXPECT_EQ(Count(db, "SELECT ended FROM session"), 1);
}

TEST(RecordProgramTest, SigtermClosesTheRecordCleanly) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "stopped.halvorn";
  const std::string report = dir / "probe.txt";
  process::ChildProcess panel({HALVORN_PANEL_PROGRAM,
                               {"--port", "1=" + std::string(dir / "nothing"), "--record", path},
                               ProbeEnvironment(report, "offscreen", true),
                               dir / "panel.err"});
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (ReadFile(report).find("connected") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  panel.Signal(SIGTERM);
  ASSERT_TRUE(panel.Wait(10s));
  ASSERT_TRUE(panel.exitStatus() && WIFEXITED(*panel.exitStatus())) << ReadFile(dir / "panel.err");
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_EQ(Count(db, "SELECT ended FROM session"), 1);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM event WHERE kind = 'open failed' AND number = 8002"), 1);
}

// The real panel keeps a record bounded only when told: with
// 'record-keep = 30' in its settings file an older session's summarised
// raw rows go while it runs, its quality changes stay; without, the file's
// older sessions are left exactly as they were.
TEST(RecordProgramTest, RecordKeepRemovesOldRawRowsWhileThePanelRunsAndNothingWithout) {
  constexpr std::int64_t kDayNs = 86'400'000'000'000;
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "record-keep = 30" : "no record-keep");
    testing::TemporaryDirectory dir;
    const std::string path = dir / "kept.halvorn";
    {
      Database db(path, Database::Mode::ReadWriteCreate);
      record::CreateSchema(db);
      const std::int64_t started = WallNs() - 40 * kDayNs;
      db.Exec(
          "INSERT INTO session(started_wall_ns, version, command_line, port_map, last_t_ns, ended, "
          "summarised_t_ns) VALUES(" +
          std::to_string(started) + ", '0.1', '', '', 7200000000000, 1, 7200000000000)");
      record::Transaction rows(db);
      Statement traffic = db.Prepare("INSERT INTO traffic VALUES(1, ?1, ?2, 0, x'3030300d')");
      Statement reading = db.Prepare("INSERT INTO device_state VALUES(1, ?1, ?2, 'G6', 'x', 'ok', NULL, ?3, NULL)");
      for (std::int64_t i = 0; i < 3000; ++i) {
        const std::int64_t t = i * 2'000'000'000;
        traffic.Bind(1, t).Bind(2, started + t).Step();
        traffic.Reset();
        reading.Bind(1, t).Bind(2, started + t).Bind(3, i >= 1000 && i < 1010 ? 3 : 0).Step();
        reading.Reset();
      }
      rows.Commit();
    }
    const std::string settings = dir / "panel.conf";
    std::ofstream(settings) << (keep ? "record-keep = 30\n" : "# everything kept\n");
    const std::string report = dir / "probe.txt";
    process::ChildProcess panel(
        {HALVORN_PANEL_PROGRAM,
         {"--port", "1=" + std::string(dir / "nothing"), "--record", path, "--config", settings},
         ProbeEnvironment(report, "offscreen", true),
         dir / "panel.err"});
    Database viewer(path, Database::Mode::ReadOnly);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline &&
           (ReadFile(report).find("connected") == std::string::npos ||
            (keep && Count(viewer, "SELECT count(*) FROM traffic WHERE session = 1") > 0))) {
      std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(500ms);  // a few more commits and steps
    panel.Signal(SIGTERM);
    ASSERT_TRUE(panel.Wait(10s));
    ASSERT_TRUE(panel.exitStatus() && WIFEXITED(*panel.exitStatus())) << ReadFile(dir / "panel.err");
    Database db(path, Database::Mode::ReadOnly);
    EXPECT_EQ(Count(db, "SELECT count(*) FROM traffic WHERE session = 1"), keep ? 0 : 3000);
    // The first reading, the fault and the return, the reading that holds
    // at the end: all a year of look-backs needs beside the summaries.
    EXPECT_EQ(Count(db, "SELECT count(*) FROM device_state WHERE session = 1"), keep ? 4 : 3000);
    EXPECT_EQ(Count(db, "SELECT raw_from_t_ns FROM session WHERE id = 1"), keep ? 7'200'000'000'000 : 0);
    EXPECT_EQ(Count(db,
                    "SELECT count(*) FROM event WHERE session = 2 AND kind = 'recording' AND text LIKE "
                    "'%keeping raw traffic and readings 30 days'"),
              keep ? 1 : 0);
    EXPECT_EQ(Count(db, "SELECT ended FROM session WHERE id = 2"), 1);
  }
}

TEST(RecordProgramTest, AFileSizeLimitStopsTheRecordingButNotThePanel) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "limited.halvorn";
  const std::string link = dir / "controller";
  process::ChildProcess sim({HALVORN_SIM_PROGRAM, {"--quiet", "--link", link, "--flood", "92160"}, {}, {}});
  ASSERT_TRUE(sim.ReadLineStartingWith("halvorn-sim: link ", 5s));
  // 2048 blocks of 512 bytes: a megabyte, a few seconds of flood.
  const std::string errors = dir / "panel.err";
  process::ChildProcess panel(
      {"/bin/sh",
       {"-c", "ulimit -f 2048 && exec \"$0\" --port 1=\"$1\" --record \"$2\"", HALVORN_PANEL_PROGRAM, link, path},
       ProbeEnvironment(dir / "probe.txt", "offscreen", true),
       errors});
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (ReadFile(errors).find("recording stopped") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  const std::string said = ReadFile(errors);
  EXPECT_NE(said.find("halvorn-panel: recording stopped: "), std::string::npos) << said;
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(panel.running()) << "the panel goes on";
  panel.Signal(SIGTERM);
  ASSERT_TRUE(panel.Wait(10s));
  EXPECT_EQ(ReadFile(errors), said) << "said once";
  Database db(path, Database::Mode::ReadOnly);
  Statement check = db.Prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.Step());
  EXPECT_EQ(check.Text(0), "ok");
  EXPECT_GT(Count(db, "SELECT count(*) FROM traffic"), 0) << "what came before the limit stays";
}

// Floods a recording panel for a few seconds and kills it; returns the
// wall-clock time of the kill, or 0 when the run could not be set up.
std::int64_t FloodAndKill(const testing::TemporaryDirectory& dir, const std::string& recordPath) {
  const std::string link = dir / "controller";
  process::ChildProcess sim({HALVORN_SIM_PROGRAM, {"--quiet", "--link", link, "--flood", "92160"}, {}, {}});
  if (!sim.ReadLineStartingWith("halvorn-sim: link ", 5s)) return 0;
  const std::string report = dir / "probe.txt";
  process::ChildProcess panel({HALVORN_PANEL_PROGRAM,
                               {"--port", "1=" + link, "--record", recordPath},
                               ProbeEnvironment(report, "offscreen", true),
                               dir / "panel.err"});
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (ReadFile(report).find("connected") == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return 0;
    std::this_thread::sleep_for(50ms);
  }
  std::this_thread::sleep_for(3s);  // well into the flood
  const std::int64_t killedAt = WallNs();
  panel.Signal(SIGKILL);
  panel.Wait(5s);
  return killedAt;
}

TEST(RecordProgramTest, KilledDuringAFloodTheRecordOpensWholeWithTheFlood) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "flood.halvorn";
  ASSERT_NE(FloodAndKill(dir, path), 0) << ReadFile(dir / "panel.err");
  Database db(path, Database::Mode::ReadWrite);  // opens as it is: no repair step exists
  Statement check = db.Prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.Step());
  EXPECT_EQ(check.Text(0), "ok");
  EXPECT_EQ(Count(db, "SELECT ended FROM session"), 0);
  EXPECT_GT(Count(db, "SELECT sum(length(bytes)) FROM traffic WHERE direction = 0"), 92160)
      << "more than a second of flood";
  EXPECT_EQ(Count(db, "SELECT count(*) FROM event WHERE kind = 'opened'"), 1);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM action WHERE procedure = 'cmdConnect_Click'"), 1);
}

// Runs a recording panel on a fresh simulator until `until` says so (or
// `within` passes) and ends it with `signal`; false when the run could not
// be set up.
template <typename Until>
bool RecordUntil(const testing::TemporaryDirectory& dir, const std::string& recordPath, const std::string& name,
                 std::chrono::seconds within, Until until, int signal) {
  const std::string link = dir / (name + "-controller");
  process::ChildProcess sim({HALVORN_SIM_PROGRAM, {"--quiet", "--link", link}, {}, {}});
  if (!sim.ReadLineStartingWith("halvorn-sim: link ", 5s)) return false;
  const std::string report = dir / (name + "-probe.txt");
  process::ChildProcess panel({HALVORN_PANEL_PROGRAM,
                               {"--port", "1=" + link, "--record", recordPath},
                               ProbeEnvironment(report, "offscreen", true),
                               dir / (name + ".err")});
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (ReadFile(report).find("connected") == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  while (!until() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(200ms);
  panel.Signal(signal);
  return panel.Wait(10s) && panel.exitStatus().has_value();
}

// A run killed in the middle of a minute has the minutes it closed; the
// next start on the same file makes the rest from its rows, while the new
// run keeps its own.
TEST(RecordProgramTest, AKilledRunGetsItsSummariesWhenTheNextRunIsRecorded) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "cut.halvorn";
  const auto count = [&](const std::string& sql) {
    if (!std::filesystem::exists(path)) return std::int64_t{-1};
    try {
      Database db(path, Database::Mode::ReadOnly);
      return Count(db, sql);
    } catch (const record::DatabaseError&) {
      return std::int64_t{-1};  // the tables are not made yet
    }
  };
  // Past the first minute, which the panel summarises as it goes.
  ASSERT_TRUE(RecordUntil(
      dir, path, "killed", 100s,
      [&] {
        return count("SELECT count(*) FROM summary WHERE session = 1 AND t_ns = 0 AND period_ns = 60000000000") > 0 &&
               count("SELECT last_t_ns FROM session WHERE id = 1") > 62'000'000'000;
      },
      SIGKILL))
      << ReadFile(dir / "killed.err");
  {
    Database db(path, Database::Mode::ReadWrite);  // opens as it is
    Statement check = db.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text(0), "ok");
    EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE ended = 0 AND summarised_t_ns < last_t_ns"), 1);
    EXPECT_GT(Count(db, "SELECT count(*) FROM summary WHERE period_ns = 60000000000"), 0);
  }
  ASSERT_TRUE(RecordUntil(
      dir, path, "next", 60s,
      [&] {
        return count("SELECT summarised_t_ns = last_t_ns FROM session WHERE id = 1") == 1 &&
               count("SELECT last_t_ns FROM session WHERE id = 2") > 3'000'000'000;
      },
      SIGTERM))
      << ReadFile(dir / "next.err");

  Database db(path, Database::Mode::ReadOnly);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE summarised_t_ns = last_t_ns AND last_t_ns > 0"), 2);
  EXPECT_EQ(Count(db, "SELECT ended FROM session WHERE id = 2"), 1);
  for (std::int64_t session = 1; session <= 2; ++session) {
    SCOPED_TRACE(session);
    const std::vector<std::string> stored = testing::StoredSummaries(db, session);
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(testing::Lines(stored), testing::Lines(testing::SummariesFromRaw(db, session)));
  }
}

// Labelled 'timing': on a loaded machine the last commit may be late.
TEST(RecordProgramTimingTest, KilledDuringAFloodTheRecordLosesAtMostTheLastQuarterSecond) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "flood.halvorn";
  const std::int64_t killedAt = FloodAndKill(dir, path);
  ASSERT_NE(killedAt, 0) << ReadFile(dir / "panel.err");
  Database db(path, Database::Mode::ReadOnly);
  const std::int64_t newest = Count(db, "SELECT max(wall_ns) FROM traffic");
  EXPECT_LE(killedAt - newest, 250'000'000)
      << "the newest row is " << (killedAt - newest) / 1'000'000 << " ms older than the kill";
}

}  // namespace
}  // namespace halvorn
