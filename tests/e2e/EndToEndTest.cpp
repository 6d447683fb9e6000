// The panel's window and the real controller simulator joined by a
// pseudo-terminal, as an operator would use them: connect and watch every
// group come alive, open a valve from its menu, send a flow setpoint, and
// see how the panel takes a silent gauge group, a warning, a corrupted
// answer and a line that hangs up. Every wait is bounded and runs the event
// loop; nothing sleeps.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Colours.h"
#include "MainWindow.h"
#include "app/QtApplication.h"
#include "ShapeView.h"
#include "panel/Dump.h"
#include "support/EventLoop.h"
#include "support/PopupMenu.h"
#include "support/Simulator.h"
#include "support/TimeBounds.h"

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::RunEventsFor;
using testing::RunEventsUntil;

// The most one console exchange or one start of the simulator may take.
constexpr auto kPatience = 3s;
// One poll request goes out every 200 ms; the seven groups take 1.4 s.
constexpr auto kPollPeriod = 200ms;

// The shapes that answers colour, group by group.
constexpr std::array<Shape Form1::*, 16> kValveShapes{
    &Form1::shpV1,  &Form1::shpV2,  &Form1::shpV3,  &Form1::shpV4,  &Form1::shpV5,  &Form1::shpV6,
    &Form1::shpV7,  &Form1::shpV8,  &Form1::shpV9,  &Form1::shpV10, &Form1::shpV11, &Form1::shpV12,
    &Form1::shpV13, &Form1::shpV14, &Form1::shpCV1, &Form1::shpCV2};
constexpr std::array<Shape Form1::*, 3> kPumpShapes{&Form1::shpRotary1, &Form1::shpRotary2, &Form1::shpTMP};
constexpr std::array<Shape Form1::*, 8> kGaugeShapes{&Form1::shpG1, &Form1::shpG2, &Form1::shpG3,
                                                     &Form1::shpG4, &Form1::shpG5, &Form1::shpG6,
                                                     &Form1::shpG7, &Form1::shpG8};
constexpr std::array<Shape Form1::*, 4> kFlowShapes{&Form1::shpMFC1, &Form1::shpMFC2, &Form1::shpMFC3,
                                                    &Form1::shpMFC4};

constexpr std::array<Label Form1::*, 16> kGaugeLabels{
    &Form1::lblG1Value, &Form1::lblG1State, &Form1::lblG2Value, &Form1::lblG2State,
    &Form1::lblG3Value, &Form1::lblG3State, &Form1::lblG4Value, &Form1::lblG4State,
    &Form1::lblG5Value, &Form1::lblG5State, &Form1::lblG6Value, &Form1::lblG6State,
    &Form1::lblG7Value, &Form1::lblG7State, &Form1::lblG8Value, &Form1::lblG8State};

std::vector<Shape Form1::*> DeviceShapes() {
  std::vector<Shape Form1::*> all(kValveShapes.begin(), kValveShapes.end());
  all.insert(all.end(), kPumpShapes.begin(), kPumpShapes.end());
  all.insert(all.end(), kGaugeShapes.begin(), kGaugeShapes.end());
  all.insert(all.end(), kFlowShapes.begin(), kFlowShapes.end());
  return all;
}

std::string ShapeName(const Shape& shape) {
  return shape.element == kNoElement ? shape.name : shape.name + "(" + std::to_string(shape.element) + ")";
}

