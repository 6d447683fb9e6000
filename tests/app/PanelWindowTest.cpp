// The window against the panel's inventory, and real mouse events on it:
// every model widget has its Qt widget at its place, pipes lie under the
// valves, the focus runs in the panel's order, and right-clicks open the
// device menus whose items put their commands on a real pseudo-terminal.
#include <QComboBox>

#include <array>

#include "AnswerText.h"
#include "GroupFrame.h"
#include "PanelWindow.h"
#include "ShapeView.h"
#include "panel/Devices.h"
#include "plant/StatusCodes.h"
#include "support/TimeBounds.h"

namespace halvorn::shell {
namespace {

using PanelWindowTest = PanelWindowFixture;

// Fault codes whose texts are among the longest the controller can report.
constexpr unsigned char kNoIcpconResponse = 160;  // "no response from icpcon bus"
constexpr unsigned char kPfeifferWrongSize = 107;  // "wrong size response from pfeiffer bus"

std::string ValvesAnswer(unsigned char all,
                         std::initializer_list<std::pair<int, unsigned char>> except = {}) {
  std::array<unsigned char, sim::kValveCount> states{};
  states.fill(all);
  for (const auto& [number, state] : except) states[static_cast<std::size_t>(number - 1)] = state;
  return sim::ValveAnswerText(states);
}

std::string GaugesAnswer(unsigned char status) {
  std::array<unsigned char, sim::kGaugeCount> statuses{};
  statuses.fill(status);
  std::array<std::string, sim::kGaugeCount> digits;
  digits.fill("123415");
  return sim::GaugeAnswerText(statuses, digits);
}

std::string FlowsAnswer(unsigned char third) {
  return sim::FlowAnswerText({sim::kReadingValid, sim::kReadingValid, third, sim::kReadingValid},
                             {"50.0", "12.5", "12.5", " 0.0"});
}

// Where `after` differs from `before`, outside `ignored`.
std::vector<QPoint> Changed(const QImage& before, const QImage& after, const QRect& ignored) {
  std::vector<QPoint> changed;
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x)
      if (before.pixel(x, y) != after.pixel(x, y) && !ignored.contains(x, y))
        changed.push_back({x, y});
  return changed;
}

TEST_F(PanelWindowTest, EveryModelWidgetHasItsViewInItsContainerAtItsPlace) {
  Form1 model;  // the inventory as created, before Load
  WidgetRefs all = AllWidgets(model);
  auto containerName = [](Container c) {
    return c == Container::Frame1 ? QStringLiteral("Frame1")
                                  : c == Container::Frame2 ? QStringLiteral("Frame2") : QString();
  };
  auto check = [&](const QString& name, Container container, const Rect& rect, bool exact) {
    SCOPED_TRACE(name.toStdString());
    QWidget* view = window->view(name);
    ASSERT_NE(view, nullptr);
    const QString parent = containerName(container);
    if (parent.isEmpty()) {
      EXPECT_EQ(view->parentWidget(), window.get());
    } else {
      EXPECT_EQ(view->parentWidget()->objectName(), parent);
    }
    const QRect expected = Pixels(rect);
    if (exact) {
      EXPECT_EQ(view->geometry(), expected);
    } else {  // a caption that sizes itself keeps its left edge, top and height
      EXPECT_EQ(view->pos(), expected.topLeft());
      EXPECT_EQ(view->height(), expected.height());
    }
  };
  for (const Shape* s : all.shapes) check(NameOf(s->name, s->element), s->container, s->rect, true);
  for (const Label* l : all.labels) {
    check(NameOf(l->name, l->element), l->container, l->rect, !l->autoSize);
    auto* label = qobject_cast<QLabel*>(window->view(NameOf(l->name, l->element)));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->font().bold(), l->bold) << l->name;
    EXPECT_EQ(label->autoFillBackground(), !l->transparent) << l->name;
  }
  for (const CommandButton* b : all.buttons) check(NameOf(b->name, kNoElement), b->container, b->rect, true);
  for (const TextBox* t : all.textBoxes) check(NameOf(t->name, kNoElement), t->container, t->rect, true);
  for (const ListBox* l : all.listBoxes) check(NameOf(l->name, kNoElement), l->container, l->rect, true);
  for (const ComboBox* c : all.comboBoxes) check(NameOf(c->name, kNoElement), c->container, c->rect, true);
  for (const Frame* f : all.frames) check(NameOf(f->name, kNoElement), Container::Form1, f->rect, true);

