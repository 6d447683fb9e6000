// The two rotary pumps and the turbomolecular pump, from the pump answer
// (type 62), and the greying of the pump shapes when that answer stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "panel/Form1.h"

namespace halvorn {

// Length of a pump answer: type, two unread bytes, three state bytes and the
// checksum field.
constexpr std::size_t kPumpAnswerLength = 11;

// Pump state bytes ("+", ",", "-", "."), the same for all three pumps.
constexpr std::int16_t kPumpStopped = 43;
constexpr std::int16_t kPumpAccelerating = 44;
constexpr std::int16_t kPumpStopping = 45;
constexpr std::int16_t kPumpStarted = 46;

// Shows every pump of a pump answer; an answer of any other length than
// kPumpAnswerLength changes nothing.
void DecodePumpMessage(Form1& form, std::string_view message);

// Shows pump `number` (1 rotary pump 1, 2 rotary pump 2, 3 the TMP) from its
// one-byte `field`: its state, or the status text on a red shape. Other
// numbers or field lengths change nothing.
void ShowPumpState(Form1& form, std::int16_t number, std::string_view field);

// Greys the three pump shapes; the state captions stay as they are.
void ResetPumpDisplay(Form1& form);

}  // namespace halvorn
