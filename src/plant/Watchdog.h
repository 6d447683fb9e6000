// The stale-data watchdog: one flag per device group, set when an answer of
// the group arrives and tested and cleared every three seconds by Timer5.
#pragma once

#include <cstdint>

namespace halvorn {

struct WatchdogFlags {
  std::int16_t GaugesUpdated = 0;
  std::int16_t ValvesUpdated = 0;
  std::int16_t PumpsUpdated = 0;
  std::int16_t FlowsUpdated = 0;  // also set by the electrode answers
};

}  // namespace halvorn
