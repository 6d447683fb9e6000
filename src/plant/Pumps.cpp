#include "plant/Pumps.h"

#include <array>

#include "panel/Devices.h"
#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

struct PumpState {
  const char* caption;
  Colour colour;
};

// By state byte - kPumpStopped.
constexpr std::array<PumpState, 4> kPumpStates = {{
    {"stopped", indicator_colour::PumpStopped},
    {"accelerating", indicator_colour::PumpAccelerating},
    {"stopping", indicator_colour::PumpStopping},
    {"started", indicator_colour::PumpStarted},
}};

}  // namespace

void DecodePumpMessage(Form1& form, std::string_view message) {
  if (message.size() != kPumpAnswerLength) return;
  for (const SwitchedDevice& pump : kPumps)
    ShowPumpState(form, pump.number, message.substr(pump.position, 1));
}

void ShowPumpState(Form1& form, std::int16_t number, std::string_view field) {
  if (field.size() != 1) return;
  const SwitchedDevice* pump = DeviceByNumber(kPumps, number);
  if (!pump) return;
  const std::int16_t code = ByteCode(field[0]);
  Reading& reading = ReadingOf<DeviceKind::Pump>(form, number);
  reading = {Quality::State, std::nullopt};
  if (code >= kPumpStopped && code <= kPumpStarted) {
    const PumpState& state = kPumpStates[static_cast<std::size_t>(code - kPumpStopped)];
    (form.*pump->shape).fillColor = state.colour;
    (form.*pump->state).caption = state.caption;
  } else {
    // "ok" (140) is not a pump state: it shows red like any fault.
    (form.*pump->shape).fillColor = indicator_colour::Fault;
    (form.*pump->state).caption = StatusCodeText(code);
    reading.quality = Quality::Fault;
  }
}

void ResetPumpDisplay(Form1& form) {
  for (const SwitchedDevice& pump : kPumps) {
    (form.*pump.shape).fillColor = indicator_colour::NoData;
    ReadingOf<DeviceKind::Pump>(form, pump.number) = {Quality::NoData, std::nullopt};
  }
}

}  // namespace halvorn
