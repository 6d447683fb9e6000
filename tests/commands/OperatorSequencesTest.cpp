// What an operator does in one sitting (start, connect, poll, answers,
// commands, disconnect, another port, reconnect) asserted on the bytes the
// controller's end of the line received.
#include <gtest/gtest.h>

#include <string>

#include "commands/ElectrodeCommands.h"
#include "commands/MenuCommands.h"
#include "commands/Setpoints.h"
#include "link/Connection.h"
#include "link/Polling.h"
#include "link/Receiver.h"
#include "link/Startup.h"
#include "panel/HitTest.h"
#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

class OperatorSequencesTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;
  void SetUp() override {
    Form_Load(panel);
    Timer2_Timer(panel);
  }

  // Everything written since the last call.
  std::string Sent() {
    std::string out = port.written.substr(seen_);
    seen_ = port.written.size();
    return out;
  }

 private:
  std::size_t seen_ = 0;
};

TEST_F(OperatorSequencesTest, ConnectPollAnswerCommandDisconnectChangePortReconnect) {
  ASSERT_EQ(form.lblComStatus.caption, "Disconnected");

  // Ticks before the connect send nothing but move the cycle on.
  Timer1_Timer(panel);
  EXPECT_EQ(Sent(), "");

  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open successfully");
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Connected: Com1,115200,n,8,1");
  EXPECT_FALSE(form.Combo3.enabled);

  Timer1_Timer(panel);
  Timer1_Timer(panel);
  EXPECT_EQ(Sent(), "062_247\r060_245\r");
  EXPECT_EQ(form.shpSend.fillColor, colours::Yellow);
  Timer3_Timer(panel);
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu);

  // The controller's uptime answer, split over two chunks.
  port.Deliver("010_0000000");
  EXPECT_EQ(form.shpRecv.fillColor, colours::SystemMenu);
  port.Deliver("3600009\r");
  EXPECT_EQ(form.txtUptime.text, "3600s");
  EXPECT_EQ(form.shpRecv.fillColor, colours::Green);
  EXPECT_TRUE(form.Timer4.enabled);
  Timer4_Timer(panel);
  EXPECT_EQ(form.shpRecv.fillColor, colours::SystemMenu);

  // Close V5 from its state caption, then a setpoint; neither disturbs the
  // cycle, which goes on with the mass-flow request.
  const auto popup =
      DeviceLabel_MouseDown(form, form.lblV5state, mouse_button::Right, 0, 3.0f, 3.0f);
  ASSERT_TRUE(popup.has_value());
  MenuItem_Click(panel, *popup->items[1]);
  form.txtMFC2.text = "25";
  cmdMFC_send_Click(panel, form.cmdMFC2_send);
  Timer1_Timer(panel);
  EXPECT_EQ(Sent(), "021_05087\r070_2025191\r063_248\r");

  cmdDisconnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 closed");
  Timer1_Timer(panel);  // the uptime request's turn passes unsent
  cmdMoveElectrodeIn_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Not connected!");
  EXPECT_EQ(Sent(), "");
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Disconnected");
  EXPECT_TRUE(form.Combo3.enabled);

  SetListIndex(panel, form.Combo3, 2);  // Com3
  EXPECT_EQ(form.lblStatus.caption, "Port 1 not open");
  SetListIndex(panel, form.Combo1, 1);  // 9600
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 3 open successfully");
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Connected: Com3,9600,n,8,1");

  Timer1_Timer(panel);
  Timer1_Timer(panel);
  Timer1_Timer(panel);
  EXPECT_EQ(Sent(), "081_248\r121_243\r061_246\r");
  EXPECT_EQ(port.openCalls, 2);
}

TEST_F(OperatorSequencesTest, AMissingPortIsToldThenAnotherPortConnects) {
  port.openFailures = {open_error::NoSuchPort};
  SetListIndex(panel, form.Combo3, 7);  // Com8
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 8 does not exist");
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Disconnected");
  MenuItem_Click(panel, form.mnuTmpOn);
  EXPECT_EQ(form.lblStatus.caption, "Not connected!");

  SetListIndex(panel, form.Combo3, 1);  // Com2
  EXPECT_EQ(form.lblStatus.caption, "Port 8 not open");
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 2 open successfully");
  MenuItem_Click(panel, form.mnuTmpOn);
  Timer1_Timer(panel);
  EXPECT_EQ(Sent(), "040_3038\r061_246\r");
}

TEST_F(OperatorSequencesTest, APortChosenWhileConnectedDropsTheLinkUntilConnectAgain) {
  cmdConnect_Click(panel);
  Timer1_Timer(panel);
  // Within the half second before Timer2 locks the lists.
  SetListIndex(panel, form.Combo3, 4);  // Com5
  EXPECT_EQ(form.lblStatus.caption, "Port 1 closed");
  EXPECT_FALSE(port.PortOpen());
  Timer1_Timer(panel);
  cmdSwitchOnElectrodeCooling_Click(panel);
  EXPECT_EQ(Sent(), "061_246\r");
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 5 open successfully");
  cmdSwitchOnElectrodeCooling_Click(panel);
  Timer1_Timer(panel);
  EXPECT_EQ(Sent(), "120_1035\r060_245\r");
}

}  // namespace
}  // namespace halvorn
