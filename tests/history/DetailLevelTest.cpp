// The resolution a chart reads for its range and width, the band that a
// spike keeps at every resolution, and reading a range of a real record
// file at the resolution chosen.
#include "DetailLevel.h"

#include <gtest/gtest.h>

#include <cmath>

#include "RangeRead.h"
#include "RecordBuilder.h"
#include "RecordReader.h"
#include "record/Summary.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

using record::kHourNs;
using record::kMinuteNs;
using testing::TemporaryDirectory;

constexpr Nanoseconds kS = kNanosecondsPerSecond;

TEST(DetailLevelTest, TheFinestResolutionWithinTwoValuesPerColumn) {
  struct Case {
    const char* what;
    Nanoseconds from, to;
    int columns;
    std::int64_t rawRows;
    Nanoseconds rawFrom;
    Detail expected;
  };
  const Case cases[] = {
      {"ten minutes, few rows", 0, 600 * kS, 1000, 1500, 0, Detail::Raw},
      {"exactly two rows a column", 0, 600 * kS, 1000, 2000, 0, Detail::Raw},
      {"one row too many", 0, 600 * kS, 1000, 2001, 0, Detail::Minute},
      {"a day of five polls a second", 0, 24 * kHourNs, 1500, 3001, 0, Detail::Minute},
      {"a day on a narrow chart", 0, 24 * kHourNs, 500, 1001, 0, Detail::Hour},
      {"a week", 0, 168 * kHourNs, 1500, 3001, 0, Detail::Hour},
      {"a steady day: its few rows", 0, 24 * kHourNs, 1500, 40, 0, Detail::Raw},
      {"raw removed before the range", 10 * kHourNs, 11 * kHourNs, 1000, 50, 5 * kHourNs,
       Detail::Raw},
      {"raw removed in the range", 4 * kHourNs, 5 * kHourNs, 1000, 50, 5 * kHourNs, Detail::Minute},
      {"raw removed, ten seconds shown", 0, 10 * kS, 1000, 0, kHourNs, Detail::Minute},
      {"raw removed, a year", 0, 365 * 24 * kHourNs, 1500, 0, kHourNs, Detail::Hour},
      {"minutes cut at both ends count", 30 * kS, 30 * kS + 2 * kMinuteNs, 1, 3, 0, Detail::Hour},
      {"two whole minutes on one column", 0, 2 * kMinuteNs, 1, 3, 0, Detail::Minute},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Detail got = ChooseDetail(c.from, c.to, c.columns, Holdings{c.rawRows, c.rawFrom});
    EXPECT_EQ(DetailName(got), DetailName(c.expected));
  }
  EXPECT_EQ(RawRowsBound(1000), 2001);
}

// A minute (or hour) bucket of `value` with one spike of `spike` inside.
Bucket Summary(Nanoseconds t, Nanoseconds period, double value, double spike = NAN) {
  Bucket b;
  b.t = t;
  b.end = t + period;
  b.min = value;
  b.max = std::isnan(spike) ? value : spike;
  b.mean = value;
  b.last = value;
  return b;
}

