// The CSV holds a reading only where it was a valid value at that moment.
#include "CsvExport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <sstream>

#include "RecordReader.h"
#include "TimeText.h"
#include "record/Summary.h"
#include "support/RecordedSessions.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

using testing::Incident;
using testing::S;

constexpr Nanoseconds kStart = 1'796'000'000LL * kNanosecondsPerSecond;

std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(csv);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::size_t at = 0;
    for (std::size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1)
      cells.push_back(line.substr(at, comma - at));
    cells.push_back(line.substr(at));
    rows.push_back(cells);
  }
  return rows;
}

class CsvExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      RecordBuilder b(m_path);
      testing::WriteIncidentSession(b, kStart);
    }
    RecordReader reader(m_path);
    m_data.session = *ChooseSession(reader.sessions(), 0);
    reader.loadMore(m_data);
  }
  std::string Csv(Nanoseconds from, Nanoseconds to) {
    std::ostringstream out;
    WriteCsv(out, m_data, from, to);
    return out.str();
  }
  testing::TemporaryDirectory m_dir;
  std::string m_path = m_dir / "incident.halvorn";
  SessionData m_data;
};

// The window keeps no readings and reads those of its range for a CSV: the
// same rows as from the whole session, gaps and faults included.
TEST_F(CsvExportTest, TheReadingsOfARangeGiveTheSameRowsAsTheWholeSession) {
  struct Case {
    const char* what;
    double from, to;
  };
  const Case cases[] = {
      {"the start", 0, 3},
      {"across G3's fault", Incident::kG3FaultFrom - 2, Incident::kG3FaultTo + 2},
      {"across the gap", Incident::kGapFrom - 1, Incident::kGapTo + 3},
      {"from inside the gap", Incident::kGapFrom + 0.5, Incident::kGapTo + 2},
      {"to the end", Incident::kEnd - 5, Incident::kEnd},
      {"the whole session", 0, Incident::kEnd},
  };
  RecordReader reader(m_path);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SessionData range;
    range.session = m_data.session;
    reader.loadReadings(range, S(c.from), S(c.to));
    std::ostringstream out;
    WriteCsv(out, range, S(c.from), S(c.to));
    const std::string csv = Csv(S(c.from), S(c.to));
    EXPECT_EQ(out.str(), csv);
    EXPECT_GT(Rows(csv).size(), 1u);
  }
}

TEST_F(CsvExportTest, OneRowPerMomentWithTheReadingsInForce) {
  const auto rows = Rows(Csv(S(1), S(2.5)));
  ASSERT_EQ(rows.size(), 4u);  // header, the gauges at 1 s, the flow at 1.2 s, the gauges at 2.4 s
  EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "G1", "G2", "G3", "G4", "G5", "G6", "G7",
                                               "G8", "MFC1", "MFC2", "MFC3", "MFC4"}));
  EXPECT_EQ(rows[1][0], FormatLocalIso(kStart + S(1)));
  EXPECT_EQ(std::stod(rows[1][1]), testing::PumpDown(1, 1.0));
  EXPECT_EQ(rows[1][9], "") << "no flow reading yet";
  EXPECT_EQ(rows[2][9], "0");
  EXPECT_EQ(rows[2][1], rows[1][1]) << "the gauge's reading is still in force";
  EXPECT_EQ(rows[3][10], "") << "MFC2 never reported";
}

