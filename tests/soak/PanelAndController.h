// The panel's window (offscreen, in this process) and the controller
// simulator (a child process on a pseudo-terminal) joined as on the plant:
// the window's Com1 opens the simulator's line through a symbolic link, so
// the link still leads to the line after the simulator opens a new one.
// Every wait runs the window's event loop and is bounded.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "MainWindow.h"
#include "support/EventLoop.h"
#include "support/Simulator.h"

namespace halvorn::soak {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The simulator on a line of its own, reached through link().
using Controller = testing::Simulator;
using testing::SentFrames;

// The window with Com1 on `device`, shown and painted once.
//
// The test's pages are then locked in memory: this machine pages out code
// that has not run for a while (proactive reclaim), and paging it back in
// takes tens of milliseconds, which would be charged to the panel's timers.
// Memory mapped later is not locked, so growth still shows.
inline std::unique_ptr<shell::MainWindow> PanelOn(const std::string& device) {
  shell::PortMap ports;
  ports.SetDevice(1, device);
  auto window = std::make_unique<shell::MainWindow>(ports);
  window->show();
  testing::RunEventsFor(50ms);
  ::mlockall(MCL_CURRENT);  // best effort: without the privilege, timings may stray
  return window;
}

// What a caption of the window shows the operator.
inline std::string Shown(const shell::MainWindow& window, const char* name) {
  if (auto* label = qobject_cast<QLabel*>(window.view(QString::fromLatin1(name)))) return label->text().toStdString();
  return std::string("(no label ") + name + ")";
}

inline void Click(const shell::MainWindow& window, const char* name) {
  if (auto* button = qobject_cast<QAbstractButton*>(window.view(QString::fromLatin1(name)))) button->click();
}

// Chooses a baud rate as the operator does, from the drop-down list.
inline bool ChooseBaud(const shell::MainWindow& window, const QString& baud) {
  auto* combo = qobject_cast<QComboBox*>(window.view(QStringLiteral("Combo1")));
  if (!combo) return false;
  const int index = combo->findText(baud);
  if (index < 0) return false;
  combo->setCurrentIndex(index);
  emit combo->activated(index);
  return true;
}

// The counts the panel shows, as the operator reads them: a count is
// written the signed way, with a blank where a minus sign would stand.
inline std::string CorrectCaption(std::int64_t count) {
  return " " + std::to_string(count) + " correct message(s) received from pic";
}
inline std::string CrcCaption(std::int64_t count) {
  return " " + std::to_string(count) + " received message(s) with crc error";
}

// The moments at which the window's poll timer fired.
class TickRecorder {
 public:
  explicit TickRecorder(const shell::MainWindow& window) {
    m_timer = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    if (m_timer) {
      m_ticks.reserve(1 << 16);
      m_connection = QObject::connect(m_timer, &QTimer::timeout, [this] { m_ticks.push_back(Clock::now()); });
    }
  }
  ~TickRecorder() { QObject::disconnect(m_connection); }
  TickRecorder(const TickRecorder&) = delete;
  TickRecorder& operator=(const TickRecorder&) = delete;

  bool found() const { return m_timer != nullptr; }
  const std::vector<Clock::time_point>& ticks() const { return m_ticks; }
  void Clear() { m_ticks.clear(); }

  // The intervals, in milliseconds, between ticks.
  std::vector<double> IntervalsMs() const {
    std::vector<double> intervals;
    for (std::size_t i = 1; i < m_ticks.size(); ++i) {
      intervals.push_back(std::chrono::duration<double, std::milli>(m_ticks[i] - m_ticks[i - 1]).count());
    }
    return intervals;
  }

 private:
  QTimer* m_timer = nullptr;
  QMetaObject::Connection m_connection;
  std::vector<Clock::time_point> m_ticks;
};

// Seconds for a soak from the environment (HALVORN_SOAK_SECONDS), or the
// short default that CI runs.
inline int SoakSeconds(int fallback) {
  const char* text = std::getenv("HALVORN_SOAK_SECONDS");
  if (!text) return fallback;
  const int seconds = std::atoi(text);
  return seconds > 0 ? seconds : fallback;
}

}  // namespace halvorn::soak
