// Times as people read and type them: ISO 8601 in local wall-clock time, and
// the --from/--to arguments (an ISO 8601 local time, or seconds from the
// session's start).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "SessionData.h"

namespace halvorn::history {

// "2026-12-07T10:31:02.400+01:00": local time with milliseconds and the
// offset from UTC in force at that moment.
std::string FormatLocalIso(Nanoseconds wallNs);

// Whether a local midnight lies within (fromWallNs, toWallNs]: a range
// that shows parts of two days, whose times need their dates.
[[nodiscard]] bool CrossesLocalMidnight(Nanoseconds fromWallNs, Nanoseconds toWallNs);

// A --from/--to argument as a time of the session's clock:
//   "90", "90.5"               seconds from the session's start
//   "2026-12-07T10:31:02"      local time (also with a space for the "T",
//   "2026-12-07T10:31:02.5"    fractions of a second, without seconds, or
//   "...+01:00", "...Z"        with an explicit offset as in the CSV)
// nullopt when the text is neither.
std::optional<Nanoseconds> ParseTimeArgument(std::string_view text, Nanoseconds sessionStartWallNs);

}  // namespace halvorn::history
