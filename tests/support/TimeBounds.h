// Bounds on time and processor use in two strengths. The everyday run checks
// that something happens at all, with bounds only a real fault breaks (a
// thread that spins, an answer that never comes, a timer that stopped). The
// timing pass (CTest label "timing", run alone at the end of scripts/test
// with HALVORN_TIMING=1) checks the tight figures the operator relies on,
// which only a machine that is not busy meets: poll intervals within 20 ms,
// no silence of the window over 50 ms, a few milliseconds of processor time.
#pragma once

#include <cstdlib>
#include <cstring>

namespace halvorn::testing {

// True in the timing pass.
inline bool TightTiming() {
  const char* value = std::getenv("HALVORN_TIMING");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

// `tight` in the timing pass, `generous` otherwise.
template <typename T>
T TimeBound(T tight, T generous) {
  return TightTiming() ? tight : generous;
}

}  // namespace halvorn::testing
