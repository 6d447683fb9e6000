// Records that earlier panels wrote in the field are read as they were
// shown: a change of the record's layout must not silently lose them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "RecordReader.h"
#include "link/PollFrame.h"
#include "record/RecordWriter.h"
#include "record/Schema.h"
#include "support/FieldRecord.h"

namespace halvorn::history {
namespace {

using record::Quality;

constexpr Nanoseconds S(double seconds) { return static_cast<Nanoseconds>(seconds * kNanosecondsPerSecond); }

TEST(FieldRecordTest, ARecordOfPanel01ReadsAsItWasShown) {
  testing::TemporaryDirectory dir;
  RecordReader reader(testing::CopyOfFixture(dir, testing::kFieldRecordLayout1));
  const std::vector<Session> sessions = reader.sessions();
  ASSERT_EQ(sessions.size(), 1u);
  SessionData data;
  data.session = sessions[0];
  reader.loadMore(data);
  EXPECT_TRUE(data.session.ended);
  EXPECT_EQ(data.session.startedWallNs, 1'796'701'811'535'207'563);
  EXPECT_NEAR(static_cast<double>(data.end()) / kNanosecondsPerSecond, 220.8, 0.1);

  struct Band {
    const char* device;
    double seconds;
    Quality quality;
    const char* text;
    std::uint32_t colour;
  };
  const Band bands[] = {
      {"V1", 10, Quality::NotANumber, "closed", 0x00FFFF},
      {"V1", 50, Quality::NotANumber, "open", 0x00FF00},
      {"V3", 50, Quality::Fault, "no response from icpcon bus", 0x0000FF},
      {"V3", 80, Quality::NotANumber, "closed", 0x00FFFF},
      {"ROTARY1", 33, Quality::NotANumber, "accelerating", 0xFFFF00},
      {"V1", 104, Quality::NoData, "open", 0x80000011},
      {"V1", 200, Quality::NotANumber, "open", 0x00FF00},
  };
  for (const Band& b : bands) {
    SCOPED_TRACE(std::string(b.device) + " at " + std::to_string(b.seconds) + " s");
    const DeviceState* state =
        StateAt(data.devices[static_cast<std::size_t>(TimelineIndex(b.device))], S(b.seconds));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->quality, b.quality);
    EXPECT_EQ(state->text, b.text);
    EXPECT_EQ(state->colour, std::optional<std::uint32_t>(b.colour));
  }

  struct Reading {
    const char* device;
    double seconds;
    Quality quality;
    double value;  // NaN: none
  };
  const Reading readings[] = {
      {"G7", 20, Quality::Valid, 1013.0},     {"G7", 60, Quality::Valid, 2.0e-3},
      {"G2", 104, Quality::NoData, NAN},      {"G2", 200, Quality::Fault, NAN},
      {"MFC1", 60, Quality::Valid, 50.0},     {"MFC1", 10, Quality::Valid, 0.0},
  };
  for (const Reading& r : readings) {
    SCOPED_TRACE(std::string(r.device) + " at " + std::to_string(r.seconds) + " s");
    const int gauge = GaugeIndex(r.device);
    const auto& series = gauge >= 0 ? data.gauges[static_cast<std::size_t>(gauge)]
                                    : data.flows[static_cast<std::size_t>(FlowIndex(r.device))];
    const Sample* sample = StateAt(series, S(r.seconds));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->quality, r.quality);
    if (std::isnan(r.value)) {
      EXPECT_TRUE(std::isnan(sample->value)) << sample->value;
    } else {
      EXPECT_NEAR(sample->value, r.value, 1e-9 + r.value * 1e-9);
    }
  }

  ASSERT_EQ(data.setpoints[0].size(), 1u);
  EXPECT_EQ(data.setpoints[0][0].percent, 50);
  std::vector<std::string> commands;
  for (const Command& c : data.commands) commands.push_back(c.procedure + " " + c.device + " " + c.argument);
  EXPECT_EQ(commands, (std::vector<std::string>{"cmdConnect_Click  Connect", "mnuV1Open_Click V1 Open",
                                                "cmdMFC1_send_Click MFC1 50", "mnuRotary1On_Click ROTARY1 Switch on",
                                                "mnuCV2Open_Click CV2 Open"}));
  std::vector<std::string> link;
  for (const Event& e : data.events)
    if (e.kind == "lost" || e.kind == "opened") link.push_back(e.kind + " " + e.text);
  EXPECT_EQ(link, (std::vector<std::string>{"opened Port 1 open successfully", "lost Port 1 lost",
                                            "opened Port 1 open successfully"}));
}

}  // namespace
}  // namespace halvorn::history

namespace halvorn::history {
namespace {

// Appending to a layout-1 record upgrades it: its commands are the frames
// sent that are not polls, each with the newest action before it, and the
// viewer draws the same setpoints from them as it derived before.
TEST(FieldRecordTest, AppendingUpgradesALayout1RecordWithItsCommandsFromTheTraffic) {
  testing::TemporaryDirectory dir;
  const std::string path = testing::CopyOfFixture(dir, testing::kFieldRecordLayout1);
  const auto setpointsOf = [&path] {
    RecordReader reader(path);
    SessionData data;
    data.session = reader.sessions().front();
    reader.loadMore(data);
    return data.setpoints;
  };
  const auto before = setpointsOf();
  { record::RecordFile appending(path); }
  record::Database db(path, record::Database::Mode::ReadOnly);
  EXPECT_EQ(record::LayoutOf(db), record::kSchemaVersion);
  // Told apart here by IsPollFrame, frame by frame, not by the upgrade's SQL.
  std::vector<std::pair<std::int64_t, std::string>> sent;
  record::Statement traffic = db.Prepare("SELECT t_ns, bytes FROM traffic WHERE direction = 1 ORDER BY rowid");
  while (traffic.Step())
    if (!IsPollFrame(traffic.Text(1))) sent.emplace_back(traffic.Integer(0), traffic.Text(1));
  std::vector<std::pair<std::int64_t, std::string>> commands;
  record::Statement rows = db.Prepare(
      "SELECT c.t_ns, c.bytes, a.t_ns, (SELECT count(*) FROM action b WHERE b.session = c.session"
      " AND b.t_ns > a.t_ns AND b.t_ns <= c.t_ns) FROM command c LEFT JOIN action a ON a.rowid = c.action"
      " ORDER BY c.rowid");
  while (rows.Step()) {
    commands.emplace_back(rows.Integer(0), rows.Text(1));
    SCOPED_TRACE(rows.Integer(0));
    ASSERT_FALSE(rows.IsNull(2));
    EXPECT_LE(rows.Integer(2), rows.Integer(0));
    EXPECT_EQ(rows.Integer(3), 0) << "a newer action came before this command";
  }
  EXPECT_FALSE(commands.empty());
  EXPECT_EQ(commands, sent);
  const auto after = setpointsOf();
  for (std::size_t f = 0; f < after.size(); ++f) {
    SCOPED_TRACE(f);
    ASSERT_EQ(after[f].size(), before[f].size());
    for (std::size_t i = 0; i < after[f].size(); ++i) {
      EXPECT_EQ(after[f][i].t, before[f][i].t);
      EXPECT_EQ(after[f][i].percent, before[f][i].percent);
    }
  }
}

}  // namespace
}  // namespace halvorn::history
