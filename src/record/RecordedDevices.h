// The devices whose display the record follows, and how their typed
// readings are stored.
//
// They are the core's devices (panel/Devices.h) under the core's names,
// which are the record's device names: 'V1'..'V14', 'CV1', 'CV2',
// 'MECH1'..'MECH3', 'TMP', 'ROTARY1', 'ROTARY2', 'G1'..'G8', 'MFC1'..'MFC4',
// 'ELECTRODE', 'COOLING'. The needle valve, which the picture always shows
// the same, is left out; the uptime box is no device and is kept as
// 'UPTIME'.
#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "panel/Devices.h"
#include "panel/Reading.h"
#include "record/Schema.h"

namespace halvorn::record {

inline constexpr auto kRecordedDevices = [] {
  constexpr auto followed = [](const Device& device) { return !device.fixed; };
  std::array<Device, std::ranges::count_if(kDevices, followed)> kept{};
  std::ranges::copy_if(kDevices, kept.begin(), followed);
  return kept;
}();

// Not a device: the uptime box, recorded at most once a minute.
constexpr std::string_view kUptimeDevice = "UPTIME";

// What device_state.quality says of a device's typed reading.
// The numbers are the same on both sides; the record's names are its own.
constexpr Quality StoredQuality(halvorn::Quality quality) { return static_cast<Quality>(quality); }
static_assert(StoredQuality(halvorn::Quality::Valid) == Quality::Valid &&
              StoredQuality(halvorn::Quality::BelowRange) == Quality::BelowRange &&
              StoredQuality(halvorn::Quality::OverRange) == Quality::OverRange &&
              StoredQuality(halvorn::Quality::Fault) == Quality::Fault &&
              StoredQuality(halvorn::Quality::NoData) == Quality::NoData &&
              StoredQuality(halvorn::Quality::State) == Quality::NotANumber);

}  // namespace halvorn::record
