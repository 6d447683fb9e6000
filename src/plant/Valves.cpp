#include "plant/Valves.h"

#include "panel/Devices.h"
#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

void Show(Form1& form, const SwitchedDevice& valve, std::int16_t code) {
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

}  // namespace

void DecodeValveMessage(Form1& form, std::string_view message) {
  if (message.size() != kValveAnswerLength) return;
  for (const SwitchedDevice& valve : kValves) Show(form, valve, ByteCode(message[valve.position]));
}

void ShowValveState(Form1& form, std::int16_t number, std::int16_t code) {
  if (const SwitchedDevice* valve = DeviceByNumber(kValves, number)) Show(form, *valve, code);
}

void ResetValveDisplay(Form1& form) {
  for (const SwitchedDevice& valve : kValves)
    (form.*valve.shape).fillColor = indicator_colour::NoData;
  for (const UnswitchedValve& valve : kUnswitchedValves) {
    if (valve.greyedWithValves) (form.*valve.shape).fillColor = indicator_colour::NoData;
  }
}

}  // namespace halvorn
