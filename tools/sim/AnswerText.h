// How the controller writes its answers: the texts of the seven poll
// answers and of a warning, before the frame adds the checksum digits and
// the carriage return. Pure functions of the values to report.
#pragma once

#include <array>
#include <string>

#include "Devices.h"

namespace halvorn::sim {

// Status byte of a valid gauge or flow reading.
constexpr unsigned char kReadingValid = 140;

// State bytes of the plant answers.
constexpr unsigned char kValveClosed = 23;
constexpr unsigned char kValveOpen = 24;
constexpr unsigned char kPumpStopped = 43;
constexpr unsigned char kPumpAccelerating = 44;
constexpr unsigned char kPumpStopping = 45;
constexpr unsigned char kPumpStarted = 46;
constexpr unsigned char kElectrodeIn = 82;      // "R"
constexpr unsigned char kElectrodeOut = 83;     // "S"
constexpr unsigned char kElectrodeMiddle = 84;  // "T"
constexpr unsigned char kCoolingRunning = 122;  // "z"
constexpr unsigned char kCoolingStopped = 123;  // "{"

// The bytes between the answer type and the fields, which the panel does
// not read: printable, and never a carriage return.
constexpr char kUnreadByte = '_';

// What a gauge can read. The piezo gauges ("cpt", G1 to G5) read from 1 mBar
// up; the full-range gauges ("ppt", G6 to G8) from 1e-4 mBar up. Below its
// range a gauge reports six zeros, above it six nines.
enum class GaugeKind { Piezo, FullRange };
GaugeKind KindOfGauge(int number);  // 1 to 8

// The six digits of a gauge reading: four mantissa digits (one before the
// point, three after) and the power of ten plus 20 as two digits, e.g.
// 1.234e-5 mBar as "123415"; "000000" below the gauge's range, "999999"
// above it.
std::string GaugeDigits(double pressureMbar, GaugeKind kind);

// A flow reading in percent as the controller writes it, always four
// characters: " 0.0", " 7.5", "12.5", "100." (clamped to 0..100).
std::string FlowPercentText(double percent);

// Answer texts, type first. Each status array holds the bytes to send as
// they are; `digits` and `percents` are the readings' texts from above.
std::string ValveAnswerText(const std::array<unsigned char, kValveCount>& states);
std::string PumpAnswerText(const std::array<unsigned char, kPumpCount>& states);
std::string GaugeAnswerText(const std::array<unsigned char, kGaugeCount>& statuses,
                            const std::array<std::string, kGaugeCount>& digits);
std::string FlowAnswerText(const std::array<unsigned char, kFlowCount>& statuses,
                           const std::array<std::string, kFlowCount>& percents);
// Seconds since start, as ten digits with leading zeros (at most 9999999999).
std::string UptimeAnswerText(long long seconds);
std::string ElectrodeAnswerText(unsigned char state);
std::string CoolingAnswerText(unsigned char state);
// A controller warning: 100, 105 or 106 (any three-digit type is written).
std::string WarningText(int type);

}  // namespace halvorn::sim
