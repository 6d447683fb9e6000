#include "TouchPress.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTouchEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace halvorn::shell {

TouchPress::TouchPress(QWidget* window, std::function<bool(QWidget*)> takes)
    : QObject(window), m_window(window), m_takes(std::move(takes)) {
  m_hold.setSingleShot(true);
  m_hold.setInterval(kHoldTime);
  connect(&m_hold, &QTimer::timeout, this, &TouchPress::held);
  // Touches on the window's children that do not take touches themselves
  // come up to the window, in its coordinates.
  m_window->setAttribute(Qt::WA_AcceptTouchEvents);
  m_window->installEventFilter(this);
}

bool TouchPress::eventFilter(QObject* watched, QEvent* event) {
  if (m_lifting && watched == m_window->windowHandle()) return swallowLift(event);
  if (watched != m_window) return false;
  switch (event->type()) {
    case QEvent::TouchBegin: {
      forget();
      auto* touch = static_cast<QTouchEvent*>(event);
      if (touch->points().size() != 1) return false;
      const QEventPoint& point = touch->points().front();
      QWidget* under = m_window->childAt(point.position().toPoint());
      if (!under) under = m_window;
      if (!m_takes(under)) {
        // Not ours: unaccepted, it reaches the widget as a mouse click.
        event->ignore();
        return true;
      }
      m_finger = point.id();
      m_start = point.position();
      m_target = under;
      m_hold.start();
      event->accept();
      return true;
    }
    case QEvent::TouchUpdate: {
      if (!m_finger) return false;
      auto* touch = static_cast<QTouchEvent*>(event);
      // A second finger, or a finger that moves (scrolls, drags), is not a
      // held press.
      const int slack = QGuiApplication::styleHints()->startDragDistance();
      if (touch->points().size() != 1 || touch->points().front().id() != *m_finger ||
          (touch->points().front().position() - m_start).manhattanLength() > slack) {
        forget();
      }
      event->accept();
      return true;
    }
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
      if (!m_finger) return false;
      forget();
      event->accept();
      return true;
    default:
      return false;
  }
}

void TouchPress::held() {
  QPointer<QWidget> target = std::exchange(m_target, nullptr);
  const QPointF start = m_start;
  if (!target) {
    m_finger.reset();
    return;
  }
  const QPointF local = target->mapFrom(m_window, start);
  const QPointF global = m_window->mapToGlobal(start);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  // The finger is still down on the window. Lifted while the menu is open,
  // Qt would make a mouse release of it on the menu and choose the item
  // under it: the lift is no choice, so the window takes it first.
  m_lifting = m_finger;
  if (QWindow* handle = m_window->windowHandle()) handle->installEventFilter(this);
  m_finger.reset();
  m_heldAt = global.toPoint();
  // A menu the press opens pops up at the finger.
  QCoreApplication::sendEvent(target, &press);
  m_heldAt.reset();
}

bool TouchPress::swallowLift(QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::TouchBegin) {  // a new touch: the lift went elsewhere
    m_lifting.reset();
    return false;
  }
  if (type != QEvent::TouchUpdate && type != QEvent::TouchEnd && type != QEvent::TouchCancel) return false;
  const auto* touch = static_cast<QTouchEvent*>(event);
  bool lifted = type == QEvent::TouchCancel;
  for (const QEventPoint& point : touch->points()) {
    if (point.id() != *m_lifting) return false;  // another finger: a tap of its own
    lifted = lifted || point.state() == QEventPoint::State::Released;
  }
  if (lifted) m_lifting.reset();
  event->accept();
  return true;
}

void TouchPress::forget() {
  m_hold.stop();
  m_finger.reset();
  m_target = nullptr;
}

}  // namespace halvorn::shell
