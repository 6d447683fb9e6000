// A record is read into series as the panel showed them, read-only, and a
// record that another connection is still writing is followed from its end.
#include "RecordReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>

#include "record/Summary.h"
#include "support/RecordedSessions.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

using record::Quality;
using testing::Incident;
using testing::S;
using testing::TemporaryDirectory;

constexpr Nanoseconds kStart = 1'796'000'000LL * kNanosecondsPerSecond;

SessionData ReadNewest(RecordReader& reader) {
  SessionData data;
  data.session = *ChooseSession(reader.sessions(), 0);
  reader.loadMore(data);
  return data;
}

TEST(RecordReaderTest, ReadsReadingsGapsStatesAndCommandsOfASession) {
  TemporaryDirectory dir;
  const std::string path = dir / "incident.halvorn";
  {
    RecordBuilder b(path);
    testing::WriteIncidentSession(b, kStart);
  }
  RecordReader reader(path);
  const SessionData data = ReadNewest(reader);
  EXPECT_EQ(data.session.startedWallNs, kStart);
  EXPECT_TRUE(data.session.ended);
  EXPECT_EQ(data.end(), S(Incident::kEnd));

  struct Case {
    const char* what;
    int gauge;
    double seconds;
    Quality quality;
    double value;  // NaN: none
  };
  const Case cases[] = {
      {"valid at the start", 1, 1.0, Quality::Valid, testing::PumpDown(1, 1.0)},
      {"G3 faulted", 3, Incident::kG3FaultFrom + 1, Quality::Fault, NAN},
      {"G1 below its 1 mBar range", 1, 290, Quality::BelowRange, 1.0},
      {"G6 below its 1e-4 mBar range", 6, 290, Quality::BelowRange, 1e-4},
      {"greyed while the port was lost", 2, Incident::kLost + 10, Quality::NoData, NAN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Sample* s = StateAt(data.gauges[static_cast<std::size_t>(c.gauge - 1)], S(c.seconds));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->quality, c.quality);
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(s->value)) << s->value;
    } else {
      EXPECT_NEAR(s->value, c.value, c.value * 1e-9);
    }
  }
  for (const auto& series : data.gauges)
    EXPECT_TRUE(std::is_sorted(series.begin(), series.end(),
                               [](const Sample& a, const Sample& b) { return a.t < b.t; }));

  // The panel's own check decides what was sent: "5.5" was refused. The
  // gap ends the setpoint in force.
  ASSERT_EQ(data.setpoints[0].size(), 2u);
  EXPECT_EQ(data.setpoints[0][0].percent, 50);
  EXPECT_EQ(data.setpoints[0][0].t, S(Incident::kSetpoint));
  EXPECT_TRUE(data.setpoints[0][1].gap);
  EXPECT_EQ(data.commands.size(), 3u);

  // Nothing is carried across the gap: V5 is unknown from its start until
  // its next row, a gauge until its next reading.
  const auto& v5 = data.devices[static_cast<std::size_t>(TimelineIndex("V5"))];
  ASSERT_EQ(v5.size(), 6u);
  EXPECT_EQ(v5[2].text, "no response from icpcon bus");
  EXPECT_EQ(v5[2].colour, std::optional<std::uint32_t>(0x000000FF));
  EXPECT_EQ(StateAt(v5, S(Incident::kGapFrom - 0.1))->text, "open");
  EXPECT_EQ(v5[4].t, S(Incident::kGapFrom));
  EXPECT_EQ(StateAt(v5, S(Incident::kGrey - 1)), nullptr);
  EXPECT_EQ(v5[5].quality, Quality::NoData);
  EXPECT_EQ(v5[5].colour, std::optional<std::uint32_t>(0x80000011));
  EXPECT_EQ(StateAt(data.gauges[0], S(Incident::kGapFrom + 0.1)), nullptr);
  ASSERT_NE(StateAt(data.gauges[0], S(Incident::kGapTo + 1)), nullptr);

  // Faults carry their text: the state caption for a gauge, not its "---".
  std::vector<std::string> faults;
  for (const auto& [device, state] : data.faults) faults.push_back(device + ": " + state.text);
  EXPECT_NE(std::find(faults.begin(), faults.end(), "V5: no response from icpcon bus"),
            faults.end());
  EXPECT_NE(std::find(faults.begin(), faults.end(), "G3: no response from pfeiffer bus"),
            faults.end());
}

