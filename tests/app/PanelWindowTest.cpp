// The window against the panel's inventory, and real mouse events on it:
// every model widget has its Qt widget at its place, pipes lie under the
// valves, the focus runs in the panel's order, and right-clicks open the
// device menus whose items put their commands on a real pseudo-terminal.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MainWindow.h"
#include "QtApplication.h"
#include "Twips.h"
#include "link/Frame.h"
#include "plant/StatusCodes.h"
#include "support/EventLoop.h"
#include "support/PseudoTerminal.h"
#include "support/TimeBounds.h"

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;

QString NameOf(const std::string& name, int element) {
  return element == kNoElement ? QString::fromStdString(name)
                               : QString::fromStdString(name) + QStringLiteral("(%1)").arg(element);
}

class PanelWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.ok());
    PortMap ports;
    ports.SetDevice(1, line.path());
    window = std::make_unique<MainWindow>(ports);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    dpiX = window->logicalDpiX();
    dpiY = window->logicalDpiY();
  }

  QRect Pixels(const Rect& r) const {
    return {TwipsToPixels(r.left, dpiX), TwipsToPixels(r.top, dpiY), TwipsToPixels(r.width, dpiX),
            TwipsToPixels(r.height, dpiY)};
  }
  QPoint At(int xTwips, int yTwips) const {
    return {TwipsToPixels(xTwips, dpiX), TwipsToPixels(yTwips, dpiY)};
  }

  void Connect() {
    QTest::mouseClick(window->view("cmdConnect"), Qt::LeftButton);
    ASSERT_TRUE(window->panel().MSComm2.PortOpen());
  }

  // A right-click where the operator's pointer is: the event goes to the
  // widget under the point, as the window system would send it. Whatever
  // menu pops up is recorded; `choose` picks an item by its caption, an
  // empty one dismisses the menu.
  QString RightClickAt(QPoint point, const QString& choose = {}) {
    QWidget* target = window->childAt(point);
    if (!target) target = window.get();
    QString opened;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      watcher.stop();
      opened = menu->objectName();
      QStringList captions;
      for (QAction* action : menu->actions()) captions << action->text();
      menuCaptions = captions;
      QAction* chosen = nullptr;
      for (QAction* action : menu->actions())
        if (action->text() == choose) chosen = action;
      if (chosen) {
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
      } else {
        QTest::keyClick(menu, Qt::Key_Escape);
      }
    });
    watcher.start(5);
    QTest::mouseClick(target, Qt::RightButton, {}, target->mapFrom(window.get(), point));
    // A menu that never opened must not leave the watcher for the next test.
    testing::RunEventsFor(30ms);
    watcher.stop();
    return opened;
  }

  // What the controller received apart from the poll requests, which go out
  // every 200 ms while the port is open.
  std::string CommandsReceived(std::chrono::milliseconds limit) {
    std::string bytes = line.Receive(4096, limit);
    for (const char* poll : {"061_246\r", "062_247\r", "060_245\r", "063_248\r", "010_240\r",
                             "081_248\r", "121_243\r"}) {
      for (auto at = bytes.find(poll); at != std::string::npos; at = bytes.find(poll))
        bytes.erase(at, 8);
    }
    return bytes;
  }

  testing::PseudoTerminal line;
  std::unique_ptr<MainWindow> window;
  QStringList menuCaptions;
  int dpiX = 96;
  int dpiY = 96;
};

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
    } else {  // captions may grow to fit a wider font, never shrink or move up
      EXPECT_EQ(view->y(), expected.y());
      EXPECT_EQ(view->height(), expected.height());
    }
  };
  for (const Shape* s : all.shapes) check(NameOf(s->name, s->element), s->container, s->rect, true);
  for (const Label* l : all.labels) {
    check(NameOf(l->name, l->element), l->container, l->rect, false);
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

TEST_F(PanelWindowTest, AHungUpLineClosesThePortAndLeavesTheProcessIdle) {
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
