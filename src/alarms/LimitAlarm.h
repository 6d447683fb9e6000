// Limit alarms a plant sets for itself: a pressure above or below a limit,
// a flow away from its setpoint, held for a while before it is announced
// and back to normal only past a deadband, so that a reading that hovers
// at the limit does not chatter.
#pragma once

#include <optional>
#include <string>

#include "alarms/Alarm.h"

namespace halvorn::alarms {

enum class LimitKind : std::uint8_t { Above, Below, Deviation };

struct LimitRule {
  std::string device;  // "G6", "MFC1"
  LimitKind kind = LimitKind::Above;
  // mBar for a gauge, percent of full scale for a flow; for a deviation,
  // percentage points of full scale away from the last setpoint sent.
  double limit = 0.0;
  Milliseconds delay = 0;  // exceeded this long before it is announced
  double deadband = 0.0;   // 0.2: back to normal at 80 % of the limit
  Priority priority = Priority::Low;
};

// The point's name everywhere: "G6-ABOVE", "G1-BELOW", "MFC1-DEVIATION".
[[nodiscard]] std::string PointName(const LimitRule& rule);

// Where one rule stands between readings.
struct LimitState {
  bool active = false;
  std::optional<Milliseconds> exceededSince;
};

// Takes `value` (the reading, or for a deviation the reading minus the
// setpoint; nullopt when nothing is known: a fault, no data, no setpoint
// sent yet) at `now`; returns whether the rule's alarm is active. Nothing
// known leaves the alarm as it was and restarts the delay.
[[nodiscard]] bool Evaluate(const LimitRule& rule, LimitState& state, std::optional<double> value, Milliseconds now);

}  // namespace halvorn::alarms
