// The panel's own core and the simulator joined back to back, with the
// simulator's answers decoded by the panel's decoders: what an operator
// would see on the window, without a window or a serial line.
#include <gtest/gtest.h>

#include <string>

#include "Simulator.h"
#include "commands/ElectrodeCommands.h"
#include "commands/Setpoints.h"
#include "commands/Switching.h"
#include "link/Connection.h"
#include "link/Polling.h"
#include "link/Startup.h"
#include "plant/Watchdog.h"
#include "support/FakeSerialPort.h"

namespace halvorn::sim {
namespace {

class PanelWithSimulatorTest : public ::testing::Test {
 protected:
  halvorn::testing::FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;
  Simulator sim;
  double clock = 0.0;
  double nextWatchdog = 3.0;

  void SetUp() override {
    Form_Load(panel);
    cmdConnect_Click(panel);
    ASSERT_TRUE(port.PortOpen());
  }

  // Whatever the panel wrote goes to the simulator, its answer back.
  void Exchange() {
    const std::string written = port.written.substr(m_seen);
    m_seen = port.written.size();
    const std::string answer = sim.Receive(written);
    if (!answer.empty()) port.Deliver(answer);
  }

  // Runs the poll cycle for `seconds`, 200 ms a tick, with the watchdog.
  void Poll(double seconds) {
    for (double t = 0.0; t < seconds - 1e-9; t += 0.2) {
      clock += 0.2;
      sim.Advance(0.2);
      Timer1_Timer(panel);
      Exchange();
      if (clock >= nextWatchdog - 1e-9) {
        Timer5_Timer(form, panel.watchdog);
        nextWatchdog += 3.0;
      }
    }
  }

  void Console(std::string_view line) {
    const ConsoleResult result = sim.ExecuteLine(line);
    ASSERT_EQ(result.reply.rfind("ok:", 0), 0u) << result.reply;
  }

