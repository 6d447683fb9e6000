// Connecting, disconnecting, choosing port and line settings, and the link
// status that Timer2 shows, all through the recording fake port.
#include "link/Connection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

// A port that lets a test look at the panel at the moment it is closed.
class CloseWatchingPort : public FakeSerialPort {
 public:
  void Close() override {
    if (onClose) onClose();
    FakeSerialPort::Close();
  }
  std::function<void()> onClose;
};

// A port whose device goes away between the two looks of one Timer2 tick.
class VanishingPort : public FakeSerialPort {
 public:
  bool PortOpen() const override {
    ++looks;
    return looks == 1;
  }
  mutable int looks = 0;
};

class ConnectionTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;

  void Choose(ComboBox& combo, int index) { SetListIndex(panel, combo, index); }
};

struct ConnectCase {
  int port;
  int failure;  // what Open() reports
  const char* status;
  bool open;
};

TEST_F(ConnectionTest, ConnectTellsEachOutcomeByThePortsNumber) {
  const ConnectCase cases[] = {
      {1, open_error::None, "Port 1 open successfully", true},
      {10, open_error::None, "Port 10 open successfully", true},
      {3, open_error::NoSuchPort, "Port 3 does not exist", false},
      {2, open_error::PortInUse, "Port 2 is already open", false},
      {4, open_error::CannotOpen, "Port 4 open failed", false},
      // Failures the operator cannot act on say nothing, and no success
      // follows: the previous text stands.
      {1, 8010, "previous text", false},
      {1, 8015, "previous text", false},
      {1, -1, "previous text", false},
  };
  for (const ConnectCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "port " << c.port << ", failure " << c.failure
                                      << ", expecting \"" << c.status << "\"");
    FakeSerialPort fresh;
    FrontPanel p(fresh);
    fresh.SetCommPort(c.port);
    fresh.openFailures = {c.failure};
    p.form.lblStatus.caption = "previous text";
    cmdConnect_Click(p);
    EXPECT_EQ(p.form.lblStatus.caption, c.status);
    EXPECT_EQ(fresh.PortOpen(), c.open);
    EXPECT_EQ(fresh.openCalls, 1);
    EXPECT_EQ(fresh.CommPort(), c.port);
    EXPECT_TRUE(fresh.settingsHistory.empty());
    EXPECT_TRUE(fresh.written.empty());
  }
}

TEST_F(ConnectionTest, AFailedConnectCanBeRetriedAndTheFailureIsForgotten) {
  port.openFailures = {open_error::CannotOpen};
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open failed");
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open successfully");
  EXPECT_TRUE(port.PortOpen());
}

TEST_F(ConnectionTest, ConnectOnAnOpenPortDoesNothingAtAll) {
  cmdConnect_Click(panel);
  form.lblStatus.caption = "Not connected!";
  cmdConnect_Click(panel);
  EXPECT_EQ(port.openCalls, 1);
  EXPECT_TRUE(port.PortOpen());
  EXPECT_EQ(form.lblStatus.caption, "Not connected!");
}

TEST_F(ConnectionTest, DisconnectWritesTheLabelWhileThePortIsStillOpen) {
  CloseWatchingPort watched;
  FrontPanel p(watched);
  watched.SetCommPort(7);
  cmdConnect_Click(p);
  std::vector<std::string> atClose;
  watched.onClose = [&] {
    atClose.push_back(p.form.lblStatus.caption + (watched.PortOpen() ? " (open)" : " (closed)"));
  };
  cmdDisconnect_Click(p);
  EXPECT_EQ(atClose, std::vector<std::string>{"Port 7 closed (open)"});
  EXPECT_FALSE(watched.PortOpen());
  EXPECT_EQ(p.form.lblStatus.caption, "Port 7 closed");
}

TEST_F(ConnectionTest, DisconnectOnAClosedPortOnlySaysSo) {
  port.SetCommPort(5);
  cmdDisconnect_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 5 not open");
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.CommPort(), 5);
  EXPECT_EQ(port.openCalls, 0);
}

