// A record file is a file from anywhere: one made to hang, exhaust or fool
// the viewer is refused quickly with a message that names it, and a file
// that only adds to the layout still reads.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <sstream>

#include "CsvExport.h"
#include "RecordReader.h"
#include "support/RecordedSessions.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

using record::Database;
using record::DatabaseError;
using testing::S;
using testing::TemporaryDirectory;
using Clock = std::chrono::steady_clock;

constexpr Nanoseconds kStart = 1'796'000'000LL * kNanosecondsPerSecond;

// The incident record at `path`, then `sql` run on it as any SQLite client could.
void WriteRecord(const std::string& path, const std::string& sql) {
  {
    RecordBuilder b(path);
    testing::WriteIncidentSession(b, kStart);
  }
  Database db(path, Database::Mode::ReadWrite);
  db.Exec(sql);
}

// Everything the viewer reads of the newest session.
SessionData ReadAll(RecordReader& reader) {
  SessionData data;
  data.session = *ChooseSession(reader.sessions(), 0);
  reader.loadMore(data);
  return data;
}

constexpr const char* kDeviceStateColumns =
    "session, t_ns, wall_ns, device, text, detail, colour, quality, value";

TEST(HostileRecordTest, AFileMadeToHangExhaustOrFoolTheViewerIsRefusedQuickly) {
  struct Case {
    const char* what;
    std::string sql;
    const char* says;  // in the message, beside the file's name
  };
  const std::string stateView =
      std::string("DROP TABLE device_state; CREATE VIEW device_state(rowid, ") +
      kDeviceStateColumns + ") AS ";
  const Case cases[] = {
      {"a view with endless rows in place of device_state",
       stateView + "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n)"
                   " SELECT i, 1, i, 0, 'G1', '1.000E 2', NULL, 255, 0, 100.0 FROM n",
       "device_state is a view"},
      {"a view of 500 MB blobs in place of device_state",
       stateView + "SELECT 1, 1, 1, 0, 'V5', randomblob(500000000), NULL, 255, 5, NULL",
       "device_state is a view"},
      {"a full-text table in place of event",
       "DROP TABLE event; CREATE VIRTUAL TABLE event USING fts5(session, t_ns, wall_ns, kind, "
       "number, text)",
       "event is a virtual table"},
      {"a view over json_each in place of event",
       "DROP TABLE event; CREATE VIEW event(rowid, session, t_ns, wall_ns, kind, number, text) AS"
       " SELECT key, 1, key, 0, 'warning', 1, value FROM json_each('[\"<img src=/dev/zero>\"]')",
       "event is a view"},
      {"a text computed when read",
       "DROP TABLE event; CREATE TABLE event(session, t_ns, wall_ns, kind, number,"
       " text AS (printf('%.*c', 400000000, 'x')))",
       "no stored column text"},
      {"a column that stands in for the rowid",
       "DROP TABLE action; CREATE TABLE action(rowid TEXT, session, t_ns, wall_ns, procedure, "
       "device, argument)",
       "column named rowid"},
      {"a column missing",
       "DROP TABLE device_state; CREATE TABLE device_state(session, t_ns, device, text)",
       "no stored column detail"},
      {"no session table", "DROP TABLE session", "no table session"},
      {"a view with endless rows in place of the summaries",
       "DROP TABLE summary; CREATE VIEW summary(session, device, period_ns, t_ns, wall_ns, min, "
       "max, mean, last,"
       " valid_ns, below_ns, over_ns, fault_ns, nodata_ns, changes) AS"
       " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n)"
       " SELECT 1, 'G1', 60000000000, i, 0, 1, 2, 1, 1, 0, 0, 0, 0, 0, 0 FROM n",
       "summary is a view"},
      {"a text longer than any record holds",
       "INSERT INTO event VALUES (1, 5, 0, 'warning', 1, randomblob(2000000), NULL)", "too big"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TemporaryDirectory dir;
    const std::string path = dir / "hostile.halvorn";
    WriteRecord(path, c.sql);
    const auto started = Clock::now();
    try {
      RecordReader reader(path);
      ReadAll(reader);
      ADD_FAILURE() << "read";
    } catch (const DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
  }
}

TEST(HostileRecordTest, TablesColumnsAndIndexesALaterLayoutAddsAreLeftAlone) {
  TemporaryDirectory dir;
  const std::string path = dir / "later.halvorn";
  WriteRecord(
      path,
      "CREATE TABLE recipe(step INTEGER, text TEXT); CREATE INDEX event_by_kind ON event(kind);"
      " ALTER TABLE event ADD COLUMN operator TEXT; CREATE VIEW faults AS SELECT * FROM "
      "device_state"
      " WHERE quality = 3; CREATE VIRTUAL TABLE notes USING fts5(text)");
  RecordReader reader(path);
  const SessionData data = ReadAll(reader);
  EXPECT_EQ(data.end(), S(testing::Incident::kEnd));
  EXPECT_FALSE(data.gauges[0].empty());
  EXPECT_FALSE(data.events.empty());
}

TEST(HostileRecordTest, AQueryThatDoesNotEndIsInterruptedAndTheNextReadRuns) {
  TemporaryDirectory dir;
  Database db(dir / "endless.db", Database::Mode::ReadWriteCreate);
  ReadBudget budget(std::chrono::milliseconds(200));
  Restrict(db, ReadLimits{std::chrono::milliseconds(200), 1 << 20}, budget);
  budget.start();
  const auto started = Clock::now();
  try {
    record::Statement endless = db.Prepare(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n");
    endless.Step();
    ADD_FAILURE() << "ended";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.code(), SQLITE_INTERRUPT) << e.what();
  }
  const auto took = Clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(150));
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_TRUE(budget.expired());

  // A following viewer reads again and again: each read has its own time.
  budget.start();
  record::Statement sum = db.Prepare(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n LIMIT 1000) SELECT sum(i) "
      "FROM n");
  ASSERT_TRUE(sum.Step());
  EXPECT_EQ(sum.Integer(0), 500500);
  EXPECT_FALSE(budget.expired());

  // No value past the bound, nothing attached beside the record.
  EXPECT_THROW(db.Prepare("SELECT randomblob(2000000)").Step(), DatabaseError);
  EXPECT_THROW(db.Exec("ATTACH ':memory:' AS other"), DatabaseError);
}

