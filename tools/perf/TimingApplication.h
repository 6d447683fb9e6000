// The QApplication of halvorn-perf: the same as the panel's, except that
// after every event it has delivered it calls a hook, so a measurement can
// take the moment an event's handling ended.
#pragma once

#include <QApplication>

#include <functional>

namespace halvorn::perf {

class TimingApplication : public QApplication {
 public:
  TimingApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  bool notify(QObject* receiver, QEvent* event) override {
    const bool handled = QApplication::notify(receiver, event);
    if (m_afterEvent) m_afterEvent(receiver, event);
    return handled;
  }

  void SetAfterEvent(std::function<void(QObject*, QEvent*)> hook) { m_afterEvent = std::move(hook); }

 private:
  std::function<void(QObject*, QEvent*)> m_afterEvent;
};

}  // namespace halvorn::perf
