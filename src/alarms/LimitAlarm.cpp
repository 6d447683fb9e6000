#include "LimitAlarm.h"

#include <cmath>

namespace halvorn::alarms {

std::string PointName(const LimitRule& rule) {
  const char* suffix = rule.kind == LimitKind::Above ? "-ABOVE" : rule.kind == LimitKind::Below ? "-BELOW" : "-DEVIATION";
  return rule.device + suffix;
}

bool Evaluate(const LimitRule& rule, LimitState& state, std::optional<double> value, Milliseconds now) {
  if (!value) {
    state.exceededSince.reset();
    return state.active;
  }
  const double v = rule.kind == LimitKind::Deviation ? std::fabs(*value) : *value;
  const bool below = rule.kind == LimitKind::Below;
  const bool exceeded = below ? v < rule.limit : v > rule.limit;
  if (!state.active) {
    if (!exceeded) {
      state.exceededSince.reset();
      return false;
    }
    if (!state.exceededSince) state.exceededSince = now;
    state.active = now - *state.exceededSince >= rule.delay;
    return state.active;
  }
  const bool cleared = below ? v > rule.limit * (1.0 + rule.deadband) : v < rule.limit * (1.0 - rule.deadband);
  if (cleared) {
    state.active = false;
    state.exceededSince.reset();
  }
  return state.active;
}

}  // namespace halvorn::alarms
