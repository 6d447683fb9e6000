// The four mass-flow controllers MFC1 to MFC4, from the flow answer (type
// 63), and the greying of their shapes when that answer stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "panel/Form1.h"

namespace halvorn {

// Length of a flow answer: type, two unread bytes, four five-byte fields and
// the checksum field.
constexpr std::size_t kFlowAnswerLength = 28;
// A flow field: status byte and four characters of reading in percent.
constexpr std::size_t kFlowFieldLength = 5;

// Shows every controller of a flow answer; an answer of any other length
// than kFlowAnswerLength changes nothing.
void DecodeFlowMessage(Form1& form, std::string_view message);

// Shows controller `number` (1 to 4) from its five-byte `field`: the reading
// as the controller formatted it, with "%", on a light yellow shape, or the
// status text on a red one. Other numbers or field lengths change nothing.
void ShowFlowReading(Form1& form, std::int16_t number, std::string_view field);

// Greys the four flow shapes; the readings stay written.
void ResetFlowDisplay(Form1& form);

}  // namespace halvorn
