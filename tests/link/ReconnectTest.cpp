// Trying a lost port again, through the recording fake port: when the
// panel tries, what each try tells, and what makes it give up.
#include "link/Reconnect.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "link/Connection.h"
#include "link/Polling.h"
#include "link/Startup.h"
#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

class ReconnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form_Load(panel);
    panel.reconnect.enabled = true;
    cmdConnect_Click(panel);
    ASSERT_TRUE(port.PortOpen());
  }

  // The adapter is pulled: the port reports the loss and the panel closes it.
  void Lose() { port.RaiseEvent(kCommEventLost); }
  bool Trying() const { return panel.reconnect.timer.enabled; }

  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;
};

TEST_F(ReconnectTest, WithoutTheChoiceALostPortStaysClosed) {
  panel.reconnect.enabled = false;
  Lose();
  EXPECT_EQ(form.lblStatus.caption, "Port 1 lost");
  EXPECT_FALSE(Trying());
  ReconnectTimer_Timer(panel);
  EXPECT_EQ(port.openCalls, 1);
  EXPECT_FALSE(port.PortOpen());
}

TEST_F(ReconnectTest, ALostPortIsTriedEveryTwoSecondsUntilItsDeviceIsBack) {
  Lose();
  EXPECT_EQ(form.lblStatus.caption, "Port 1 lost");
  EXPECT_FALSE(port.PortOpen());
  ASSERT_TRUE(Trying());
  EXPECT_EQ(panel.reconnect.timer.interval, 2000);
  EXPECT_EQ(port.openCalls, 1) << "the first try waits a whole interval";

  port.openFailures = {open_error::NoSuchPort, open_error::NoSuchPort, open_error::None};
  for (int tick = 1; tick <= 2; ++tick) {
    SCOPED_TRACE(tick);
    ReconnectTimer_Timer(panel);
    EXPECT_EQ(port.openCalls, 1 + tick);
    EXPECT_EQ(form.lblStatus.caption, "Port 1 lost");
    EXPECT_TRUE(Trying());
  }
  ReconnectTimer_Timer(panel);
  EXPECT_TRUE(port.PortOpen());
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open successfully");
  EXPECT_FALSE(Trying());

  // Reopened exactly as "Connect" would: the poll goes out on the next tick.
  port.written.clear();
  Timer1_Timer(panel);
  EXPECT_EQ(port.written, "061_246\r");
}

struct TryCase {
  int failure;  // what the try's Open() reports
  const char* status;
  bool open;
  bool stillTrying;
};

TEST_F(ReconnectTest, EachTryTellsWhatConnectWouldOnceTheDeviceIsThere) {
  const TryCase cases[] = {
      // Still away: the loss stays on show.
      {open_error::NoSuchPort, "Port 3 lost", false, true},
      // Back, but held by another program or not ours to open: said, and
      // tried again (udev may not have given the device its group yet).
      {open_error::PortInUse, "Port 3 is already open", false, true},
      {open_error::CannotOpen, "Port 3 open failed", false, true},
      {8010, "Port 3 lost", false, true},
      {open_error::None, "Port 3 open successfully", true, false},
  };
  for (const TryCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "failure " << c.failure << ", expecting \"" << c.status
                                      << "\"");
    FakeSerialPort fresh;
    FrontPanel p(fresh);
    p.reconnect.enabled = true;
    fresh.SetCommPort(3);
    cmdConnect_Click(p);
    fresh.RaiseEvent(kCommEventLost);
    fresh.openFailures = {c.failure};
    ReconnectTimer_Timer(p);
    EXPECT_EQ(p.form.lblStatus.caption, c.status);
    EXPECT_EQ(fresh.PortOpen(), c.open);
    EXPECT_EQ(p.reconnect.timer.enabled, c.stillTrying);
    EXPECT_EQ(fresh.CommPort(), 3) << "always the same port";
  }
}

TEST_F(ReconnectTest, DisconnectOrAPortChangeGivesUp) {
  struct GiveUp {
    const char* what;
    void (*act)(FrontPanel&);
    const char* status;
    int portAfter;
  };
  const GiveUp cases[] = {
      {"Disconnect", cmdDisconnect_Click, "Port 1 not open", 1},
      {"Com4 chosen", [](FrontPanel& p) { SetListIndex(p, p.form.Combo3, 3); }, "Port 1 not open", 4},
  };
  for (const GiveUp& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSerialPort fresh;
    FrontPanel p(fresh);
    Form_Load(p);
    p.reconnect.enabled = true;
    cmdConnect_Click(p);
    fresh.RaiseEvent(kCommEventLost);
    ASSERT_TRUE(p.reconnect.timer.enabled);
    c.act(p);
    EXPECT_EQ(p.form.lblStatus.caption, c.status);
    EXPECT_FALSE(p.reconnect.timer.enabled);
    EXPECT_EQ(fresh.CommPort(), c.portAfter);
    // A tick already on its way when the operator acted opens nothing.
    const int opens = fresh.openCalls;
    ReconnectTimer_Timer(p);
    EXPECT_EQ(fresh.openCalls, opens);
    EXPECT_FALSE(fresh.PortOpen());
  }
}

