// The six fixed commands of the "Electrode and UV lamp" frame.
#include "commands/ElectrodeCommands.h"

#include <gtest/gtest.h>

#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

struct ButtonCase {
  void (*click)(FrontPanel&);
  const char* button;
  const char* frame;
};

constexpr ButtonCase kButtons[] = {
    {&cmdMoveElectrodeIn_Click, "cmdMoveElectrodeIn", "080_1040\r"},
    {&cmdMoveElectrodeOut_Click, "cmdMoveElectrodeOut", "080_0039\r"},
    {&cmdOpenUVLampShutter_Click, "cmdOpenUVLampShutter", "030_01083\r"},
    {&cmdCloseUVLampShutter_Click, "cmdCloseUVLampShutter", "031_01084\r"},
    {&cmdSwitchOnElectrodeCooling_Click, "cmdSwitchOnElectrodeCooling", "120_1035\r"},
    {&cmdSwitchOffElectrodeCooling_Click, "cmdSwitchOffElectrodeCooling", "120_0034\r"},
};

TEST(ElectrodeCommandsTest, EachButtonSendsItsCommandEveryTimeItIsClicked) {
  for (const ButtonCase& c : kButtons) {
    SCOPED_TRACE(::testing::Message() << c.button << " expecting " << c.frame);
    FakeSerialPort port;
    FrontPanel panel(port);
    ASSERT_EQ(port.Open(), open_error::None);
    c.click(panel);
    c.click(panel);
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[0], c.frame);
    EXPECT_EQ(port.writes[1], c.frame);
    EXPECT_EQ(panel.form.shpSend.fillColor, colours::Yellow);
  }
}

TEST(ElectrodeCommandsTest, WithThePortClosedEachButtonSaysNotConnectedAndSendsNothing) {
  for (const ButtonCase& c : kButtons) {
    SCOPED_TRACE(c.button);
    FakeSerialPort port;
    FrontPanel panel(port);
    panel.form.lblStatus.caption = "Port 1 not open";
    c.click(panel);
    EXPECT_EQ(panel.form.lblStatus.caption, "Not connected!");
    EXPECT_TRUE(port.written.empty());
  }
}

}  // namespace
}  // namespace halvorn
