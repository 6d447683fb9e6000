// The touch screen's right-click, with Qt's touch events on the real
// window: a finger held still on a device opens the menu a right-click
// there would, at the finger; a tap chooses the item, whose command goes
// out on a real pseudo-terminal. A short tap, a moving finger and a touch
// off the picture open nothing; a tap on a button is still a click.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointingDevice>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "MainWindow.h"
#include "PanelWindow.h"
#include "PseudoTerminal.h"
#include "QtApplication.h"
#include "TouchPress.h"
#include "Twips.h"
#include "support/EventLoop.h"
#include "support/PollFrames.h"

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;

// The window on a pseudo-terminal, as the other window tests have it, and
// a touch screen to put fingers on it.
class TouchPressTest : public PanelWindowFixture {
 protected:
  QPoint At(int xTwips, int yTwips) const {
    return {TwipsToPixels(xTwips, window->logicalDpiX()), TwipsToPixels(yTwips, window->logicalDpiY())};
  }
  QPoint CentreOf(const char* name) const {
    QWidget* view = window->view(name);
    return view->mapTo(window.get(), view->rect().center());
  }

  void Tap(QPoint point) {
    QTest::touchEvent(window.get(), screen).press(0, point, window.get());
    QTest::touchEvent(window.get(), screen).release(0, point, window.get());
  }

  // A finger on `point` for `hold`, moving by `drift` half-way through.
  // Whatever menu opens is recorded, with where it opened; the finger is
  // lifted, then `choose` (an item's caption) is tapped, or the menu is
  // dismissed when there is none.
  QString Hold(QPoint point, const QString& choose = {}, std::chrono::milliseconds hold = 800ms,
               QPoint drift = {}) {
    testing::PopupWatcher watcher([&](QMenu& menu) {
      menuAt = menu.geometry();
      QTest::touchEvent(window.get(), screen).release(0, point + drift, window.get());
      if (QAction* chosen = testing::ItemOf(menu, choose)) {
        const QPoint item = menu.actionGeometry(chosen).center();
        QTest::touchEvent(&menu, screen).press(0, item, &menu);
        QTest::touchEvent(&menu, screen).release(0, item, &menu);
      } else {
        QTest::keyClick(&menu, Qt::Key_Escape);
      }
    });
    QTest::touchEvent(window.get(), screen).press(0, point, window.get());
    testing::RunEventsFor(hold / 2);
    if (drift != QPoint()) QTest::touchEvent(window.get(), screen).move(0, point + drift, window.get());
    testing::RunEventsFor(hold / 2);
    if (watcher.opened().isEmpty()) QTest::touchEvent(window.get(), screen).release(0, point + drift, window.get());
    testing::RunEventsFor(30ms);
    return watcher.opened();
  }

  void Connect() {
    // A tap on a button is still a click.
    Tap(CentreOf("cmdConnect"));
    ASSERT_TRUE(testing::RunEventsUntil([&] { return window->panel().MSComm2.PortOpen(); }, 1s));
  }

  // Ours to delete: Qt registers it as a touch screen for as long as it lives.
  std::unique_ptr<QPointingDevice> touchScreen{QTest::createTouchDevice()};
  QPointingDevice* screen = touchScreen.get();
  QRect menuAt;
};

TEST_F(TouchPressTest, AHeldFingerOnACaptionOrTheFillOpensTheDevicesMenuAtTheFinger) {
  Connect();
  struct Case {
    const char* where;
    QPoint point;
    const char* menu;
  };
  const Case cases[] = {
      {"state caption of V5", CentreOf("lblV5state"), "mnuV5"},
      {"name caption of the TMP", CentreOf("lblTmp"), "mnuTmp"},
      {"fill of V5, clear of its captions", At(11310, 3760), "mnuV5"},
      // The hit rule's edge: on shpV1's left edge nothing, a pixel in V1.
      {"left edge of V1", At(3600, 4110), ""},
      {"just inside V1", At(3615, 4110), "mnuV1"},
      {"a gauge caption", CentreOf("lblG6Value"), ""},
      {"the empty background", At(7000, 7000), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    menuAt = {};
    EXPECT_EQ(Hold(c.point), c.menu);
    if (*c.menu) {  // at the finger, moved left only as far as the screen needs
      const QPoint finger = window->mapToGlobal(c.point);
      const int screenRight = window->screen()->geometry().right();
      EXPECT_EQ(menuAt.top(), finger.y());
      EXPECT_EQ(menuAt.left(), std::min(finger.x(), screenRight + 1 - menuAt.width()));
    }
  }
  EXPECT_EQ(CommandsReceived(100ms), "") << "dismissing the menu sends nothing";
}

TEST_F(TouchPressTest, AnItemIsChosenWithATapAndItsCommandGoesOut) {
  Connect();
  EXPECT_EQ(Hold(CentreOf("lblV5"), "Open"), "mnuV5");
  EXPECT_EQ(CommandsReceived(300ms), "020_05086\r");
  EXPECT_EQ(Hold(At(6700, 5600), "Switch off"), "mnuTmp");
  EXPECT_EQ(CommandsReceived(300ms), "041_3039\r");
}

TEST_F(TouchPressTest, AShortTapOrAMovingFingerOpensNothing) {
  Connect();
  const QPoint valve = CentreOf("lblV5state");
  EXPECT_EQ(Hold(valve, {}, 300ms), "") << "lifted before the hold time";
  EXPECT_EQ(Hold(valve, {}, 900ms, QPoint(40, 0)), "") << "moved while held";
  Tap(valve);
  testing::RunEventsFor(TouchPress::kHoldTime + 100ms);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(CommandsReceived(100ms), "");
}

}  // namespace
}  // namespace halvorn::shell
