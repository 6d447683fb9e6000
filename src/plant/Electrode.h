// The electrode's position (answer type 81) and its cooling (answer type
// 121): one caption each, no shape and no greying. Their answers count as
// flow answers for the watchdog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "panel/Form1.h"

namespace halvorn {

// Length of both electrode answers: type, one unread byte, the state byte
// and the checksum field.
constexpr std::size_t kElectrodeAnswerLength = 8;

// Position state bytes ("R", "S", "T").
constexpr std::int16_t kElectrodeIn = 82;
constexpr std::int16_t kElectrodeOut = 83;
constexpr std::int16_t kElectrodeMiddle = 84;
// Cooling state bytes ("z", "{").
constexpr std::int16_t kCoolingRunning = 122;
constexpr std::int16_t kCoolingStopped = 123;

// Shows "in", "out", "middle" or "error" in lblElectrodePosition; an answer
// of any other length than kElectrodeAnswerLength changes nothing.
void DecodeElectrodePositionMessage(Form1& form, std::string_view message);

// Shows "running", "stopped" or "error" in lblElectrodeCooling; an answer of
// any other length than kElectrodeAnswerLength changes nothing.
void DecodeElectrodeCoolingMessage(Form1& form, std::string_view message);

}  // namespace halvorn
