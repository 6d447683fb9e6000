#include "panel/Devices.h"

namespace halvorn {

std::string_view KindName(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::Valve:
      return "valve";
    case DeviceKind::Pump:
      return "pump";
    case DeviceKind::Gauge:
      return "gauge";
    case DeviceKind::Flow:
      return "flow";
    case DeviceKind::Electrode:
      return "electrode";
  }
  return "";
}

}  // namespace halvorn
