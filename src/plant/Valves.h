// The sixteen controlled valves V1 to V14, CV1 and CV2, from the valve answer
// (type 61), and the greying of the valve shapes when that answer stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "panel/Form1.h"

namespace halvorn {

// Length of a valve answer: type, two unread bytes, sixteen state bytes and
// the checksum field.
constexpr std::size_t kValveAnswerLength = 24;

// Valve state bytes of the valve answer.
constexpr std::int16_t kValveClosed = 23;
constexpr std::int16_t kValveOpen = 24;

// Shows every valve of a valve answer; an answer of any other length than
// kValveAnswerLength changes nothing.
void DecodeValveMessage(Form1& form, std::string_view message);

// Shows valve `number` (1 to 14 for V1 to V14, 15 for CV1, 16 for CV2) as
// open, closed or faulty by its state byte `code`. Other numbers change
// nothing.
void ShowValveState(Form1& form, std::int16_t number, std::int16_t code);

// Greys the shapes of the sixteen valves and of the three mechanical valves,
// which no answer reports; captions stay as they are, so each valve keeps its
// last known state on a grey shape.
void ResetValveDisplay(Form1& form);

}  // namespace halvorn
