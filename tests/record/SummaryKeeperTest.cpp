// The summaries the writer keeps, on real files: the live session's are
// what its rows say, a batch taken back counts once, and older sessions
// (an older layout, a run cut short) get theirs while a new one runs.
#include "record/SummaryKeeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "record/RecordWriter.h"
#include "record/Schema.h"
#include "support/FieldRecord.h"
#include "support/StoredSummaries.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using halvorn::testing::Lines;
using halvorn::testing::StoredSummaries;
using halvorn::testing::SummariesFromRaw;
using halvorn::testing::TemporaryDirectory;
using namespace std::chrono_literals;

constexpr std::int64_t kS = 1'000'000'000;
constexpr std::int64_t kWall = 1'700'000'000 * kS;

SessionInfo Info() { return {kWall, "0.1", "halvorn-panel --record run.halvorn", ""}; }

std::int64_t Count(Database& db, const std::string& sql) {
  Statement s = db.Prepare(sql);
  return s.Step() ? s.Integer(0) : -1;
}

Item Reading(std::int64_t t, std::string_view device, Quality quality,
             std::optional<double> value) {
  Item item;
  item.kind = Item::Kind::DeviceState;
  item.t_ns = t;
  item.wall_ns = kWall + t;
  item.code = static_cast<std::int32_t>(quality);
  item.value = value;
  item.text = {device, std::string_view("shown"), std::nullopt};
  return item;
}

Item GapItem(std::int64_t began, std::int64_t t) {
  Item item;
  item.kind = Item::Kind::Event;
  item.t_ns = t;
  item.wall_ns = kWall + t;
  item.number = 7;
  item.began_ns = began;
  item.text = {std::string_view("gap"), kGapText, std::nullopt};
  return item;
}

// Readings of a few gauges, a flow and a valve every few seconds from
// `from` to `to`, with a gap of half a minute across `gapAt`; handed to
// `take` in batches of about one commit's worth.
template <typename Take, typename Commit>
void Plant(std::int64_t from, std::int64_t to, std::int64_t gapAt, Take take, Commit commit) {
  std::mt19937_64 random(static_cast<std::uint64_t>(from) + 5);
  constexpr std::string_view kDevices[] = {"G1", "G6", "G7", "MFC2", "V3"};
  int inBatch = 0;
  for (std::int64_t t = from; t < to; t += 1 + static_cast<std::int64_t>(random() % (4 * kS))) {
    if (t >= gapAt && t < gapAt + 30 * kS) {
      t = gapAt + 30 * kS;
      take(GapItem(gapAt, t));
    }
    const std::string_view device = kDevices[random() % std::size(kDevices)];
    const std::uint64_t roll = random() % 10;
    const Quality quality = roll < 7 ? Quality::Valid : static_cast<Quality>(roll - 6);
    take(Reading(t, device, quality,
                 quality == Quality::Valid
                     ? std::optional(static_cast<double>(random() % 1000) / 100)
                     : std::nullopt));
    if (++inBatch == 40) {
      commit();
      inBatch = 0;
    }
  }
}

TEST(SummaryKeeperTest, TheLiveSessionsSummariesAreWhatItsRowsSay) {
  TemporaryDirectory dir;
  const std::string path = dir / "live.halvorn";
  ItemQueue queue(1 << 20);
  RecordWriter writer(RecordFile(path), queue, Info());
  Database viewer(path, Database::Mode::ReadOnly);
  const auto push = [&](const Item& item) { ASSERT_TRUE(queue.Push(item)); };
  Plant(0, kHourNs + 90 * kS, 20 * kMinuteNs, push, [&] { writer.Flush(); });
  writer.Flush();
  // While the run goes on, the summaries are whole up to the last hour.
  EXPECT_EQ(Count(viewer, "SELECT summarised_t_ns FROM session"), kHourNs);
  EXPECT_EQ(Count(viewer, "SELECT count(*) FROM summary WHERE period_ns = 3600000000000"), 4);
  Plant(kHourNs + 90 * kS, 2 * kHourNs + 10 * kMinuteNs, 2 * kHourNs - 10 * kS, push,
        [&] { writer.Flush(); });
  writer.Stop();
  ASSERT_FALSE(writer.Failure());

  EXPECT_EQ(
      Count(viewer, "SELECT count(*) FROM session WHERE summarised_t_ns = last_t_ns AND ended = 1"),
      1);
  const std::vector<std::string> stored = StoredSummaries(viewer, 1);
  EXPECT_GT(stored.size(), 4u * 130);
  EXPECT_EQ(Lines(stored), Lines(SummariesFromRaw(viewer, 1)));
}

