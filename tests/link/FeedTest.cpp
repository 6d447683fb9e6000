// What the core tells its onlookers, in the order it happened: one answer
// is the bytes, then what changed on its devices, then the count; frames
// are known as polls or as the commands of the action that sent them; a
// device that shows the same again is not told again.
#include "link/Feed.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/Connection.h"
#include "link/Frame.h"
#include "link/Polling.h"
#include "link/Protocol.h"
#include "link/Sender.h"
#include "support/FakeSerialPort.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::OnLine;

using ::testing::ElementsAre;

struct Heard : FeedListener {
  std::vector<std::string> lines;
  void Received(std::string_view bytes) override { lines.push_back("in " + std::string(bytes)); }
  void Written(std::string_view frame, bool poll, std::optional<std::int64_t> action) override {
    lines.push_back((poll ? "poll " : "command ") + std::string(frame) +
                    (action ? " of " + std::to_string(*action) : std::string()));
  }
  void Action(std::int64_t number, std::string_view procedure, std::optional<std::string_view>,
              std::string_view) override {
    lines.push_back("action " + std::to_string(number) + " " + std::string(procedure));
  }
  void DeviceChanged(const Device& device, const DeviceShown& shown) override {
    lines.push_back(std::string(device.name) + " " + std::string(shown.text));
  }
  void Link(LinkEvent, std::int64_t number, std::string_view status) override {
    lines.push_back("link " + std::to_string(number) + " " + std::string(status));
  }
  void Warning(std::int64_t number, std::string_view) override {
    lines.push_back("warning " + std::to_string(number));
  }
  void Counted(std::int32_t correct, std::int32_t crc) override {
    lines.push_back("counted " + std::to_string(correct) + "/" + std::to_string(crc));
  }
  void ChangesTold() override { lines.push_back("told"); }
};

TEST(FeedTest, EveryListenerHearsWhatHappenedOnceAndInOrder) {
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  Heard first, second;
  panel.feed.Listen(first);
  panel.feed.Listen(second);
  panel.feed.TellChanges(panel.form);  // the start picture
  first.lines.clear();

  cmdConnect_Click(panel);
  Timer1_Timer(panel);
  panel.feed.BeginAction("mnuV6Open_Click", "V6", "Open");
  SendCommand(panel, 20, "06");
  panel.feed.EndAction();
  // Pumps 1 to 3 (ROTARY1, ROTARY2, TMP), then the same again.
  const std::string pumps = OnLine("062__\x17\x17\x18");
  port.Deliver(pumps);
  port.Deliver(pumps);
  port.Deliver(OnLine("100") + "garbled\r");

  const std::string poll = BuildFrame(PollRequest(0));
  EXPECT_THAT(first.lines,
              ElementsAre("link 1 Port 1 open successfully", "poll " + poll, "action 1 mnuV6Open_Click",
                          "command " + BuildFrame("020_06") + " of 1", "in " + pumps,
                          ::testing::StartsWith("ROTARY1 "), ::testing::StartsWith("ROTARY2 "),
                          ::testing::StartsWith("TMP "), "told", "counted 1/0", "in " + pumps, "told",
                          "counted 2/0",
                          "in " + OnLine("100") + "garbled\r", "warning 100", "counted 3/0",
                          "counted 3/1"));
  EXPECT_EQ(second.lines.size(), first.lines.size() + kDevices.size())
      << "the second heard the start picture too: every device but the needle valve, then its end";
}

TEST(FeedTest, NobodyListeningCostsNothingAndTellsNothing) {
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  EXPECT_FALSE(panel.feed.Heard());
  cmdConnect_Click(panel);
  port.Deliver(OnLine("062__\x18\x18\x18"));
  Heard late;
  panel.feed.Listen(late);
  port.Deliver(OnLine("062__\x18\x18\x18"));
  // Devices are compared only while someone listens: the late listener
  // hears the pumps as they are now, as a first telling.
  EXPECT_THAT(late.lines, ::testing::Contains(::testing::StartsWith("TMP ")));
}

}  // namespace
}  // namespace halvorn
