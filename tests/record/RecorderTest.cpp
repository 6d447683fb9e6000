// What the recorder makes of a run of the core: the bytes both ways, the
// link's events with the status they showed, every change of a device once,
// warnings each time, the slow items at most once a minute, and no memory
// taken per healthy answer.
#include "record/Recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "QueuedItems.h"
#include "commands/Events.h"
#include "link/Connection.h"
#include "link/Frame.h"
#include "link/Polling.h"
#include "link/Receiver.h"
#include "link/Startup.h"
#include "record/RecordingSerialPort.h"
#include "support/FakeSerialPort.h"

namespace halvorn::record {
namespace {

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

std::string OnLine(const std::string& text) { return text + ChecksumField(Checksum(text)) + '\r'; }

// Valves: '\x18' open, '\x17' closed, one per valve V1..CV2.
std::string ValveLine(const std::string& states) { return OnLine("061__" + states); }

std::vector<std::string> OfKind(const std::vector<testing::QueuedItem>& items, Item::Kind kind) {
  std::vector<std::string> lines;
  for (const auto& item : items)
    if (item.kind == kind) lines.push_back(item.Describe());
  return lines;
}

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form_Load(panel);
    recorder.Observe(panel);
  }
  ManualClock clock;
  ItemQueue queue{1 << 20};
  Recorder recorder{queue, clock};
  halvorn::testing::FakeSerialPort port;
  RecordingSerialPort recorded{port, &recorder};
  FrontPanel panel{recorded};
};

TEST_F(RecorderTest, TheStartPictureIsRecordedOnceAndThenOnlyChanges) {
  const auto start = TakeItems(queue);
  EXPECT_EQ(OfKind(start, Item::Kind::DeviceState).size(), kRecordedDevices.size() + 1) << "and the uptime";
  EXPECT_THAT(Described(start), Contains("state V1 'state' colour 2147483665 q4"));

  recorder.Observe(panel);
  EXPECT_THAT(Described(TakeItems(queue)), IsEmpty()) << "nothing changed, nothing recorded";

  cmdConnect_Click(panel);
  recorder.Observe(panel);
  TakeItems(queue);
  port.Deliver(ValveLine("\x18" + std::string(15, '\x17')));
  recorder.Observe(panel);
  const auto valves = OfKind(TakeItems(queue), Item::Kind::DeviceState);
  EXPECT_EQ(valves.size(), 16u);
  EXPECT_EQ(valves.front(), "state V1 'open' colour " + std::to_string(colours::Green) + " q5");

  port.Deliver(ValveLine("\x17\x18" + std::string(14, '\x17')));
  recorder.Observe(panel);
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
  recorder.Observe(panel);
  cmdConnect_Click(panel);
  recorder.Observe(panel);
  port.RaiseEvent(kCommEventLost);
  recorder.Observe(panel);
  cmdConnect_Click(panel);
  recorder.Observe(panel);
  cmdDisconnect_Click(panel);
  recorder.Observe(panel);
  EXPECT_THAT(OfKind(TakeItems(queue), Item::Kind::Event),
              ElementsAre("event open failed 8002 'Port 1 does not exist'",
                          "event opened 1 'Port 1 open successfully'",
                          "event lost 1 'Port 1 lost'",  // not also 'closed'
                          "event opened 1 'Port 1 open successfully'", "event closed 1 'Port 1 closed'"));
}

TEST_F(RecorderTest, TriesOfTheReconnectThatFailAlikeAreRecordedOnceAndThenCounted) {
  panel.actions = &recorder;
  panel.reconnect.enabled = true;
  const auto step = [&](auto&& act) {
    act();
    recorder.Observe(panel);
  };
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
  panel.observer = &recorder;
  cmdConnect_Click(panel);
  recorder.Observe(panel);
  TakeItems(queue);
  for (int i = 0; i < 12; ++i) port.Deliver(OnLine("100"));
  const auto events = OfKind(TakeItems(queue), Item::Kind::Event);
  EXPECT_EQ(events.size(), 12u);
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
  for (int second = 1; second <= 59; ++second) {
    clock.monotonic += 1'000'000'000;
    port.Deliver(OnLine("010__" + std::string(10 - std::to_string(second).size(), '0') + std::to_string(second)));
    recorder.Observe(panel);
  }
  EXPECT_THAT(slowItems(), IsEmpty()) << "the start's were less than a minute ago";
  clock.monotonic += 1'000'000'000;
  port.Deliver(OnLine("010__0000000060"));
  recorder.Observe(panel);
  EXPECT_THAT(slowItems(), ElementsAre("state UPTIME '60s' q0 60.000000", "event counters 'good 60 crc 0'"));
}

TEST_F(RecorderTest, AHealthyAnswerTakesNoMemoryOnTheWindowsThread) {
  cmdConnect_Click(panel);
  const std::string first = ValveLine(std::string(16, '\x18'));
  const std::string second = ValveLine(std::string(16, '\x17'));
  // Warm up: every caption has held its longest text once.
  for (const std::string* answer : {&first, &second, &first}) {
    port.Deliver(*answer);
    recorder.Observe(panel);
  }
  for (int round = 0; round < 10; ++round) {
    const std::string& answer = round % 2 ? first : second;
    port.waiting = answer;  // the port's own buffer, filled outside the count
    const std::uint64_t before = bench::HeapAllocations();
    port.RaiseEvent(kCommEventReceive);
    recorder.Observe(panel);
    EXPECT_EQ(bench::HeapAllocations() - before, 0u) << "round " << round;
  }
  EXPECT_EQ(queue.Lost(), 0u);
}

}  // namespace
}  // namespace halvorn::record
