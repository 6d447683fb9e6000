// The window's wiring, through real mouse and key events on its widgets: each
// drop-down list, button, menu item, setpoint box and timer reaches its own
// event procedure, and the window shows what the procedure did. A swapped
// connection in the shell fails here even though the core is right.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QListView>
#include <QSocketNotifier>

#include <algorithm>
#include <functional>
#include <vector>

#include "AnswerText.h"
#include "PanelWindow.h"
#include "ShapeView.h"
#include "support/TimeBounds.h"

namespace halvorn::shell {
namespace {

using WindowEventsTest = PanelWindowFixture;

QComboBox* List(MainWindow& window, const char* name) {
  return qobject_cast<QComboBox*>(window.view(name));
}

// Opens `combo`'s list with a click, walks to the item `text` with the
// arrow keys and takes it with Return.
void ChooseFromTheOpenList(QComboBox* combo, const QString& text) {
  QTest::mouseClick(combo, Qt::LeftButton);
  QAbstractItemView* items = combo->view();
  ASSERT_TRUE(testing::RunEventsUntil([&] { return items->isVisible(); }, 1s));
  const int row = combo->findText(text);
  ASSERT_GE(row, 0);
  for (int at = items->currentIndex().row(); at != row; at += at < row ? 1 : -1)
    QTest::keyClick(items, at < row ? Qt::Key_Down : Qt::Key_Up);
  QTest::keyClick(items, Qt::Key_Return);
  ASSERT_TRUE(testing::RunEventsUntil([&] { return !items->isVisible(); }, 1s));
}

TEST_F(WindowEventsTest, ChoosingFromEachListChangesThePortAndTheLineSettings) {
  struct Case {
    const char* list;
    const char* item;
    bool byKey;  // the Down key on the closed list instead of opening it
    int port;
    const char* settings;
    const char* status;
  };
  // Start: Com1, 115200, n. Choosing a port closes the old one and names it.
  const Case cases[] = {
      {"Combo1", "9600", false, 1, "9600,n,8,1", "Port 1 not open"},
      {"Combo2", "e", true, 1, "9600,e,8,1", "Port 1 not open"},
      {"Combo3", "Com3", false, 3, "9600,e,8,1", "Port 1 not open"},
      {"Combo3", "Com4", true, 4, "9600,e,8,1", "Port 3 not open"},
      {"Combo2", "o", false, 4, "9600,o,8,1", "Port 3 not open"},
      {"Combo1", "38400", true, 4, "38400,o,8,1", "Port 3 not open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.list << " " << c.item << (c.byKey ? " by key" : ""));
    QComboBox* combo = List(*window, c.list);
    if (c.byKey) {
      QTest::keyClick(combo, Qt::Key_Down);
      ASSERT_EQ(combo->currentText(), c.item);
    } else {
      ChooseFromTheOpenList(combo, c.item);
    }
    EXPECT_EQ(window->panel().MSComm2.CommPort(), c.port);
    EXPECT_EQ(window->panel().MSComm2.Settings(), c.settings);
    EXPECT_EQ(Caption("lblStatus")->text(), c.status);
  }
}

TEST_F(WindowEventsTest, TheListsAreLockedWhileConnectedAndTheLinkIsShown) {
  ChooseFromTheOpenList(List(*window, "Combo1"), "9600");
  Connect();
  ASSERT_TRUE(testing::RunEventsUntil(
      [&] { return Caption("lblComStatus")->text() == "Connected: Com1,9600,n,8,1"; }, 1s));
  for (const char* name : {"Combo1", "Combo2", "Combo3"}) {
    SCOPED_TRACE(name);
    QComboBox* combo = List(*window, name);
    EXPECT_FALSE(combo->isEnabled());
    const int before = combo->currentIndex();
    QTest::mouseClick(combo, Qt::LeftButton);
    QTest::keyClick(combo, Qt::Key_Down);
    testing::RunEventsFor(20ms);
    EXPECT_FALSE(combo->view()->isVisible());
    EXPECT_EQ(combo->currentIndex(), before);
  }
  EXPECT_EQ(window->panel().MSComm2.Settings(), "9600,n,8,1");
  EXPECT_TRUE(window->panel().MSComm2.PortOpen());

  QTest::mouseClick(window->view("cmdDisconnect"), Qt::LeftButton);
  EXPECT_EQ(Caption("lblStatus")->text(), "Port 1 closed");
  ASSERT_TRUE(testing::RunEventsUntil([&] { return List(*window, "Combo3")->isEnabled(); }, 1s));
  EXPECT_EQ(Caption("lblComStatus")->text(), "Disconnected");
}

TEST_F(WindowEventsTest, TheLampsLightAndGoBackAfterATenthOfASecond) {
  auto* send = static_cast<ShapeView*>(window->view("shpSend"));
  auto* receive = static_cast<ShapeView*>(window->view("shpRecv"));
  const QColor resting = send->fill();
  ASSERT_EQ(receive->fill(), resting);
  Connect();
  // The first poll goes out within 200 ms and lights the send lamp.
  // Each lamp is put back by its own 100 ms timer, running while it is lit.
  const auto timer = [&](const char* name) { return window->findChild<QTimer*>(name); };
  ASSERT_TRUE(testing::RunEventsUntil([&] { return send->fill() == QColor(255, 255, 0); }, 1s));
  EXPECT_TRUE(timer("Timer3")->isActive());
  EXPECT_EQ(timer("Timer3")->interval(), 100);
  ASSERT_TRUE(testing::RunEventsUntil([&] { return send->fill() == resting; }, 1s));

  ASSERT_TRUE(line.Send(BuildFrame(sim::UptimeAnswerText(7))));
  ASSERT_TRUE(testing::RunEventsUntil([&] { return receive->fill() == QColor(0, 255, 0); }, 1s));
  EXPECT_TRUE(timer("Timer4")->isActive());
  EXPECT_EQ(timer("Timer4")->interval(), 100);
  ASSERT_TRUE(testing::RunEventsUntil([&] { return receive->fill() == resting; }, 1s));
}

// Under a flood of answers the message counter follows at a pace an eye can
// follow, not at every frame; once the flood stops it shows the model's
// exact count within its period, and the receive lamp goes back.
// A poll lights the send lamp and its answer, a moment later, the receive
// lamp: on a line that answers at once the window paints both in one
// repaint, and puts both out in one, rather than repainting for each.
// Bounded in time: run again with the tight bounds in the timing pass.
using WindowEventsTimeBoundTest = WindowEventsTest;

TEST_F(WindowEventsTimeBoundTest, APollAndItsAnswerAreShownInOneRepaintAndTheLampsGoOutInOne) {
  auto* send = static_cast<ShapeView*>(window->view("shpSend"));
  auto* receive = static_cast<ShapeView*>(window->view("shpRecv"));
  const QColor resting = send->fill();
  // The controller answers each poll as soon as it is on the line.
  QSocketNotifier controller(line.master(), QSocketNotifier::Read);
  long long uptime = 100;
  int polls = 0;
  QObject::connect(&controller, &QSocketNotifier::activated, [&] {
    const std::string received = line.Receive(1, 5ms);
    for (const char byte : received) {
      if (byte != '\r') continue;
      ++polls;
      ASSERT_TRUE(line.Send(BuildFrame(sim::UptimeAnswerText(++uptime))));
    }
  });
  // What each repaint of the window shows of the two lamps.
  struct Lamps {
    bool send;
    bool receive;
  };
  struct RepaintWatch : QObject {
    std::function<void()> onRepaint;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::UpdateRequest) onRepaint();
      return false;
    }
  } watch;
  std::vector<Lamps> repaints;
  watch.onRepaint = [&] { repaints.push_back({send->fill() != resting, receive->fill() != resting}); };
  // The receive lamp goes out with the send lamp, in the send lamp's
  // timer's wake-up: its own timer never needs to fire.
  int receiveTimeouts = 0;
  QObject::connect(window->findChild<QTimer*>("Timer4"), &QTimer::timeout,
                   [&] { ++receiveTimeouts; });
  Connect();
  testing::RunEventsFor(100ms);
  window->installEventFilter(&watch);
  const int pollsBefore = polls;
  receiveTimeouts = 0;
  testing::RunEventsFor(1000ms);
  window->removeEventFilter(&watch);
  const int measured = polls - pollsBefore;
  ASSERT_GE(measured, 3) << "the panel stopped polling";
  const auto count = [&](bool sendLit, bool receiveLit) {
    return std::count_if(repaints.begin(), repaints.end(),
                         [&](const Lamps& l) { return l.send == sendLit && l.receive == receiveLit; });
  };
  EXPECT_GE(count(true, true), measured - 1) << "the lamps were not lit together";
  // Some repaints with one lamp alone are the busy machine's, answers or
  // timers late; on a quiet one there are none.
  const long long apart = count(true, false) + count(false, true);
  std::string shown;  // each repaint: S and R for a lit lamp, - for one at rest
  for (const Lamps& l : repaints) shown += std::string(l.send ? "S" : "-") + (l.receive ? "R" : "-") + " ";
  EXPECT_LE(apart, testing::TimeBound(1, measured)) << repaints.size() << " repaints for " << measured << " polls: " << shown;
  EXPECT_LE(receiveTimeouts, testing::TimeBound(1, measured)) << "wake-ups of their own";
  EXPECT_GE(count(false, false), measured - 1) << "the lamps did not go out";
  // Two a poll, and the uptime's seconds, which the answers also carry.
  EXPECT_LE(static_cast<long long>(repaints.size()), testing::TimeBound(2 * measured + 2, 4 * measured + 2));
}

TEST_F(WindowEventsTimeBoundTest, AFloodsCounterIsShownAFewTimesASecondAndExactWhenItStops) {
  auto* receive = static_cast<ShapeView*>(window->view("shpRecv"));
  const QColor resting = receive->fill();
  Connect();
  QLabel* counter = Caption("lblStatus2");
  QStringList shown{counter->text()};
  // Every caption the operator could have seen: each one the counter painted.
  struct PaintWatch : QObject {
    QStringList* shown;
    QLabel* counter;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint && shown->back() != counter->text()) shown->append(counter->text());
      return false;
    }
  } paints;
  paints.shown = &shown;
  paints.counter = counter;
  counter->installEventFilter(&paints);

  std::string burst;
  for (int i = 0; i < 4; ++i) burst += BuildFrame(sim::UptimeAnswerText(100 + i));
  const auto start = std::chrono::steady_clock::now();
  for (int slice = 0; slice < 150; ++slice) {  // 600 answers in 5 ms slices
    ASSERT_TRUE(line.Send(burst));
    testing::RunEventsFor(5ms);
  }
  const auto flood = std::chrono::steady_clock::now() - start;
  const auto stopped = std::chrono::steady_clock::now();
  // The last answers may still be on their way: the count the window must
  // reach is the model's once all 600 are in.
  const auto exact = [&] { return QString::fromStdString(window->form().lblStatus2.caption); };
  ASSERT_TRUE(testing::RunEventsUntil(
      [&] { return window->panel().CorrectMessageCount == 600 && counter->text() == exact(); },
      testing::TimeBound(300ms, 2000ms)))
      << "shows \"" << counter->text().toStdString() << "\", the model \"" << exact().toStdString() << "\"";
  EXPECT_LE(std::chrono::steady_clock::now() - stopped, testing::TimeBound(300ms, 2000ms));
  counter->removeEventFilter(&paints);
  // At most one change each 250 ms of the flood, the first at once.
  const auto changes = static_cast<long long>(shown.size()) - 1;
  EXPECT_LE(changes, flood / 249ms + 2) << shown.join(QStringLiteral(" | ")).toStdString();
  EXPECT_GE(changes, 2) << "the counter stood still during the flood";
  ASSERT_TRUE(testing::RunEventsUntil([&] { return receive->fill() == resting; }, 1s));
}

