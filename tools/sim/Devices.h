// The simulated controller's device groups and devices, named as the console
// and the command line name them, with where each device's status byte
// stands in its group's answer text.
//
// The simulator keeps these facts (and its gauges' ranges) in tables of its
// own rather than reading the panel's (panel/Devices.h): as an independent
// account of the controller it catches a panel table that went wrong.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace halvorn::sim {

// One group per poll request: each answers in one message.
enum class Group { Valves, Pumps, Gauges, Flows, Uptime, Electrode, Cooling };
constexpr int kGroupCount = 7;

struct GroupInfo {
  Group group;
  std::string_view name;  // as typed on the console: "valves", "gauges", ...
  int pollCode;           // operation code of its poll request and its answer type
};

constexpr std::array<GroupInfo, kGroupCount> kGroups{{
    {Group::Valves, "valves", 61},
    {Group::Pumps, "pumps", 62},
    {Group::Gauges, "gauges", 60},
    {Group::Flows, "flows", 63},
    {Group::Uptime, "uptime", 10},
    {Group::Electrode, "electrode", 81},
    {Group::Cooling, "cooling", 121},
}};

constexpr int Index(Group group) { return static_cast<int>(group); }
constexpr const GroupInfo& Info(Group group) { return kGroups[static_cast<std::size_t>(group)]; }

// The group whose poll request `commandText` is ("061_" is the valves), or
// nothing for any other text.
std::optional<Group> GroupOfPoll(std::string_view commandText);
// The group of that console name, in either case.
std::optional<Group> GroupByName(std::string_view name);

// Device numbers within their groups, as the commands number them.
constexpr int kValveCount = 16;  // V1..V14 are 1..14, CV1 is 15, CV2 is 16
constexpr int kPumpCount = 3;    // rotary pump 1, rotary pump 2, TMP
constexpr int kGaugeCount = 8;
constexpr int kFlowCount = 4;

struct DeviceInfo {
  std::string_view name;  // as typed on the console, compared in either case
  Group group;
  int number;       // 1-based within the group
  int statusIndex;  // 0-based index of its status byte in the answer text
};

// Every device that reports a status byte: 16 valves, 3 pumps, 8 gauges,
// 4 flow controllers, the electrode drive and the electrode cooling.
constexpr int kDeviceCount = kValveCount + kPumpCount + kGaugeCount + kFlowCount + 2;

// Answer text layouts: three type digits, then unread bytes, then fields.
// Valve and pump answers carry one byte per device from index 5; gauge
// fields are seven bytes and flow fields five, from index 5; the electrode
// and cooling answers carry their state byte at index 4.
constexpr int ValveStatusIndex(int number) { return 4 + number; }
constexpr int PumpStatusIndex(int number) { return 4 + number; }
constexpr int GaugeFieldIndex(int number) { return 5 + 7 * (number - 1); }
constexpr int FlowFieldIndex(int number) { return 5 + 5 * (number - 1); }
constexpr int kElectrodeStatusIndex = 4;

constexpr std::array<DeviceInfo, kDeviceCount> kDevices{{
    {"V1", Group::Valves, 1, ValveStatusIndex(1)},
    {"V2", Group::Valves, 2, ValveStatusIndex(2)},
    {"V3", Group::Valves, 3, ValveStatusIndex(3)},
    {"V4", Group::Valves, 4, ValveStatusIndex(4)},
    {"V5", Group::Valves, 5, ValveStatusIndex(5)},
    {"V6", Group::Valves, 6, ValveStatusIndex(6)},
    {"V7", Group::Valves, 7, ValveStatusIndex(7)},
    {"V8", Group::Valves, 8, ValveStatusIndex(8)},
    {"V9", Group::Valves, 9, ValveStatusIndex(9)},
    {"V10", Group::Valves, 10, ValveStatusIndex(10)},
    {"V11", Group::Valves, 11, ValveStatusIndex(11)},
    {"V12", Group::Valves, 12, ValveStatusIndex(12)},
    {"V13", Group::Valves, 13, ValveStatusIndex(13)},
    {"V14", Group::Valves, 14, ValveStatusIndex(14)},
    {"CV1", Group::Valves, 15, ValveStatusIndex(15)},
    {"CV2", Group::Valves, 16, ValveStatusIndex(16)},
    {"rotary1", Group::Pumps, 1, PumpStatusIndex(1)},
    {"rotary2", Group::Pumps, 2, PumpStatusIndex(2)},
    {"tmp", Group::Pumps, 3, PumpStatusIndex(3)},
    {"G1", Group::Gauges, 1, GaugeFieldIndex(1)},
    {"G2", Group::Gauges, 2, GaugeFieldIndex(2)},
    {"G3", Group::Gauges, 3, GaugeFieldIndex(3)},
    {"G4", Group::Gauges, 4, GaugeFieldIndex(4)},
    {"G5", Group::Gauges, 5, GaugeFieldIndex(5)},
    {"G6", Group::Gauges, 6, GaugeFieldIndex(6)},
    {"G7", Group::Gauges, 7, GaugeFieldIndex(7)},
    {"G8", Group::Gauges, 8, GaugeFieldIndex(8)},
    {"MFC1", Group::Flows, 1, FlowFieldIndex(1)},
    {"MFC2", Group::Flows, 2, FlowFieldIndex(2)},
    {"MFC3", Group::Flows, 3, FlowFieldIndex(3)},
    {"MFC4", Group::Flows, 4, FlowFieldIndex(4)},
    {"electrode", Group::Electrode, 1, kElectrodeStatusIndex},
    {"cooling", Group::Cooling, 1, kElectrodeStatusIndex},
}};

// Index into kDevices of the device with that name, in either case.
std::optional<int> DeviceByName(std::string_view name);

}  // namespace halvorn::sim