// A dump of the whole window without the lines of the widgets named in
// `skip`; a failed comparison prints the lines that differ.
std::string DumpWithout(const Form1& form, const std::set<std::string>& skip) {
  std::string kept;
  std::istringstream dump(DumpForm(form));
  for (std::string line; std::getline(dump, line);) {
    if (skip.count(line.substr(0, line.find(' '))) == 0) kept += line + "\n";
  }
  return kept;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory.ok());
    linkPath = directory.path() + "/pic";
    StartSimulator();
    if (HasFatalFailure()) return;
    PortMap ports;
    ASSERT_TRUE(ports.SetDevice(1, linkPath));
    window = std::make_unique<MainWindow>(ports);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  void StartSimulator() {
    // The link is made just after the line is announced; the panel opens
    // the link, so wait for both.
    sim = std::make_unique<testing::Simulator>(std::vector<std::string>{}, linkPath);
    ASSERT_TRUE(sim->ok()) << sim->transcript();
    ASSERT_TRUE(sim->AwaitLine("halvorn-sim: controller on ", kPatience)) << sim->transcript();
  }

  // A console command that the simulator must accept.
  void Console(const std::string& line) {
    const std::optional<std::string> reply = sim->Command(line, kPatience);
    ASSERT_TRUE(reply) << "no answer to '" << line << "':\n" << sim->transcript();
    ASSERT_EQ(reply->rfind("ok: ", 0), 0u) << line << ": " << *reply;
  }

  const FrontPanel& panel() const { return window->panel(); }
  const Form1& form() const { return window->panel().form; }

  // The window follows the answers within one 60 Hz frame; a check of the
  // window after one of the model waits that long first.
  static void LetTheWindowCatchUp() { RunEventsFor(17ms); }

  QString LabelText(const QString& name) const {
    auto* label = qobject_cast<QLabel*>(window->view(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(name);
  }
  QString BoxText(const QString& name) const {
    auto* box = qobject_cast<QLineEdit*>(window->view(name));
    return box ? box->text() : QStringLiteral("<no box %1>").arg(name);
  }
  // The colour the window paints a shape with, against the model's.
  QColor ShownFill(const Shape& shape) const {
    auto* view = dynamic_cast<ShapeView*>(window->view(QString::fromStdString(ShapeName(shape))));
    return view ? view->fill() : QColor();
  }
  QColor ModelFill(const Shape& shape) const {
    return ToQColor(shape.fillColor, window->palette(), window->palette());
  }

  void Connect() {
    QTest::mouseClick(window->view("cmdConnect"), Qt::LeftButton);
    ASSERT_TRUE(panel().MSComm2.PortOpen()) << LabelText("lblStatus").toStdString();
    ASSERT_EQ(LabelText("lblStatus"), "Port 1 open successfully");
  }

  // The device shapes still grey, by name; empty once every group answered.
  std::vector<std::string> GreyDeviceShapes() const {
    std::vector<std::string> grey;
    for (Shape Form1::*shape : DeviceShapes())
      if ((form().*shape).fillColor == colours::SystemGrayText) grey.push_back((form().*shape).name);
    return grey;
  }
  // Every shape of the window that is grey, the mechanical valves and the
  // plant's unreported parts included.
  std::set<std::string> GreyShapes() const {
    Form1 copy = form();
    std::set<std::string> grey;
    for (const Shape* shape : AllWidgets(copy).shapes)
      if (shape->fillColor == colours::SystemGrayText) grey.insert(ShapeName(*shape));
    return grey;
  }

  // What the gauges' value and state labels read, model and window side
  // by side: "lblG1Value \"1.013E 3\" shown \"1.013E 3\"".
  std::vector<std::string> GaugeReadings() const {
    std::vector<std::string> readings;
    for (Label Form1::*label : kGaugeLabels) {
      const Label& model = form().*label;
      readings.push_back(model.name + " \"" + model.caption + "\" shown \"" +
                         LabelText(QString::fromStdString(model.name)).toStdString() + "\"");
    }
    return readings;
  }

  void ConnectAndWaitForEveryGroup() {
    Connect();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunEventsUntil([&] { return GreyDeviceShapes().empty(); }, 2s))
        << "still grey: " << ::testing::PrintToString(GreyDeviceShapes());
  }

  // A right-click on a widget of the picture, as the window system sends
  // it; picks `choose` from the menu that pops up and yields the menu's
  // name, empty when none opened.
  QString RightClickAndChoose(const QString& widget, const QString& choose) {
    QWidget* target = window->view(widget);
    if (!target) return {};
    testing::PopupWatcher watcher([&](QMenu& menu) { testing::ChooseByKeyboard(menu, choose); });
    QTest::mouseClick(target, Qt::RightButton, {}, target->rect().center());
    // A menu that never opened must not leave the watcher running.
    RunEventsUntil([&] { return !watcher.opened().isEmpty() && !QApplication::activePopupWidget(); }, 300ms);
    return watcher.opened();
  }

  // Members go in reverse: the window closes its port first, then the
  // simulator ends, then its directory goes.
  testing::TemporaryDirectory directory;
  std::string linkPath;
  std::unique_ptr<testing::Simulator> sim;
  std::unique_ptr<MainWindow> window;
};

