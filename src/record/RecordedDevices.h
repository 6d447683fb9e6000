// The devices whose display the record follows, by the names the record
// stores them under, and how a caption reads as a number.
//
// One table for the whole record; when the core's own device tables carry
// the operator's names it can be derived from them.
#pragma once

#include <optional>
#include <string_view>

#include "panel/Colour.h"
#include "panel/Form1.h"
#include "record/Schema.h"

namespace halvorn::record {

enum class DeviceKind {
  State,    // a valve, pump or the electrode: a word, not a reading
  Gauge,    // a pressure in mBar, with a state caption of its own
  Flow,     // percent of the controller's full scale
};

struct RecordedDevice {
  std::string_view name;   // as in device_state.device
  DeviceKind kind;
  Shape Form1::*shape;     // its coloured shape, nullptr for the electrode readouts
  Label Form1::*caption;   // the caption the record stores as text
  Label Form1::*detail;    // a gauge's state caption, nullptr otherwise
};

inline constexpr RecordedDevice kRecordedDevices[] = {
    {"V1", DeviceKind::State, &Form1::shpV1, &Form1::lblV1state, nullptr},
    {"V2", DeviceKind::State, &Form1::shpV2, &Form1::lblV2state, nullptr},
    {"V3", DeviceKind::State, &Form1::shpV3, &Form1::lblV3state, nullptr},
    {"V4", DeviceKind::State, &Form1::shpV4, &Form1::lblV4state, nullptr},
    {"V5", DeviceKind::State, &Form1::shpV5, &Form1::lblV5state, nullptr},
    {"V6", DeviceKind::State, &Form1::shpV6, &Form1::lblV6state, nullptr},
    {"V7", DeviceKind::State, &Form1::shpV7, &Form1::lblV7state, nullptr},
    {"V8", DeviceKind::State, &Form1::shpV8, &Form1::lblV8state, nullptr},
    {"V9", DeviceKind::State, &Form1::shpV9, &Form1::lblV9state, nullptr},
    {"V10", DeviceKind::State, &Form1::shpV10, &Form1::lblV10state, nullptr},
    {"V11", DeviceKind::State, &Form1::shpV11, &Form1::lblV11state, nullptr},
    {"V12", DeviceKind::State, &Form1::shpV12, &Form1::lblV12state, nullptr},
    {"V13", DeviceKind::State, &Form1::shpV13, &Form1::lblV13state, nullptr},
    {"V14", DeviceKind::State, &Form1::shpV14, &Form1::lblV14state, nullptr},
    {"CV1", DeviceKind::State, &Form1::shpCV1, &Form1::lblCV1State, nullptr},
    {"CV2", DeviceKind::State, &Form1::shpCV2, &Form1::lblCV2state, nullptr},
    {"MECH1", DeviceKind::State, &Form1::shpVmech1, &Form1::Label16, nullptr},
    {"MECH2", DeviceKind::State, &Form1::shpVmech2, &Form1::lblVmech2state, nullptr},
    {"MECH3", DeviceKind::State, &Form1::shpVmech3, &Form1::lblVmech3state, nullptr},
    {"TMP", DeviceKind::State, &Form1::shpTMP, &Form1::lblTMPstatus, nullptr},
    {"ROTARY1", DeviceKind::State, &Form1::shpRotary1, &Form1::lblRotary1Status, nullptr},
    {"ROTARY2", DeviceKind::State, &Form1::shpRotary2, &Form1::lblRotary2Status, nullptr},
    {"G1", DeviceKind::Gauge, &Form1::shpG1, &Form1::lblG1Value, &Form1::lblG1State},
    {"G2", DeviceKind::Gauge, &Form1::shpG2, &Form1::lblG2Value, &Form1::lblG2State},
    {"G3", DeviceKind::Gauge, &Form1::shpG3, &Form1::lblG3Value, &Form1::lblG3State},
    {"G4", DeviceKind::Gauge, &Form1::shpG4, &Form1::lblG4Value, &Form1::lblG4State},
    {"G5", DeviceKind::Gauge, &Form1::shpG5, &Form1::lblG5Value, &Form1::lblG5State},
    {"G6", DeviceKind::Gauge, &Form1::shpG6, &Form1::lblG6Value, &Form1::lblG6State},
    {"G7", DeviceKind::Gauge, &Form1::shpG7, &Form1::lblG7Value, &Form1::lblG7State},
    {"G8", DeviceKind::Gauge, &Form1::shpG8, &Form1::lblG8Value, &Form1::lblG8State},
    {"MFC1", DeviceKind::Flow, &Form1::shpMFC1, &Form1::lblMFC1Value, nullptr},
    {"MFC2", DeviceKind::Flow, &Form1::shpMFC2, &Form1::lblMFC2Value, nullptr},
    {"MFC3", DeviceKind::Flow, &Form1::shpMFC3, &Form1::lblMFC3Value, nullptr},
    {"MFC4", DeviceKind::Flow, &Form1::shpMFC4, &Form1::lblMFC4Value, nullptr},
    {"ELECTRODE", DeviceKind::State, nullptr, &Form1::lblElectrodePosition, nullptr},
    {"COOLING", DeviceKind::State, nullptr, &Form1::lblElectrodeCooling, nullptr},
};
// Not in the table: the uptime box, recorded at most once a minute.
constexpr std::string_view kUptimeDevice = "UPTIME";

// What device_state.quality and .value say of a device showing `caption`
// on `colour` (nullopt: the device has no shape).
struct Reading {
  Quality quality = Quality::NotANumber;
  std::optional<double> value;
};
Reading ReadingOf(DeviceKind kind, std::string_view caption, std::optional<Colour> colour);

// The uptime box's "12345s" as seconds; NoData while it is empty.
Reading UptimeReading(std::string_view text);

}  // namespace halvorn::record
