// What a device's display says, typed: the decoder that writes a device's
// caption and colour writes this beside them, once, so that whoever follows
// the plant (the record) takes the quality and the number from here instead
// of reading a caption back. The caption and the colour themselves stay in
// the device's widgets (panel/Devices.h), built in their own storage.
#pragma once

#include <cstdint>
#include <optional>

namespace halvorn {

enum class Quality : std::int8_t {
  Valid = 0,       // `value` holds the reading in the device's unit
  BelowRange = 1,  // a gauge below its range ("<1", "<1.000E-4")
  OverRange = 2,   // a gauge over its range
  Fault = 3,       // the device or its bus reports a fault
  NoData = 4,      // greyed: the device's group stopped answering
  State = 5,       // a state (open, started, in...) or a caption that is no number
};

struct Reading {
  Quality quality = Quality::State;
  // Gauges in mBar, flow controllers in percent of full scale, the
  // controller's uptime in seconds; only when `quality` is Valid.
  std::optional<double> value;

  friend bool operator==(const Reading&, const Reading&) = default;
};

}  // namespace halvorn
