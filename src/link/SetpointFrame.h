// What a flow setpoint frame on the line says: which controller and what
// percent of its full scale. The viewer's setpoint steps and the flow
// deviation alarms take the setpoint from the frame that went out, never
// from what the operator typed.
#pragma once

#include <optional>
#include <string_view>

namespace halvorn {

struct FlowSetpointSent {
  int mfc = 0;      // 1 to 4
  int percent = 0;  // 0 to 100
};

// The setpoint of `frame` (checksum and carriage return included) when it is
// a flow setpoint frame as the panel writes it: "070_", the controller's
// digit, three digits of setpoint, the checksum digits and byte 13.
[[nodiscard]] std::optional<FlowSetpointSent> FlowSetpointOf(std::string_view frame);

}  // namespace halvorn
