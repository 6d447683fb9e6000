// The polling cycle and the activity lamps, asserted on the bytes the fake
// port received.
#include "link/Polling.h"

#include <gtest/gtest.h>

#include <string>

#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

class PollingTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;

  void Open() { ASSERT_EQ(port.Open(), open_error::None); }
};

struct PollCase {
  std::int16_t step;
  const char* frame;  // as written, carriage return included
  std::int16_t next;
};

// One full pass and the start of the next.
constexpr PollCase kPass[] = {
    {0, "061_246\r", 1}, {1, "062_247\r", 2}, {2, "060_245\r", 3}, {3, "063_248\r", 4},
    {4, "010_240\r", 5}, {5, "081_248\r", 6}, {6, "121_243\r", 0}, {0, "061_246\r", 1},
};

TEST_F(PollingTest, OpenLinkSendsTheSevenRequestsInTurnOnePerTick) {
  Open();
  for (const PollCase& c : kPass) {
    SCOPED_TRACE(::testing::Message() << "step " << c.step << ", expecting " << c.frame);
    ASSERT_EQ(panel.PollStep, c.step);
    const std::size_t before = port.writes.size();
    Timer1_Timer(panel);
    ASSERT_EQ(port.writes.size(), before + 1);
    EXPECT_EQ(port.writes.back(), c.frame);
    EXPECT_EQ(panel.PollStep, c.next);
  }
  EXPECT_EQ(port.written,
            "061_246\r062_247\r060_245\r063_248\r010_240\r081_248\r121_243\r061_246\r");
  EXPECT_TRUE(form.Timer1.enabled);
}

TEST_F(PollingTest, PollRequestsAreTheOperationCodesInThreeDigits) {
  const char* expected[] = {"061_", "062_", "060_", "063_", "010_", "081_", "121_"};
  for (std::int16_t step = 0; step < 7; ++step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(PollRequest(step), expected[step]);
  }
  EXPECT_EQ(PollRequest(7), "");
  EXPECT_EQ(PollRequest(-1), "");
}

TEST_F(PollingTest, ClosedLinkSendsNothingShowsNothingButTheStepAdvances) {
  form.lblStatus.caption = "Port 1 not open";
  for (const PollCase& c : kPass) {
    SCOPED_TRACE(::testing::Message() << "step " << c.step);
    ASSERT_EQ(panel.PollStep, c.step);
    Timer1_Timer(panel);
    EXPECT_EQ(panel.PollStep, c.next);
  }
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(form.lblStatus.caption, "Port 1 not open");
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu);
  EXPECT_FALSE(form.Timer3.enabled);
  EXPECT_EQ(form.Timer3.starts, 0u);
}

TEST_F(PollingTest, AConnectAtStepFourStartsWithTheUptimeRequest) {
  for (int tick = 0; tick < 4; ++tick) Timer1_Timer(panel);
  ASSERT_EQ(panel.PollStep, 4);
  Open();
  Timer1_Timer(panel);
  Timer1_Timer(panel);
  EXPECT_EQ(port.written, "010_240\r081_248\r");
}

TEST_F(PollingTest, AStepOutOfItsRangeSendsNothingAndStartsOver) {
  Open();
  panel.PollStep = 9;
  Timer1_Timer(panel);
  EXPECT_EQ(panel.PollStep, 0);
  panel.PollStep = -3;
  Timer1_Timer(panel);
  EXPECT_EQ(panel.PollStep, 0);
  EXPECT_TRUE(port.written.empty());
}

TEST_F(PollingTest, SendLampIsYellowUntilTheNextTimer3Tick) {
  Open();
  Timer1_Timer(panel);
  EXPECT_EQ(form.shpSend.fillColor, colours::Yellow);
  EXPECT_TRUE(form.Timer3.enabled);
  form.shpRecv.fillColor = colours::Green;
  Timer3_Timer(panel);
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu);
  EXPECT_FALSE(form.Timer3.enabled);
  EXPECT_EQ(form.shpRecv.fillColor, colours::Green) << "Timer3 leaves the receive lamp alone";
}

TEST_F(PollingTest, ReceiveLampIsPutBackByTimer4Alone) {
  form.shpRecv.fillColor = colours::Green;
  form.Timer4.Start();
  form.shpSend.fillColor = colours::Yellow;
  form.Timer3.Start();
  Timer4_Timer(panel);
  EXPECT_EQ(form.shpRecv.fillColor, colours::SystemMenu);
  EXPECT_FALSE(form.Timer4.enabled);
  EXPECT_EQ(form.shpSend.fillColor, colours::Yellow);
  EXPECT_TRUE(form.Timer3.enabled);
}

TEST_F(PollingTest, LampTimersStopEvenWhenTheLampIsAlreadyAtRest) {
  form.Timer3.Start();
  form.Timer4.Start();
  Timer3_Timer(panel);
  Timer4_Timer(panel);
  EXPECT_FALSE(form.Timer3.enabled);
  EXPECT_FALSE(form.Timer4.enabled);
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu);
  EXPECT_EQ(form.shpRecv.fillColor, colours::SystemMenu);
}

}  // namespace
}  // namespace halvorn