TEST_F(WindowEventsTest, EachElectrodeButtonSendsItsOwnCommand) {
  Connect();
  struct Case {
    const char* button;
    const char* command;
  };
  const Case cases[] = {
      {"cmdMoveElectrodeIn", "080_1"},          {"cmdMoveElectrodeOut", "080_0"},
      {"cmdOpenUVLampShutter", "030_01"},       {"cmdCloseUVLampShutter", "031_01"},
      {"cmdSwitchOnElectrodeCooling", "120_1"}, {"cmdSwitchOffElectrodeCooling", "120_0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    ClickAt(InWindow(c.button).center());
    EXPECT_EQ(CommandsReceived(300ms), BuildFrame(c.command));
  }
}

TEST_F(WindowEventsTest, ClearEmptiesBothListsAndSendsNothing) {
  Connect();
  ASSERT_TRUE(line.Send(BuildFrame(sim::WarningText(105)) + BuildFrame("099_")));
  auto* warnings = qobject_cast<QListWidget*>(window->view("lstWarnings"));
  auto* messages = qobject_cast<QListWidget*>(window->view("lstMessages"));
  ASSERT_TRUE(testing::RunEventsUntil(
      [&] { return warnings->count() == 1 && messages->count() == 1; }, 1s));
  ClickAt(InWindow("cmdClearError").center());
  EXPECT_EQ(warnings->count(), 0);
  EXPECT_EQ(messages->count(), 0);
  EXPECT_EQ(CommandsReceived(200ms), "");
}

TEST_F(WindowEventsTest, PumpAndControlValveMenusSendTheirCommands) {
  Connect();
  struct Case {
    const char* caption;  // right-clicked in its middle
    const char* item;
    const char* menu;
    const char* command;
  };
  const Case cases[] = {
      {"lblTmp", "Switch on", "mnuTmp", "040_3"},
      {"lblTMPstatus", "Switch off", "mnuTmp", "041_3"},
      {"lblRotary1Status", "Switch on", "mnuRotary1", "040_1"},
      {"lblRotary2", "Switch off", "mnuRotary2", "041_2"},
      {"lblCV1State", "Open", "mnuCV1", "020_15"},
      {"lblCV1", "Close", "mnuCV1", "021_15"},
      {"lblCV2state", "Open", "mnuCV2", "020_16"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.caption << " " << c.item);
    EXPECT_EQ(RightClickAt(InWindow(c.caption).center(), c.item), c.menu);
    EXPECT_EQ(CommandsReceived(300ms), BuildFrame(c.command));
  }
  // The fill of the TMP beside its captions opens the same menu.
  EXPECT_EQ(RightClickAt(At(6630, 5550), "Switch on"), "mnuTmp");
  EXPECT_EQ(CommandsReceived(300ms), BuildFrame("040_3"));
}

TEST_F(WindowEventsTest, ARejectedSetpointTurnsTheBoxRedAndAClickOrTabTurnsItWhite) {
  Connect();
  auto* box = qobject_cast<QLineEdit*>(window->view("txtMFC4"));
  const auto shownColour = [&] {
    // A pixel inside the box, clear of its text and its frame.
    const QRect inWindow = InWindow("txtMFC4");
    return Picture().pixelColor(inWindow.right() - 4, inWindow.center().y());
  };
  struct Case {
    const char* how;
    std::function<void()> enter;
  };
  const Case cases[] = {
      {"click", [&] { ClickAt(InWindow("txtMFC4").center()); }},
      {"tab from the send button before it",
       [&] {
         window->view("cmdMFC3_send")->setFocus();
         QTest::keyClick(window->view("cmdMFC3_send"), Qt::Key_Tab);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    ClickAt(InWindow("txtMFC4").center());
    box->selectAll();
    QTest::keyClicks(box, "150");
    ClickAt(InWindow("cmdMFC4_send").center());
    EXPECT_EQ(box->text(), "150") << "the text stays for the operator to correct";
    EXPECT_EQ(shownColour(), QColor(255, 0, 0));
    EXPECT_EQ(CommandsReceived(200ms), "") << "a rejected setpoint is not sent";

    c.enter();
    ASSERT_TRUE(box->hasFocus());
    EXPECT_EQ(shownColour(), QColor(255, 255, 255));
  }

  box->selectAll();
  QTest::keyClicks(box, "50");
  ClickAt(InWindow("cmdMFC4_send").center());
  EXPECT_EQ(CommandsReceived(300ms), BuildFrame("070_4050"));
}

}  // namespace
}  // namespace halvorn::shell
