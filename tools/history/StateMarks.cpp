#include "StateMarks.h"

#include <algorithm>

namespace halvorn::history {

std::vector<MergedChanges> MergedChangesOf(const std::vector<DeviceState>& states, Nanoseconds from, Nanoseconds to,
                                           int columns) {
  std::vector<MergedChanges> merged;
  if (columns <= 0 || to <= from) return merged;
  const long double perColumn = static_cast<long double>(to - from) / columns;
  auto it =
      std::lower_bound(states.begin(), states.end(), from, [](const DeviceState& s, Nanoseconds t) { return s.t < t; });
  MergedChanges open{-1, 0, 0, 0};
  const auto close = [&] {
    if (open.count >= 2) merged.push_back(open);
  };
  for (; it != states.end() && it->t < to; ++it) {
    if (it->gap) continue;
    const int column = std::min(columns - 1, static_cast<int>(static_cast<long double>(it->t - from) / perColumn));
    if (column != open.column) {
      close();
      open = {column, it->t, it->t, 0};
    }
    open.last = it->t;
    ++open.count;
  }
  close();
  return merged;
}

}  // namespace halvorn::history
