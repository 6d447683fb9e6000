#include "plant/Valves.h"

#include "panel/Devices.h"
#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

void Show(Form1& form, const SwitchedDevice& valve, std::int16_t code) {
  Label& state = form.*valve.state;
  Shape& shape = form.*valve.shape;
  Reading& reading = ReadingOf<DeviceKind::Valve>(form, valve.number);
  reading = {Quality::State, std::nullopt};
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
    reading.quality = Quality::Fault;
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
  for (const Device& valve : kDevices) {
    if (valve.kind != DeviceKind::Valve || valve.fixed) continue;
    (form.*valve.shape).fillColor = indicator_colour::NoData;
    form.readings[valve.slot] = {Quality::NoData, std::nullopt};
  }
}

}  // namespace halvorn
