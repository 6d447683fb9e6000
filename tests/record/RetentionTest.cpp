// Retention on real files: which rows go and which stay (by device,
// quality, age and how far the summaries reach), where each session's raw
// rows begin afterwards, bounded steps that add up to the same result, the
// space given back in a new record but not in an older one, and the writer
// that removes only when asked to.
#include "record/Retention.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "record/RecordWriter.h"
#include "record/Schema.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using halvorn::testing::TemporaryDirectory;

constexpr std::int64_t kHour = 3'600'000'000'000;
constexpr std::int64_t kDay = kDayNs;
constexpr std::int64_t kNow = 1'800'000'000'000'000'000;

std::int64_t Count(Database& db, const std::string& sql) {
  Statement s = db.Prepare(sql);
  return s.Step() ? s.Integer(0) : -1;
}

void AddSession(Database& db, std::int64_t id, std::int64_t startedWall, std::int64_t summarised) {
  Statement s = db.Prepare(
      "INSERT INTO session(id, started_wall_ns, version, command_line, port_map, summarised_t_ns)"
      " VALUES(?1, ?2, '0.1', 'halvorn-panel', '', ?3)");
  s.Bind(1, id).Bind(2, startedWall).Bind(3, summarised).Step();
}

std::int64_t AddTraffic(Database& db, std::int64_t session, std::int64_t t, std::int64_t wall,
                        std::size_t bytes = 8) {
  Statement s = db.Prepare("INSERT INTO traffic VALUES(?1, ?2, ?3, 0, ?4)");
  s.Bind(1, session).Bind(2, t).Bind(3, wall).BindBlob(4, std::string(bytes, '0')).Step();
  return db.LastInsertRowid();
}

std::int64_t AddState(Database& db, std::int64_t session, std::int64_t t, std::int64_t wall,
                      const std::string& device, Quality quality) {
  Statement s =
      db.Prepare("INSERT INTO device_state VALUES(?1, ?2, ?3, ?4, 'x', NULL, NULL, ?5, ?6)");
  s.Bind(1, session).Bind(2, t).Bind(3, wall).Bind(4, device).Bind(5, static_cast<int>(quality));
  if (quality == Quality::Valid) s.Bind(6, 1.5e-3);
  s.Step();
  return db.LastInsertRowid();
}