TEST(SummaryKeeperTest, ABatchTakenBackCountsOnceWhenItIsStoredAgain) {
  TemporaryDirectory dir;
  const std::string path = dir / "again.halvorn";
  {
    Database db(path, Database::Mode::ReadWriteCreate);
    CreateSchema(db);
    db.Exec(
        "INSERT INTO session(started_wall_ns, version, command_line, port_map) VALUES (0, '', '', "
        "'')");
  }
  Database db(path, Database::Mode::ReadWrite);
  SummaryKeeper keeper(1);
  std::vector<Item> batch;
  std::int64_t newest = 0;
  int batches = 0;
  const auto store = [&](bool thenFail) {
    SummaryKeeper::Batch summaries(keeper);
    Transaction transaction(db);
    Statement row =
        db.Prepare("INSERT INTO device_state VALUES(1, ?1, ?2, ?3, 'shown', NULL, NULL, ?4, ?5)");
    Statement event = db.Prepare("INSERT INTO event VALUES(1, ?1, ?2, 'gap', 7, 'lost', ?3)");
    for (const Item& item : batch) {
      Statement& s = item.kind == Item::Kind::Event ? event : row;
      s.Bind(1, item.t_ns).Bind(2, item.wall_ns);
      if (item.kind == Item::Kind::Event) {
        s.Bind(3, item.began_ns);
      } else {
        s.Bind(3, *item.text[0]).Bind(4, item.code).Bind(5, item.value);
      }
      s.Step();
      s.Reset();
      keeper.Take(db, item);
      newest = std::max(newest, item.t_ns);
    }
    keeper.EndBatch(db, newest, kWall + newest);
    Statement last = db.Prepare("UPDATE session SET last_t_ns = ?1");
    last.Bind(1, newest).Step();
    // A failure after the summaries were stored: everything goes back.
    if (thenFail) return;
    transaction.Commit();
    summaries.Committed();
  };
  Plant(
      0, 75 * kMinuteNs, 30 * kMinuteNs, [&](const Item& item) { batch.push_back(item); },
      [&] {
        const std::int64_t before = newest;
        if (batches++ % 3 == 0) {
          store(true);
          newest = before;
        }
        store(false);
        batch.clear();
      });
  store(false);
  {
    Transaction end(db);
    keeper.Finish(db, newest);
    end.Commit();
  }
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE summarised_t_ns = last_t_ns"), 1);
  EXPECT_EQ(Lines(StoredSummaries(db, 1)), Lines(SummariesFromRaw(db, 1)));
}

// Opens a new session on `path`, feeds it a little, waits until no other
// session lacks its summaries and stops it; returns the new session.
std::int64_t AppendUntilCaughtUp(const std::string& path) {
  ItemQueue queue(1 << 16);
  RecordWriter writer(RecordFile(path), queue, Info());
  Database viewer(path, Database::Mode::ReadOnly);
  const std::string lacking = "SELECT count(*) FROM session WHERE id <> " +
                              std::to_string(writer.session()) + " AND summarised_t_ns < last_t_ns";
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  std::int64_t t = 0;
  do {
    t += kS;
    queue.Push(Reading(t, "G2", Quality::Valid, static_cast<double>(t / kS)));
    writer.Flush();
    std::this_thread::sleep_for(10ms);
  } while (t < 3 * kS ||
           (Count(viewer, lacking) != 0 && std::chrono::steady_clock::now() < deadline));
  writer.Stop();
  EXPECT_FALSE(writer.Failure());
  return writer.session();
}

TEST(SummaryKeeperTest, AnOlderRecordsSessionsGetTheirSummariesWhenOneIsAppended) {
  TemporaryDirectory dir;
  const std::string path =
      halvorn::testing::CopyOfFixture(dir, halvorn::testing::kFieldRecordLayout1);
  // A viewer may summarise the old session from the record as it is.
  std::vector<std::string> asItWas;
  {
    Database old(path, Database::Mode::ReadOnly);
    ASSERT_EQ(LayoutOf(old), 1);
    asItWas = SummariesFromRaw(old, 1);
  }
  const std::int64_t session = AppendUntilCaughtUp(path);
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_EQ(Lines(StoredSummaries(db, 1)), Lines(asItWas));
  EXPECT_EQ(
      Count(db, "SELECT count(*) FROM session WHERE summarised_t_ns = last_t_ns AND last_t_ns > 0"),
      2);
  for (std::int64_t s = 1; s <= session; ++s) {
    SCOPED_TRACE(s);
    const std::vector<std::string> stored = StoredSummaries(db, s);
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(Lines(stored), Lines(SummariesFromRaw(db, s)));
  }
  // In the fixture G7 was pumped down, the gauges went grey when the port
  // was lost, and G2 then reported a fault: the minutes say so.
  EXPECT_EQ(Count(db,
                  "SELECT min(min) < 0.0021 AND max(max) > 1000 FROM summary WHERE session = 1 AND "
                  "device = 'G7' "
                  "AND period_ns = 60000000000"),
            1);
  EXPECT_GT(Count(db, "SELECT count(*) FROM summary WHERE session = 1 AND nodata_ns > 0"), 0);
  EXPECT_GT(
      Count(db,
            "SELECT count(*) FROM summary WHERE session = 1 AND device = 'G2' AND fault_ns > 0"),
      0);
}