TEST_F(ConnectionTest, ChoosingAPortWhileClosedNamesTheOldPortAndTakesTheNew) {
  port.SetCommPort(2);
  Choose(form.Combo3, 3);  // "Com4"
  EXPECT_EQ(form.lblStatus.caption, "Port 2 not open");
  EXPECT_EQ(port.CommPort(), 4);
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.openCalls, 0);
}

TEST_F(ConnectionTest, ChoosingAPortWhileOpenClosesTheOldAndDoesNotReopen) {
  CloseWatchingPort watched;
  FrontPanel p(watched);
  cmdConnect_Click(p);
  std::vector<int> portAtClose;
  watched.onClose = [&] { portAtClose.push_back(watched.CommPort()); };
  SetListIndex(p, p.form.Combo3, 9);  // "Com10"
  EXPECT_EQ(portAtClose, std::vector<int>{1});
  EXPECT_EQ(p.form.lblStatus.caption, "Port 1 closed");
  EXPECT_EQ(watched.CommPort(), 10);
  EXPECT_FALSE(watched.PortOpen());
  EXPECT_EQ(watched.openCalls, 1);
}

TEST_F(ConnectionTest, EveryPortOfTheListMapsToItsNumber) {
  for (int index = 0; index < 10; ++index) {
    SCOPED_TRACE(form.Combo3.items[static_cast<std::size_t>(index)]);
    Choose(form.Combo3, index);
    EXPECT_EQ("Com" + std::to_string(port.CommPort()), form.Combo3.Text());
  }
}

struct SettingsCase {
  int baud;    // index in Combo1, -1 for none
  int parity;  // index in Combo2, -1 for none
  const char* settings;
};

TEST_F(ConnectionTest, BaudOrParityChosenAppliesBothListsTextsWithEightAndOne) {
  const SettingsCase cases[] = {
      {0, 0, "2400,n,8,1"},   {1, 1, "9600,e,8,1"},   {2, 2, "38400,o,8,1"},
      {3, 3, "115200,m,8,1"}, {4, 4, "460800,s,8,1"}, {5, 0, "921600,n,8,1"},
      {3, -1, "115200,,8,1"}, {-1, 1, ",e,8,1"},
  };
  for (const SettingsCase& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "baud " << c.baud << ", parity " << c.parity << ", expecting " << c.settings);
    for (const bool parityFirst : {true, false}) {
      FakeSerialPort fresh;
      FrontPanel p(fresh);
      // Each choice applies at once; the last one carries both texts.
      if (parityFirst) {
        SetListIndex(p, p.form.Combo2, c.parity);
        SetListIndex(p, p.form.Combo1, c.baud);
      } else {
        SetListIndex(p, p.form.Combo1, c.baud);
        SetListIndex(p, p.form.Combo2, c.parity);
      }
      if (c.baud >= 0 && c.parity >= 0) {
        EXPECT_EQ(fresh.settingsHistory.size(), 2u);
      }
      EXPECT_EQ(fresh.Settings(), c.settings);
    }
  }
}

TEST_F(ConnectionTest, ClickHandlersReadTheListsAsTheyStand) {
  form.Combo1.listIndex = 4;
  form.Combo2.listIndex = 2;
  Combo2_Click(panel);
  EXPECT_EQ(port.Settings(), "460800,o,8,1");
  form.Combo1.listIndex = 0;
  Combo1_Click(panel);
  EXPECT_EQ(port.Settings(), "2400,o,8,1");
}

TEST_F(ConnectionTest, SettingsChosenWhileOpenApplyAtOnceAndKeepTheLinkOpen) {
  Choose(form.Combo1, 3);
  Choose(form.Combo2, 0);
  cmdConnect_Click(panel);
  Choose(form.Combo1, 1);
  EXPECT_EQ(port.Settings(), "9600,n,8,1");
  EXPECT_TRUE(port.PortOpen());
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Connected: Com1,9600,n,8,1");
}