// Bounded in time: run again with the tight bounds in the timing pass.
using EndToEndTimeBoundTest = EndToEndTest;

TEST_F(EndToEndTimeBoundTest, AfterConnectEveryGroupIsColouredWithinTwoSecondsAndTheUptimeIsShown) {
  ASSERT_EQ(GreyDeviceShapes().size(), DeviceShapes().size()) << "every group starts grey";
  const Clock::time_point start = Clock::now();
  Connect();
  const std::regex uptime("[0-9]+s");
  const bool alive = RunEventsUntil(
      [&] {
        return GreyDeviceShapes().empty() && std::regex_match(form().txtUptime.text, uptime) &&
               form().lblElectrodePosition.caption != "-" && form().lblElectrodeCooling.caption != "-";
      },
      testing::TimeBound<std::chrono::milliseconds>(2s, 10s));
  ASSERT_TRUE(alive) << "after " << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()
                     << " ms still grey: " << ::testing::PrintToString(GreyDeviceShapes())
                     << ", uptime \"" << form().txtUptime.text << "\", electrode \""
                     << form().lblElectrodePosition.caption << "\", cooling \"" << form().lblElectrodeCooling.caption
                     << "\"";
  // A fresh plant: valves closed, pumps stopped, gauges valid, no flow.
  EXPECT_EQ(form().lblV1state.caption, "closed");
  EXPECT_EQ(form().shpV1.fillColor, colours::Yellow);
  EXPECT_EQ(form().shpG8.fillColor, colours::White);
  EXPECT_EQ(form().lblMFC1Value.caption, " 0.0%");
  // The window shows what the model says.
  LetTheWindowCatchUp();
  EXPECT_EQ(BoxText("txtUptime").toStdString(), form().txtUptime.text);
  for (Shape Form1::*shape : DeviceShapes())
    EXPECT_EQ(ShownFill(form().*shape), ModelFill(form().*shape)) << (form().*shape).name;
  EXPECT_EQ(panel().CrcErrorCount, 0);
  EXPECT_GE(panel().CorrectMessageCount, 7);
}

TEST_F(EndToEndTest, AValveOpenedFromItsMenuShowsOpenAfterTheNextValveAnswer) {
  ConnectAndWaitForEveryGroup();
  if (HasFatalFailure()) return;
  ASSERT_EQ(form().lblV5state.caption, "closed");
  const std::string valvesBefore = DumpValves(form());
  const std::int32_t messagesBefore = panel().CorrectMessageCount;

  ASSERT_EQ(RightClickAndChoose("lblV5state", "Open"), "mnuV5");
  // The command goes out at once; the valve answer after it is at most one
  // full round of seven answers (and one still on its way) later.
  ASSERT_TRUE(RunEventsUntil([&] { return form().lblV5state.caption == "open"; }, 2500ms))
      << "V5 still " << form().lblV5state.caption << ":\n"
      << sim->transcript();
  EXPECT_LE(panel().CorrectMessageCount - messagesBefore, 8) << "V5 shown open later than the next valve answer";
  EXPECT_EQ(form().shpV5.fillColor, colours::Green);
  LetTheWindowCatchUp();
  EXPECT_EQ(LabelText("lblV5state"), "open");
  EXPECT_EQ(ShownFill(form().shpV5), ModelFill(form().shpV5));

  // Only V5's line of the valve group changed.
  std::istringstream before(valvesBefore);
  std::istringstream after(DumpValves(form()));
  for (std::string b, a; std::getline(before, b) && std::getline(after, a);) {
    if (b.rfind("shpV5 ", 0) == 0) {
      EXPECT_NE(a, b);
    } else {
      EXPECT_EQ(a, b);
    }
  }
}

