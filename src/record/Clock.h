// Time as the record takes it: handed in, never read by the core itself.
// The shell passes a clock of the real machine; tests pass one they move.
#pragma once

#include <cstdint>

namespace halvorn::record {

struct Stamp {
  std::int64_t monotonicNs = 0;  // any monotonic origin; only differences count
  std::int64_t wallNs = 0;       // since 1970-01-01 UTC
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Stamp Now() const = 0;
};

}  // namespace halvorn::record