  // The twin cooling button is the window's own and lies above the frame.
  QWidget* off = window->view("cmdSwitchOffElectrodeCooling");
  EXPECT_EQ(window->childAt(off->geometry().center()), off);
}

TEST_F(PanelWindowTest, DeviceShapesInPixelsAtNinetySixDpi) {
  if (dpiX != 96 || dpiY != 96) GTEST_SKIP() << "screen is not at 96 dpi";
  const std::pair<const char*, QRect> shapes[] = {
      {"shpTMP", {440, 368, 65, 49}},   {"shpRotary1", {616, 416, 65, 49}},
      {"shpV1", {240, 272, 49, 41}},    {"shpV14", {872, 288, 49, 41}},
      {"shpCV2", {192, 336, 49, 41}},   {"shpG8", {40, 56, 65, 65}},
      {"shpMFC4", {744, 64, 65, 89}},   {"shpSend", {456, 16, 73, 25}},
  };
  for (const auto& [name, rect] : shapes) EXPECT_EQ(window->view(name)->geometry(), rect) << name;
}

TEST_F(PanelWindowTest, APipeThroughAValveIsHiddenByItsFillAndTheCaptionsStayOnTop) {
  // Line20(22) runs along y = 3480 through shpV2 (9480..10215 x 3120..3735).
  const QImage picture = window->grab().toImage();
  const QColor pipeOutside = picture.pixelColor(At(9300, 3480));
  const QColor insideValve = picture.pixelColor(At(9540, 3480));
  const QColor valveFill = qobject_cast<QWidget*>(window->view("shpV2"))
                               ->palette()
                               .color(QPalette::Disabled, QPalette::WindowText);
  EXPECT_EQ(pipeOutside, window->palette().color(QPalette::WindowText));
  EXPECT_EQ(insideValve, valveFill);
  // Both captions of the valve lie above its shape.
  EXPECT_EQ(window->childAt(At(9847, 3300))->objectName(), "lblV2");
  EXPECT_EQ(window->childAt(At(9847, 3540))->objectName(), "lblV2state");
}

TEST_F(PanelWindowTest, TheFocusRunsInThePanelsOrder) {
  QStringList order;
  QWidget* first = window->view("cmdConnect");
  QWidget* w = first;
  do {
    if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
    w = w->nextInFocusChain();
  } while (w != first);
  QStringList expected;
  for (const std::string_view name : FocusOrder())
    expected << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  // Qt's own inner widgets (a list's viewport ...) take no focus by tab.
  EXPECT_EQ(order, expected);
}

TEST_F(PanelWindowTest, TheWindowIsInItsStartStateWhenFirstShown) {
  EXPECT_EQ(qobject_cast<QLabel*>(window->view("lblStatus"))->text(), "Port 1 not open");
  auto* baud = qobject_cast<QComboBox*>(window->view("Combo1"));
  EXPECT_EQ(baud->currentText(), "115200");
  EXPECT_FALSE(baud->isEditable());
  EXPECT_EQ(qobject_cast<QComboBox*>(window->view("Combo3"))->currentText(), "Com1");
  EXPECT_EQ(window->panel().MSComm2.Settings(), "115200,n,8,1");
  KeepScreenshot("panel-at-start.png");
}

TEST_F(PanelWindowTest, RightClickOnTheFillAndOnTheCaptionOpenTheSameMenuAndOpenSendsTheCommand) {
  Connect();
  // The fill of shpV5 (11280..12015 x 3720..4335), clear of its captions.
  const QPoint fill = At(11310, 3760);
  EXPECT_EQ(window->childAt(fill), nullptr);
  EXPECT_EQ(RightClickAt(fill), "mnuV5");
  EXPECT_EQ(menuCaptions, (QStringList{"Open", "Close"}));
  EXPECT_EQ(CommandsReceived(100ms), "") << "dismissing the menu sends nothing";

  const QPoint caption = window->view("lblV5state")->geometry().center();
  EXPECT_EQ(RightClickAt(caption, "Open"), "mnuV5");
  EXPECT_EQ(CommandsReceived(300ms), "020_05086\r");
}