TEST_F(EndToEndTest, ASetpointSentFromTheBoxIsReflectedInTheFlowReading) {
  ConnectAndWaitForEveryGroup();
  if (HasFatalFailure()) return;
  auto* box = qobject_cast<QLineEdit*>(window->view("txtMFC1"));
  ASSERT_NE(box, nullptr);
  QTest::mouseClick(box, Qt::LeftButton);
  ASSERT_TRUE(box->hasFocus());
  // The box starts with "0": replace it, as an operator would.
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(box, "50");
  ASSERT_EQ(box->text(), "50");
  ASSERT_EQ(form().txtMFC1.text, "50");

  QTest::mouseClick(window->view("cmdMFC1_send"), Qt::LeftButton);
  EXPECT_NE(form().txtMFC1.backColor, colours::Red) << "an accepted setpoint marks nothing";
  // The controller's flow settles within a second or so; the next flow
  // answers carry it.
  ASSERT_TRUE(RunEventsUntil([&] { return form().lblMFC1Value.caption == "50.0%"; }, 5s))
      << "MFC1 reads \"" << form().lblMFC1Value.caption << "\"";
  LetTheWindowCatchUp();
  EXPECT_EQ(LabelText("lblMFC1Value"), "50.0%");
  EXPECT_EQ(form().shpMFC1.fillColor, colours::LightYellow);
  EXPECT_EQ(form().lblMFC2Value.caption, " 0.0%");
  EXPECT_EQ(form().lblMFC3Value.caption, " 0.0%");
  EXPECT_EQ(form().lblMFC4Value.caption, " 0.0%");
}

TEST_F(EndToEndTimeBoundTest, SilencedGaugesGreyExactlyTheGaugeShapesThreeToSixSecondsLaterAndKeepTheirReadings) {
  ConnectAndWaitForEveryGroup();
  if (HasFatalFailure()) return;
  // Silence the gauges just after a gauge answer arrived, so the time from
  // the console command is the time from the group's last answer. The gauge
  // request is poll step 2: its answer is the first message counted after
  // the step moved on to 3.
  std::int32_t countAtStep2 = -1;
  ASSERT_TRUE(RunEventsUntil(
      [&] {
        if (panel().PollStep == 2) countAtStep2 = panel().CorrectMessageCount;
        return countAtStep2 >= 0 && panel().PollStep == 3 && panel().CorrectMessageCount > countAtStep2;
      },
      3s));
  const Clock::time_point silenced = Clock::now();
  Console("silence gauges");
  if (HasFatalFailure()) return;
  const std::set<std::string> greyBefore = GreyShapes();
  const std::vector<std::string> readingsBefore = GaugeReadings();
  ASSERT_TRUE(RunEventsUntil(
      [&] {
        for (Shape Form1::*shape : kGaugeShapes)
          if ((form().*shape).fillColor == colours::SystemGrayText) return true;
        return false;
      },
      7s))
      << "no gauge greyed";
  const double seconds = std::chrono::duration<double>(Clock::now() - silenced).count();
  RecordProperty("seconds_to_grey", std::to_string(seconds));
  // The watchdog looks every 3 s and greys a group that did not answer
  // since its previous look: 3 to 6 s after the last answer. A little slack
  // for the event loop and the 5 ms between looks.
  EXPECT_GE(seconds, 2.8);
  EXPECT_LE(seconds, testing::TimeBound(6.5, 10.0));

  // All eight at once, and nothing else.
  std::set<std::string> expected = greyBefore;
  for (Shape Form1::*shape : kGaugeShapes) {
    EXPECT_EQ(greyBefore.count((form().*shape).name), 0u) << (form().*shape).name << " was grey already";
    expected.insert((form().*shape).name);
  }
  EXPECT_EQ(GreyShapes(), expected);
  for (Shape Form1::*shape : DeviceShapes()) {
    EXPECT_EQ(ShownFill(form().*shape), ModelFill(form().*shape)) << (form().*shape).name;
  }

  // The readings stay as last received, in the model and on the window.
  EXPECT_EQ(GaugeReadings(), readingsBefore);

  // The next gauge answer colours them again.
  Console("unsilence gauges");
  EXPECT_TRUE(RunEventsUntil(
      [&] {
        for (Shape Form1::*shape : kGaugeShapes)
          if ((form().*shape).fillColor != colours::White) return false;
        return true;
      },
      2s));
}