TEST(RecordReaderTest, FollowsARecordWhileAnotherConnectionWritesIt) {
  TemporaryDirectory dir;
  const std::string path = dir / "live.halvorn";
  RecordBuilder writer(path);
  writer.startSession(kStart);
  writer.gaugeReading(S(1), 1, 900.0);

  RecordReader reader(path);
  SessionData data = ReadNewest(reader);
  ASSERT_EQ(data.gauges[0].size(), 1u);
  EXPECT_FALSE(reader.loadMore(data)) << "nothing new yet";

  // The writer commits while the reader holds its connection open; the
  // reader takes only the new rows.
  writer.begin();
  writer.gaugeReading(S(2.4), 1, 800.0);
  writer.action(S(2.5), "mnuV5Open_Click", "V5", "Open");
  writer.event(S(2.6), "warning", 1, "Warning  1");
  writer.endSession(S(2.6), false);
  writer.commit();
  EXPECT_TRUE(reader.loadMore(data));
  ASSERT_EQ(data.gauges[0].size(), 2u);
  EXPECT_EQ(data.gauges[0][1].value, 800.0);
  EXPECT_EQ(data.commands.size(), 1u);
  EXPECT_EQ(data.events.size(), 1u);
  EXPECT_EQ(data.session.lastTNs, S(2.6));

  // A write transaction open in the writer does not stop the reader.
  writer.begin();
  writer.gaugeReading(S(3.8), 1, 700.0);
  EXPECT_FALSE(reader.loadMore(data));
  writer.commit();
  EXPECT_TRUE(reader.loadMore(data));
  EXPECT_EQ(data.gauges[0].size(), 3u);
}

// A window reads no readings, only the faults of gauges and flows: through
// the minute summaries where the record has them (a minute's own words
// where its rows are gone), the raw rows beyond, and each fault once
// while it follows the record.
TEST(RecordReaderTest, WithoutReadingsEveryFaultOfAGaugeOrFlowIsFoundOnce) {
  constexpr Nanoseconds kMinute = record::kMinuteNs;
  constexpr Nanoseconds kHour = record::kHourNs;
  TemporaryDirectory dir;
  const std::string path = dir / "faults.halvorn";
  RecordBuilder writer(path);
  writer.startSession(kStart);
  writer.begin();
  for (Nanoseconds t = 0; t < 2 * kHour; t += 10 * S(1)) writer.gaugeReading(t, 3, 1e-3);
  writer.gaugeFault(10 * kMinute + S(3), 3, "no response from pfeiffer bus");
  writer.gaugeFault(90 * kMinute, 5, "sensor cable");
  writer.deviceCaption(S(5), "V5", "open");
  record::Statement insert = record::PrepareSummaryInsert(writer.database());
  record::SummariseFromRaw(writer.database(), 1, 0, kHour, [&](const record::SummaryRow& row) {
    record::StoreSummary(insert, 1, row);
  });
  writer.commit();
  writer.endSession(2 * kHour, false);
  writer.database().Exec("UPDATE session SET summarised_t_ns = " + std::to_string(kHour));

  const auto faults = [](const SessionData& data) {
    std::vector<std::string> all;
    for (const auto& [device, state] : data.faults) all.push_back(device + " " + state.text);
    return all;
  };
  RecordReader reader(path);
  SessionData data;
  data.session = *ChooseSession(reader.sessions(), 0);
  reader.loadMore(data, RecordReader::Rows::WithoutReadings);
  EXPECT_TRUE(data.gauges[2].empty()) << "no readings";
  EXPECT_EQ(data.devices[static_cast<std::size_t>(TimelineIndex("V5"))].size(), 1u);
  EXPECT_EQ(faults(data),
            (std::vector<std::string>{"G3 no response from pfeiffer bus", "G5 sensor cable"}));
  EXPECT_EQ(data.end(), 2 * kHour);

  writer.begin();
  writer.gaugeFault(100 * kMinute, 6, "overheated");
  writer.gaugeReading(110 * kMinute, 6, 2e-3);
  writer.commit();
  EXPECT_TRUE(reader.loadMore(data, RecordReader::Rows::WithoutReadings));
  EXPECT_EQ(faults(data).size(), 3u);
  EXPECT_EQ(faults(data).back(), "G6 overheated");
  EXPECT_FALSE(reader.loadMore(data, RecordReader::Rows::WithoutReadings)) << "nothing new";
  EXPECT_EQ(faults(data).size(), 3u);

  // The first hour's raw rows are gone: its minute stands for the fault,
  // which held until the next reading at 10:10.
  writer.database().Exec("UPDATE session SET raw_from_t_ns = " + std::to_string(kHour));
  SessionData removed;
  removed.session = data.session;
  reader.loadMore(removed, RecordReader::Rows::WithoutReadings);
  ASSERT_EQ(faults(removed).size(), 3u);
  EXPECT_EQ(faults(removed).front(),
            "G3 fault for 7 s of this minute (its readings are no longer kept)");
  EXPECT_EQ(removed.faults.front().second.t, 10 * kMinute);
}

