// The panel's window on a real pseudo-terminal, shown on the test's screen,
// and the operator's hands on it: clicks routed to whatever widget is under
// the pointer, as the window system routes them, right-clicks that record
// and answer the menu they open, answers from the controller on the line and
// the commands that reach it.
#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "MainWindow.h"
#include "PseudoTerminal.h"
#include "QtApplication.h"
#include "Twips.h"
#include "link/Frame.h"
#include "support/EventLoop.h"
#include "support/PollFrames.h"
#include "support/PopupMenu.h"

namespace halvorn::shell {

using namespace std::chrono_literals;

inline QString NameOf(const std::string& name, int element) {
  return element == kNoElement ? QString::fromStdString(name)
                               : QString::fromStdString(name) + QStringLiteral("(%1)").arg(element);
}

class PanelWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.ok());
    PortMap ports;
    ports.SetDevice(1, line.path());
    window = std::make_unique<MainWindow>(ports, nullptr, Alarms());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    dpiX = window->logicalDpiX();
    dpiY = window->logicalDpiY();
  }

  // What the window's alarms are; off unless a test says.
  virtual AlarmOptions Alarms() const { return {}; }

  QRect Pixels(const Rect& r) const {
    return {TwipsToPixels(r.left, dpiX), TwipsToPixels(r.top, dpiY), TwipsToPixels(r.width, dpiX),
            TwipsToPixels(r.height, dpiY)};
  }
  QPoint At(int xTwips, int yTwips) const {
    return {TwipsToPixels(xTwips, dpiX), TwipsToPixels(yTwips, dpiY)};
  }

  QLabel* Caption(const QString& name) const { return qobject_cast<QLabel*>(window->view(name)); }
  // Where a widget lies in the window's own pixels, whatever its container.
  QRect InWindow(const QString& name) const {
    QWidget* view = window->view(name);
    return {view->mapTo(window.get(), QPoint(0, 0)), view->size()};
  }

  void Connect() {
    QTest::mouseClick(window->view("cmdConnect"), Qt::LeftButton);
    ASSERT_TRUE(window->panel().MSComm2.PortOpen());
  }

  // An answer text from the controller, framed, and the window showing it.
  void Answer(const std::string& text, const QString& label, const QString& shows) {
    ASSERT_TRUE(line.Send(BuildFrame(text)));
    WaitForCaption(label, shows);
  }
  void WaitForCaption(const QString& label, const QString& shows) {
    ASSERT_TRUE(testing::RunEventsUntil([&] { return Caption(label)->text() == shows; }, 1s))
        << label.toStdString() << " shows \"" << Caption(label)->text().toStdString()
        << "\", not \"" << shows.toStdString() << "\"";
  }

  // The widget the window system would give a press at `point` of the
  // window: the topmost child there, or the window itself.
  QWidget* Under(QPoint point) const {
    QWidget* target = window->childAt(point);
    return target ? target : window.get();
  }

  void ClickAt(QPoint point, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* target = Under(point);
    QTest::mouseClick(target, button, {}, target->mapFrom(window.get(), point));
  }

  // A right-click where the operator's pointer is. Whatever menu pops up is
  // recorded; `choose` picks an item by its caption, an empty one dismisses
  // the menu.
  QString RightClickAt(QPoint point, const QString& choose = {}) {
    testing::PopupWatcher watcher([&](QMenu& menu) {
      menuCaptions.clear();
      for (QAction* action : menu.actions()) menuCaptions << action->text();
      testing::ChooseByKeyboard(menu, choose);
    });
    ClickAt(point, Qt::RightButton);
    // A menu that never opened must not leave the watcher for the next test.
    testing::RunEventsFor(30ms);
    return watcher.opened();
  }

  // What the controller received apart from the poll requests, which go out
  // every 200 ms while the port is open.
  std::string CommandsReceived(std::chrono::milliseconds limit) {
    return testing::WithoutPolls(line.Receive(4096, limit));
  }

  QImage Picture() const { return window->grab().toImage(); }

  // Keeps the window's picture as `file` in the folder HALVORN_SCREENSHOTS
  // names, for the README; without it, nothing is written.
  void KeepScreenshot(const QString& file) const {
    const char* folder = std::getenv("HALVORN_SCREENSHOTS");
    if (!folder || !*folder) return;
    EXPECT_TRUE(Picture().save(QDir(QString::fromLocal8Bit(folder)).filePath(file)));
  }

  process::PseudoTerminal line;
  std::unique_ptr<MainWindow> window;
  QStringList menuCaptions;
  int dpiX = 96;
  int dpiY = 96;
};

}  // namespace halvorn::shell
