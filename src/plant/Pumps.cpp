#include "plant/Pumps.h"

#include <array>

#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

struct PumpIndicators {
  Shape Form1::*shape;
  Label Form1::*state;
};

// By device number - 1, the numbering of the pump commands; the answer
// carries the state of pump n at position 5 + n.
constexpr std::array<PumpIndicators, 3> kPumps = {{
    {&Form1::shpRotary1, &Form1::lblRotary1Status},
    {&Form1::shpRotary2, &Form1::lblRotary2Status},
    {&Form1::shpTMP, &Form1::lblTMPstatus},
}};

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
  for (std::int16_t number = 1; number <= 3; ++number) {
    ShowPumpState(form, number, message.substr(static_cast<std::size_t>(4 + number), 1));
  }
}

void ShowPumpState(Form1& form, std::int16_t number, std::string_view field) {
  if (field.size() != 1) return;
  if (number < 1 || number > static_cast<std::int16_t>(kPumps.size())) return;
  const PumpIndicators& pump = kPumps[static_cast<std::size_t>(number - 1)];
  const std::int16_t code = ByteCode(field[0]);
  if (code >= kPumpStopped && code <= kPumpStarted) {
    const PumpState& state = kPumpStates[static_cast<std::size_t>(code - kPumpStopped)];
    (form.*pump.shape).fillColor = state.colour;
    (form.*pump.state).caption = state.caption;
  } else {
    // "ok" (140) is not a pump state: it shows red like any fault.
    (form.*pump.shape).fillColor = indicator_colour::Fault;
    (form.*pump.state).caption = StatusCodeText(code);
  }
}

void ResetPumpDisplay(Form1& form) {
  for (const PumpIndicators& pump : kPumps) (form.*pump.shape).fillColor = indicator_colour::NoData;
}

}  // namespace halvorn
