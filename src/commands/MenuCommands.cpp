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

const SwitchedDevice* DeviceOfItem(const Form1& form, const MenuItem& item) {
  for (const SwitchedDevice& device : kSwitchedDevices) {
    if (&(form.*device.on) == &item || &(form.*device.off) == &item) return &device;
  }
  return nullptr;
}

void MenuItem_Click(FrontPanel& panel, const MenuItem& item) {
  if (const SwitchedDevice* device = DeviceOfItem(panel.form, item)) {
    SwitchingOf(device->kind, &(panel.form.*device->on) == &item)(panel, device->number);
  }
}

}  // namespace halvorn
