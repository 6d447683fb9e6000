// The alarm journal of real record files: read with the session's other
// rows, reported and written as CSV for a range; a record of the layout
// before the journal reports no alarms.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "AlarmReport.h"
#include "LogEntries.h"
#include "RecordReader.h"
#include "TimeText.h"
#include "support/RecordedSessions.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

using testing::Incident;
using testing::S;

constexpr Nanoseconds kStart = 1'796'000'000LL * kNanosecondsPerSecond;

SessionData Read(const std::string& path, std::int64_t session = 0) {
  RecordReader reader(path);
  SessionData data;
  data.session = *ChooseSession(reader.sessions(), session);
  reader.loadMore(data);
  return data;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The words of the report's line that begins with `label`.
std::string Figure(const std::string& report, const std::string& label) {
  for (const std::string& line : Lines(report)) {
    const std::size_t text = line.find_first_not_of(' ');
    if (text == std::string::npos || !line.substr(text).starts_with(label)) continue;
    std::istringstream in(line.substr(text + label.size()));
    std::string words;
    for (std::string w; in >> w;) words += (words.empty() ? "" : " ") + w;
    return words;
  }
  return "(no line " + label + ")";
}

class AlarmRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = m_dir / "alarms.halvorn";
    RecordBuilder b(m_path);
    testing::WriteIncidentSession(b, kStart);
    testing::WriteIncidentAlarms(b);
    // A second session's journal stays with it.
    b.startSession(kStart + S(3600));
    b.alarm(S(5), "TMP", "raised", "high", "TMP fault");
    b.endSession(S(10), true);
  }
  testing::TemporaryDirectory m_dir;
  std::string m_path;
};

TEST_F(AlarmRecordTest, TheJournalIsReadWithItsSessionAndReported) {
  const SessionData data = Read(m_path, 1);
  ASSERT_EQ(data.alarms.size(), 19u);
  EXPECT_TRUE(std::is_sorted(data.alarms.begin(), data.alarms.end(),
                             [](const AlarmRow& a, const AlarmRow& b) { return a.t < b.t; }));
  const AlarmRow& shelved = data.alarms[10];
  EXPECT_EQ(shelved.transition, "shelved");
  EXPECT_EQ(shelved.reason, "port lost, known");
  EXPECT_EQ(shelved.until, S(Incident::kGrey + 2 + 900));
  EXPECT_EQ(shelved.user, "jdoe");
  EXPECT_FALSE(data.alarms[0].user);

  const std::string report = AlarmReportText(data, 0, data.end());
  EXPECT_TRUE(report.starts_with("Alarm report of session 1, " + FormatLocalIso(kStart) + " to " +
                                 FormatLocalIso(kStart + S(Incident::kEnd)) + " (5 min 0 s)\n"))
      << report;
  // Five raises in five minutes: 10 per ten minutes.
  const std::pair<const char*, const char*> figures[] = {
      {"alarms raised", "5"},
      {"alarms per 10 min, average", "10.00 <= 1 (very likely acceptable) over"},
      {"alarms per 10 min, peak", "5 <= 10 ok"},
      {"alarms per hour", "60.0 <= 6 over"},
      {"10-min periods in flood (> 10 raises)", "0.0 % (0 of 1) < 1 % ok"},
      {"standing alarms (active > 24 h)", "0 0 (fewer than 10) ok"},
      {"chattering points (>= 3 raises in 1 min)", "0 0 ok"},
      // 4.8, 14.8, 30 and 37 s: 22.4 s.
      {"median time to acknowledge", "22 s <= 5 min ok"},
      {"of 5 alarms first raised in the range,", "4 acknowledged"},
      {"low", "40.0 % (2) 80 % under"},
      {"medium", "40.0 % (2) 15 % over"},
      {"high", "20.0 % (1) 5 % over"},
      {"1. ANSWERS-GAUGES", "1 20.0 % of the raises"},
      {"5. WARNING-105", "1 20.0 % of the raises"},
  };
  for (const auto& [label, words] : figures) EXPECT_EQ(Figure(report, label), words) << label;
  EXPECT_EQ(report.find("TMP"), std::string::npos) << "session 2's alarm";

  // The event log has every transition, by point.
  int logged = 0;
  for (const LogEntry& e : LogEntries(data)) {
    if (e.kind != LogKind::Alarm) continue;
    ++logged;
    if (e.t == S(Incident::kLost)) {
      EXPECT_EQ(e.text, "raised (high): Port 1 lost");
    }
    if (e.t == S(Incident::kLost + 30) && e.text.starts_with("acknowledged")) {
      EXPECT_EQ(e.text, "acknowledged (high) by jdoe");
    }
    if (e.t == S(Incident::kGrey + 2)) {
      EXPECT_EQ(e.text, "shelved (low), port lost, known by jdoe");
    }
  }
  EXPECT_EQ(logged, 19);
}

