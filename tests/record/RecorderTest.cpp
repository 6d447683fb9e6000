// What the recorder makes of what the core tells: the bytes both ways, the
// commands linked to their actions, the link's events with the status they
// showed, every change of a device once, warnings each time, the slow items
// at most once a minute, the whole picture again after a gap, and no memory
// taken per healthy answer.
#include "record/Recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "QueuedItems.h"
#include "door/Events.h"
#include "link/Connection.h"
#include "link/Frame.h"
#include "link/Polling.h"
#include "link/Receiver.h"
#include "link/Startup.h"
#include "support/FakeSerialPort.h"
#include "support/PlantAnswers.h"

namespace halvorn::record {
namespace {

using halvorn::testing::OnLine;
using halvorn::testing::ValveLine;

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::Described;
using testing::TakeItems;

class ManualClock : public Clock {
 public:
  Stamp Now() const override { return {monotonic, 1'700'000'000'000'000'000 + monotonic}; }
  std::int64_t monotonic = 5'000'000'000;
};

std::vector<std::string> OfKind(const std::vector<testing::QueuedItem>& items, Item::Kind kind) {
  std::vector<std::string> lines;
  for (const auto& item : items)
    if (item.kind == kind) lines.push_back(item.Describe());
  return lines;
}

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    panel.feed.Listen(recorder);
    Load(panel);
  }
  ManualClock clock;
  ItemQueue queue{1 << 20};
  Recorder recorder{queue, clock};
  halvorn::testing::FakeSerialPort port;
  FrontPanel panel{port};
};

TEST_F(RecorderTest, TheStartPictureIsRecordedOnceAndThenOnlyChanges) {
  const auto start = TakeItems(queue);
  EXPECT_EQ(OfKind(start, Item::Kind::DeviceState).size(), kRecordedDevices.size() + 1) << "and the uptime";
  EXPECT_THAT(Described(start), Contains("state V1 'state' colour 2147483665 q4"));

  for (const TimerTick& timer : kTimerTicks) Tick(panel, panel.form.*timer.timer);
  EXPECT_THAT(Described(TakeItems(queue)), IsEmpty()) << "nothing changed, nothing recorded";

  cmdConnect_Click(panel);
  TakeItems(queue);
  port.Deliver(ValveLine("\x18" + std::string(15, '\x17')));
  const auto valves = OfKind(TakeItems(queue), Item::Kind::DeviceState);
  EXPECT_EQ(valves.size(), 16u);
  EXPECT_EQ(valves.front(), "state V1 'open' colour " + std::to_string(colours::Green) + " q5");

  port.Deliver(ValveLine("\x17\x18" + std::string(14, '\x17')));
  EXPECT_THAT(OfKind(TakeItems(queue), Item::Kind::DeviceState),
              ElementsAre("state V1 'closed' colour " + std::to_string(colours::Yellow) + " q5",
                          "state V2 'open' colour " + std::to_string(colours::Green) + " q5"));
}

