#include "panel/Devices.h"

#include <array>
#include <cassert>

namespace halvorn {

std::string_view KindName(DeviceKind kind) {
  // In DeviceKind's order.
  constexpr std::array<std::string_view, 5> kNames = {"valve", "pump", "gauge", "flow", "electrode"};
  static_assert(static_cast<std::size_t>(DeviceKind::Electrode) + 1 == kNames.size());
  const auto index = static_cast<std::size_t>(kind);
  assert(index < kNames.size());
  return kNames[index];
}

}  // namespace halvorn