 private:
  std::size_t m_seen = 0;
};

TEST_F(PanelWithSimulatorTest, AFreshPlantAfterOnePollCycle) {
  Poll(1.4);
  EXPECT_EQ(form.lblV1state.caption, "closed");
  EXPECT_EQ(form.shpV1.fillColor, colours::Yellow);
  EXPECT_EQ(form.lblCV2state.caption, "closed");
  EXPECT_EQ(form.lblRotary1Status.caption, "stopped");
  EXPECT_EQ(form.lblTMPstatus.caption, "stopped");
  EXPECT_EQ(form.lblG1Value.caption, "1.013E 3");
  EXPECT_EQ(form.lblG1State.caption, "ok");
  EXPECT_EQ(form.lblG8Value.caption, "1.013E 3");
  EXPECT_EQ(form.shpG8.fillColor, colours::White);
  EXPECT_EQ(form.lblMFC1Value.caption, " 0.0%");
  EXPECT_EQ(form.shpMFC1.fillColor, colours::LightYellow);
  EXPECT_EQ(form.lblElectrodePosition.caption, "out");
  EXPECT_EQ(form.lblElectrodeCooling.caption, "stopped");
  EXPECT_EQ(form.txtUptime.text, "1s");
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(panel.CorrectMessageCount, 7);
  EXPECT_TRUE(form.lstMessages.items.empty());
}

TEST_F(PanelWithSimulatorTest, OperatorPumpsDownAndInjectsGas) {
  OpenValve(panel, 5);
  SwitchPumpOn(panel, 2);
  Poll(1.4);
  EXPECT_EQ(form.lblV5state.caption, "open");
  EXPECT_EQ(form.shpV5.fillColor, colours::Green);
  EXPECT_EQ(form.lblRotary2Status.caption, "accelerating");
  EXPECT_EQ(form.shpRotary2.fillColor, colours::Cyan);
  Poll(2.8);
  EXPECT_EQ(form.lblRotary2Status.caption, "started");

  OpenValve(panel, 16);  // CV2: rough the vessel
  Poll(9.8);
  EXPECT_EQ(form.lblCV2state.caption, "open");
  EXPECT_NE(form.lblG8Value.caption.find("E-"), std::string::npos) << form.lblG8Value.caption;

  SendFlowSetpoint(panel, 1, 50);
  Poll(2.8);
  EXPECT_EQ(form.lblMFC1Value.caption, "50.0%");

  SwitchPumpOff(panel, 2);
  Poll(1.4);
  EXPECT_EQ(form.lblRotary2Status.caption, "stopping");
  EXPECT_EQ(form.shpRotary2.fillColor, colours::Magenta);
  Poll(2.8);
  EXPECT_EQ(form.lblRotary2Status.caption, "stopped");
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_TRUE(form.lstMessages.items.empty());
}

TEST_F(PanelWithSimulatorTest, ElectrodeAndCooling) {
  cmdMoveElectrodeIn_Click(panel);
  cmdSwitchOnElectrodeCooling_Click(panel);
  Poll(1.4);
  EXPECT_EQ(form.lblElectrodePosition.caption, "middle");
  EXPECT_EQ(form.lblElectrodeCooling.caption, "running");
  Poll(2.8);
  EXPECT_EQ(form.lblElectrodePosition.caption, "in");
  cmdMoveElectrodeOut_Click(panel);
  cmdSwitchOffElectrodeCooling_Click(panel);
  Poll(1.4);
  EXPECT_EQ(form.lblElectrodePosition.caption, "middle");
  EXPECT_EQ(form.lblElectrodeCooling.caption, "stopped");
  cmdOpenUVLampShutter_Click(panel);
  Poll(0.2);
  EXPECT_TRUE(sim.plant().UvShutterOpen());
}

TEST_F(PanelWithSimulatorTest, DeviceFaultsShowTheirTexts) {
  Console("fault V3 160");
  Console("fault tmp 159");
  Console("fault G2 151");
  Console("fault MFC4 153");
  Console("fault electrode 114");
  Poll(1.4);
  EXPECT_EQ(form.lblV3state.caption, "no response from icpcon bus");
  EXPECT_EQ(form.shpV3.fillColor, colours::Red);
  EXPECT_EQ(form.lblTMPstatus.caption, "no response from pfeiffer bus");
  EXPECT_EQ(form.lblG2Value.caption, "---");
  EXPECT_EQ(form.lblG2State.caption, "crc error");
  EXPECT_EQ(form.lblMFC4Value.caption, "Unknown error code");
  EXPECT_EQ(form.lblElectrodePosition.caption, "error");
  Console("fault all clear");
  Poll(1.4);
  EXPECT_EQ(form.lblV3state.caption, "closed");
  EXPECT_EQ(form.lblG2State.caption, "ok");
}

TEST_F(PanelWithSimulatorTest, WarningsAndAcknowledgementsAreListed) {
  Console("warn 105");
  Console("warn 100");
  Console("acks on");
  CloseValve(panel, 16);
  Poll(0.2);
  ASSERT_EQ(form.lstWarnings.items.size(), 2u);
  EXPECT_EQ(form.lstWarnings.items[0], " 100 (OP_ERR_PNEUMATIC_PRESSURE)");
  EXPECT_EQ(form.lstWarnings.items[1], " 105 (OP_ERR_ICPCON_BUS)");
  ASSERT_EQ(form.lstMessages.items.size(), 1u);
  EXPECT_EQ(form.lstMessages.items[0], "021_16089");
}

TEST_F(PanelWithSimulatorTest, SpoiledChecksumsAreCounted) {
  Console("crc 0.5");
  Poll(2.8);  // 14 answers
  EXPECT_EQ(panel.CrcErrorCount, 7);
  EXPECT_EQ(panel.CorrectMessageCount, 7);
}

TEST_F(PanelWithSimulatorTest, WrongLengthChangesNoIndicatorButKeepsTheGroupAlive) {
  Poll(1.4);
  SwitchPumpOn(panel, 1);
  Console("badlen pumps");
  Poll(6.0);
  EXPECT_EQ(form.lblRotary1Status.caption, "stopped") << "the answers of the wrong length are ignored";
  EXPECT_NE(form.shpRotary1.fillColor, colours::SystemGrayText) << "but they keep the watchdog fed";
  Console("badlen none");
  Poll(1.4);
  EXPECT_EQ(form.lblRotary1Status.caption, "started");
}

TEST_F(PanelWithSimulatorTest, SilentGroupTurnsGreyAndComesBack) {
  Poll(3.0);
  Console("silence gauges");
  Poll(6.0);
  EXPECT_EQ(form.shpG1.fillColor, colours::SystemGrayText);
  EXPECT_EQ(form.lblG1Value.caption, "1.013E 3") << "the last reading stays written";
  EXPECT_EQ(form.shpV1.fillColor, colours::Yellow) << "the other groups still answer";
  Console("unsilence gauges");
  Poll(1.4);
  EXPECT_EQ(form.shpG1.fillColor, colours::White);
}

TEST_F(PanelWithSimulatorTest, BrokenFramesAreAbsorbed) {
  Poll(1.4);
  const int correct = panel.CorrectMessageCount;
  Console("nocr");
  Poll(0.4);  // the answer without its carriage return runs into the next
  EXPECT_EQ(panel.CrcErrorCount, 1);
  Console("nocr 300");
  Poll(0.2);  // more than the receive buffer holds: dropped
  Poll(1.4);
  EXPECT_GT(panel.CorrectMessageCount, correct + 5);
  EXPECT_EQ(form.lblV1state.caption, "closed");
}

}  // namespace
}  // namespace halvorn::sim