TEST_F(PanelWindowTest, ARightClickOnAnEdgeOrAnotherCaptionOpensNothing) {
  Connect();
  // On the left edge of shpV1 (x = 3600), clear of its captions.
  EXPECT_EQ(RightClickAt(At(3600, 4110)), "");
  // One pixel further in is inside.
  EXPECT_EQ(RightClickAt(At(3615, 4110)), "mnuV1");
  // A gauge caption, a gauge's fill, the mechanical valve and the window.
  EXPECT_EQ(RightClickAt(window->view("lblG6Value")->geometry().center()), "");
  EXPECT_EQ(RightClickAt(At(5450, 4150)), "");
  EXPECT_EQ(RightClickAt(window->view("lblMECH2")->geometry().center()), "");
  EXPECT_EQ(RightClickAt(At(7000, 7000)), "");
  // A left click on a device opens nothing.
  QTest::mouseClick(window.get(), Qt::LeftButton, {}, At(11310, 3760));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(CommandsReceived(100ms), "");
}

TEST_F(PanelWindowTest, AnAnswerOnTheLineIsShownOnThePicture) {
  Connect();
  // A valve answer with V1 open and the rest closed.
  std::string text = "061__" + std::string(1, '\x18') + std::string(15, '\x17');
  int sum = 0;
  for (unsigned char c : text) sum += c;
  const std::string field = std::to_string(sum % 256 + 1000).substr(1);
  ASSERT_TRUE(line.Send(text + field + "\r"));
  auto* state = qobject_cast<QLabel*>(window->view("lblV1state"));
  ASSERT_TRUE(testing::RunEventsUntil([&] { return state->text() == "open"; }, 1s));
  EXPECT_EQ(qobject_cast<QLabel*>(window->view("lblV2state"))->text(), "closed");
}

// One answer of every kind: valves open, closed and faulty; pumps started,
// accelerating and stopped; gauges in range, below range and failing;
// flows; uptime; electrode and cooling; a warning and a command's echo.
TEST_F(PanelWindowTest, AnswersOfEveryKindAreShownOnThePicture) {
  Connect();
  // The link's state as the operator sees it once the status timer ran.
  WaitForCaption("lblComStatus", "Connected: Com1,115200,n,8,1");
  Answer(ValvesAnswer(sim::kValveClosed, {{1, sim::kValveOpen}, {3, sim::kValveOpen},
                                          {6, sim::kValveOpen}, {7, sim::kValveOpen},
                                          {11, sim::kValveOpen}, {12, sim::kValveOpen},
                                          {14, kNoIcpconResponse}, {15, sim::kValveOpen}}),
         "lblV14state", "no response from icpcon bus");
  Answer(sim::PumpAnswerText({sim::kPumpStarted, sim::kPumpAccelerating, sim::kPumpStopped}),
         "lblRotary2Status", "accelerating");
  std::array<unsigned char, sim::kGaugeCount> statuses{};
  statuses.fill(sim::kReadingValid);
  statuses[4] = 159;  // G5: "no response from pfeiffer bus"
  Answer(sim::GaugeAnswerText(statuses, {"123415", "500022", "000000", "250003", "000000",
                                         "000000", "654318", "100017"}),
         "lblG5State", "no response from pfeiffer bus");
  Answer(FlowsAnswer(kNoIcpconResponse), "lblMFC1Value", "50.0%");
  Answer(sim::ElectrodeAnswerText(sim::kElectrodeOut), "lblElectrodePosition", "out");
  Answer(sim::CoolingAnswerText(sim::kCoolingRunning), "lblElectrodeCooling", "running");
  ASSERT_TRUE(line.Send(BuildFrame(sim::UptimeAnswerText(3600)) +
                        BuildFrame(sim::WarningText(105)) + BuildFrame("020_05")));
  WaitForCaption("lblStatus2", " 9 correct message(s) received from pic");
  struct Fill {
    const char* shape;
    QColor colour;
  };
  const Fill fills[] = {
      {"shpV1", QColor(0, 255, 0)},      {"shpV2", QColor(255, 255, 0)},
      {"shpV14", QColor(255, 0, 0)},     {"shpRotary1", QColor(0, 255, 0)},
      {"shpRotary2", QColor(0, 255, 255)}, {"shpTMP", QColor(255, 255, 0)},
      {"shpG1", QColor(255, 255, 255)},  {"shpG5", QColor(255, 0, 0)},
      {"shpMFC1", QColor(255, 255, 128)}, {"shpMFC3", QColor(255, 0, 0)},
  };
  for (const Fill& f : fills) {
    SCOPED_TRACE(f.shape);
    EXPECT_EQ(static_cast<ShapeView*>(window->view(f.shape))->fill(), f.colour);
  }
  testing::RunEventsFor(50ms);
  KeepScreenshot("panel-with-answers.png");
}

