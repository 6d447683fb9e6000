#include "plant/Watchdog.h"

#include "plant/Flows.h"
#include "plant/Gauges.h"
#include "plant/Pumps.h"
#include "plant/Valves.h"

namespace halvorn {

void Timer5_Timer(Form1& form, WatchdogFlags& flags) {
  if (flags.FlowsUpdated == 0) ResetFlowDisplay(form);
  if (flags.GaugesUpdated == 0) ResetGaugeDisplay(form);
  if (flags.PumpsUpdated == 0) ResetPumpDisplay(form);
  if (flags.ValvesUpdated == 0) ResetValveDisplay(form);
  flags = WatchdogFlags{};
}

}  // namespace halvorn