// Steps until nothing is left to do; the number of steps.
int StepToTheEnd(Database& db, const RetentionLimits& limits, std::int64_t now) {
  int steps = 0;
  while (StepRetention(db, limits, now).more) {
    if (++steps > 100'000) ADD_FAILURE() << "retention never ends";
    if (steps > 100'000) break;
  }
  return steps;
}

// Session 1 started 40 days ago, ran two days and is summarised to its end:
// everything of it is old enough. Session 2 started 35 days ago and ran ten
// days, summarised only over its first three: its rows from day 5 on are
// young, those of days 3 to 5 old but not yet summarised.
struct Row {
  const char* what;
  std::int64_t session;
  bool traffic;  // else device_state
  const char* device;
  Quality quality;
  std::int64_t t;
  bool kept;
  std::int64_t wallShift = 0;  // the wall clock set off during the run
};
constexpr std::int64_t kStart1 = kNow - 40 * kDay;
constexpr std::int64_t kStart2 = kNow - 35 * kDay;

const Row kRows[] = {
    {"old traffic", 1, true, "", Quality::Valid, 1 * kHour, false},
    {"old traffic, last before the summaries' end", 1, true, "", Quality::Valid, 47 * kHour, false},
    {"G1's first reading", 1, false, "G1", Quality::Valid, 1 * kHour, true},
    {"G1 valid again", 1, false, "G1", Quality::Valid, 2 * kHour, false},
    {"G1 valid, same instant", 1, false, "G1", Quality::Valid, 2 * kHour, false},
    {"G1 falls into fault", 1, false, "G1", Quality::Fault, 3 * kHour, true},
    {"G1 still in fault", 1, false, "G1", Quality::Fault, 4 * kHour, false},
    {"G1 back to valid", 1, false, "G1", Quality::Valid, 5 * kHour, true},
    {"G1 below range", 1, false, "G1", Quality::BelowRange, 6 * kHour, true},
    {"G1 over range", 1, false, "G1", Quality::OverRange, 7 * kHour, true},
    {"G1 over range again", 1, false, "G1", Quality::OverRange, 8 * kHour, false},
    {"G8 grey first", 1, false, "G8", Quality::NoData, 1 * kHour, true},
    {"G8 grey again", 1, false, "G8", Quality::NoData, 2 * kHour, false},
    {"MFC4 first", 1, false, "MFC4", Quality::Valid, 1 * kHour, true},
    {"MFC4 reading", 1, false, "MFC4", Quality::Valid, 9 * kHour, false},
    {"MFC4 grey", 1, false, "MFC4", Quality::NoData, 10 * kHour, true},
    {"a valve's state", 1, false, "V5", Quality::NotANumber, 2 * kHour, true},
    {"a valve's state again", 1, false, "V5", Quality::NotANumber, 3 * kHour, true},
    {"the uptime", 1, false, "UPTIME", Quality::Valid, 2 * kHour, true},
    {"the uptime again", 1, false, "UPTIME", Quality::Valid, 3 * kHour, true},
    {"the electrode", 1, false, "ELECTRODE", Quality::Valid, 3 * kHour, true},
    {"session 2's old traffic", 2, true, "", Quality::Valid, 2 * kDay, false},
    {"old traffic but the clock set back", 2, true, "", Quality::Valid, 2 * kDay + 1, true,
     20 * kDay},
    {"old traffic, summaries incomplete", 2, true, "", Quality::Valid, 3 * kDay, true},
    {"young traffic", 2, true, "", Quality::Valid, 6 * kDay, true},
    {"G2 first", 2, false, "G2", Quality::Valid, 1 * kDay, true},
    {"G2 summarised", 2, false, "G2", Quality::Valid, 2 * kDay, false},
    {"G2 not summarised", 2, false, "G2", Quality::Valid, 4 * kDay, true},
    {"G2 young", 2, false, "G2", Quality::Valid, 6 * kDay, true},
    {"G1 in session 2 is a first", 2, false, "G1", Quality::Valid, 1 * kDay, true},
};

struct Inserted {
  const Row* row;
  std::int64_t rowid;
};

std::vector<Inserted> WriteTwoSessions(Database& db) {
  CreateSchema(db);
  AddSession(db, 1, kStart1, 48 * kHour);
  AddSession(db, 2, kStart2, 3 * kDay);
  std::vector<Inserted> rows;
  for (const Row& row : kRows) {
    const std::int64_t wall = (row.session == 1 ? kStart1 : kStart2) + row.t + row.wallShift;
    rows.push_back({&row, row.traffic
                              ? AddTraffic(db, row.session, row.t, wall)
                              : AddState(db, row.session, row.t, wall, row.device, row.quality)});
  }
  db.Exec("INSERT INTO action VALUES(1, 1000, 0, 'mnuV5Open_Click', 'V5', 'Open')");
  db.Exec("INSERT INTO command VALUES(1, 1000, 0, 1, x'00')");
  db.Exec("INSERT INTO event VALUES(1, 1000, 0, 'lost', 1, 'Port 1 lost', NULL)");
  db.Exec(
      "INSERT INTO alarm VALUES(1, 1000, 0, 'PORT', 'raised', 'high', 'Port 1 lost', NULL, NULL, "
      "NULL)");
  db.Exec("INSERT INTO summary VALUES(1, 'G1', 60000000000, 0, 0, 1, 2, 1.5, 2, 1, 0, 0, 0, 0, 3)");
  return rows;
}

void ExpectKeptAsTheTableSays(Database& db, const std::vector<Inserted>& rows) {
  for (const Inserted& inserted : rows) {
    SCOPED_TRACE(inserted.row->what);
    const std::string table = inserted.row->traffic ? "traffic" : "device_state";
    EXPECT_EQ(Count(db, "SELECT count(*) FROM " + table +
                            " WHERE rowid = " + std::to_string(inserted.rowid)),
              inserted.row->kept ? 1 : 0);
  }
}

TEST(RetentionTest, OldSummarisedRawRowsGoAndEverythingElseStays) {
  TemporaryDirectory dir;
  Database db(dir / "old.halvorn", Database::Mode::ReadWriteCreate);
  const std::vector<Inserted> rows = WriteTwoSessions(db);
  RetentionLimits limits;
  limits.keepDays = 30;
  StepToTheEnd(db, limits, kNow);
  ExpectKeptAsTheTableSays(db, rows);
  for (const char* table : {"action", "command", "event", "alarm", "summary"}) {
    SCOPED_TRACE(table);
    EXPECT_EQ(Count(db, std::string("SELECT count(*) FROM ") + table), 1);
  }
  // Raw rows are whole from where the summaries end (session 1 and 2
  // alike here: both end before the age limit).
  EXPECT_EQ(Count(db, "SELECT raw_from_t_ns FROM session WHERE id = 1"), 48 * kHour);
  EXPECT_EQ(Count(db, "SELECT raw_from_t_ns FROM session WHERE id = 2"), 3 * kDay);

  // The same file a week later: session 2's summaries now reach its end,
  // and its raw rows go up to where they are 30 days old (its day 12).
  db.Exec("UPDATE session SET summarised_t_ns = 10 * 86400000000000 WHERE id = 2");
  StepToTheEnd(db, limits, kNow + 7 * kDay);
  EXPECT_EQ(Count(db, "SELECT raw_from_t_ns FROM session WHERE id = 2"), 10 * kDay);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM traffic WHERE session = 2"), 1);  // the clock set back
  EXPECT_EQ(Count(db, "SELECT count(*) FROM device_state WHERE device = 'G2'"), 1);
}

TEST(RetentionTest, AKeepLongerThanTheRecordRemovesNothing) {
  TemporaryDirectory dir;
  Database db(dir / "young.halvorn", Database::Mode::ReadWriteCreate);
  WriteTwoSessions(db);
  const std::int64_t before =
      Count(db, "SELECT count(*) FROM traffic") + Count(db, "SELECT count(*) FROM device_state");
  RetentionLimits limits;
  limits.keepDays = 41;
  const RetentionStep step = StepRetention(db, limits, kNow);
  EXPECT_FALSE(step.more);
  EXPECT_EQ(step.session, 0);
  EXPECT_EQ(
      Count(db, "SELECT count(*) FROM traffic") + Count(db, "SELECT count(*) FROM device_state"),
      before);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE raw_from_t_ns <> 0"), 0);
}

// Many readings and chunks, some at one instant: small batches never take
// more than a batch per table, raw_from_t_ns only moves forward with all
// before it gone, and together they remove what one large batch does.
TEST(RetentionTest, StepsAreBoundedAndAddUpToTheWhole) {
  TemporaryDirectory dir;
  const auto write = [](Database& db) {
    CreateSchema(db);
    AddSession(db, 1, kStart1, 5 * kHour);
    Transaction transaction(db);
    for (std::int64_t i = 0; i < 600; ++i) {
      const std::int64_t t = (i < 30 ? 1 : i) * 60'000'000'000;  // thirty at one instant
      AddTraffic(db, 1, t, kStart1 + t);
      AddState(db, 1, t, kStart1 + t, i % 2 ? "G3" : "MFC1",
               i % 50 == 0 ? Quality::Fault : Quality::Valid);
    }
    transaction.Commit();
  };
  Database small(dir / "small.halvorn", Database::Mode::ReadWriteCreate);
  Database whole(dir / "whole.halvorn", Database::Mode::ReadWriteCreate);
  write(small);
  write(whole);

  RetentionLimits limits;
  limits.keepDays = 30;
  limits.batchRows = 7;
  std::int64_t lastFrom = 0;
  int steps = 0;
  for (RetentionStep step; (step = StepRetention(small, limits, kNow)).more; ++steps) {
    ASSERT_LE(step.trafficRemoved, 7);
    ASSERT_LE(step.readingsRemoved, 7);
    const std::int64_t from = Count(small, "SELECT raw_from_t_ns FROM session");
    ASSERT_GE(from, lastFrom);
    lastFrom = from;
    ASSERT_EQ(Count(small, "SELECT count(*) FROM traffic WHERE t_ns < " + std::to_string(from)), 0);
    ASSERT_LT(steps, 10'000);
  }
  EXPECT_GE(steps, 300 / 7);
  EXPECT_EQ(lastFrom, 5 * kHour);

  limits.batchRows = 100'000;
  StepToTheEnd(whole, limits, kNow);
  const std::string kept = "SELECT group_concat(t_ns || device || quality) FROM device_state";
  Statement a = small.Prepare(kept);
  Statement b = whole.Prepare(kept);
  ASSERT_TRUE(a.Step() && b.Step());
  EXPECT_EQ(a.Text(0), b.Text(0));
  EXPECT_EQ(Count(small, "SELECT count(*) FROM traffic"), 300);
  // Of the first five hours: G3's first reading, MFC1's six faults and the
  // valid reading after each.
  EXPECT_EQ(Count(small, "SELECT count(*) FROM device_state WHERE t_ns < 18000000000000"), 13);
}

// A new record gives the space back; an older one (no incremental
// auto-vacuum) keeps its size and reuses the space.
TEST(RetentionTest, ANewRecordShrinksAnOlderOneDoesNot) {
  TemporaryDirectory dir;
  RetentionLimits limits;
  limits.keepDays = 30;
  for (const bool older : {false, true}) {
    SCOPED_TRACE(older ? "older layout" : "new record");
    const std::string path = dir / (older ? "older.halvorn" : "new.halvorn");
    {
      Database db(path, Database::Mode::ReadWriteCreate);
      CreateSchema(db);
      if (older)
        db.Exec(
            "PRAGMA journal_mode=DELETE; PRAGMA auto_vacuum=NONE; VACUUM; PRAGMA journal_mode=WAL");
      AddSession(db, 1, kStart1, 2 * kDay);
      Transaction transaction(db);
      for (std::int64_t i = 0; i < 20'000; ++i)
        AddTraffic(db, 1, i * kHour / 1000, kStart1 + i * kHour / 1000, 200);
      transaction.Commit();
    }
    const auto full = std::filesystem::file_size(path);
    ASSERT_GT(full, 4'000'000u);
    std::int64_t vacuumed = 0;
    {
      Database db(path, Database::Mode::ReadWrite);
      for (RetentionStep step; (step = StepRetention(db, limits, kNow)).more;) {
        ASSERT_LE(step.pagesVacuumed, limits.vacuumPages);
        vacuumed += step.pagesVacuumed;
      }
      EXPECT_EQ(Count(db, "SELECT count(*) FROM traffic"), 0);
    }
    const auto after = std::filesystem::file_size(path);
    if (older) {
      EXPECT_EQ(vacuumed, 0);
      EXPECT_EQ(after, full);
    } else {
      EXPECT_GT(vacuumed, 900);
      EXPECT_LT(after, full / 4);
    }
  }
}

class FixedClock : public Clock {
 public:
  explicit FixedClock(std::int64_t wall) : m_wall(wall) {}
  Stamp Now() const override { return {0, m_wall}; }

 private:
  std::int64_t m_wall;
};

// The panel's writer removes between its commits only when told how many
// days to keep; without, an old record is left exactly as it was.
TEST(RetentionTest, TheWriterRemovesOnlyWhenToldToKeepDays) {
  TemporaryDirectory dir;
  const FixedClock clock(kNow);
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep ? "with --record-keep 30" : "without");
    const std::string path = dir / (keep ? "keep.halvorn" : "all.halvorn");
    std::vector<Inserted> rows;
    {
      Database db(path, Database::Mode::ReadWriteCreate);
      rows = WriteTwoSessions(db);
    }
    ItemQueue queue(1 << 16);
    {
      RecordWriter writer(RecordFile(path), queue, {kNow, "0.1", "", ""}, kBusyPatience,
                          keep ? std::optional<KeepDays>(KeepDays{30, &clock}) : std::nullopt);
      for (int i = 0; i < 50; ++i) writer.Flush();
      writer.Stop();
      EXPECT_FALSE(writer.Failure());
    }
    Database db(path, Database::Mode::ReadOnly);
    if (keep) {
      ExpectKeptAsTheTableSays(db, rows);
    } else {
      EXPECT_EQ(Count(db, "SELECT count(*) FROM traffic") +
                    Count(db, "SELECT count(*) FROM device_state"),
                static_cast<std::int64_t>(std::size(kRows)));
      EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE raw_from_t_ns <> 0"), 0);
    }
  }
}

}  // namespace
}  // namespace halvorn::record