TEST_F(ReconnectTest, TheOperatorsConnectEndsTheTryingOnlyWhenItOpensThePort) {
  Lose();
  port.openFailures = {open_error::NoSuchPort};
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 does not exist");
  EXPECT_TRUE(Trying());

  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open successfully");
  EXPECT_FALSE(Trying());
  const int opens = port.openCalls;
  ReconnectTimer_Timer(panel);
  EXPECT_EQ(port.openCalls, opens);
  EXPECT_TRUE(port.PortOpen());
}

struct IdentityCase {
  const char* what;
  std::optional<std::string> now;  // what the port's name leads to after the loss
  bool opened;
  const char* refused;  // what the panel says it found instead, if anything
};

TEST(ReconnectIdentityTest, ATryOpensOnlyTheAdapterThatWasConnected) {
  const std::string ours = "USB 0403:6001 serial A50285BI, interface 1.0";
  const IdentityCase cases[] = {
      {"the same adapter back", ours, true, ""},
      {"the second port of a two-port adapter", "USB 0403:6001 serial A50285BI, interface 1.1",
       false, "USB 0403:6001 serial A50285BI, interface 1.1"},
      {"another instrument under the name", "USB 067b:2303 at 1-3, interface 1.0", false,
       "USB 067b:2303 at 1-3, interface 1.0"},
      {"a terminal without an identity", std::string(), false, "a device that tells no identity"},
      {"nothing there yet", std::nullopt, false, ""},
  };
  for (const IdentityCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSerialPort port;
    FrontPanel panel(port);
    Form_Load(panel);
    panel.reconnect.enabled = true;
    port.identity = ours;
    cmdConnect_Click(panel);
    port.RaiseEvent(kCommEventLost);
    port.identity = c.now;
    const int opensBefore = port.openCalls;
    ReconnectTimer_Timer(panel);
    EXPECT_EQ(port.PortOpen(), c.opened);
    EXPECT_EQ(port.openCalls, opensBefore + (c.opened ? 1 : 0))
        << "a device not taken is not even opened";
    EXPECT_EQ(panel.form.lblStatus.caption, c.opened ? "Port 1 open successfully" : "Port 1 lost");
    EXPECT_EQ(panel.reconnect.timer.enabled, !c.opened);
    EXPECT_EQ(panel.reconnect.refused, c.refused);
    const std::string note = RefusedDeviceNote(panel);
    EXPECT_EQ(note, *c.refused ? "another device is on port 1 and was not taken" : "");
    const std::string line = RefusedDeviceLine(panel);
    if (*c.refused) {
      EXPECT_NE(line.find(c.refused), std::string::npos) << line;
      EXPECT_NE(line.find(ours), std::string::npos) << line;
    }
  }
}

TEST(ReconnectIdentityTest, TheOperatorsConnectTakesWhateverIsThereAndLooksForItFromThen) {
  FakeSerialPort port;
  FrontPanel panel(port);
  Form_Load(panel);
  panel.reconnect.enabled = true;
  port.identity = "USB 0403:6001 serial A";
  cmdConnect_Click(panel);
  port.RaiseEvent(kCommEventLost);
  port.identity = "USB 0403:6001 serial B";
  ReconnectTimer_Timer(panel);
  ASSERT_FALSE(port.PortOpen());
  ASSERT_FALSE(RefusedDeviceNote(panel).empty());

  // The refused adapter goes: the title's note goes with it.
  port.identity = std::nullopt;
  ReconnectTimer_Timer(panel);
  EXPECT_EQ(RefusedDeviceNote(panel), "");
  port.identity = "USB 0403:6001 serial B";
  ReconnectTimer_Timer(panel);

  cmdConnect_Click(panel);  // the operator chose it
  EXPECT_TRUE(port.PortOpen());
  EXPECT_EQ(panel.form.lblStatus.caption, "Port 1 open successfully");
  EXPECT_EQ(RefusedDeviceNote(panel), "");
  port.RaiseEvent(kCommEventLost);
  port.identity = "USB 0403:6001 serial A";
  ReconnectTimer_Timer(panel);
  EXPECT_FALSE(port.PortOpen()) << "now the first adapter is the other one";
  port.identity = "USB 0403:6001 serial B";
  ReconnectTimer_Timer(panel);
  EXPECT_TRUE(port.PortOpen());
  EXPECT_EQ(RefusedDeviceNote(panel), "");
}

TEST_F(ReconnectTest, ASecondLossAfterAReconnectIsTriedAgain) {
  Lose();
  ReconnectTimer_Timer(panel);
  ASSERT_TRUE(port.PortOpen());
  Lose();
  EXPECT_EQ(form.lblStatus.caption, "Port 1 lost");
  EXPECT_TRUE(Trying());
}

}  // namespace
}  // namespace halvorn
