// The CSV holds a reading only where it was a valid value at that moment.
#include "CsvExport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <sstream>

#include "RecordReader.h"
#include "TimeText.h"
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
    const std::string path = m_dir / "incident.halvorn";
    {
      RecordBuilder b(path);
      testing::WriteIncidentSession(b, kStart);
    }
    RecordReader reader(path);
    m_data.session = *ChooseSession(reader.sessions(), 0);
    reader.loadMore(m_data);
  }
  std::string Csv(Nanoseconds from, Nanoseconds to) {
    std::ostringstream out;
    WriteCsv(out, m_data, from, to);
    return out.str();
  }
  testing::TemporaryDirectory m_dir;
  SessionData m_data;
};

TEST_F(CsvExportTest, OneRowPerMomentWithTheReadingsInForce) {
  const auto rows = Rows(Csv(S(1), S(2.5)));
  ASSERT_EQ(rows.size(), 4u);  // header, the gauges at 1 s, the flow at 1.2 s, the gauges at 2.4 s
  EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "G1", "G2", "G3", "G4", "G5", "G6", "G7", "G8", "MFC1",
                                               "MFC2", "MFC3", "MFC4"}));
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
  EXPECT_EQ(rows[1][0], FormatLocalIso(kStart + S(50))) << "the range opens with the state in force at its start";
  EXPECT_LE(rows.back()[0], FormatLocalIso(kStart + S(60)));
  EXPECT_EQ(Rows(Csv(S(400), S(500))).size(), 1u) << "after the end: the header only";
}

}  // namespace
}  // namespace halvorn::history
