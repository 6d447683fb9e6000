// The figures made of several samples: a median, a percentile.
#pragma once

#include <vector>

namespace halvorn::perf {

// The middle value, or the mean of the two middle ones; 0 for no values.
[[nodiscard]] double Median(std::vector<double> values);

// The value at `share` (0 to 1) of the sorted values, to the nearest rank;
// 1 is the largest, 0 for no values.
[[nodiscard]] double Percentile(std::vector<double> values, double share);

}  // namespace halvorn::perf
