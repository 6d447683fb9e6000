// Flow setpoints for the four mass-flow controllers.
//
// The operator types a setpoint, a whole percentage of the controller's full
// scale, into the box beside its reading and sends it with the "->" button.
// The text is examined only then; a rejected text turns its box red, and the
// box turns white again when it next takes the focus. The box's text is the
// only copy of the setpoint.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "link/FrontPanel.h"

namespace halvorn {

// The setpoint in `text`, or nothing when the text is rejected: accepted are
// one or more of the digits 0 to 9 only (leading zeros allowed, no sign, no
// space, no decimal point) with a value of 0 to 100. A run of digits of any
// length whose value exceeds 100 is rejected without overflow.
[[nodiscard]] std::optional<std::int16_t> CheckSetpoint(std::string_view text);

// Hands SendMessage "070_" + the MFC number (one digit) + the setpoint (three
// digits): SendFlowSetpoint(panel, 1, 50) sends "070_1050". An MFC number
// outside 1 to 4 or a setpoint outside 0 to 100 sends nothing and says
// nothing.
void SendFlowSetpoint(FrontPanel& panel, std::int16_t mfc, std::int16_t setpoint);

// Click of cmdMFC1_send to cmdMFC4_send: checks the text of the same
// controller's box (kFlows) and sends it, or turns that box red. Any other box keeps its colour,
// and an accepted text leaves its own box's colour as it was. The button is
// told by identity: pass a reference into panel.form.
void cmdMFC_send_Click(FrontPanel& panel, const CommandButton& button);

// GotFocus of txtMFC1 to txtMFC4: the box turns white. Nothing else.
void txtMFC_GotFocus(FrontPanel& panel, const TextBox& box);

}  // namespace halvorn
