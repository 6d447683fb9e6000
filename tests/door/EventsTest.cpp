// The core's one entry per event kind: every button and timer of the window
// reaches its own procedure, the lists and text boxes theirs, and a widget
// that is not the panel's (or has no procedure) changes nothing.
#include "door/Events.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "link/Frame.h"
#include "panel/Dump.h"
#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

// What a button or timer can change, gathered so that one comparison shows
// which procedure ran.
struct Observed {
  std::string written;
  bool portOpen = false;
  std::string status;
  std::string comStatus;
  int warnings = 0;
  Colour send = 0;
  Colour recv = 0;
  Colour v1 = 0;

  friend bool operator==(const Observed&, const Observed&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Observed& o) {
    return out << "written \"" << o.written << "\" open " << o.portOpen << " status \"" << o.status
               << "\" com \"" << o.comStatus << "\" warnings " << o.warnings << " send " << o.send
               << " recv " << o.recv << " V1 " << o.v1;
  }
};

// A panel with its port open (unless asked not to), both lamps lit, V1 shown open, a warning
// listed and a setpoint of 50 typed in every box.
struct Rig {
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;

  explicit Rig(bool open = true) {
    if (open) port.Open();
    form.shpSend.fillColor = colours::Yellow;
    form.shpRecv.fillColor = colours::Green;
    form.shpV1.fillColor = colours::Green;
    form.lstWarnings.AddItem(" 100 (OP_ERR_PNEUMATIC_PRESSURE)", 0);
    for (TextBox* box : {&form.txtMFC1, &form.txtMFC2, &form.txtMFC3, &form.txtMFC4})
      box->text = "50";
  }

  Observed Observe() const {
    return {port.written,
            port.PortOpen(),
            form.lblStatus.caption,
            form.lblComStatus.caption,
            form.lstWarnings.ListCount(),
            form.shpSend.fillColor,
            form.shpRecv.fillColor,
            form.shpV1.fillColor};
  }
};

// Runs `event` on one widget of a fresh panel and holds what changed against
// what the case expects.
template <typename Widget>
void ExpectOutcome(Widget Form1::*member, void (*expect)(Observed&), bool portOpen,
                   void (*event)(FrontPanel&, const Widget&)) {
  Rig rig(portOpen);
  const Widget& widget = rig.form.*member;
  Observed expected = rig.Observe();
  expect(expected);
  event(rig.panel, widget);
  const Observed actual = rig.Observe();
  SCOPED_TRACE(::testing::Message()
               << widget.name << "\n expected " << expected << "\n actual   " << actual);
  EXPECT_EQ(actual, expected);
}

struct ButtonCase {
  CommandButton Form1::*button;
  void (*expect)(Observed&);
  bool portOpen = true;  // before the click
};

TEST(EventsTest, EveryButtonReachesItsOwnProcedure) {
  const ButtonCase cases[] = {
      {&Form1::cmdConnect,
       [](Observed& o) {
         o.status = "Port 1 open successfully";
         o.portOpen = true;
       },
       false},
      {&Form1::cmdDisconnect,
       [](Observed& o) {
         o.status = "Port 1 closed";
         o.portOpen = false;
       }},
      {&Form1::cmdClearError, [](Observed& o) { o.warnings = 0; }},
      {&Form1::cmdMFC1_send, [](Observed& o) { o.written = BuildFrame("070_1050"); }},
      {&Form1::cmdMFC2_send, [](Observed& o) { o.written = BuildFrame("070_2050"); }},
      {&Form1::cmdMFC3_send, [](Observed& o) { o.written = BuildFrame("070_3050"); }},
      {&Form1::cmdMFC4_send, [](Observed& o) { o.written = BuildFrame("070_4050"); }},
      {&Form1::cmdMoveElectrodeIn, [](Observed& o) { o.written = BuildFrame("080_1"); }},
      {&Form1::cmdMoveElectrodeOut, [](Observed& o) { o.written = BuildFrame("080_0"); }},
      {&Form1::cmdOpenUVLampShutter, [](Observed& o) { o.written = BuildFrame("030_01"); }},
      {&Form1::cmdCloseUVLampShutter, [](Observed& o) { o.written = BuildFrame("031_01"); }},
      {&Form1::cmdSwitchOnElectrodeCooling, [](Observed& o) { o.written = BuildFrame("120_1"); }},
      {&Form1::cmdSwitchOffElectrodeCooling, [](Observed& o) { o.written = BuildFrame("120_0"); }},
  };
  Rig reference;
  ASSERT_EQ(std::size(cases), AllWidgets(reference.form).buttons.size()) << "a button lacks a case";
  for (const ButtonCase& c : cases)
    ExpectOutcome<CommandButton>(c.button, c.expect, c.portOpen, Click);
}