TEST_F(PanelWindowTest, ReadingsFromTheLineAreShownAsTextNeverAsMarkup) {
  Connect();
  // A flow answer whose first reading is markup: shown as the bytes came.
  const std::string ok(1, static_cast<char>(kStatusOk));
  ASSERT_TRUE(line.Send(BuildFrame("063__" + ok + "<b>1" + ok + "<i>2" + ok + " 0.0" + ok + " 0.0")));
  auto* reading = qobject_cast<QLabel*>(window->view("lblMFC1Value"));
  ASSERT_NE(reading, nullptr);
  ASSERT_TRUE(testing::RunEventsUntil([&] { return reading->text() == "<b>1%"; }, 1s));
  // Markup would draw "1%" alone, bold: narrower than the text itself.
  const QFontMetrics metrics(reading->font());
  EXPECT_GE(reading->sizeHint().width(), metrics.horizontalAdvance(QStringLiteral("<b>1%")));
  EXPECT_GE(reading->width(), metrics.horizontalAdvance(QStringLiteral("<b>1%")));
}

// Bounded in time: run again with the tight bounds in the timing pass.
using PanelWindowTimeBoundTest = PanelWindowTest;

TEST_F(PanelWindowTimeBoundTest, AHungUpLineClosesThePortAndLeavesTheProcessIdle) {
  Connect();
  line.CloseMaster();
  auto* status = qobject_cast<QLabel*>(window->view("lblStatus"));
  ASSERT_TRUE(testing::RunEventsUntil([&] { return status->text() == "Port 1 lost"; }, 2s));
  EXPECT_FALSE(window->panel().MSComm2.PortOpen());
  const auto before = testing::ProcessCpuTime();
  testing::RunEventsFor(1000ms);
  const auto spent = testing::ProcessCpuTime() - before;
  EXPECT_LT(spent, testing::TimeBound(100ms, 500ms)) << "the event loop spins after a hang-up";
  EXPECT_EQ(qobject_cast<QLabel*>(window->view("lblComStatus"))->text(), "Disconnected");
  EXPECT_TRUE(window->view("Combo3")->isEnabled());
}

}  // namespace
}  // namespace halvorn::shell