TEST_F(EndToEndTest, AWarningAppearsAtTheTopOfTheList) {
  Connect();
  if (HasFatalFailure()) return;
  auto* list = qobject_cast<QListWidget*>(window->view("lstWarnings"));
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(form().lstWarnings.items.empty());

  Console("warn 100");
  ASSERT_TRUE(RunEventsUntil([&] { return !form().lstWarnings.items.empty(); }, 1s));
  EXPECT_EQ(form().lstWarnings.items, (std::vector<std::string>{" 100 (OP_ERR_PNEUMATIC_PRESSURE)"}));

  Console("warn 105");
  ASSERT_TRUE(RunEventsUntil([&] { return form().lstWarnings.items.size() == 2; }, 1s));
  EXPECT_EQ(form().lstWarnings.items,
            (std::vector<std::string>{" 105 (OP_ERR_ICPCON_BUS)", " 100 (OP_ERR_PNEUMATIC_PRESSURE)"}));
  LetTheWindowCatchUp();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), " 105 (OP_ERR_ICPCON_BUS)");
  EXPECT_EQ(list->item(1)->text(), " 100 (OP_ERR_PNEUMATIC_PRESSURE)");
  EXPECT_TRUE(form().lstMessages.items.empty()) << "a warning is no other message";
  EXPECT_EQ(panel().CrcErrorCount, 0);
}

TEST_F(EndToEndTest, ACorruptedAnswerIncrementsOnlyTheChecksumErrorCount) {
  ConnectAndWaitForEveryGroup();
  if (HasFatalFailure()) return;
  // The controller falls quiet so that the window holds still; the answers
  // already on their way land first.
  Console("stop");
  RunEventsFor(2 * kPollPeriod);
  // The lamps and their timers move with every poll sent and every message
  // cut from the line, good or bad; the checksum label is what must change.
  const std::set<std::string> moving{"shpSend", "shpRecv", "Timer3", "Timer4", "lblCrcErrors"};
  const std::string before = DumpWithout(form(), moving);
  const std::int32_t correctBefore = panel().CorrectMessageCount;
  const std::int32_t crcBefore = panel().CrcErrorCount;
  ASSERT_EQ(crcBefore, 0);

  // Every frame spoiled, for as long as it takes one to arrive.
  Console("crc 1");
  Console("resume");
  ASSERT_TRUE(RunEventsUntil([&] { return panel().CrcErrorCount > crcBefore; }, 1s));
  Console("stop");
  RunEventsFor(2 * kPollPeriod);

  const std::int32_t spoiled = panel().CrcErrorCount - crcBefore;
  EXPECT_GE(spoiled, 1);
  EXPECT_EQ(panel().CorrectMessageCount, correctBefore);
  EXPECT_EQ(form().lblCrcErrors.caption, " " + std::to_string(spoiled) + " received message(s) with crc error");
  EXPECT_EQ(LabelText("lblCrcErrors").toStdString(), form().lblCrcErrors.caption);
  EXPECT_EQ(DumpWithout(form(), moving), before);

  // Good answers are taken again at once: the bad frames left nothing
  // behind in the receive buffer.
  Console("crc 0");
  Console("resume");
  ASSERT_TRUE(RunEventsUntil([&] { return panel().CorrectMessageCount >= correctBefore + 7; }, 2s));
  EXPECT_EQ(panel().CrcErrorCount, crcBefore + spoiled);
}

