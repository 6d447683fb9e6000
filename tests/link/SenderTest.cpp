#include "link/Sender.h"

#include <gtest/gtest.h>

#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

class SenderTest : public ::testing::Test {
 protected:
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;

  void Open() { ASSERT_EQ(port.Open(), open_error::None); }
};

TEST_F(SenderTest, ClosedPortSaysNotConnectedAndTouchesNothingElse) {
  form.lblStatus.caption = "Port 1 not open";
  SendMessage(panel, "020_05", Outgoing::Command);
  EXPECT_EQ(form.lblStatus.caption, "Not connected!");
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu);
  EXPECT_FALSE(form.Timer3.enabled);
  EXPECT_EQ(form.Timer3.starts, 0u);
}

TEST_F(SenderTest, OpenPortGetsTheWholeFrameInOneWrite) {
  Open();
  form.lblStatus.caption = "Port 1 open successfully";
  SendMessage(panel, "061_", Outgoing::Poll);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], std::string("\x30\x36\x31\x5F\x32\x34\x36\x0D", 8));
  EXPECT_EQ(form.shpSend.fillColor, colours::Yellow);
  EXPECT_TRUE(form.Timer3.enabled);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open successfully");
}

TEST_F(SenderTest, EachSendRestartsTheLampTimer) {
  Open();
  SendMessage(panel, "061_", Outgoing::Poll);
  const unsigned afterFirst = form.Timer3.starts;
  SendMessage(panel, "062_", Outgoing::Poll);
  EXPECT_NE(form.Timer3.starts, afterFirst);
  EXPECT_EQ(port.written, "061_246\r062_247\r");
}

TEST_F(SenderTest, AFrameThePortRefusesLeavesTheLampAtRestAndTheNextGoesOut) {
  Open();
  form.lblStatus.caption = "Port 1 open successfully";
  port.failWrites = true;
  SendMessage(panel, "061_", Outgoing::Poll);
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu)
      << "no lamp for a frame that never went out";
  EXPECT_FALSE(form.Timer3.enabled);
  EXPECT_EQ(form.Timer3.starts, 0u);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open successfully");
  EXPECT_EQ(panel.FramesWritten, 0u) << "the window waits for no answer to it";
  port.failWrites = false;
  SendMessage(panel, "062_", Outgoing::Poll);
  EXPECT_EQ(port.written, "062_247\r");
  EXPECT_EQ(panel.FramesWritten, 1u);
  EXPECT_EQ(form.shpSend.fillColor, colours::Yellow);
  EXPECT_TRUE(form.Timer3.enabled);
}

}  // namespace
}  // namespace halvorn
