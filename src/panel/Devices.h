// The plant's devices as the window shows them: one table per device group,
// each row one device with its number, the name the operator reads on the
// picture, the widgets that show it and where its state stands in the
// group's answer. Decoders, menus, hit-testing, dumps and the inventory's
// stacking lists are all read from these tables, so a new device is one row
// here (and its widgets in Form1).
//
// Positions count from 0 into the received message (answer text and
// checksum field), as the decoders index it.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>

#include "panel/Form1.h"

namespace halvorn {

enum class DeviceKind { Valve, Pump, Gauge, Flow, Electrode };

// A valve or pump the controller switches: its menu has two items, the one
// that opens or starts it first.
struct SwitchedDevice {
  DeviceKind kind;
  std::int16_t number;    // in the commands and the answer
  std::string_view name;  // as the picture shows it
  Shape Form1::*shape;
  Label Form1::*nameLabel;
  Label Form1::*state;
  Menu Form1::*menu;
  MenuItem Form1::*on;   // "Open" or "Switch on"
  MenuItem Form1::*off;  // "Close" or "Switch off"
  std::size_t position;  // of the state byte
};

// V1 to V14, CV1, CV2 by number; valve n's state byte is character 5 + n.
inline constexpr std::array<SwitchedDevice, 16> kValves = {{
    // clang-format off
    {DeviceKind::Valve, 1, "V1", &Form1::shpV1, &Form1::lblV1, &Form1::lblV1state, &Form1::mnuV1, &Form1::mnuV1Open, &Form1::mnuV1Close, 5},
    {DeviceKind::Valve, 2, "V2", &Form1::shpV2, &Form1::lblV2, &Form1::lblV2state, &Form1::mnuV2, &Form1::mnuV2Open, &Form1::mnuV2close, 6},
    {DeviceKind::Valve, 3, "V3", &Form1::shpV3, &Form1::lblV3, &Form1::lblV3state, &Form1::mnuV3, &Form1::mnuV3Open, &Form1::mnuV3Close, 7},
    {DeviceKind::Valve, 4, "V4", &Form1::shpV4, &Form1::lblV4, &Form1::lblV4state, &Form1::mnuV4, &Form1::mnuV4Open, &Form1::mnuV4Close, 8},
    {DeviceKind::Valve, 5, "V5", &Form1::shpV5, &Form1::lblV5, &Form1::lblV5state, &Form1::mnuV5, &Form1::mnuV5Open, &Form1::mnuV5Close, 9},
    {DeviceKind::Valve, 6, "V6", &Form1::shpV6, &Form1::lblV6, &Form1::lblV6state, &Form1::mnuV6, &Form1::mnuV6Open, &Form1::mnuV6Close, 10},
    {DeviceKind::Valve, 7, "V7", &Form1::shpV7, &Form1::lblV7, &Form1::lblV7state, &Form1::mnuV7, &Form1::mnuV7open, &Form1::mnuV7Close, 11},
    {DeviceKind::Valve, 8, "V8", &Form1::shpV8, &Form1::lblV8, &Form1::lblV8state, &Form1::mnuV8, &Form1::mnuV8Open, &Form1::mnuV8Close, 12},
    {DeviceKind::Valve, 9, "V9", &Form1::shpV9, &Form1::lblV9, &Form1::lblV9state, &Form1::mnuV9, &Form1::mnuV9Open, &Form1::mnuV9Close, 13},
    {DeviceKind::Valve, 10, "V10", &Form1::shpV10, &Form1::lblV10, &Form1::lblV10state, &Form1::mnuV10, &Form1::mnuV10Open, &Form1::mnuV10close, 14},
    {DeviceKind::Valve, 11, "V11", &Form1::shpV11, &Form1::lblV11, &Form1::lblV11state, &Form1::mnuV11, &Form1::mnuV11Open, &Form1::mnuV11Close, 15},
    {DeviceKind::Valve, 12, "V12", &Form1::shpV12, &Form1::lblV12, &Form1::lblV12state, &Form1::mnuV12, &Form1::mnuV12Open, &Form1::mnuV12Close, 16},
    {DeviceKind::Valve, 13, "V13", &Form1::shpV13, &Form1::lblV13, &Form1::lblV13state, &Form1::mnuV13, &Form1::mnuV13Open, &Form1::mnuV13Close, 17},
    {DeviceKind::Valve, 14, "V14", &Form1::shpV14, &Form1::lblV14, &Form1::lblV14state, &Form1::mnuV14, &Form1::mnuV14Open, &Form1::mnuV14Close, 18},
    {DeviceKind::Valve, 15, "CV1", &Form1::shpCV1, &Form1::lblCV1, &Form1::lblCV1State, &Form1::mnuCV1, &Form1::mnuCV1Open, &Form1::mnuCV1Close, 19},
    {DeviceKind::Valve, 16, "CV2", &Form1::shpCV2, &Form1::lblCV2, &Form1::lblCV2state, &Form1::mnuCV2, &Form1::mnuCV2Open, &Form1::mnuCV2Close, 20},
    // clang-format on
}};

// The three pumps in the window's order (TMP first), which is also the order
// of their menus and of the hit test; pump n's state byte is character 5 + n.
inline constexpr std::array<SwitchedDevice, 3> kPumps = {{
    // clang-format off
    {DeviceKind::Pump, 3, "TMP", &Form1::shpTMP, &Form1::lblTmp, &Form1::lblTMPstatus, &Form1::mnuTmp, &Form1::mnuTmpOn, &Form1::mnuTmpOff, 7},
    {DeviceKind::Pump, 1, "ROTARY1", &Form1::shpRotary1, &Form1::lblRotary1, &Form1::lblRotary1Status, &Form1::mnuRotary1, &Form1::mnuRotary1On, &Form1::mnuRotary1Off, 5},
    {DeviceKind::Pump, 2, "ROTARY2", &Form1::shpRotary2, &Form1::lblRotary2, &Form1::lblRotary2Status, &Form1::mnuRotary2, &Form1::mnuRotary2On, &Form1::mnuRotary2Off, 6},
    // clang-format on
}};

// Valves with neither number nor menu: no answer reports them. The
// mechanical ones are greyed with the valves; the needle valve never changes.
struct UnswitchedValve {
  std::string_view name;
  Shape Form1::*shape;
  Label Form1::*nameLabel;
  Label Form1::*state;
  bool greyedWithValves;
};

inline constexpr std::array<UnswitchedValve, 4> kUnswitchedValves = {{
    {"MECH1", &Form1::shpVmech1, &Form1::Label15, &Form1::Label16, true},
    {"MECH2", &Form1::shpVmech2, &Form1::lblMECH2, &Form1::lblVmech2state, true},
    {"MECH3", &Form1::shpVmech3, &Form1::lblMECH3, &Form1::lblVmech3state, true},
    {"needle", &Form1::shpVneedle, &Form1::lblVneedle, &Form1::Label8, false},
}};

// A pressure gauge: its name caption is an element of a caption group and
// never changes, so it is not listed.
struct GaugeDevice {
  std::int16_t number;
  std::string_view name;
  Shape Form1::*shape;
  Label Form1::*value;  // the pressure, or "---"
  Label Form1::*state;  // "ok" or the fault text
  std::size_t position;  // of the seven-byte field
  // The lowest pressure it reads, in mBar, and what it shows below it: the
  // capacitive gauges G1 to G5 read down to 1 mBar, the others to 1E-4.
  double lowestMbar;
  std::string_view belowRange;
};

// G1 to G8 by number; gauge n's field starts at character 6 + 7 * (n - 1).
inline constexpr std::array<GaugeDevice, 8> kGauges = {{
    {1, "G1", &Form1::shpG1, &Form1::lblG1Value, &Form1::lblG1State, 5, 1.0, "<1"},
    {2, "G2", &Form1::shpG2, &Form1::lblG2Value, &Form1::lblG2State, 12, 1.0, "<1"},
    {3, "G3", &Form1::shpG3, &Form1::lblG3Value, &Form1::lblG3State, 19, 1.0, "<1"},
    {4, "G4", &Form1::shpG4, &Form1::lblG4Value, &Form1::lblG4State, 26, 1.0, "<1"},
    {5, "G5", &Form1::shpG5, &Form1::lblG5Value, &Form1::lblG5State, 33, 1.0, "<1"},
    {6, "G6", &Form1::shpG6, &Form1::lblG6Value, &Form1::lblG6State, 40, 1e-4, "<1.000E-4"},
    {7, "G7", &Form1::shpG7, &Form1::lblG7Value, &Form1::lblG7State, 47, 1e-4, "<1.000E-4"},
    {8, "G8", &Form1::shpG8, &Form1::lblG8Value, &Form1::lblG8State, 54, 1e-4, "<1.000E-4"},
}};

// A mass-flow controller with its setpoint box and send button.
struct FlowDevice {
  std::int16_t number;
  std::string_view name;
  Shape Form1::*shape;
  Label Form1::*nameLabel;
  Label Form1::*value;  // the reading, or the fault text in its place
  TextBox Form1::*setpoint;
  CommandButton Form1::*send;
  std::size_t position;  // of the five-byte field
  double fullScaleSccm;  // what 100 % of its reading stands for
};

// MFC1 to MFC4 by number; controller n's field starts at character
// 6 + 5 * (n - 1).
inline constexpr std::array<FlowDevice, 4> kFlows = {{
    // clang-format off
    {1, "MFC1", &Form1::shpMFC1, &Form1::lblMKS, &Form1::lblMFC1Value, &Form1::txtMFC1, &Form1::cmdMFC1_send, 5, 100.0},
    {2, "MFC2", &Form1::shpMFC2, &Form1::Label4, &Form1::lblMFC2Value, &Form1::txtMFC2, &Form1::cmdMFC2_send, 10, 500.0},
    {3, "MFC3", &Form1::shpMFC3, &Form1::Label9, &Form1::lblMFC3Value, &Form1::txtMFC3, &Form1::cmdMFC3_send, 15, 500.0},
    {4, "MFC4", &Form1::shpMFC4, &Form1::Label14, &Form1::lblMFC4Value, &Form1::txtMFC4, &Form1::cmdMFC4_send, 20, 2000.0},
    // clang-format on
}};

// The electrode's two readouts: words the controller reports ("in", "out",
// "running", "error"), with no shape to colour.
struct ElectrodeReadout {
  std::string_view name;
  Label Form1::*state;
};

inline constexpr std::array<ElectrodeReadout, 2> kElectrodeReadouts = {{
    {"ELECTRODE", &Form1::lblElectrodePosition},
    {"COOLING", &Form1::lblElectrodeCooling},
}};

// The switched devices in the window's declared order: pumps, then valves.
// Menus, the hit test and the device captions follow this order.
inline constexpr auto kSwitchedDevices = [] {
  std::array<SwitchedDevice, kPumps.size() + kValves.size()> all{};
  std::size_t i = 0;
  for (const SwitchedDevice& pump : kPumps) all[i++] = pump;
  for (const SwitchedDevice& valve : kValves) all[i++] = valve;
  return all;
}();

// The row of device `number` in `table`, or null for a number it does not
// hold.
template <typename Row, std::size_t N>
constexpr const Row* DeviceByNumber(const std::array<Row, N>& table, std::int16_t number) {
  for (const Row& row : table) {
    if (row.number == number) return &row;
  }
  return nullptr;
}

// Any device of the plant, as one walks them all: a session record after
// each event, a history viewer listing them by name. `state` is what the
// operator reads on the device (the state caption; for a flow controller its
// reading, which also carries its fault text); `value` is a gauge's reading
// and null for the other kinds.
struct Device {
  DeviceKind kind;
  std::int16_t number;  // 0 for the valves no answer reports and the electrode
  std::string_view name;
  Shape Form1::*shape;  // null for the electrode's readouts
  Label Form1::*state;
  Label Form1::*value;
  bool fixed = false;  // shown the same whatever happens (the needle valve)
  bool band = false;   // has a band on the history viewer's timeline
  std::size_t slot = 0;  // of its typed reading in Form1::readings
};

// Every device: valves V1 to CV2, the unswitched valves, pumps by number,
// gauges and flow controllers by number, the electrode's readouts.
inline constexpr auto kDevices = [] {
  std::array<Device, kValves.size() + kUnswitchedValves.size() + kPumps.size() + kGauges.size() +
                         kFlows.size() + kElectrodeReadouts.size()>
      all{};
  std::size_t i = 0;
  for (const SwitchedDevice& v : kValves)
    all[i++] = {v.kind, v.number, v.name, v.shape, v.state, nullptr, false, true};
  for (const UnswitchedValve& v : kUnswitchedValves)
    all[i++] = {DeviceKind::Valve, 0, v.name, v.shape, v.state, nullptr, !v.greyedWithValves};
  for (std::int16_t number = 1; number <= static_cast<std::int16_t>(kPumps.size()); ++number) {
    const SwitchedDevice& p = *DeviceByNumber(kPumps, number);
    all[i++] = {p.kind, p.number, p.name, p.shape, p.state, nullptr, false, true};
  }
  for (const GaugeDevice& g : kGauges)
    all[i++] = {DeviceKind::Gauge, g.number, g.name, g.shape, g.state, g.value};
  for (const FlowDevice& f : kFlows)
    all[i++] = {DeviceKind::Flow, f.number, f.name, f.shape, f.value, nullptr};
  for (const ElectrodeReadout& e : kElectrodeReadouts)
    all[i++] = {DeviceKind::Electrode, 0, e.name, nullptr, e.state, nullptr};
  for (std::size_t slot = 0; slot < all.size(); ++slot) all[slot].slot = slot;
  return all;
}();
static_assert(kDevices.size() == std::tuple_size_v<decltype(Form1::readings)>);

// The slot of the first device of `kind` in kDevices; the numbered devices
// of a kind follow it by number, the electrode's position before its
// cooling.
constexpr std::size_t FirstSlot(DeviceKind kind) {
  std::size_t slot = 0;
  while (slot < kDevices.size() && kDevices[slot].kind != kind) ++slot;
  return slot;
}
static_assert([] {
  for (const Device& d : kDevices) {
    if (d.number > 0 && FirstSlot(d.kind) + static_cast<std::size_t>(d.number - 1) != d.slot)
      return false;
  }
  return true;
}());

// The typed reading of device `number` of `kind` (a number its table holds).
template <DeviceKind kind>
Reading& ReadingOf(Form1& form, std::int16_t number) {
  constexpr std::size_t first = FirstSlot(kind);
  // Callers looked the device up in its table first.
  assert(number >= 1 && first + static_cast<std::size_t>(number - 1) < kDevices.size() &&
         kDevices[first + static_cast<std::size_t>(number - 1)].kind == kind);
  return form.readings[first + static_cast<std::size_t>(number - 1)];
}

// The caption the operator reads as a device's text: a gauge's reading, the
// state of any other device.
constexpr Label Form1::*TextLabel(const Device& device) {
  return device.value ? device.value : device.state;
}
// The caption beside it: a gauge's state ("ok" or a fault), else none.
constexpr Label Form1::*DetailLabel(const Device& device) {
  return device.value ? device.state : nullptr;
}

// "valve", "pump", "gauge", "flow", "electrode".
[[nodiscard]] std::string_view KindName(DeviceKind kind);

}  // namespace halvorn
