#include "plant/Valves.h"

#include <array>

#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

struct ValveIndicators {
  Shape Form1::*shape;
  Label Form1::*state;
};

// By device number - 1; the answer carries the state of valve n at position
// 5 + n.
constexpr std::array<ValveIndicators, 16> kValves = {{
    {&Form1::shpV1, &Form1::lblV1state},
    {&Form1::shpV2, &Form1::lblV2state},
    {&Form1::shpV3, &Form1::lblV3state},
    {&Form1::shpV4, &Form1::lblV4state},
    {&Form1::shpV5, &Form1::lblV5state},
    {&Form1::shpV6, &Form1::lblV6state},
    {&Form1::shpV7, &Form1::lblV7state},
    {&Form1::shpV8, &Form1::lblV8state},
    {&Form1::shpV9, &Form1::lblV9state},
    {&Form1::shpV10, &Form1::lblV10state},
    {&Form1::shpV11, &Form1::lblV11state},
    {&Form1::shpV12, &Form1::lblV12state},
    {&Form1::shpV13, &Form1::lblV13state},
    {&Form1::shpV14, &Form1::lblV14state},
    {&Form1::shpCV1, &Form1::lblCV1State},
    {&Form1::shpCV2, &Form1::lblCV2state},
}};

// The mechanical valves have no state byte; they are only ever greyed.
constexpr std::array<Shape Form1::*, 3> kMechanicalValves = {&Form1::shpVmech1, &Form1::shpVmech2,
                                                             &Form1::shpVmech3};

}  // namespace

void DecodeValveMessage(Form1& form, std::string_view message) {
  if (message.size() != kValveAnswerLength) return;
  for (std::int16_t number = 1; number <= 16; ++number) {
    ShowValveState(form, number, ByteCode(message[static_cast<std::size_t>(4 + number)]));
  }
}

void ShowValveState(Form1& form, std::int16_t number, std::int16_t code) {
  if (number < 1 || number > static_cast<std::int16_t>(kValves.size())) return;
  const ValveIndicators& valve = kValves[static_cast<std::size_t>(number - 1)];
  Label& state = form.*valve.state;
  Shape& shape = form.*valve.shape;
  if (code == kValveClosed) {
    state.caption = "closed";
    shape.fillColor = indicator_colour::ValveClosed;
  } else if (code == kValveOpen) {
    state.caption = "open";
    shape.fillColor = indicator_colour::ValveOpen;
  } else {
    // "ok" (140) is not a valve state either: it shows red like any fault.
    state.caption = StatusCodeText(code);
    shape.fillColor = indicator_colour::Fault;
  }
}

void ResetValveDisplay(Form1& form) {
  for (const ValveIndicators& valve : kValves)
    (form.*valve.shape).fillColor = indicator_colour::NoData;
  for (Shape Form1::*shape : kMechanicalValves) (form.*shape).fillColor = indicator_colour::NoData;
}

}  // namespace halvorn