TEST_F(AlarmRecordTest, TheCsvHoldsTheJournalsRowsOfTheRange) {
  const SessionData data = Read(m_path, 1);
  std::ostringstream all;
  WriteAlarmCsv(all, data, 0, data.end());
  const auto rows = Lines(all.str());
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows[0], "time,point,transition,priority,text,reason,until,user");
  EXPECT_EQ(rows[1], FormatLocalIso(kStart + S(Incident::kG3FaultFrom + 0.2)) +
                         ",G3,raised,medium,no response from pfeiffer bus,,,");
  EXPECT_EQ(rows[11], FormatLocalIso(kStart + S(Incident::kGrey + 2)) +
                          ",ANSWERS-GAUGES,shelved,low,no answers: gauges,\"port lost, known\"," +
                          FormatLocalIso(kStart + S(Incident::kGrey + 2 + 900)) + ",jdoe");
  EXPECT_EQ(rows[19], FormatLocalIso(kStart + S(250)) + ",WARNING-105,raised,low,\"105 warning, \"\"vent\"\", check\",,,");

  // From the port's loss to its return: 200 s to 220 s, both ends kept.
  std::ostringstream part;
  WriteAlarmCsv(part, data, S(Incident::kLost), S(Incident::kReopened));
  const auto some = Lines(part.str());
  ASSERT_EQ(some.size(), 1u + 5u);
  EXPECT_NE(some[1].find(",PORT,raised,"), std::string::npos);
  EXPECT_NE(some[5].find(",PORT,returned,"), std::string::npos);
}

TEST_F(AlarmRecordTest, ARangeReportsOnlyItsOwnRaises) {
  const SessionData data = Read(m_path, 1);
  // The lost port and the greyed gauges; the G3 and V5 alarms lie before.
  const std::string report = AlarmReportText(data, S(Incident::kLost), S(Incident::kEnd));
  EXPECT_EQ(Figure(report, "alarms raised"), "3");
  EXPECT_EQ(Figure(report, "median time to acknowledge"), "34 s <= 5 min ok");  // 30 s and 37 s
  EXPECT_EQ(Figure(report, "high"), "33.3 % (1) 5 % over");
  const SessionData second = Read(m_path, 2);
  EXPECT_EQ(second.alarms.size(), 1u);
}

TEST(AlarmRecordLayoutTest, ARecordWithoutTheJournalReportsNoAlarms) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "layout2.halvorn";
  {
    RecordBuilder b(path);
    testing::WriteIncidentSession(b, kStart);
    // As the panel before the journal wrote it.
    b.database().Exec("DROP TABLE alarm; PRAGMA user_version = 2");
  }
  const SessionData data = Read(path);
  EXPECT_TRUE(data.alarms.empty());
  EXPECT_FALSE(data.gauges[0].empty());
  const std::string report = AlarmReportText(data, 0, data.end());
  EXPECT_EQ(Figure(report, "alarms raised"), "0");
  EXPECT_EQ(Figure(report, "alarms per 10 min, average"), "0.00 <= 1 (very likely acceptable) ok");
  std::ostringstream csv;
  WriteAlarmCsv(csv, data, 0, data.end());
  EXPECT_EQ(csv.str(), "time,point,transition,priority,text,reason,until,user\n");
}

TEST(AlarmRecordLayoutTest, AJournalThatIsNotAPlainTableIsRefused) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "view.halvorn";
  {
    RecordBuilder b(path);
    testing::WriteIncidentSession(b, kStart);
    b.database().Exec(
        "DROP TABLE alarm; CREATE VIEW alarm AS SELECT session, t_ns, 'V1' AS point, 'raised' AS transition,"
        " 'high' AS priority, '' AS text, NULL AS reason, NULL AS until_t_ns, NULL AS user FROM event");
  }
  try {
    RecordReader reader(path);
    ADD_FAILURE() << "opened";
  } catch (const record::DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("its alarm is a view"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace halvorn::history