TEST_F(CsvExportTest, ACellIsEmptyWhereTheReadingWasNoValue) {
  struct Case {
    const char* what;
    double seconds;
    int column;
  };
  const Case cases[] = {
      {"G3 faulted", Incident::kG3FaultFrom + 1, 3},
      {"G1 below range", 290, 1},
      {"G2 greyed after the port was lost", Incident::kGrey + 1, 2},
      {"MFC1 greyed", Incident::kGrey + 1, 9},
      {"G1 lost in the record's gap", Incident::kGapFrom + 0.1, 1},
      {"MFC1 lost in the record's gap", Incident::kGapFrom + 0.1, 9},
  };
  const auto rows = Rows(Csv(0, S(Incident::kEnd)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string time = FormatLocalIso(kStart + S(c.seconds));
    // The last row at or before the moment.
    const std::vector<std::string>* found = nullptr;
    for (const auto& row : rows)
      if (row[0] != "time" && row[0] <= time) found = &row;
    ASSERT_NE(found, nullptr);
    EXPECT_EQ((*found)[static_cast<std::size_t>(c.column)], "");
  }
  // While the port was lost no row was written at all: the file has no
  // moment between the grey and the first answer after reopening.
  for (const auto& row : rows) {
    if (row[0] == "time") continue;
    EXPECT_FALSE(row[0] > FormatLocalIso(kStart + S(Incident::kGrey)) &&
                 row[0] < FormatLocalIso(kStart + S(Incident::kReopened)))
        << row[0];
  }
}

TEST_F(CsvExportTest, TheRangeBoundsTheRows) {
  const auto rows = Rows(Csv(S(50), S(60)));
  ASSERT_GT(rows.size(), 2u);
  EXPECT_EQ(rows[1][0], FormatLocalIso(kStart + S(50)))
      << "the range opens with the state in force at its start";
  EXPECT_LE(rows.back()[0], FormatLocalIso(kStart + S(60)));
  EXPECT_EQ(Rows(Csv(S(400), S(500))).size(), 1u) << "after the end: the header only";
}

// Twenty hours and a half: G1 at 10 mBar, a minute at 20 with a 900 spike
// in minute 70, and G1 grey from the third hour on; MFC2 at 40 % from the
// start. The first hour is summarised in the record, the rest is not yet.
TEST(SummaryCsvTest, ARowPerIntervalWithItsLowestMeanAndHighestInColumnsNamedByResolution) {
  constexpr Nanoseconds kMinute = record::kMinuteNs;
  constexpr Nanoseconds kHour = record::kHourNs;
  testing::TemporaryDirectory dir;
  const std::string path = dir / "summaries.halvorn";
  {
    RecordBuilder b(path);
    b.startSession(kStart);
    b.begin();
    b.gaugeReading(0, 1, 10.0);
    b.flowReading(0, 2, 40.0);
    b.gaugeReading(70 * kMinute, 1, 20.0);
    b.gaugeReading(70 * kMinute + S(30), 1, 900.0);
    b.gaugeReading(70 * kMinute + S(31), 1, 20.0);
    b.gaugeReading(71 * kMinute, 1, 10.0);
    b.gaugeNoData(2 * kHour, 1);
    record::Statement insert = record::PrepareSummaryInsert(b.database());
    record::SummariseFromRaw(b.database(), 1, 0, kHour, [&](const record::SummaryRow& row) {
      record::StoreSummary(insert, 1, row);
    });
    b.commit();
    b.endSession(41 * kHour / 2, true);
    b.database().Exec("UPDATE session SET summarised_t_ns = " + std::to_string(kHour));
  }
  RecordReader reader(path);
  const Session session = *ChooseSession(reader.sessions(), 0);
  const auto csv = [&](Detail detail, Nanoseconds from, Nanoseconds to) {
    std::ostringstream out;
    WriteSummaryCsv(out, reader, session, detail, from, to);
    return Rows(out.str());
  };

  const auto hours = csv(Detail::Hour, 0, 41 * kHour / 2);
  ASSERT_EQ(hours.size(), 22u) << "the header and 21 hours, the last cut by the end";
  ASSERT_EQ(hours[0].size(), 1u + 12 * 3);
  EXPECT_EQ(hours[0][0], "time");
  EXPECT_EQ(hours[0][1], "G1 min 1h");
  EXPECT_EQ(hours[0][2], "G1 mean 1h");
  EXPECT_EQ(hours[0][3], "G1 max 1h");
  EXPECT_EQ(hours[0][3 * 9 + 1], "MFC2 min 1h");
  EXPECT_EQ(hours[0].back(), "MFC4 max 1h");
  struct Case {
    const char* what;
    std::size_t row;
    const char* g1min;
    const char* g1max;
    const char* mfc2mean;
  };
  const Case hourCases[] = {
      {"the summarised hour", 1, "10", "10", "40"},
      {"the hour computed from the readings, with its spike", 2, "10", "900", "40"},
      {"the third hour: G1 grey", 3, "", "", "40"},
      {"the last half hour", 21, "", "", "40"},
  };
  for (const Case& c : hourCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(hours[c.row][1], c.g1min);
    EXPECT_EQ(hours[c.row][3], c.g1max);
    EXPECT_EQ(hours[c.row][3 * 9 + 2], c.mfc2mean);
    EXPECT_EQ(hours[c.row][3 * 1 + 1], "") << "G2 never read";
  }
  EXPECT_EQ(hours[1][0], FormatLocalIso(kStart));
  EXPECT_EQ(hours[2][0], FormatLocalIso(kStart + kHour));
  // The spike's hour: a minute at 20 and a second at 900 within 60 minutes of 10.
  EXPECT_NEAR(std::stod(hours[2][2]), (59 * 60 * 10.0 + 59 * 20.0 + 900.0) / 3600, 1e-9);

  // Minutes of a range: every minute it touches, the cut ones included.
  const auto minutes = csv(Detail::Minute, 69 * kMinute + S(30), 71 * kMinute + S(10));
  ASSERT_EQ(minutes.size(), 4u) << "minutes 69, 70 and 71";
  EXPECT_EQ(minutes[0][1], "G1 min 1m");
  EXPECT_EQ(minutes[1][0], FormatLocalIso(kStart + 69 * kMinute));
  EXPECT_EQ(minutes[2][1], "20");
  EXPECT_EQ(minutes[2][3], "900");
  EXPECT_EQ(minutes[3][3], "10");
  // Minutes are read a thousand at a time: none lost or doubled at a seam.
  const auto all = csv(Detail::Minute, 0, 41 * kHour / 2);
  ASSERT_EQ(all.size(), 1u + 41 * 30);
  for (std::size_t i = 1; i < all.size(); ++i)
    ASSERT_EQ(all[i][0], FormatLocalIso(kStart + static_cast<Nanoseconds>(i - 1) * kMinute)) << i;
}

}  // namespace
}  // namespace halvorn::history
