// What the probe plugin counts inside the panel program, in a small file
// that the probe maps shared and halvorn-perf maps to read: how often the
// window was repainted and how many widgets were painted. Read at the start
// and end of a window, the differences tell where the panel's time goes.
#pragma once

#include <atomic>
#include <cstdint>

namespace halvorn::perf {

struct ProbeCounts {
  // Repaint rounds: update requests the window's backing store handled,
  // each one paint of whatever changed and one flush to the screen.
  std::atomic<std::uint64_t> repaints{0};
  // Paint events delivered to widgets, all rounds together.
  std::atomic<std::uint64_t> widgetPaints{0};
};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "shared between processes");

}  // namespace halvorn::perf