TEST(DetailLevelTest, ASpikeKeepsItsBandAtMinuteAndHourLevel) {
  struct Case {
    const char* what;
    Nanoseconds period;
    int buckets;
    int columns;
  };
  const Case cases[] = {
      {"a day of minutes on 500 columns", kMinuteNs, 1440, 500},
      {"a day of minutes on 2000 columns", kMinuteNs, 1440, 2000},
      {"a month of hours on 300 columns", kHourNs, 720, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Bucket> buckets;
    const int spikeAt = c.buckets / 3;
    for (int i = 0; i < c.buckets; ++i)
      buckets.push_back(Summary(i * c.period, c.period, 1e-4, i == spikeAt ? 900.0 : NAN));
    const Nanoseconds to = c.buckets * c.period;
    const auto columns = BandColumns(buckets, 0, to, c.columns, to);
    int spiked = 0;
    for (const Column& column : columns) {
      ASSERT_TRUE(column.hasValue());
      EXPECT_EQ(column.min, 1e-4);
      EXPECT_GE(column.line, column.min);
      EXPECT_LE(column.line, column.max);
      if (column.max == 900.0) ++spiked;
    }
    // Where a bucket spans columns it counts in each; never fewer than one.
    EXPECT_GE(spiked, 1);
    EXPECT_LE(spiked, c.columns / c.buckets + 2);
  }
}

TEST(DetailLevelTest, TheLineIsTheMeanWeightedByTimeAndFlagsCarryOver) {
  // One column over two minutes: a minute at 10 (mean), one at 40 that was
  // also below range for a while, then nothing known after the end.
  std::vector<Bucket> buckets{Summary(0, kMinuteNs, 10), Summary(kMinuteNs, kMinuteNs, 40)};
  buckets[1].below = true;
  buckets[1].belowBound = 1e-4;
  auto columns = BandColumns(buckets, 0, 2 * kMinuteNs, 1, 2 * kMinuteNs);
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0].min, 10);
  EXPECT_EQ(columns[0].max, 40);
  EXPECT_DOUBLE_EQ(columns[0].line, 25);
  EXPECT_TRUE(columns[0].below);
  EXPECT_EQ(columns[0].belowBound, 1e-4);
  // Three quarters of the column in the second minute.
  columns = BandColumns(buckets, kMinuteNs / 2, 5 * kMinuteNs / 2, 1, 2 * kMinuteNs);
  EXPECT_DOUBLE_EQ(columns[0].line, 30);
  // A raw reading of no length (two rows at one instant) still counts.
  const std::vector<Sample> samples{{0, 5.0, record::Quality::Valid},
                                    {kS, 500.0, record::Quality::Valid},
                                    {kS, 6.0, record::Quality::Valid}};
  columns = BandColumns(BucketsOf(samples, 4 * kS), 0, 4 * kS, 2, 4 * kS);
  EXPECT_EQ(columns[0].max, 500.0) << "the spike at 1 s";
  EXPECT_EQ(columns[1].min, 6.0);
  EXPECT_EQ(columns[1].max, 6.0);
}

// A record of three hours: G1 read once a second (a spike of 900 mBar in
// minute 100), with its minute and hour summaries stored as the writer
// stores them, and MFC1 steady: three rows.
class RangeReadTest : public ::testing::Test {
 protected:
  static constexpr int kHours = 3;
  static constexpr int kSpikeMinute = 100;

