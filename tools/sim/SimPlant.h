// A small, plausible model of the installation behind the controller: the
// sixteen valves, three pumps, eight gauges, four mass-flow controllers, the
// electrode drive, the electrode cooling, the UV lamp shutter and the
// controller's uptime. Time is an input: Advance() moves the plant on, and
// nothing here reads a clock.
//
// Piping, as the panel's picture draws it (the mechanical valves taken as
// open, the vessel's pumping port as always open):
//   G8 vessel ==== G6 pumping line; CV2 leads from it to rotary pump 2 and
//      CV1 to the TMP's inlet; the TMP exhausts into G7, the backing line of
//      rotary pump 1. A stopped TMP lets gas through to its backing line.
//   G4 left gas manifold: V1 to the pumping line, V2 to the right manifold,
//      V12, V11, V10 to the piezo buffers G1, G2, G3, V4 to the inlets of
//      MFC1 and MFC2; V6, V7, V8 admit gas from the supplies.
//   G5 right gas manifold: V14 to the pumping line, V3 to the inlets of MFC3
//      and MFC4; V5, V9, V13 admit gas from the supplies.
//   The flow controllers feed the vessel.
// Each connected set of volumes relaxes (in the logarithm of its pressure)
// towards what its pumps, supplies and gas load make of it; a closed-off set
// evens out and slowly leaks up towards atmosphere.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "Devices.h"

namespace halvorn::sim {

enum class PumpState { Stopped, Accelerating, Started, Stopping };

// Pumps by their command numbers.
constexpr int kRotary1 = 1;
constexpr int kRotary2 = 2;
constexpr int kTurbo = 3;

constexpr double kAtmosphereMbar = 1013.0;
constexpr double kSupplyMbar = 1200.0;  // gas supply behind its regulator
// Full scales of MFC1 to MFC4 in sccm, for the gas load on the vessel.
constexpr std::array<double, kFlowCount> kFlowFullScaleSccm{100.0, 500.0, 500.0, 2000.0};

class SimPlant {
 public:
  SimPlant();

  // Moves the plant on by `seconds` (negative counts as zero); long spans
  // are cut into short steps, so one call of 10 s and 500 calls of 20 ms
  // come out alike.
  void Advance(double seconds);

  // Acts on a command text (operation code, "_", arguments, without the
  // checksum): 020/021 open/close valve nn, 030_01/031_01 UV lamp shutter,
  // 040/041 pump n on/off, 070 setpoint of MFC n in percent (nvvv), 080_1/0
  // electrode in/out, 120_1/0 cooling on/off. Yields what it did in a few
  // words, or nothing for a text that is no such command (an unknown code,
  // a device number or value out of range, a malformed argument).
  std::optional<std::string> Apply(std::string_view commandText);

  // The answer text (type first, no checksum) to a poll request such as
  // "061_", or nothing when `commandText` is no poll request.
  std::optional<std::string> Answer(std::string_view commandText) const;
  // The answer text of one group, as of now.
  std::string AnswerText(Group group) const;

  bool ValveOpen(int number) const;      // 1 to 16
  PumpState Pump(int number) const;      // 1 to 3
  double PumpSpeed(int number) const;    // 0 (still) to 1 (full speed)
  double Pressure(int gauge) const;      // mBar, 1 to 8
  int FlowSetpoint(int mfc) const;       // percent, 1 to 4
  double FlowReading(int mfc) const;     // percent, 1 to 4
  double ElectrodePosition() const;      // 0 out, 1 in
  bool ElectrodeMovingIn() const;
  bool CoolingOn() const;
  bool UvShutterOpen() const;
  long long UptimeSeconds() const;

  // The state in a few lines, one per group, for the console and tests.
  std::string Dump() const;

 private:
  struct PumpModel {
    bool on = false;
    double speed = 0.0;
  };

  void Step(double seconds);
  void StepPumps(double seconds);
  void StepPressures(double seconds);
  unsigned char ValveByte(int number) const;
  unsigned char PumpByte(int number) const;
  unsigned char ElectrodeByte() const;

  double m_elapsed = 0.0;
  std::array<bool, kValveCount> m_valveOpen{};
  std::array<PumpModel, kPumpCount> m_pumps{};
  std::array<double, kGaugeCount> m_pressure{};  // mBar, one volume per gauge
  std::array<int, kFlowCount> m_setpoint{};
  std::array<double, kFlowCount> m_flow{};
  double m_electrode = 0.0;  // starts out
  bool m_electrodeIn = false;
  bool m_cooling = false;
  bool m_uvShutterOpen = false;
};

const char* PumpStateName(PumpState state);

}  // namespace halvorn::sim
