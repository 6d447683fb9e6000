// The eight pressure gauges G1 to G8, from the gauge answer (type 60), and the
// greying of the gauge shapes when that answer stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "panel/Form1.h"

namespace halvorn {

// Length of a gauge answer: type, two unread bytes, eight seven-byte fields
// and the checksum field.
constexpr std::size_t kGaugeAnswerLength = 64;
// A gauge field: status byte, four mantissa digits, two exponent digits.
constexpr std::size_t kGaugeFieldLength = 7;

// Shows every gauge of a gauge answer; an answer of any other length than
// kGaugeAnswerLength changes nothing.
void DecodeGaugeMessage(Form1& form, std::string_view message);

// Shows gauge `number` (1 to 8) from its seven-byte `field`: the pressure in
// mBar, a white shape and "ok" for a valid reading; "---", a red shape and
// the status text for a fault. Other numbers or field lengths change nothing.
void ShowGaugeReading(Form1& form, std::int16_t number, std::string_view field);

// Greys the eight gauge shapes; the readings and states stay written.
void ResetGaugeDisplay(Form1& form);

}  // namespace halvorn