TEST(SummaryKeeperTest, ARunCutShortIsSummarisedAgainFromTheHourItHadReached) {
  TemporaryDirectory dir;
  const std::string path = dir / "cut.halvorn";
  {
    ItemQueue queue(1 << 20);
    RecordWriter writer(RecordFile(path), queue, Info());
    Plant(
        0, 2 * kHourNs + 25 * kMinuteNs, kHourNs + 30 * kS,
        [&](const Item& item) { queue.Push(item); }, [&] { writer.Flush(); });
    writer.Stop();
  }
  // A minute of the first hour, marked: hours before the one reached are
  // left as they are.
  const std::string marked =
      "FROM summary WHERE device = 'G6' AND t_ns = 600000000000 AND period_ns = 60000000000";
  std::int64_t changes = 0;
  {
    // As a kill would have left it at 2 h 25 min: the third hour not
    // reached, its minutes up to the last one stored, the session not ended.
    Database db(path, Database::Mode::ReadWrite);
    changes = Count(db, "SELECT changes " + marked);
    ASSERT_GE(changes, 0);
    db.Exec(
        "DELETE FROM summary WHERE period_ns = 3600000000000 AND t_ns >= 7200000000000;"
        "DELETE FROM summary WHERE t_ns = 8640000000000;"
        "UPDATE summary SET changes = 999 WHERE t_ns = 7500000000000 AND period_ns = 60000000000;"
        "UPDATE summary SET changes = 777 WHERE device = 'G6' AND t_ns = 600000000000 AND "
        "period_ns = 60000000000;"
        "UPDATE session SET ended = 0, summarised_t_ns = 7200000000000;"
        // A minute the rows do not have goes too.
        "INSERT INTO summary SELECT session, 'G8', period_ns, t_ns, wall_ns, min, max, mean, last, "
        "valid_ns, "
        "below_ns, over_ns, fault_ns, nodata_ns, changes FROM summary WHERE changes = 999 AND "
        "device = 'G1'");
    ASSERT_GT(Count(db, "SELECT count(*) FROM summary WHERE changes = 999"), 0);
  }
  AppendUntilCaughtUp(path);
  Database db(path, Database::Mode::ReadWrite);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM session WHERE id = 1 AND summarised_t_ns = last_t_ns"),
            1);
  EXPECT_EQ(Count(db, "SELECT changes " + marked), 777);
  db.Exec("UPDATE summary SET changes = " + std::to_string(changes) + " WHERE changes = 777");
  EXPECT_EQ(Count(db, "SELECT count(*) FROM summary WHERE changes = 999"), 0);
  EXPECT_EQ(Lines(StoredSummaries(db, 1)), Lines(SummariesFromRaw(db, 1)));
}

// An hour of an older session is summarised in one transaction between two
// live commits: the live items wait meanwhile in the queue, which a flood
// fills in about a minute. Every gauge and flow changing five times a
// second (216 000 rows an hour) is summarised well within that.
TEST(SummaryKeeperTimingTest, ADenseHourOfAnOlderSessionIsSummarisedInAFewHundredMilliseconds) {
  TemporaryDirectory dir;
  const std::string path = dir / "dense.halvorn";
  Database db(path, Database::Mode::ReadWriteCreate);
  CreateSchema(db);
  constexpr std::int64_t kStep = kS / 5;
  {
    Transaction fill(db);
    db.Exec(
        "INSERT INTO session(started_wall_ns, version, command_line, port_map, last_t_ns, ended) "
        "VALUES (0, '', '', '', " +
        std::to_string(kHourNs + kMinuteNs) + ", 1)");
    Statement row =
        db.Prepare("INSERT INTO device_state VALUES(1, ?1, ?2, ?3, 'shown', NULL, NULL, 0, ?4)");
    for (std::int64_t t = 0; t <= kHourNs + kMinuteNs; t += kStep) {
      for (std::size_t d = 0; d < kSummarisedDevices.size(); ++d) {
        row.Bind(1, t + static_cast<std::int64_t>(d))
            .Bind(2, kWall + t)
            .Bind(3, kSummarisedDevices[d]);
        row.Bind(4, static_cast<double>((t / kStep + static_cast<std::int64_t>(d)) % 97));
        row.Step();
        row.Reset();
      }
    }
    fill.Commit();
  }
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(SummariseNextHour(db, 1));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(Count(db, "SELECT summarised_t_ns FROM session"), kHourNs);
  EXPECT_EQ(Count(db, "SELECT count(*) FROM summary"), 12 * 61);
  std::printf(
      "an hour of %lld rows summarised in %lld ms\n",
      static_cast<long long>(
          Count(db, "SELECT count(*) FROM device_state WHERE t_ns < 3600000000000")),
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_LT(took, 1s);
}

}  // namespace
}  // namespace halvorn::record
