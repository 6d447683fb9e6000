// A valve or pump that switched faster than the timeline can show: changes
// that fall within one pixel column are one mark with their count, so the
// band shows that something happened there and its tooltip says how much.
#pragma once

#include <vector>

#include "SessionData.h"

namespace halvorn::history {

struct MergedChanges {
  int column = 0;  // of `columns` equal columns over [from, to)
  Nanoseconds first = 0;
  Nanoseconds last = 0;
  int count = 0;  // two or more
};

// The columns of [from, to) in which `states` (in time order) changes more
// than once, in order; a gap row is no change.
[[nodiscard]] std::vector<MergedChanges> MergedChangesOf(const std::vector<DeviceState>& states, Nanoseconds from,
                                                         Nanoseconds to, int columns);

}  // namespace halvorn::history
