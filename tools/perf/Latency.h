// How long an answer takes from the line to the operator's eyes, measured
// in this process: a window of the panel (offscreen) on a pseudo-terminal
// whose controller end a second thread plays. That thread writes uptime
// answers, each with a new value, at random moments while the window's
// thread sleeps in its event loop, and notes the moment each write()
// returned. The window's thread notes
//   - to the model: the moment the event that carried the answer in (the
//     port's socket notification) has been handled, when the core's model
//     holds the new uptime; the application's notify() is wrapped for
//     this, so nothing is polled and no timer rounds the figure up;
//   - to the paint: the moment the uptime box is next painted with it (the
//     window follows the model at most once per few milliseconds).
#pragma once

#include <string>
#include <vector>

namespace halvorn::perf {

struct LatencySamples {
  int sent = 0;
  std::vector<double> toModelMs;  // one per answer seen on its own
  std::vector<double> toPaintMs;  // one per answer painted on its own
};

// Needs the TimingApplication below as the running application. With a
// `recordPath` the window records the run into that file.
LatencySamples MeasureLatency(int answers, const std::string& recordPath = {});

}  // namespace halvorn::perf