namespace halvorn::shell {
namespace {

// The operator right-clicks the word "closed" on V6 while V7 and V8 beside it
// report a fault: the menu is V6's and "Open" opens V6.
TEST_F(PanelWindowTest, ARightClickOnAValvesStateOpensThatValveWhateverItsNeighboursShow) {
  Connect();
  Answer(ValvesAnswer(sim::kValveClosed, {{7, kNoIcpconResponse}, {8, kNoIcpconResponse}}),
         "lblV8state", "no response from icpcon bus");
  ASSERT_EQ(Caption("lblV6state")->text(), "closed");
  // The middle of the word, where the operator points.
  const QPoint word = InWindow("lblV6state").center();
  EXPECT_EQ(Under(word)->objectName(), "lblV6state");
  EXPECT_EQ(RightClickAt(word, "Open"), "mnuV6");
  EXPECT_EQ(CommandsReceived(300ms), "020_06087\r");
}

// With every device reporting a long fault, each caption keeps its box, is
// cut with the whole text as its tooltip, and a right-click on it or on its
// name opens its own device's menu: V5 beside V9 and V13, V10 beside V11 and
// V12, the TMP beside CV1, and the rest.
TEST_F(PanelWindowTest, WithEveryDeviceFaultyEachCaptionOpensItsOwnDevicesMenu) {
  Connect();
  Answer(ValvesAnswer(kPfeifferWrongSize), "lblCV2state", "wrong size response from pfeiffer bus");
  Answer(sim::PumpAnswerText({kPfeifferWrongSize, kPfeifferWrongSize, kPfeifferWrongSize}),
         "lblTMPstatus", "wrong size response from pfeiffer bus");
  for (const SwitchedDevice& device : kSwitchedDevices) {
    for (Label Form1::*caption : {device.nameLabel, device.state}) {
      const Label& label = window->form().*caption;
      const QString name = QString::fromStdString(label.name);
      SCOPED_TRACE(label.name);
      EXPECT_EQ(window->view(name)->geometry(), Pixels(label.rect));
      EXPECT_EQ(RightClickAt(InWindow(name).center()),
                QString::fromStdString((window->form().*device.menu).name));
    }
  }
}

// A fault's text stays inside its device: a flow fault used to print across
// its neighbours' readings ("12.5%no response from icpcon bus0.0%"), two
// valve faults over each other across V6. Only the gauge state readouts,
// which size themselves, grow to the right.
TEST_F(PanelWindowTest, FaultTextsStayInsideTheirDevices) {
  Connect();
  struct Group {
    const char* what;
    std::string ok;
    std::string fault;
    const char* label;
    QString okText;
    QString faultText;
    std::vector<QString> within;  // the widgets whose pixels may change
  };
  const Group groups[] = {
      {"valves", ValvesAnswer(sim::kValveClosed), ValvesAnswer(kPfeifferWrongSize), "lblV6state",
       "closed", "wrong size response from pfeiffer bus",
       {"shpV1", "shpV2", "shpV3", "shpV4", "shpV5", "shpV6", "shpV7", "shpV8", "shpV9", "shpV10",
        "shpV11", "shpV12", "shpV13", "shpV14", "shpCV1", "shpCV2"}},
      {"pumps", sim::PumpAnswerText({sim::kPumpStarted, sim::kPumpStarted, sim::kPumpStarted}),
       sim::PumpAnswerText({kNoIcpconResponse, kNoIcpconResponse, kNoIcpconResponse}),
       "lblTMPstatus", "started", "no response from icpcon bus",
       {"shpTMP", "shpRotary1", "shpRotary2"}},
      {"flows", FlowsAnswer(sim::kReadingValid), FlowsAnswer(kNoIcpconResponse), "lblMFC3Value",
       "12.5%", "no response from icpcon bus", {"shpMFC3"}},
      {"gauges", GaugesAnswer(sim::kReadingValid), GaugesAnswer(kPfeifferWrongSize), "lblG8Value",
       "1.234E-5", "---",
       {"shpG1", "shpG2", "shpG3", "shpG4", "shpG5", "shpG6", "shpG7", "shpG8", "lblG1State",
        "lblG2State", "lblG3State", "lblG4State", "lblG5State", "lblG6State", "lblG7State",
        "lblG8State"}},
  };
  for (const Group& g : groups) {
    SCOPED_TRACE(g.what);
    Answer(g.ok, g.label, g.okText);
    testing::RunEventsFor(20ms);
    const QImage before = Picture();
    Answer(g.fault, g.label, g.faultText);
    testing::RunEventsFor(20ms);
    // The link's counters and lamps in the status frame change with every
    // answer. Every other changed pixel lies in a shape of the group or, for
    // the gauges, in a state readout as wide as it now is.
    const auto changed = Changed(before, Picture(), InWindow("Frame1"));
    EXPECT_FALSE(changed.empty());
    for (const QPoint& p : changed) {
      const bool inside = std::any_of(g.within.begin(), g.within.end(), [&](const QString& name) {
        return InWindow(name).contains(p);
      });
      ASSERT_TRUE(inside) << "changed pixel at " << p.x() << "," << p.y();
    }
  }
}

// A long gauge state grows beneath the electrode frame and its cooling
// buttons: they still take their clicks and send their commands.
TEST_F(PanelWindowTest, TheCoolingButtonsWorkBesideALongGaugeState) {
  Connect();
  Answer(GaugesAnswer(kPfeifferWrongSize), "lblG1State", "wrong size response from pfeiffer bus");
  const QRect state = InWindow("lblG1State");
  ASSERT_EQ(state.topLeft(), At(9840, 8160)) << "a readout grows to the right only";
  struct Case {
    const char* button;
    const char* command;
  };
  const Case cases[] = {{"cmdSwitchOnElectrodeCooling", "120_1"},
                        {"cmdSwitchOffElectrodeCooling", "120_0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    const QRect button = InWindow(c.button);
    ASSERT_TRUE(state.intersects(button)) << "the readout reaches the button";
    // Where the readout runs under the button, the button is on top.
    const QPoint shared = (state & button).center();
    EXPECT_EQ(Under(shared)->objectName(), c.button);
    ClickAt(shared);
    EXPECT_EQ(CommandsReceived(300ms), BuildFrame(c.command));
  }
  // The frame hides the readout where it passes beneath it.
  const QRect frame = InWindow("Frame2");
  EXPECT_NE(Under(QPoint(frame.left() + 3, state.center().y())), window->view("lblG1State"));
}

// The gauge circles keep their outline on every side: on shpG1 the row
// through its middle starts with an outline pixel at its left edge.
TEST_F(PanelWindowTest, GaugeCirclesAreOutlinedAtTheirEdges) {
  const QImage picture = Picture();
  const QColor outline = window->palette().color(QPalette::WindowText);
  for (const char* gauge : {"shpG1", "shpG4", "shpG6", "shpG8"}) {
    SCOPED_TRACE(gauge);
    const QRect circle = InWindow(gauge);
    const int middleY = circle.top() + circle.height() / 2;
    const int middleX = circle.left() + circle.width() / 2;
    EXPECT_EQ(picture.pixelColor(circle.left(), middleY), outline);
    EXPECT_EQ(picture.pixelColor(circle.right(), middleY), outline);
    EXPECT_EQ(picture.pixelColor(middleX, circle.top()), outline);
    EXPECT_EQ(picture.pixelColor(middleX, circle.bottom()), outline);
    EXPECT_NE(picture.pixelColor(circle.left() + 1, middleY), outline);
  }
}

// A frame's border runs through the middle of its caption's text and above
// every widget the layout places in the frame.
TEST_F(PanelWindowTest, AFramesBorderRunsThroughItsCaptionAboveItsWidgets) {
  const QImage picture = Picture();
  for (const char* name : {"Frame1", "Frame2"}) {
    SCOPED_TRACE(name);
    auto* frame = dynamic_cast<GroupFrame*>(window->view(name));
    ASSERT_NE(frame, nullptr);
    const QRect box = InWindow(name);
    const QRgb background = picture.pixel(box.left() + box.width() - 3, box.top());
    // Down a column near the right edge, clear of caption and widgets: the
    // first pixel that is not background is the top border.
    const int column = box.right() - 4;
    int border = -1;
    for (int y = box.top(); y < box.bottom() && border < 0; ++y)
      if (picture.pixel(column, y) != background) border = y;
    ASSERT_GE(border, 0);
    // The caption's ink, across its width.
    const QRect caption = frame->captionArea().translated(box.topLeft());
    int inkTop = -1;
    int inkBottom = -1;
    for (int y = caption.top(); y <= caption.bottom(); ++y)
      for (int x = caption.left(); x <= caption.right(); ++x)
        if (picture.pixel(x, y) != background) {
          if (inkTop < 0) inkTop = y;
          inkBottom = y;
        }
    EXPECT_LT(inkTop, border) << "the caption reaches above the border";
    EXPECT_GT(inkBottom, border) << "and below it";
    int widgetsTop = box.bottom();
    for (const QObject* child : frame->children())
      if (const auto* widget = qobject_cast<const QWidget*>(child))
        widgetsTop = std::min(widgetsTop, box.top() + widget->y());
    EXPECT_LT(border + 1, widgetsTop) << "the border passes above the frame's widgets";
  }
}

// Every device kind with its fault text and every gauge state long: the
// picture for the README.
TEST_F(PanelWindowTest, EveryDeviceKindWithAFault) {
  Connect();
  // The link's state as the operator sees it once the status timer ran.
  WaitForCaption("lblComStatus", "Connected: Com1,115200,n,8,1");
  Answer(ValvesAnswer(sim::kValveClosed, {{1, sim::kValveOpen}, {7, kNoIcpconResponse},
                                          {8, kNoIcpconResponse}, {14, 25}}),
         "lblV8state", "no response from icpcon bus");
  Answer(sim::PumpAnswerText({sim::kPumpStarted, kPfeifferWrongSize, kNoIcpconResponse}),
         "lblTMPstatus", "no response from icpcon bus");
  Answer(GaugesAnswer(kPfeifferWrongSize), "lblG8State", "wrong size response from pfeiffer bus");
  Answer(FlowsAnswer(kNoIcpconResponse), "lblMFC3Value", "no response from icpcon bus");
  Answer(sim::ElectrodeAnswerText(0x41), "lblElectrodePosition", "error");
  Answer(sim::CoolingAnswerText(0x41), "lblElectrodeCooling", "error");
  Answer(sim::UptimeAnswerText(3600), "lblStatus2", " 7 correct message(s) received from pic");
  testing::RunEventsFor(50ms);
  Form1 model;
  for (const Label* label : AllWidgets(model).labels) {
    if (label->autoSize) continue;
    SCOPED_TRACE(label->name);
    EXPECT_EQ(window->view(NameOf(label->name, label->element))->geometry(), Pixels(label->rect));
  }
  KeepScreenshot("panel-with-faults.png");
}

}  // namespace
}  // namespace halvorn::shell
