// The controller's one-byte status codes and the colours of the plant
// picture.
//
// Each device of a valve, gauge, flow or pump answer carries one byte: a state
// code of its own group, or a status code reported by the controller (a fault
// on one of its field buses, or "ok").
#pragma once

#include <cstdint>
#include <string>

#include "panel/Colour.h"

namespace halvorn {

// The text the controller's status `code` stands for, or "Unknown error code"
// for any value it does not define.
[[nodiscard]] std::string StatusCodeText(std::int16_t code);

// The status byte that marks a valid gauge or flow reading.
constexpr std::int16_t kStatusOk = 140;

// What each colour of a device shape says.
namespace indicator_colour {
constexpr Colour Fault = colours::Red;  // anything but the group's own codes
constexpr Colour ValveOpen = colours::Green;
constexpr Colour ValveClosed = colours::Yellow;
constexpr Colour PumpStarted = colours::Green;
constexpr Colour PumpStopped = colours::Yellow;
constexpr Colour PumpAccelerating = colours::Cyan;
constexpr Colour PumpStopping = colours::Magenta;
constexpr Colour GaugeValid = colours::White;
constexpr Colour FlowValid = colours::LightYellow;
// No recent answer for the device's group: the text beside it is stale.
constexpr Colour NoData = colours::SystemGrayText;
}  // namespace indicator_colour

// The code of one received byte, 0 to 255, whatever the platform's char.
constexpr std::int16_t ByteCode(char c) {
  return static_cast<std::int16_t>(static_cast<unsigned char>(c));
}

}  // namespace halvorn
