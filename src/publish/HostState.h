// What a primary host says of itself on spBv1.0/STATE/<host id>: a small
// JSON object, {"online":true,"timestamp":1700000000000}. Read minimally:
// the two members at the top level, anything else skipped; text that is not
// such an object is refused, whatever it holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace halvorn::publish {

// Longer than any host writes its state; a longer payload is refused unread.
constexpr std::size_t kMaxHostStateBytes = 4096;

struct HostState {
  bool online = false;
  std::optional<std::int64_t> timestampMs;
};

// The state in `json`, or nullopt when it is no object with a boolean
// "online" (a timestamp that is not a whole number of at most 18 digits is
// taken as none).
[[nodiscard]] std::optional<HostState> ParseHostState(std::string_view json);

}  // namespace halvorn::publish
