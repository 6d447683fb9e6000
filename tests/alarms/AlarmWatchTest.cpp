// The plant's alarms as the core's feed raises them: a valve's fault, a
// group the watchdog keeps grey, the port lost, a warning that stops.
#include "alarms/AlarmWatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "door/Events.h"
#include "link/Frame.h"
#include "link/Receiver.h"
#include "support/FakeSerialPort.h"

namespace halvorn::alarms {
namespace {

struct Plant {
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  AlarmBoard board;
  Milliseconds now = 0;
  AlarmWatch watch{board, [this] { return now; }};

  Plant() {
    panel.feed.Listen(watch);
    Load(panel);
    Click(panel, panel.form.cmdConnect);
  }
  State StateOf(std::string_view point) const { return board.points()[*board.Find(point)].alarm.state(); }
  const std::string& TextOf(std::string_view point) const { return board.points()[*board.Find(point)].alarm.text(); }
  void Watchdog(Milliseconds at) {
    now = at;
    Tick(panel, panel.form.Timer5);
  }
  // V1..CV2 closed, but for `valve` (1-based) showing `code`.
  void Valves(int valve, int code) {
    std::string states(16, '\x17');
    states[static_cast<std::size_t>(valve - 1)] = static_cast<char>(code);
    port.Deliver(BuildFrame("061__" + states));
  }
  void Gauges() {
    std::string fields;
    for (int g = 0; g < 8; ++g) fields += std::string(1, static_cast<char>(140)) + "123415";
    port.Deliver(BuildFrame("060__" + fields));
  }
};

TEST(AlarmWatchTest, AFaultyValveIsInAlarmWhileItsShapeIsRed) {
  Plant plant;
  plant.Valves(5, 160);
  EXPECT_EQ(plant.StateOf("V5"), State::ActiveUnacknowledged);
  EXPECT_EQ(plant.TextOf("V5"), "no response from icpcon bus");
  plant.Valves(7, 140);  // "ok" where a state belongs is a fault too
  EXPECT_EQ(plant.StateOf("V7"), State::ActiveUnacknowledged);
  EXPECT_EQ(plant.StateOf("V5"), State::ReturnedUnacknowledged);
  EXPECT_EQ(plant.StateOf("V1"), State::Normal);
}

TEST(AlarmWatchTest, AGroupKeptGreyWithThePortOpenIsInAlarmFromTheSecondTick) {
  Plant plant;
  plant.Watchdog(3'000);  // right after "Connect": nothing has answered yet
  EXPECT_EQ(plant.StateOf("ANSWERS-GAUGES"), State::Normal);
  plant.Watchdog(6'000);
  EXPECT_EQ(plant.StateOf("ANSWERS-GAUGES"), State::ActiveUnacknowledged);
  EXPECT_EQ(plant.TextOf("ANSWERS-GAUGES"), "no answers: gauges");
  plant.Gauges();
  EXPECT_EQ(plant.StateOf("ANSWERS-GAUGES"), State::ReturnedUnacknowledged) << "back at the first answer";
  EXPECT_EQ(plant.StateOf("ANSWERS-VALVES"), State::ActiveUnacknowledged);

  Click(plant.panel, plant.panel.form.cmdDisconnect);
  EXPECT_EQ(plant.StateOf("ANSWERS-VALVES"), State::ReturnedUnacknowledged) << "a closed port answers nothing";
  plant.Watchdog(9'000);
  plant.Watchdog(12'000);
  EXPECT_EQ(plant.StateOf("ANSWERS-VALVES"), State::ReturnedUnacknowledged);
  EXPECT_EQ(plant.StateOf("PORT"), State::Normal) << "the operator closed it";
}

TEST(AlarmWatchTest, ThePortLostAndAWarningStandUntilTheyEnd) {
  Plant plant;
  plant.now = 1'000;
  plant.port.Deliver(BuildFrame("100_000"));
  EXPECT_EQ(plant.StateOf("WARNING-100"), State::ActiveUnacknowledged);
  plant.Watchdog(1'000 + kEventAlarmHold - 1);
  EXPECT_EQ(plant.StateOf("WARNING-100"), State::ActiveUnacknowledged);
  plant.Watchdog(1'000 + kEventAlarmHold);
  EXPECT_EQ(plant.StateOf("WARNING-100"), State::ReturnedUnacknowledged) << "none for 30 s";

  plant.port.RaiseEvent(kCommEventLost);
  EXPECT_EQ(plant.StateOf("PORT"), State::ActiveUnacknowledged);
  EXPECT_EQ(plant.TextOf("PORT"), plant.panel.form.lblStatus.caption);
}

// What the record and the publisher hear: each transition in the journal's
// words, the operator's own with the login name that did it.
struct Heard : FeedListener {
  std::vector<std::string> lines;
  void AlarmChanged(const AlarmTold& a) override {
    lines.push_back(std::string(a.point) + " " + std::string(a.transition) + " " + std::string(a.priority) + " [" +
                    std::string(a.text) + "] " + std::string(a.reason) +
                    (a.shelvedForMs ? " for " + std::to_string(*a.shelvedForMs) : "") + " by " +
                    std::string(a.user));
  }
};

TEST(AlarmWatchTest, TellsEveryTransitionToTheFeedInTheJournalsWords) {
  Plant plant;
  Heard heard;
  plant.panel.feed.Listen(heard);
  plant.watch.TellOn(plant.panel.feed);
  plant.Valves(5, 160);
  plant.watch.Shelve(*plant.board.Find("V5"), 60'000, "valve block serviced", "anna");
  plant.now = 60'000;
  plant.watch.Tick();  // expired, still in fault: announced again
  plant.watch.AcknowledgeFirst("bert");
  plant.Valves(1, 0x17);
  EXPECT_EQ(heard.lines, (std::vector<std::string>{
                             "V5 raised medium [no response from icpcon bus]  by ",
                             "V5 shelved medium [no response from icpcon bus] valve block serviced for 60000 by anna",
                             "V5 unshelved medium [no response from icpcon bus]  by ",
                             "V5 raised medium [no response from icpcon bus]  by ",
                             "V5 acknowledged medium [no response from icpcon bus]  by bert",
                             "V5 returned medium [no response from icpcon bus]  by ",
                             "V5 cleared medium [no response from icpcon bus]  by ",
                         }));
}

}  // namespace
}  // namespace halvorn::alarms
