// The touch screen's right-click. A panel PC at the plant often has a touch
// screen and no right button; a finger held still on the picture for
// kHoldTime becomes a right-button press at that point, sent to the widget
// under the finger, so the core's mouse-down entries (the device hit rule,
// the device captions) decide what opens, as for a mouse. The menu's items are
// then chosen with a tap, which Qt turns into a left click.
//
// Only touches on the picture (the window itself and its captions, where a
// left click does nothing) are taken; a touch on a button, list or entry
// box goes on to that widget as a click, as before.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;

namespace halvorn::shell {

class TouchPress : public QObject {
 public:
  static constexpr std::chrono::milliseconds kHoldTime{600};

  // Watches the touches on `window`; `takes` says whether a touch that
  // lands on a widget (the window itself when no child is under the
  // finger) may be held.
  TouchPress(QWidget* window, std::function<bool(QWidget*)> takes);

  // While a held press is handled: the finger's point on the screen, where
  // a menu it opens belongs (the mouse pointer may be elsewhere, or nowhere).
  std::optional<QPoint> heldAt() const { return m_heldAt; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void held();
  void forget();
  // Takes the rest of the held finger's touch on the window, up to its lift.
  bool swallowLift(QEvent* event);

  QWidget* m_window;
  std::function<bool(QWidget*)> m_takes;
  QTimer m_hold;
  // The finger being watched, and where it came down (window coordinates).
  std::optional<int> m_finger;
  QPointF m_start;
  QPointer<QWidget> m_target;
  std::optional<QPoint> m_heldAt;
  // The finger that opened a menu, until it is lifted.
  std::optional<int> m_lifting;
};

}  // namespace halvorn::shell
