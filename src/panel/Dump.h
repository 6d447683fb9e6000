// A canonical short text of widget state, so that a test can compare a whole
// device group (or the whole window) in one assertion and a failure prints a
// readable line-by-line difference.
//
// One line per indicator, e.g.
//   shpV1 0x0000FF00 | lblV1state "open"
// Captions are quoted; bytes outside printable ASCII are written \xNN, so a
// status byte copied into a caption stays visible.
#pragma once

#include <string>

#include "panel/Form1.h"

namespace halvorn {

// "shpV1 0x0000FF00"; an element of a group is written "shpBuffer(1)".
[[nodiscard]] std::string DumpShape(const Shape& shape);
// "lblV1state \"open\"".
[[nodiscard]] std::string DumpLabel(const Label& label);

// One line per device, in device order, each line ending in "\n".
// Valves: V1 to V14, CV1, CV2, then the three mechanical valves and the
// needle valve, which no answer reports.
[[nodiscard]] std::string DumpValves(const Form1& form);
// Gauges G1 to G8: shape | value label | state label.
[[nodiscard]] std::string DumpGauges(const Form1& form);
// MFC1 to MFC4: shape | value label.
[[nodiscard]] std::string DumpFlows(const Form1& form);
// Rotary pump 1, rotary pump 2, TMP, then the pneumatics and TMP cooling
// shapes, which no answer reports.
[[nodiscard]] std::string DumpPumps(const Form1& form);
// The electrode position and cooling labels.
[[nodiscard]] std::string DumpElectrode(const Form1& form);
// What the receiver shows: the two counters, the uptime, both message
// lists, the receive lamp and its timer.
[[nodiscard]] std::string DumpReceiveStatus(const Form1& form);

// Every label, shape, button, text box, list, drop-down list, frame and
// timer of the window with its changeable state (not its geometry), one per
// line, in the order of AllWidgets().
[[nodiscard]] std::string DumpForm(const Form1& form);

}  // namespace halvorn