TEST_F(ConnectionTest, Timer2ShowsTheLinkAndLocksTheListsWhileOpen) {
  Choose(form.Combo1, 3);
  Choose(form.Combo2, 0);
  cmdConnect_Click(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Com1,9600,n,1") << "the layout's text until the tick";
  EXPECT_TRUE(form.Combo1.enabled);
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Connected: Com1,115200,n,8,1");
  EXPECT_FALSE(form.Combo1.enabled);
  EXPECT_FALSE(form.Combo2.enabled);
  EXPECT_FALSE(form.Combo3.enabled);

  cmdDisconnect_Click(panel);
  EXPECT_FALSE(form.Combo3.enabled) << "the lists follow at the next tick";
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Disconnected");
  EXPECT_TRUE(form.Combo1.enabled);
  EXPECT_TRUE(form.Combo2.enabled);
  EXPECT_TRUE(form.Combo3.enabled);
}

TEST_F(ConnectionTest, Timer2NamesTheOpenPortAndItsSettingsAsTheyAre) {
  port.SetCommPort(10);
  port.SetSettings("2400,e,8,1");
  cmdConnect_Click(panel);
  Timer2_Timer(panel);
  EXPECT_EQ(form.lblComStatus.caption, "Connected: Com10,2400,e,8,1");
}

// The tick looks at the port twice, once for each state; a port that goes
// away between the looks ends the tick shown as disconnected, lists free.
TEST_F(ConnectionTest, Timer2MakesTwoSeparateTestsInOrder) {
  VanishingPort vanishing;
  FrontPanel p(vanishing);
  p.form.Combo1.enabled = false;
  Timer2_Timer(p);
  EXPECT_EQ(vanishing.looks, 2);
  EXPECT_EQ(p.form.lblComStatus.caption, "Disconnected");
  EXPECT_TRUE(p.form.Combo1.enabled);
  EXPECT_TRUE(p.form.Combo2.enabled);
  EXPECT_TRUE(p.form.Combo3.enabled);
}

TEST_F(ConnectionTest, SetListIndexSelectsAndRaisesTheListsClickEveryTime) {
  port.SetCommPort(6);
  Choose(form.Combo3, 1);
  EXPECT_EQ(form.Combo3.listIndex, 1);
  EXPECT_EQ(form.lblStatus.caption, "Port 6 not open");
  form.lblStatus.caption = "";
  Choose(form.Combo3, 1);  // the same entry again: Click again
  EXPECT_EQ(form.lblStatus.caption, "Port 2 not open");

  Choose(form.Combo1, 5);
  EXPECT_EQ(form.Combo1.listIndex, 5);
  EXPECT_EQ(port.settingsHistory, std::vector<std::string>{"921600,,8,1"});
  Choose(form.Combo1, 5);
  EXPECT_EQ(port.settingsHistory.size(), 2u);
}

TEST_F(ConnectionTest, SetListIndexOutsideTheListOrOnAForeignListDoesNothing) {
  Choose(form.Combo3, 2);
  form.lblStatus.caption = "unchanged";
  for (const int index : {-1, 10, 11, -2}) {
    SCOPED_TRACE(index);
    Choose(form.Combo3, index);
    EXPECT_EQ(form.Combo3.listIndex, 2);
    EXPECT_EQ(port.CommPort(), 3);
    EXPECT_EQ(form.lblStatus.caption, "unchanged");
  }
  Choose(form.Combo1, 6);
  Choose(form.Combo2, 5);
  EXPECT_TRUE(port.settingsHistory.empty());

  ComboBox stranger = form.Combo3;
  SetListIndex(panel, stranger, 0);
  EXPECT_EQ(stranger.listIndex, 2);
  EXPECT_EQ(port.CommPort(), 3);
  EXPECT_EQ(form.lblStatus.caption, "unchanged");
}

TEST_F(ConnectionTest, Combo3WithNothingSelectedKeepsThePortNumber) {
  port.SetCommPort(4);
  Combo3_Click(panel);
  EXPECT_EQ(form.lblStatus.caption, "Port 4 not open");
  EXPECT_EQ(port.CommPort(), 4);
}

}  // namespace
}  // namespace halvorn