// Whether a reader opens `path` and finds readings, in a child process
// that runs as an unprivileged user when the test runs as root (root may
// write into any folder, so the folder's mode would not matter).
bool ReadsAsAnotherUser(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    try {
      RecordReader reader(path);
      ::_exit(ReadNewest(reader).gauges[0].empty() ? 1 : 0);
    } catch (...) {
      ::_exit(2);
    }
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(RecordReaderTest, ReadsAClosedRecordInAFolderItCannotWriteTo) {
  TemporaryDirectory dir;
  const std::string folder = dir / "archive";
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/run.halvorn";
  {
    RecordBuilder b(path);
    testing::WriteIncidentSession(b, kStart);
  }
  ASSERT_FALSE(std::filesystem::exists(path + "-wal")) << "closed cleanly";
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(folder.c_str(), 0555);
  ::chmod(path.c_str(), 0444);
  EXPECT_TRUE(ReadsAsAnotherUser(path));
  EXPECT_FALSE(std::filesystem::exists(path + "-shm")) << "nothing was created beside it";
  ::chmod(folder.c_str(), 0755);
}

TEST(RecordReaderTest, ShowsTheNewestSessionUnlessOneIsChosen) {
  TemporaryDirectory dir;
  const std::string path = dir / "two.halvorn";
  {
    RecordBuilder b(path);
    b.startSession(kStart);
    b.gaugeReading(S(1), 1, 5.0);
    b.startSession(kStart + S(3600));
    b.gaugeReading(S(1), 1, 7.0);
    b.gaugeReading(S(2), 1, 8.0);
  }
  RecordReader reader(path);
  const auto sessions = reader.sessions();
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(ChooseSession(sessions, 0)->id, 2);
  EXPECT_EQ(ChooseSession(sessions, 1)->id, 1);
  EXPECT_FALSE(ChooseSession(sessions, 3));

  SessionData first;
  first.session = *ChooseSession(sessions, 1);
  reader.loadMore(first);
  ASSERT_EQ(first.gauges[0].size(), 1u);
  EXPECT_EQ(first.gauges[0][0].value, 5.0);
  EXPECT_EQ(ReadNewest(reader).gauges[0].size(), 2u);
}

TEST(RecordReaderTest, RefusesWhatIsNotARecordWithItsName) {
  TemporaryDirectory dir;
  const std::string text = dir / "notes.txt";
  std::ofstream(text) << "pump-down notes\n";
  const std::string missing = dir / "missing.halvorn";
  struct Case {
    std::string path;
    const char* says;
  };
  const Case cases[] = {{missing, "no such file"}, {text, "is not a Halvorn record"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      RecordReader reader(c.path);
      ADD_FAILURE() << "opened";
    } catch (const record::DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing)) << "a reader never creates a file";
}

}  // namespace
}  // namespace halvorn::history

namespace halvorn::history {
namespace {

// A setpoint typed while the port was closed is an action but sent nothing
// ("Not connected!"): no step is drawn for it.
TEST(RecordReaderTest, ASetpointTypedWhileThePortWasClosedIsNoSetpoint) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "closed.halvorn";
  {
    RecordBuilder b(path);
    b.startSession(1'700'000'000'000'000'000);
    b.gaugeReading(1'000'000'000, 1, 5.0);
  }
  record::Database(path, record::Database::Mode::ReadWrite)
      .Exec("INSERT INTO action VALUES(1, 2000000000, 0, 'cmdMFC1_send_Click', 'MFC1', '40')");
  RecordReader reader(path);
  SessionData data;
  data.session = reader.sessions().front();
  reader.loadMore(data);
  EXPECT_EQ(data.commands.size(), 1u);
  EXPECT_TRUE(data.setpoints[0].empty());
}

}  // namespace
}  // namespace halvorn::history
