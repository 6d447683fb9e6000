// Running the Qt event loop in tests: for a while, or until something holds,
// never spinning; and the process's CPU time, to show that nothing spins.
#pragma once

#include <QEventLoop>
#include <QTimer>

#include <time.h>

#include <chrono>
#include <functional>

namespace halvorn::testing {

using namespace std::chrono_literals;

inline std::chrono::nanoseconds ProcessCpuTime() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Runs the event loop until `done` holds or `limit` passed; looks every
// 5 ms, sleeping in the loop in between.
inline bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  if (done()) return true;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  // `done` may consume what it looks at (lines read from a process), so a
  // condition once met is remembered, not asked again.
  bool met = false;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, &loop, [&] {
    if (!met && done()) {
      met = true;
      loop.quit();
    }
  });
  deadline.start(limit);
  look.start(5ms);
  loop.exec();
  return met || done();
}

// Runs the event loop for `period` with nothing else to do.
inline void RunEventsFor(std::chrono::milliseconds period) {
  QEventLoop loop;
  QTimer::singleShot(period, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace halvorn::testing
