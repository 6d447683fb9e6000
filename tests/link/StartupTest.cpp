// The Load event: the start state of the panel, reached through the same
// drop-down lists the operator uses.
#include "link/Startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Connection.h"
#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

// Every shape the four group resets grey.
constexpr Shape Form1::*kGroupShapes[] = {
    &Form1::shpTMP,    &Form1::shpRotary1, &Form1::shpRotary2, &Form1::shpV1,   &Form1::shpV2,
    &Form1::shpV3,     &Form1::shpV4,      &Form1::shpV5,      &Form1::shpV6,   &Form1::shpV7,
    &Form1::shpV8,     &Form1::shpV9,      &Form1::shpV10,     &Form1::shpV11,  &Form1::shpV12,
    &Form1::shpV13,    &Form1::shpV14,     &Form1::shpCV1,     &Form1::shpCV2,  &Form1::shpVmech1,
    &Form1::shpVmech2, &Form1::shpVmech3,  &Form1::shpG1,      &Form1::shpG2,   &Form1::shpG3,
    &Form1::shpG4,     &Form1::shpG5,      &Form1::shpG6,      &Form1::shpG7,   &Form1::shpG8,
    &Form1::shpMFC1,   &Form1::shpMFC2,    &Form1::shpMFC3,    &Form1::shpMFC4,
};

// The parts of the start state an operator can see or the link depends on,
// one per line, so two starts can be compared at once.
std::string StartState(const FrontPanel& p) {
  const Form1& f = p.form;
  std::string s;
  s += "port " + std::to_string(p.MSComm2.CommPort()) +
       (p.MSComm2.PortOpen() ? " open " : " closed ") + p.MSComm2.Settings() + "\n";
  s += "lblStatus " + f.lblStatus.caption + "\n";
  s += "lblComStatus " + f.lblComStatus.caption + "\n";
  for (const ComboBox* c : {&f.Combo1, &f.Combo2, &f.Combo3}) {
    s += c->name + " " + c->Text() + (c->enabled ? " enabled\n" : " disabled\n");
  }
  s += "lists " + std::to_string(f.lstWarnings.ListCount()) + " " +
       std::to_string(f.lstMessages.ListCount()) + "\n";
  for (Shape Form1::*shape : kGroupShapes) {
    s += (f.*shape).name + " " + std::to_string((f.*shape).fillColor) + "\n";
  }
  s += "poll " + std::to_string(p.PollStep) + " counters " + std::to_string(p.CorrectMessageCount) +
       " " + std::to_string(p.CrcErrorCount) + " buffer " + std::to_string(p.ReceiveBuffer.size()) +
       "\n";
  return s;
}

class StartupTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;
};

TEST_F(StartupTest, LoadEndsOnPortOneClosedAt115200NoParity) {
  Form_Load(panel);
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.openCalls, 0);
  EXPECT_EQ(port.CommPort(), 1);
  EXPECT_EQ(port.Settings(), "115200,n,8,1");
  EXPECT_EQ(form.lblStatus.caption, "Port 1 not open");
  EXPECT_EQ(form.lblComStatus.caption, "Com1,9600,n,1") << "the layout's text until Timer2 ticks";
  EXPECT_EQ(form.Combo1.Text(), "115200");
  EXPECT_EQ(form.Combo2.Text(), "n");
  EXPECT_EQ(form.Combo3.Text(), "Com1");
  EXPECT_TRUE(form.Combo1.enabled);
  EXPECT_TRUE(form.Combo2.enabled);
  EXPECT_TRUE(form.Combo3.enabled);
  EXPECT_TRUE(port.written.empty());
}

// The baud rate is chosen while the parity list is still empty, so the port
// is handed "115200,,8,1" for a moment. The port takes the text as given;
// nothing fails, and the parity's choice completes it.
TEST_F(StartupTest, SettingsGoThroughTheListsIncludingTheMomentWithoutParity) {
  Form_Load(panel);
  EXPECT_EQ(port.settingsHistory,
            (std::vector<std::string>{"9600,N,8,1", "115200,,8,1", "115200,n,8,1"}));
}

TEST_F(StartupTest, FirstTimer2TickShowsDisconnectedWithTheListsFree) {
  Form_Load(panel);
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Disconnected");
  EXPECT_TRUE(form.Combo1.enabled);
  EXPECT_TRUE(form.Combo2.enabled);
  EXPECT_TRUE(form.Combo3.enabled);
}

TEST_F(StartupTest, ListsAreEmptiedAndEveryGroupIsGreyWhateverTheyHeld) {
  form.lstWarnings.AddItem("warning", 0);
  form.lstMessages.AddItem("message", 0);
  form.lstMessages.AddItem("message", 0);
  for (Shape Form1::*shape : kGroupShapes) (form.*shape).fillColor = colours::Cyan;
  Form_Load(panel);
  EXPECT_EQ(form.lstWarnings.ListCount(), 0);
  EXPECT_EQ(form.lstMessages.ListCount(), 0);
  for (Shape Form1::*shape : kGroupShapes) {
    SCOPED_TRACE((form.*shape).name);
    EXPECT_EQ((form.*shape).fillColor, colours::SystemGrayText);
  }
}

TEST_F(StartupTest, PictureCaptionsTimersAndLinkStateKeepTheirStartValues) {
  const Form1 layout;
  Form_Load(panel);
  EXPECT_EQ(form.lblV1state.caption, "state");
  EXPECT_EQ(form.lblTMPstatus.caption, "---");
  EXPECT_EQ(form.lblG1Value.caption, "X.XXXE-X");
  EXPECT_EQ(form.lblMFC1Value.caption, "XXXX");
  EXPECT_EQ(form.lblElectrodePosition.caption, "-");
  EXPECT_EQ(form.lblStatus2.caption, layout.lblStatus2.caption);
  EXPECT_EQ(form.lblCrcErrors.caption, layout.lblCrcErrors.caption);
  EXPECT_EQ(form.shpVneedle.fillColor, layout.shpVneedle.fillColor);
  EXPECT_EQ(form.shpBuffer[0].fillColor, layout.shpBuffer[0].fillColor);
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu);
  EXPECT_EQ(form.shpRecv.fillColor, colours::SystemMenu);
  EXPECT_TRUE(form.Timer1.enabled);
  EXPECT_TRUE(form.Timer2.enabled);
  EXPECT_FALSE(form.Timer3.enabled);
  EXPECT_FALSE(form.Timer4.enabled);
  EXPECT_TRUE(form.Timer5.enabled);
  EXPECT_EQ(panel.PollStep, 0);
  EXPECT_EQ(panel.CorrectMessageCount, 0);
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
  EXPECT_EQ(panel.watchdog.ValvesUpdated, 0);
}

TEST_F(StartupTest, TwoStartsInARowGiveTheSameState) {
  Form_Load(panel);
  const std::string first = StartState(panel);
  // The first run goes on: another port, other settings, connected.
  SetListIndex(panel, form.Combo3, 4);
  SetListIndex(panel, form.Combo1, 0);
  SetListIndex(panel, form.Combo2, 2);
  cmdConnect_Click(panel);
  ASSERT_NE(StartState(panel), first);

  FakeSerialPort secondPort;
  FrontPanel second(secondPort);
  Form_Load(second);
  EXPECT_EQ(StartState(second), first);
}

}  // namespace
}  // namespace halvorn
