// The controller's codes, named once: the operation codes of the requests
// and commands the panel sends, and the answer types it receives.
//
// A poll request's operation code is also the type of the answer that
// carries what it asked for, so the answer types double as the poll codes.
#pragma once

namespace halvorn {

// Answer types: the number in the first three characters of a message.
namespace answer {
constexpr int Uptime = 10;
constexpr int Gauges = 60;
constexpr int Valves = 61;
constexpr int Pumps = 62;
constexpr int Flows = 63;
constexpr int ElectrodePosition = 81;
constexpr int ElectrodeCooling = 121;
// Warnings the controller sends unasked.
constexpr int PneumaticPressureWarning = 100;
constexpr int IcpconBusWarning = 105;
constexpr int PfeifferBusWarning = 106;
}  // namespace answer

// Operation codes of the operator's commands.
namespace operation {
constexpr int OpenValve = 20;
constexpr int CloseValve = 21;
constexpr int OpenShutter = 30;
constexpr int CloseShutter = 31;
constexpr int PumpOn = 40;
constexpr int PumpOff = 41;
constexpr int FlowSetpoint = 70;
constexpr int ElectrodeDrive = 80;
constexpr int ElectrodeCooling = 120;
}  // namespace operation

}  // namespace halvorn
