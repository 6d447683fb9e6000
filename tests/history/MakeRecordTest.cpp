// halvorn-make-record --days D --keep DAYS writes what a panel run with
// --record-keep DAYS holds at the session's end: raw rows only for the kept
// days, before them only what retention leaves, summaries throughout; the
// panel's own retention finds nothing more to remove in it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "record/Database.h"
#include "record/Retention.h"
#include "record/Summary.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

using record::Database;

constexpr std::int64_t kDay = record::kDayNs;

std::int64_t Count(Database& db, const std::string& sql) {
  record::Statement s = db.Prepare(sql);
  return s.Step() ? s.Integer(0) : -1;
}

bool Make(const testing::TemporaryDirectory& dir, const std::string& path,
          std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), path);
  process::ChildProcess maker(
      {HALVORN_MAKE_RECORD_PROGRAM, arguments, {}, dir / "make-record.err"});
  return maker.Wait(std::chrono::minutes(3)) && maker.exitStatus() == 0;
}

TEST(MakeRecordTest, AKeptRecordHoldsWhatThePanelsRetentionLeaves) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "kept.halvorn";
  ASSERT_TRUE(Make(dir, path, {"--days", "1.1", "--keep", "1"}));
  Database db(path, Database::Mode::ReadWrite);
  const std::int64_t end = kDay * 11 / 10;
  const std::int64_t rawFrom = kDay / 10;
  EXPECT_EQ(Count(db, "SELECT last_t_ns FROM session"), end);
  EXPECT_EQ(Count(db, "SELECT summarised_t_ns FROM session"), end);
  EXPECT_EQ(Count(db, "SELECT raw_from_t_ns FROM session"), rawFrom);
  EXPECT_EQ(Count(db, "SELECT min(t_ns) FROM traffic"), rawFrom);
  EXPECT_GT(Count(db, "SELECT count(*) FROM traffic"), 40'000);

  // Before the kept days every reading row is a change of quality (or a
  // device's first); the day's faults and greys are there.
  const std::string changes =
      "SELECT count(*) FROM (SELECT device, t_ns, quality,"
      " lag(quality) OVER (PARTITION BY device ORDER BY t_ns, rowid) AS before FROM device_state"
      " WHERE device LIKE 'G_' OR device LIKE 'MFC_') WHERE t_ns < " +
      std::to_string(rawFrom);
  EXPECT_EQ(Count(db, changes + " AND quality IS before"), 0);
  EXPECT_EQ(Count(db, changes + " AND device = 'G3' AND quality = 3"), 1);
  EXPECT_EQ(Count(db, changes + " AND quality = 4"), 12);
  EXPECT_GT(Count(db, "SELECT count(*) FROM device_state WHERE device LIKE 'G_' AND t_ns >= " +
                          std::to_string(rawFrom)),
            50'000);
  // The operator's setpoints and the switched devices are there from the start.
  EXPECT_EQ(
      Count(db, "SELECT count(*) FROM action WHERE procedure = 'cmdMFC2_send_Click' AND t_ns < " +
                    std::to_string(kDay)),
      3);
  EXPECT_EQ(
      Count(db, "SELECT count(*) FROM device_state WHERE device = 'TMP' AND t_ns < 600000000000"),
      3);

  // Summaries of every minute and hour of every gauge and flow.
  EXPECT_EQ(Count(db, "SELECT count(*) FROM summary WHERE period_ns = 60000000000"),
            12 * (end / record::kMinuteNs));
  EXPECT_EQ(Count(db, "SELECT count(*) FROM summary WHERE period_ns = 3600000000000"),
            12 * ((end + record::kHourNs - 1) / record::kHourNs));
  // G3's fault of each day, in one minute, from coarse readings and from raw.
  EXPECT_EQ(Count(db,
                  "SELECT count(*) FROM summary WHERE device = 'G3' AND fault_ns > 0 AND period_ns "
                  "= 60000000000"),
            2);

  // The panel's retention at the session's end removes nothing more.
  record::RetentionLimits limits;
  limits.keepDays = 1;
  const std::int64_t now = Count(db, "SELECT started_wall_ns FROM session") + end;
  const record::RetentionStep step = record::StepRetention(db, limits, now);
  EXPECT_EQ(step.session, 0);
  EXPECT_EQ(step.trafficRemoved + step.readingsRemoved, 0);
}

TEST(MakeRecordTest, HoursMakeAWholeRecordWithItsSummaries) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "hour.halvorn";
  ASSERT_TRUE(Make(dir, path, {"--hours", "1"}));
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_EQ(Count(db, "SELECT raw_from_t_ns FROM session"), 0);
  EXPECT_EQ(Count(db, "SELECT summarised_t_ns FROM session"), record::kHourNs);
  EXPECT_EQ(Count(db, "SELECT min(t_ns) FROM traffic"), 0);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM summary"), 12 * 61);
  EXPECT_EQ(Count(db, "SELECT max(t_ns) FROM device_state"),
            Count(db, "SELECT max(t_ns) FROM traffic"));
  EXPECT_LE(Count(db, "SELECT max(t_ns) FROM traffic"), record::kHourNs);
  EXPECT_EQ(db.PragmaInteger("auto_vacuum"), 2);  // a panel with retention could give space back
}

}  // namespace
}  // namespace halvorn::history