TEST_F(RecorderTest, BytesAreRecordedBothWaysByteForByteWithTimeFromTheStart) {
  TakeItems(queue);
  cmdConnect_Click(panel);
  clock.monotonic += 1'000;
  Timer1_Timer(panel);
  const std::string answer = ValveLine(std::string(16, '\x8c'));  // byte 140 throughout
  port.Deliver(answer);
  const auto items = TakeItems(queue);
  const auto traffic = OfKind(items, Item::Kind::Traffic);
  ASSERT_EQ(traffic.size(), 2u);
  EXPECT_EQ(traffic[0], "out '" + port.writes.back() + "'");
  EXPECT_EQ(traffic[1], "in '" + answer + "'");
  EXPECT_EQ(items.back().t_ns, 1'000);
  EXPECT_EQ(items.back().wall_ns, 1'700'000'000'000'000'000 + 5'000'001'000);
}

TEST_F(RecorderTest, LinkEventsCarryTheStatusTheyShowed) {
  TakeItems(queue);
  port.openFailures = {open_error::NoSuchPort};
  cmdConnect_Click(panel);
  cmdConnect_Click(panel);
  port.RaiseEvent(kCommEventLost);
  cmdConnect_Click(panel);
  cmdDisconnect_Click(panel);
  EXPECT_THAT(OfKind(TakeItems(queue), Item::Kind::Event),
              ElementsAre("event open failed 8002 'Port 1 does not exist'",
                          "event opened 1 'Port 1 open successfully'",
                          "event lost 1 'Port 1 lost'",  // not also 'closed'
                          "event opened 1 'Port 1 open successfully'", "event closed 1 'Port 1 closed'"));
}

TEST_F(RecorderTest, TriesOfTheReconnectThatFailAlikeAreRecordedOnceAndThenCounted) {
  panel.reconnect.enabled = true;
  const auto step = [&](auto&& act) { act(); };
  step([&] { cmdConnect_Click(panel); });
  step([&] { port.RaiseEvent(kCommEventLost); });
  TakeItems(queue);
  // Half a minute with the cable out, then an adapter that is not ours to
  // open, then the operator's own "Connect" (recorded, whatever failed
  // before), then the adapter back.
  port.openFailures.assign(15, open_error::NoSuchPort);
  for (int i = 0; i < 15; ++i) step([&] { Tick(panel, panel.reconnect.timer); });
  port.openFailures = {open_error::CannotOpen, open_error::CannotOpen, open_error::CannotOpen};
  for (int i = 0; i < 2; ++i) step([&] { Tick(panel, panel.reconnect.timer); });
  step([&] { Click(panel, panel.form.cmdConnect); });
  step([&] { Tick(panel, panel.reconnect.timer); });
  const auto items = TakeItems(queue);
  EXPECT_THAT(OfKind(items, Item::Kind::Event),
              ElementsAre("event open failed 8002 'Port 1 lost'",
                          "event open failed 8002 'Port 1 lost; the same 14 more times'",
                          "event open failed 8012 'Port 1 open failed'",
                          "event open failed 8012 'Port 1 open failed; the same 1 more time'",
                          "event open failed 8012 'Port 1 open failed'",
                          "event opened 1 'Port 1 open successfully'"));
  EXPECT_EQ(OfKind(items, Item::Kind::Action).size(), 1u);

  // A cable out for hours: counted every hour of tries, and what is counted
  // when the run ends is kept.
  step([&] { port.RaiseEvent(kCommEventLost); });
  TakeItems(queue);
  const int tries = 1 + static_cast<int>(kFailuresPerCountRow) + 5;
  port.openFailures.assign(static_cast<std::size_t>(tries), open_error::NoSuchPort);
  for (int i = 0; i < tries; ++i) step([&] { Tick(panel, panel.reconnect.timer); });
  recorder.Finish();
  EXPECT_THAT(OfKind(TakeItems(queue), Item::Kind::Event),
              ElementsAre("event open failed 8002 'Port 1 lost'",
                          "event open failed 8002 'Port 1 lost; the same 1800 more times'",
                          "event open failed 8002 'Port 1 lost; the same 5 more times'"));
}

TEST_F(RecorderTest, EveryWarningIsRecordedEvenWhenTheListLooksTheSame) {
  cmdConnect_Click(panel);
  TakeItems(queue);
  for (int i = 0; i < 12; ++i) port.Deliver(OnLine("100"));
  const auto events = OfKind(TakeItems(queue), Item::Kind::Event);
  const auto warnings = std::ranges::count_if(events, [](const std::string& e) { return e.starts_with("event warning"); });
  EXPECT_EQ(warnings, 12);
  EXPECT_EQ(events.back(), "event warning 100 ' 100 (OP_ERR_PNEUMATIC_PRESSURE)'");
}

TEST_F(RecorderTest, UptimeAndCountersAtMostOnceAMinute) {
  cmdConnect_Click(panel);
  TakeItems(queue);
  auto slowItems = [&] {
    std::vector<std::string> lines;
    for (const auto& item : TakeItems(queue)) {
      const std::string line = item.Describe();
      if (line.starts_with("state UPTIME") || line.starts_with("event counters")) lines.push_back(line);
    }
    return lines;
  };
  const auto uptimeAnswer = [&](int second) {
    clock.monotonic += 1'000'000'000;
    port.Deliver(OnLine("010__" + std::string(10 - std::to_string(second).size(), '0') + std::to_string(second)));
  };
  uptimeAnswer(1);
  EXPECT_THAT(slowItems(), ElementsAre("event counters 'good 1 crc 0'"))
      << "the first count; the start's uptime box was recorded a second ago";
  for (int second = 2; second <= 59; ++second) uptimeAnswer(second);
  EXPECT_THAT(slowItems(), IsEmpty());
  uptimeAnswer(60);
  uptimeAnswer(61);
  EXPECT_THAT(slowItems(), ElementsAre("state UPTIME '60s' q0 60.000000", "event counters 'good 61 crc 0'"));
}

// What the operator sent is kept as it went out, linked to the action that
// sent it; a poll is traffic only, and an action that sent nothing (the
// port closed: "Not connected!") has no command.
TEST_F(RecorderTest, CommandsAreTheFramesActionsPutOnTheLine) {
  Edit(panel, panel.form.txtMFC2, "35");
  Click(panel, panel.form.cmdMFC2_send);
  Click(panel, panel.form.cmdConnect);
  Timer1_Timer(panel);
  Click(panel, panel.form.mnuV6Open);
  Click(panel, panel.form.cmdMFC2_send);
  const auto items = TakeItems(queue);
  std::vector<std::string> lines;
  for (const auto& item : items) {
    if (item.kind == Item::Kind::Action || item.kind == Item::Kind::Command || item.kind == Item::Kind::Traffic)
      lines.push_back(item.Describe());
  }
  EXPECT_THAT(lines, ElementsAre("action 1 cmdMFC2_send_Click 'MFC2' '35'",
                                 "action 2 cmdConnect_Click NULL 'Connect'", "out '" + port.writes[0] + "'",
                                 "action 3 mnuV6Open_Click 'V6' 'Open'", "out '" + BuildFrame("020_06") + "'",
                                 "command 3 '" + BuildFrame("020_06") + "'",
                                 "action 4 cmdMFC2_send_Click 'MFC2' '35'", "out '" + port.writes[2] + "'",
                                 "command 4 '" + port.writes[2] + "'"));
}

// The queue overflowed while V1 opened: once there is room, the gap is told
// and then the whole picture as it is now, V1 open among it.
TEST_F(RecorderTest, AfterAGapTheWholePictureIsRecordedAgain) {
  ItemQueue small{4096};
  Recorder gapped{small, clock};
  halvorn::testing::FakeSerialPort line;
  FrontPanel watched{line};
  watched.feed.Listen(gapped);
  Load(watched);
  cmdConnect_Click(watched);
  TakeItems(small);
  const std::string closed = ValveLine(std::string(16, '\x17'));
  line.Deliver(closed);
  while (small.Lost() == 0) line.Deliver(OnLine("100"));  // warnings until it is full
  line.Deliver(ValveLine("\x18" + std::string(15, '\x17')));  // V1 opens, not kept
  TakeItems(small);
  clock.monotonic += 1'000'000;
  line.Deliver(OnLine("100"));
  const auto items = TakeItems(small);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items[0].text[0], "gap");
  ASSERT_TRUE(items[0].began_ns.has_value());
  EXPECT_LT(*items[0].began_ns, items[0].t_ns) << "the gap says when dropping began and when it ended";
  const auto states = OfKind(items, Item::Kind::DeviceState);
  EXPECT_EQ(states.size(), kRecordedDevices.size() + 1) << "every device and the uptime";
  EXPECT_THAT(states, Contains("state V1 'open' colour " + std::to_string(colours::Green) + " q5"));
}

// An alarm's transition that finds the queue full is counted in the gap
// like any item, and the next one kept comes after the gap.
TEST_F(RecorderTest, AnAlarmLostToAFullQueueIsCountedInTheGap) {
  ItemQueue small{2048};
  Recorder gapped{small, clock};
  while (small.Lost() == 0) gapped.Warning(100, " 100 (OP_ERR_PNEUMATIC_PRESSURE)");
  gapped.AlarmChanged({"WARNING-100", "raised", "high", "OP_ERR_PNEUMATIC_PRESSURE", "", std::nullopt, ""});
  EXPECT_EQ(small.Lost(), 2u);
  TakeItems(small);
  clock.monotonic += 2'000'000;
  gapped.AlarmChanged({"WARNING-100", "shelved", "high", "OP_ERR_PNEUMATIC_PRESSURE", "compressor serviced", 900'000,
                       "anna"});
  const auto items = TakeItems(small);
  ASSERT_EQ(items.size(), 2u) << "nothing of the picture known yet";
  EXPECT_EQ(items[0].Describe(), "event gap 2 '" + std::string(kGapText) + "'");
  EXPECT_EQ(items[1].Describe(),
            "alarm WARNING-100 shelved high 'OP_ERR_PNEUMATIC_PRESSURE' reason 'compressor serviced' until " +
                std::to_string(items[1].t_ns + 900'000'000'000) + " by 'anna'");
}

TEST_F(RecorderTest, AHealthyAnswerTakesNoMemoryOnTheWindowsThread) {
  cmdConnect_Click(panel);
  const std::string first = ValveLine(std::string(16, '\x18'));
  const std::string second = ValveLine(std::string(16, '\x17'));
  // Warm up: every caption has held its longest text once.
  for (const std::string* answer : {&first, &second, &first}) port.Deliver(*answer);
  for (int round = 0; round < 10; ++round) {
    const std::string& answer = round % 2 ? first : second;
    port.waiting = answer;  // the port's own buffer, filled outside the count
    const std::uint64_t before = bench::HeapAllocations();
    port.RaiseEvent(kCommEventReceive);
    EXPECT_EQ(bench::HeapAllocations() - before, 0u) << "round " << round;
  }
  EXPECT_EQ(queue.Lost(), 0u);
}

}  // namespace
}  // namespace halvorn::record
