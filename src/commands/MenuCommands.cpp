#include "commands/MenuCommands.h"

#include "commands/Switching.h"

namespace halvorn {

SwitchingProcedure SwitchingOf(DeviceKind kind, bool on) {
  switch (kind) {
    case DeviceKind::Valve:
      return on ? &OpenValve : &CloseValve;
    case DeviceKind::Pump:
      return on ? &SwitchPumpOn : &SwitchPumpOff;
    case DeviceKind::Gauge:
    case DeviceKind::Flow:
    case DeviceKind::Electrode:
      break;
  }
  return nullptr;
}

void MenuItem_Click(FrontPanel& panel, const MenuItem& item) {
  for (const SwitchedDevice& device : kSwitchedDevices) {
    const bool on = &(panel.form.*device.on) == &item;
    if (on || &(panel.form.*device.off) == &item) {
      SwitchingOf(device.kind, on)(panel, device.number);
      return;
    }
  }
}

}  // namespace halvorn