// Summary rows a second apart where a minute's belong: a range reads no
// more rows than its minutes.
TEST(HostileRecordTest, SummariesOffTheirPeriodReadNoMoreThanTheRangesIntervals) {
  TemporaryDirectory dir;
  const std::string path = dir / "crowded.halvorn";
  WriteRecord(
      path,
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)"
      " INSERT INTO summary SELECT 1, 'G1', 60000000000, i * 1000000000, 0, 1, 2, 1, 1, 0, 0, 0, "
      "0, 0, 0"
      " FROM n; UPDATE session SET summarised_t_ns = 200000000000000, last_t_ns = 200000000000000,"
      " raw_from_t_ns = 200000000000000");
  RecordReader reader(path);
  // A day on 1000 columns, its raw readings gone: minutes.
  const RangeData read = reader.readRange({1, 0, 86'400 * kNanosecondsPerSecond, 1000});
  ASSERT_EQ(DetailName(read.channels[0].detail), "1m");
  EXPECT_LE(read.channels[0].buckets.size(), 3u * 1440 + 2)
      << "the day and half a day each side, in minutes";
}

TEST(HostileRecordTest, RowsInReverseTimeOrderReadInOneSortNotAnInsertionEach) {
  TemporaryDirectory dir;
  const std::string path = dir / "reversed.halvorn";
  constexpr int kRows = 200'000;
  {
    RecordBuilder b(path);
    b.startSession(kStart);
    b.begin();
    for (int i = kRows; i > 0; --i) b.gaugeReading(S(i * 0.2), 1 + i % 2, 1000.0 / i);
    b.commit();
    b.endSession(S(kRows * 0.2), true);
  }
  RecordReader reader(path);
  const auto started = Clock::now();
  const SessionData data = ReadAll(reader);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
  for (int g = 0; g < 2; ++g) {
    const auto& series = data.gauges[static_cast<std::size_t>(g)];
    EXPECT_EQ(series.size(), static_cast<std::size_t>(kRows / 2));
    EXPECT_TRUE(std::is_sorted(series.begin(), series.end(),
                               [](const Sample& a, const Sample& b) { return a.t < b.t; }));
  }
}

TEST(HostileRecordTest, AFileOfGapsCostsOneMarkPerSeriesNotOnePerGap) {
  TemporaryDirectory dir;
  const std::string path = dir / "gaps.halvorn";
  {
    RecordBuilder b(path);
    b.startSession(kStart);
    b.begin();
    b.gaugeReading(S(1), 1, 900.0);
    for (int i = 0; i < 50'000; ++i) b.event(S(2 + i), "gap", 1, "record fell behind", S(1.5 + i));
    b.commit();
    b.endSession(S(60'000), true);
  }
  RecordReader reader(path);
  const SessionData data = ReadAll(reader);
  EXPECT_EQ(data.events.size(), 50'000u);
  EXPECT_EQ(data.gauges[0].size(), 2u) << "the reading and one gap";
  for (const auto& band : data.devices) EXPECT_EQ(band.size(), 1u);
  EXPECT_EQ(StateAt(data.gauges[0], S(1.4))->value, 900.0);
  EXPECT_EQ(StateAt(data.gauges[0], S(1.5)), nullptr);
}

TEST(HostileRecordTest, TimesAtTheEndsOfSixtyFourBitsAreReadAndWrittenWithoutOverflow) {
  TemporaryDirectory dir;
  const std::string path = dir / "far.halvorn";
  constexpr Nanoseconds kMax = std::numeric_limits<Nanoseconds>::max();
  constexpr Nanoseconds kMin = std::numeric_limits<Nanoseconds>::min();
  WriteRecord(path, "UPDATE session SET started_wall_ns = " + std::to_string(kMax) +
                        ", last_t_ns = " + std::to_string(kMax) + "; INSERT INTO device_state(" +
                        kDeviceStateColumns + ") VALUES (1, " + std::to_string(kMin) +
                        ", 0, 'G1', '5.000E 2', 'ok', 255, 0, 500),"
                        " (1, " +
                        std::to_string(kMax) + ", 0, 'G1', '4.000E 2', 'ok', 255, 0, 400)");
  RecordReader reader(path);
  const SessionData data = ReadAll(reader);
  EXPECT_EQ(data.end(), kLongestSession);
  EXPECT_EQ(data.gauges[0].front().t, -kLongestSession);
  EXPECT_EQ(data.gauges[0].back().t, kLongestSession);
  std::ostringstream csv;
  WriteCsv(csv, data, -kLongestSession, kLongestSession);
  EXPECT_NE(csv.str().find("2262-"), std::string::npos) << "the last moment 64 bits hold";
}

}  // namespace
}  // namespace halvorn::history
