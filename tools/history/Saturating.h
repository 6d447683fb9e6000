// Sums of times that stop at the ends of 64-bit nanoseconds instead of
// wrapping: a record's times come from a file, and a file may hold any
// number, so a sum of two of them must never be undefined.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace halvorn::history {

[[nodiscard]] constexpr std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

[[nodiscard]] constexpr std::int64_t SaturatingSub(std::int64_t a, std::int64_t b) {
  std::int64_t difference = 0;
  if (!__builtin_sub_overflow(a, b, &difference)) return difference;
  return b < 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

// A time computed in floating point, rounded towards zero; beyond the range
// the nearest end, NaN as 0.
[[nodiscard]] inline std::int64_t SaturatingFromDouble(double value) {
  constexpr double kLimit = 9.2e18;  // just inside 2^63, exactly representable
  if (std::isnan(value)) return 0;
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

}  // namespace halvorn::history