TEST_F(EndToEndTimeBoundTest, AHangUpClosesThePortWithinOnePollPeriodAndTheReopenedLineConnectsAgain) {
  ConnectAndWaitForEveryGroup();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sim->Type("hangup 2"));
  const Clock::time_point hungUp = Clock::now();
  // The hang-up is seen on the line at once, and at the latest when the
  // next poll request finds the line dead.
  const bool lost = RunEventsUntil([&] { return LabelText("lblStatus") == "Port 1 lost"; },
                                   testing::TimeBound<std::chrono::milliseconds>(2 * kPollPeriod, 3s));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - hungUp);
  RecordProperty("ms_to_port_lost", static_cast<int>(took.count()));
  ASSERT_TRUE(lost) << "lblStatus reads \"" << LabelText("lblStatus").toStdString() << "\" after " << took.count()
                    << " ms";
  EXPECT_FALSE(panel().MSComm2.PortOpen());

  // A dead line must not keep the panel busy.
  const auto cpuBefore = testing::ProcessCpuTime();
  RunEventsFor(1000ms);
  const auto spent = testing::ProcessCpuTime() - cpuBefore;
  RecordProperty("cpu_us_in_idle_second",
                 static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(spent).count()));
  EXPECT_LT(spent, testing::TimeBound(100ms, 500ms)) << "the event loop spins after a hang-up: "
                          << std::chrono::duration_cast<std::chrono::milliseconds>(spent).count() << " ms";
  EXPECT_EQ(LabelText("lblComStatus"), "Disconnected");
  EXPECT_TRUE(window->view("Combo3")->isEnabled());

  // The controller comes back on a new terminal under the same link.
  ASSERT_TRUE(sim->AwaitLine("halvorn-sim: link ", 4s)) << sim->transcript();
  const std::int32_t messagesBefore = panel().CorrectMessageCount;
  const std::string uptimeBefore = form().txtUptime.text;
  Connect();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(RunEventsUntil(
      [&] { return panel().CorrectMessageCount >= messagesBefore + 7 && form().txtUptime.text != uptimeBefore; },
      2s))
      << panel().CorrectMessageCount - messagesBefore << " messages after reconnecting";
  EXPECT_TRUE(GreyDeviceShapes().empty()) << ::testing::PrintToString(GreyDeviceShapes());
}

TEST_F(EndToEndTest, ReconnectingToARestartedSimulatorWorks) {
  ConnectAndWaitForEveryGroup();
  if (HasFatalFailure()) return;
  sim->Stop();
  ASSERT_TRUE(RunEventsUntil([&] { return LabelText("lblStatus") == "Port 1 lost"; }, 1s))
      << LabelText("lblStatus").toStdString();
  // With no controller the link is gone, and "Connect" says so.
  QTest::mouseClick(window->view("cmdConnect"), Qt::LeftButton);
  EXPECT_EQ(LabelText("lblStatus"), "Port 1 does not exist");
  EXPECT_FALSE(panel().MSComm2.PortOpen());

  StartSimulator();
  if (HasFatalFailure()) return;
  const std::int32_t messagesBefore = panel().CorrectMessageCount;
  Connect();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(RunEventsUntil(
      [&] { return panel().CorrectMessageCount >= messagesBefore + 7 && GreyDeviceShapes().empty(); }, 2s))
      << panel().CorrectMessageCount - messagesBefore << " messages after reconnecting, grey: "
      << ::testing::PrintToString(GreyDeviceShapes());
  EXPECT_EQ(LabelText("lblStatus"), "Port 1 open successfully");
}

}  // namespace
}  // namespace halvorn::shell
