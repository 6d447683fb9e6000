// What the publisher learns from a real panel: each answer's readings as
// metrics with the quality the network reads (good, bad for a fault or out
// of range, stale when greyed), flows in percent and sccm, the setpoint
// that went out on the line, the link as the controller's state, the
// alarms' states in their own words, and no memory taken on the window's
// thread over a healthy poll cycle.
#include "publish/PlantMetrics.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "AllocationCounter.h"
#include "alarms/AlarmWatch.h"
#include "door/Events.h"
#include "link/Frame.h"
#include "support/FakeSerialPort.h"
#include "support/PlantAnswers.h"

namespace halvorn::publish {
namespace {

using halvorn::testing::Bytes;
using halvorn::testing::kValid;
using halvorn::testing::OnLine;

class ManualWallClock : public WallClock {
 public:
  std::int64_t NowMs() const override { return now; }
  std::int64_t now = 1'700'000'000'000;
};

std::string Gauges(const std::string& g1, const std::string& g2, const std::string& g6) {
  std::string fields;
  for (int g = 1; g <= 8; ++g)
    fields += g == 1 ? g1 : g == 2 ? g2 : g == 6 ? g6 : kValid + "123415";
  return OnLine("060__" + fields);
}

struct Plant {
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  alarms::AlarmBoard alarmBoard;
  alarms::Milliseconds alarmNow = 0;
  alarms::AlarmWatch watch{alarmBoard, [this] { return alarmNow; }};
  MetricTable table{AlarmPointsOf(alarmBoard.points())};
  MetricBoard board{table.size()};
  ManualWallClock clock;
  PlantMetrics metrics{table, board, clock};
  BoardChanges changes;
  std::map<std::string, MetricSample> latest;