struct TimerCase {
  Timer Form1::*timer;
  void (*expect)(Observed&);
};

TEST(EventsTest, EveryTimerReachesItsOwnProcedure) {
  const TimerCase cases[] = {
      {&Form1::Timer1,
       [](Observed& o) {
         o.written = BuildFrame("061_");
         o.send = colours::Yellow;
       }},
      {&Form1::Timer2, [](Observed& o) { o.comStatus = "Connected: Com1,9600,n,8,1"; }},
      {&Form1::Timer3, [](Observed& o) { o.send = colours::SystemMenu; }},
      {&Form1::Timer4, [](Observed& o) { o.recv = colours::SystemMenu; }},
      {&Form1::Timer5, [](Observed& o) { o.v1 = colours::SystemGrayText; }},
  };
  Rig reference;
  ASSERT_EQ(std::size(cases), AllWidgets(reference.form).timers.size()) << "a timer lacks a case";
  for (const TimerCase& c : cases)
    ExpectOutcome<Timer>(c.timer, c.expect, true,
                         [](FrontPanel& p, const Timer& t) { Tick(p, t); });
}

// A tick that says it changed nothing the window shows must have left the
// whole window as it was, or the window would miss a change.
TEST(EventsTest, ATickSaysWhenItLeftTheWholeWindowAsItWas) {
  struct Case {
    const char* what;
    bool portOpen;
    Timer Form1::*timer;
    bool answered;  // every group answered since the watchdog's last tick
    int ticksBefore;
    bool changed;
  };
  const Case cases[] = {
      {"the poll cycle, port closed", false, &Form1::Timer1, false, 0, false},
      {"the poll cycle, port open", true, &Form1::Timer1, false, 0, true},
      {"the link status, first after opening", true, &Form1::Timer2, false, 0, true},
      {"the link status, as it was", true, &Form1::Timer2, false, 1, false},
      {"the link status, closed as it was", false, &Form1::Timer2, false, 1, false},
      {"the watchdog, every group answered", true, &Form1::Timer5, true, 0, false},
      {"the watchdog, a group silent", true, &Form1::Timer5, false, 0, true},
      {"the send lamp", true, &Form1::Timer3, false, 0, true},
      {"the receive lamp", true, &Form1::Timer4, false, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(c.portOpen);
    const Timer& timer = rig.form.*c.timer;
    for (int i = 0; i < c.ticksBefore; ++i) Tick(rig.panel, timer);
    if (c.answered) rig.panel.watchdog = {1, 1, 1, 1};
    const std::string before = DumpForm(rig.form);
    EXPECT_EQ(Tick(rig.panel, timer), c.changed);
    if (!c.changed) {
      EXPECT_EQ(DumpForm(rig.form), before);
    }
  }
}

// No fall-back: a button, timer, list or box of another window, and a
// read-only box, change nothing and send nothing.
TEST(EventsTest, AWidgetThatIsNotThePanelsDoesNothing) {
  Rig rig;
  Form1 other;
  const std::string before = DumpForm(rig.form);
  for (const CommandButton* button : AllWidgets(other).buttons) {
    SCOPED_TRACE(button->name);
    Click(rig.panel, *button);
  }
  for (const Timer* timer : AllWidgets(other).timers) {
    SCOPED_TRACE(timer->name);
    Tick(rig.panel, *timer);
  }
  Click(rig.panel, other.mnuV1Open);
  Choose(rig.panel, other.Combo1, 0);
  Edit(rig.panel, other.txtMFC1, "7");
  GotFocus(rig.panel, other.txtMFC1);
  Edit(rig.panel, rig.form.txtUptime, "7");
  EXPECT_EQ(DumpForm(rig.form), before);
  EXPECT_EQ(rig.port.written, "");
  EXPECT_EQ(other.txtMFC1.text, "0");
}

TEST(EventsTest, ListsBoxesAndMenuItemsReachTheirProcedures) {
  Rig rig;
  Choose(rig.panel, rig.form.Combo1, 0);
  EXPECT_EQ(rig.form.Combo1.listIndex, 0);
  EXPECT_EQ(rig.port.Settings(), "2400,,8,1");

  Edit(rig.panel, rig.form.txtMFC3, "12");
  EXPECT_EQ(rig.form.txtMFC3.text, "12");

  rig.form.txtMFC2.backColor = colours::Red;
  GotFocus(rig.panel, rig.form.txtMFC2);
  EXPECT_EQ(rig.form.txtMFC2.backColor, colours::White);

  Click(rig.panel, rig.form.mnuV2close);
  EXPECT_EQ(rig.port.written, BuildFrame("021_02"));
}

// Lines "procedure device argument" as an onlooker hears them, each with
// what the port had been sent by then.
struct HeardActions : FeedListener {
  const FakeSerialPort* port = nullptr;
  std::vector<std::string> lines;
  void Action(std::int64_t, std::string_view procedure, std::optional<std::string_view> device,
              std::string_view argument) override {
    lines.push_back(std::string(procedure) + " " + std::string(device.value_or("-")) + " " +
                    std::string(argument) + " after '" + port->written + "'");
  }
};

// Each operator action is told once, under its procedure's name, before the
// procedure sends anything; timers, typing and focus are not actions.
TEST(EventsTest, OperatorActionsAreToldOnceBeforeTheyRun) {
  struct Case {
    const char* what;
    void (*event)(Rig&);
    const char* heard;  // empty: nothing
  };
  const Case cases[] = {
      {"button", [](Rig& r) { Click(r.panel, r.form.cmdMoveElectrodeIn); },
       "cmdMoveElectrodeIn_Click - Move electrode in after ''"},
      {"send", [](Rig& r) { Click(r.panel, r.form.cmdMFC2_send); },
       "cmdMFC2_send_Click MFC2 50 after ''"},
      {"valve item", [](Rig& r) { Click(r.panel, r.form.mnuV6Open); },
       "mnuV6Open_Click V6 Open after ''"},
      {"pump item", [](Rig& r) { Click(r.panel, r.form.mnuRotary1Off); },
       "mnuRotary1Off_Click ROTARY1 Switch off after ''"},
      {"list", [](Rig& r) { Choose(r.panel, r.form.Combo1, 2); }, "Combo1_Click - 38400 after ''"},
      {"timer", [](Rig& r) { Tick(r.panel, r.form.Timer1); }, ""},
      {"typing", [](Rig& r) { Edit(r.panel, r.form.txtMFC1, "7"); }, ""},
      {"focus", [](Rig& r) { GotFocus(r.panel, r.form.txtMFC1); }, ""},
      {"another window's list",
       [](Rig& r) {
         Form1 other;
         Choose(r.panel, other.Combo1, 2);
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    HeardActions heard;
    heard.port = &rig.port;
    rig.panel.feed.Listen(heard);
    c.event(rig);
    const std::vector<std::string> expected =
        *c.heard ? std::vector<std::string>{c.heard} : std::vector<std::string>{};
    EXPECT_EQ(heard.lines, expected);
  }
}

TEST(EventsTest, OnlyTheUptimeBoxIsReadOnly) {
  Form1 form;
  for (const TextBox* box : AllWidgets(form).textBoxes) {
    SCOPED_TRACE(box->name);
    EXPECT_EQ(box->readOnly, box == &form.txtUptime);
  }
}

}  // namespace
}  // namespace halvorn
