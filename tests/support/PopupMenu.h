// The pop-up menu a right-click or a held finger opens, as a test meets it:
// watched for while the event loop runs, handed once to the test, its name
// kept.
#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>

namespace halvorn::testing {

class PopupWatcher {
 public:
  // `handle` gets the menu once, as soon as it is up.
  explicit PopupWatcher(std::function<void(QMenu&)> handle) : m_handle(std::move(handle)) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      m_timer.stop();
      m_opened = menu->objectName();
      m_handle(*menu);
    });
    m_timer.start(5);
  }
  // The menu's name; empty while none opened.
  const QString& opened() const { return m_opened; }

 private:
  std::function<void(QMenu&)> m_handle;
  QTimer m_timer;
  QString m_opened;
};

// The item `caption` of `menu`, if it has one.
inline QAction* ItemOf(const QMenu& menu, const QString& caption) {
  for (QAction* action : menu.actions())
    if (action->text() == caption) return action;
  return nullptr;
}

// Picks `caption` with the keyboard; without such an item, dismisses the menu.
inline void ChooseByKeyboard(QMenu& menu, const QString& caption) {
  if (QAction* chosen = ItemOf(menu, caption)) {
    menu.setActiveAction(chosen);
    QTest::keyClick(&menu, Qt::Key_Return);
  } else {
    QTest::keyClick(&menu, Qt::Key_Escape);
  }
}

}  // namespace halvorn::testing