  Plant() {
    panel.feed.Listen(watch);
    panel.feed.Listen(metrics);
    watch.TellOn(panel.feed);
    Load(panel);
  }
  // Takes what the board holds for the publisher, as its thread would.
  void Take() {
    board.Take(changes);
    for (const auto& [metric, sample] : changes.changed)
      latest[table.metrics()[metric].name] = sample;
  }
  const MetricSample& Latest(const std::string& name) {
    EXPECT_TRUE(latest.count(name)) << name;
    return latest[name];
  }
  std::string Text(const std::string& name) { return std::string(Latest(name).value.textView()); }
};

TEST(PlantMetricsTest, AnswersBecomeMetricsWithTheQualityTheNetworkReads) {
  Plant plant;
  Click(plant.panel, plant.panel.form.cmdConnect);
  plant.clock.now += 250;
  plant.port.Deliver(Gauges(kValid + "123415", Bytes({160}) + "000000", kValid + "000000"));
  plant.port.Deliver(OnLine("063__" + kValid + "50.0" + kValid + "12.5" + Bytes({160}) + "12.5" +
                            kValid + "100."));
  plant.port.Deliver(OnLine("061__" + std::string(15, '\x17') + "\x18"));
  plant.port.Deliver(OnLine("010__0000003600"));
  plant.Take();
  EXPECT_TRUE(plant.changes.online);

  const struct {
    const char* metric;
    std::optional<double> value;
    std::int32_t quality;
  } numbers[] = {
      {"Gauges/G1/Pressure", 1.234e-5, kQualityGood},
      {"Gauges/G2/Pressure", std::nullopt, kQualityBad},  // a fault
      {"Gauges/G6/Pressure", std::nullopt, kQualityBad},  // below its range
      {"Flows/MFC1/Flow", 50.0, kQualityGood},
      {"Flows/MFC1/Flow sccm", 50.0, kQualityGood},  // of 100 sccm
      {"Flows/MFC2/Flow sccm", 62.5, kQualityGood},  // of 500 sccm
      {"Flows/MFC3/Flow", std::nullopt, kQualityBad},
      {"Flows/MFC4/Flow sccm", 2000.0, kQualityGood},
      {"Controller/Uptime", 3600.0, kQualityGood},
  };
  for (const auto& row : numbers) {
    SCOPED_TRACE(row.metric);
    const MetricSample& sample = plant.Latest(row.metric);
    EXPECT_EQ(sample.quality, row.quality);
    EXPECT_EQ(sample.timestampMs, plant.clock.now);
    if (row.value) {
      ASSERT_EQ(sample.value.kind, MetricValue::Kind::Number);
      EXPECT_DOUBLE_EQ(sample.value.number, *row.value);
    } else {
      EXPECT_TRUE(sample.value.null()) << "never a stale number";
    }
  }
  EXPECT_EQ(plant.Text("Gauges/G2/State"), "no response from icpcon bus");
  EXPECT_EQ(plant.Latest("Gauges/G2/State").quality, kQualityGood);
  EXPECT_EQ(plant.Text("Valves/CV2/State"), plant.panel.form.lblCV2state.caption);
  EXPECT_EQ(plant.Latest("Link/Good messages").value.integer, 4);
  EXPECT_EQ(plant.Latest("Link/CRC errors").value.integer, 0);

  // Two watchdog ticks with no answer between them: everything greyed.
  plant.clock.now += 3000;
  Tick(plant.panel, plant.panel.form.Timer5);
  Tick(plant.panel, plant.panel.form.Timer5);
  plant.Take();
  for (const char* name : {"Gauges/G1/Pressure", "Flows/MFC1/Flow sccm"}) {
    EXPECT_TRUE(plant.Latest(name).value.null()) << name;
    EXPECT_EQ(plant.Latest(name).quality, kQualityStale) << name;
  }
  EXPECT_EQ(plant.Text("Valves/V1/State"), plant.panel.form.lblV1state.caption) << "the text stays";
  EXPECT_EQ(plant.Latest("Valves/V1/State").quality, kQualityStale);
  EXPECT_EQ(plant.Latest("Gauges/G1/State").quality, kQualityStale);

  Click(plant.panel, plant.panel.form.cmdDisconnect);
  plant.Take();
  EXPECT_FALSE(plant.changes.online);
  EXPECT_TRUE(plant.changes.dropped);
}

TEST(PlantMetricsTest, TheSetpointIsTheOneThatWentOutOnTheLine) {
  Plant plant;
  Click(plant.panel, plant.panel.form.cmdConnect);
  plant.Take();
  plant.panel.form.txtMFC2.text = "40";
  Click(plant.panel, plant.panel.form.cmdMFC2_send);
  plant.panel.form.txtMFC3.text = "140";  // refused: nothing goes out
  Click(plant.panel, plant.panel.form.cmdMFC3_send);
  plant.Take();
  ASSERT_EQ(plant.changes.changed.size(), 1u);
  EXPECT_EQ(plant.table.metrics()[plant.changes.changed[0].first].name, "Flows/MFC2/Setpoint");
  EXPECT_DOUBLE_EQ(plant.changes.changed[0].second.value.number, 40.0);
}

TEST(PlantMetricsTest, AlarmsArePublishedInTheStatesTheAlarmsName) {
  Plant plant;
  plant.Take();
  EXPECT_EQ(plant.Text("Alarms/V5/State"), "normal");
  EXPECT_EQ(plant.Text("Alarms/PORT/Priority"), "high");
  Click(plant.panel, plant.panel.form.cmdConnect);
  const auto valves = [&](int v5) {
    std::string states(16, '\x17');
    states[4] = static_cast<char>(v5);
    plant.port.Deliver(OnLine("061__" + states));
    plant.Take();
    return plant.Text("Alarms/V5/State");
  };
  EXPECT_EQ(valves(160), "active unacknowledged");
  plant.watch.Acknowledge(*plant.alarmBoard.Find("V5"), "anna");
  plant.Take();
  EXPECT_EQ(plant.Text("Alarms/V5/State"), "active acknowledged");
  EXPECT_EQ(valves(0x17), "normal") << "returned after its acknowledgement";
  EXPECT_EQ(valves(160), "active unacknowledged");
  EXPECT_EQ(valves(0x17), "returned unacknowledged");
  plant.watch.Shelve(*plant.alarmBoard.Find("V5"), 60'000, "maintenance", "anna");
  plant.Take();
  EXPECT_EQ(plant.Text("Alarms/V5/State"), "shelved");
  EXPECT_EQ(plant.Text("Alarms/V5/Priority"), "medium");
}

TEST(PlantMetricsTest, AHealthyPollCycleTakesNoMemoryOnTheWindowsThread) {
  Plant plant;
  Click(plant.panel, plant.panel.form.cmdConnect);
  std::string answers[2][7] = {
      {OnLine("061__" + std::string(16, '\x18')), OnLine("062__.,+"),
       Gauges(kValid + "123415", kValid + "234516", kValid + "345617"),
       OnLine("063__" + kValid + "50.0" + kValid + "12.5" + kValid + " 0.0" + kValid + "100."),
       OnLine("010__0000003600"), OnLine("081_R"), OnLine("121_z")},
      {OnLine("061__" + std::string(16, '\x17')), OnLine("062__+.,"),
       Gauges(kValid + "223415", kValid + "334516", kValid + "445617"),
       OnLine("063__" + kValid + "49.5" + kValid + "12.0" + kValid + " 1.0" + kValid + "99.5"),
       OnLine("010__0000003601"), OnLine("081_S"), OnLine("121_{")},
  };
  std::int64_t uptime = 3600;
  const auto cycle = [&](int which, bool count) {
    // An uptime that went back would be a restart of the controller: an alarm.
    std::string digits = std::to_string(++uptime);
    answers[which][4] = OnLine("010__" + std::string(10 - digits.size(), '0') + digits);
    std::uint64_t taken = 0;
    for (const std::string& answer : answers[which]) {
      plant.clock.now += 200;
      std::uint64_t before = bench::HeapAllocations();
      Tick(plant.panel, plant.panel.form.Timer1);
      if (count) taken += bench::HeapAllocations() - before;
      plant.port.waiting = answer;  // the port's own buffer, filled outside the count
      before = bench::HeapAllocations();
      plant.port.RaiseEvent(kCommEventReceive);
      if (count) taken += bench::HeapAllocations() - before;
      plant.port.writes.clear();
      plant.port.written.clear();
    }
    return taken;
  };
  // Warm up: every caption has held its longest text once.
  for (int round = 0; round < 3; ++round) cycle(round % 2, false);
  plant.Take();
  for (int round = 0; round < 6; ++round) {
    EXPECT_EQ(cycle((round + 1) % 2, true), 0u) << "round " << round;
    plant.Take();
    EXPECT_GT(plant.changes.changed.size(), 10u) << "the cycle changed what it shows";
  }
  EXPECT_EQ(plant.Text("Electrode/Position"), plant.panel.form.lblElectrodePosition.caption);
  EXPECT_EQ(plant.Text("Pumps/TMP/State"), plant.panel.form.lblTMPstatus.caption);
}

}  // namespace
}  // namespace halvorn::publish
