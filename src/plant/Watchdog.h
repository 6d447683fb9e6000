// The stale-data watchdog: one flag per device group, set when an answer of
// the group arrives and tested and cleared every three seconds by Timer5.
// A group that has not answered since the previous tick has its shapes
// greyed; its captions keep the last state received.
#pragma once

#include <cstdint>

#include "panel/Form1.h"

namespace halvorn {

struct WatchdogFlags {
  std::int16_t GaugesUpdated = 0;
  std::int16_t ValvesUpdated = 0;
  std::int16_t PumpsUpdated = 0;
  std::int16_t FlowsUpdated = 0;  // also set by the electrode answers
};

// The tick of Timer5: greys flows, gauges, pumps and valves, in this order,
// for each group whose flag is 0, then clears all four flags. It does not
// look at the connection: with the port closed every tick greys every group.
void Timer5_Timer(Form1& form, WatchdogFlags& flags);

}  // namespace halvorn