  void SetUp() override {
    RecordBuilder b(m_path);
    b.startSession(1'796'000'000LL * kS);
    b.begin();
    for (Nanoseconds t = 0; t < kHours * kHourNs; t += kS)
      b.gaugeReading(t, 1, t == kSpikeMinute * kMinuteNs + 30 * kS ? 900.0 : 1e-3);
    for (int i = 0; i < 3; ++i) b.flowReading(i * kHourNs, 1, 10.0 * (i + 1));
    Store(b.database(), kMinuteNs, kHours * 60);
    Store(b.database(), kHourNs, kHours);
    b.commit();
    b.endSession(kHours * kHourNs, true);
    b.database().Exec("UPDATE session SET summarised_t_ns = " + std::to_string(kHours * kHourNs));
  }

  // What the summariser would have stored for G1.
  static void Store(record::Database& db, Nanoseconds period, int count) {
    record::Statement insert = db.Prepare(
        "INSERT INTO summary(session, device, period_ns, t_ns, wall_ns, min, max, mean, last, "
        "valid_ns, below_ns,"
        " over_ns, fault_ns, nodata_ns, changes) VALUES (1, 'G1', ?1, ?2, 0, 1e-3, ?3, 1e-3, 1e-3, "
        "?1, 0, 0, 0, 0, ?4)");
    for (int i = 0; i < count; ++i) {
      const Nanoseconds t = i * period;
      const Nanoseconds spike = kSpikeMinute * kMinuteNs;
      insert.Reset();
      insert.Bind(1, period)
          .Bind(2, t)
          .Bind(3, spike >= t && spike < t + period ? 900.0 : 1e-3)
          .Bind(4, period / kS);
      insert.Step();
    }
  }

  RangeData Read(Nanoseconds from, Nanoseconds to, int columns) {
    RecordReader reader(m_path);
    return reader.readRange({1, from, to, columns});
  }

  TemporaryDirectory m_dir;
  std::string m_path = m_dir / "levels.halvorn";
};

TEST_F(RangeReadTest, ReadsTheRangeAndHalfItsWidthEachSideAtTheLevelItsWidthNeeds) {
  struct Case {
    const char* what;
    double fromMinute, toMinute;
    int columns;
    Detail g1;
    std::size_t g1Buckets;
    double highest;  // of G1 on screen
  };
  const Case cases[] = {
      // 20 minutes read (10 on screen, 5 each side) on 1000 + 1000 columns: 1200 rows.
      {"ten minutes, wide", 95, 105, 1000, Detail::Raw, 1201, 900.0},
      {"ten minutes, narrow", 95, 105, 100, Detail::Minute, 20, 900.0},
      {"the session, wide", 0, 180, 1000, Detail::Minute, 180, 900.0},
      {"the session, narrow", 0, 180, 60, Detail::Hour, 3, 900.0},
      {"at the start: nothing before it", 0, 10, 100, Detail::Minute, 15, 1e-3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto from = static_cast<Nanoseconds>(c.fromMinute * kMinuteNs);
    const auto to = static_cast<Nanoseconds>(c.toMinute * kMinuteNs);
    const RangeData data = Read(from, to, c.columns);
    const ChannelRange& g1 = data.channels[0];
    EXPECT_EQ(DetailName(g1.detail), DetailName(c.g1));
    EXPECT_EQ(g1.buckets.size(), c.g1Buckets);
    EXPECT_EQ(DetailName(data.channels[kGaugeCount].detail), "raw") << "MFC1 is three rows";
    EXPECT_EQ(data.from, std::max<Nanoseconds>(0, from - (to - from) / 2));
    EXPECT_EQ(data.to, std::min<Nanoseconds>(kHours * kHourNs, to + (to - from) / 2));
    // The spike is in the band wherever its minute is on screen.
    const auto columns = BandColumns(g1.buckets, from, to, c.columns, data.end);
    double highest = 0;
    for (const Column& column : columns)
      if (column.hasValue()) highest = std::max(highest, column.max);
    EXPECT_EQ(highest, c.highest);
    EXPECT_TRUE(data.channels[1].buckets.empty()) << "G2 has no row";
  }
}

TEST_F(RangeReadTest, WhereRawReadingsAreGoneTheMinutesStandForThem) {
  {
    record::Database db(m_path, record::Database::Mode::ReadWrite);
    db.Exec("UPDATE session SET raw_from_t_ns = " + std::to_string(2 * kHourNs));
  }
  const RangeData gone = Read(95 * kMinuteNs, 105 * kMinuteNs, 1000);
  EXPECT_EQ(DetailName(gone.channels[0].detail), "1m");
  EXPECT_EQ(DetailName(gone.channels[kGaugeCount].detail), "1m")
      << "even for a channel of few rows";
  const RangeData kept = Read(150 * kMinuteNs, 160 * kMinuteNs, 1000);
  EXPECT_EQ(DetailName(kept.channels[0].detail), "raw");
}

// An older record, or a live one whose writer has summarised only its first
// hour: the rest is summarised from the raw rows as they are read, alike.
TEST_F(RangeReadTest, WhereTheRecordHasNoSummariesTheyAreMadeFromItsReadings) {
  const RangeData stored = Read(0, kHours * kHourNs, 1000);
  for (const Nanoseconds summarised : {kHourNs, Nanoseconds{0}}) {
    SCOPED_TRACE(summarised);
    {
      record::Database db(m_path, record::Database::Mode::ReadWrite);
      db.Exec("UPDATE session SET summarised_t_ns = " + std::to_string(summarised));
      db.Exec("DELETE FROM summary WHERE t_ns >= " + std::to_string(summarised));
    }
    const RangeData made = Read(0, kHours * kHourNs, 1000);
    const auto& g1 = made.channels[0];
    ASSERT_EQ(DetailName(g1.detail), "1m");
    ASSERT_EQ(g1.buckets.size(), stored.channels[0].buckets.size());
    for (std::size_t i = 0; i < g1.buckets.size(); ++i) {
      const Bucket& a = g1.buckets[i];
      const Bucket& b = stored.channels[0].buckets[i];
      ASSERT_EQ(a.t, b.t) << i;
      ASSERT_EQ(a.max, b.max) << "minute " << i;
      ASSERT_EQ(a.min, b.min) << "minute " << i;
    }
    EXPECT_EQ(g1.buckets[kSpikeMinute].max, 900.0);
    // MFC1 is raw and G2 has nothing: computing made nothing up for them.
    EXPECT_EQ(DetailName(made.channels[kGaugeCount].detail), "raw");
    EXPECT_TRUE(made.channels[1].buckets.empty());
  }
}

}  // namespace
}  // namespace halvorn::history
