// The seven poll requests as they appear on the line, written out by hand
// so that a test does not take them from the code it checks, and a way to
// take them out of what a controller received to leave the commands.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace halvorn::testing {

inline constexpr std::array<std::string_view, 7> kPollFrames = {
    "061_246\r", "062_247\r", "060_245\r", "063_248\r", "010_240\r", "081_248\r", "121_243\r"};

inline bool IsPollFrame(std::string_view frame) {
  for (std::string_view poll : kPollFrames)
    if (frame == poll) return true;
  return false;
}

// `bytes` without any whole poll request: what the operator's commands sent.
inline std::string WithoutPolls(std::string bytes) {
  for (std::string_view poll : kPollFrames) {
    for (auto at = bytes.find(poll); at != std::string::npos; at = bytes.find(poll))
      bytes.erase(at, poll.size());
  }
  return bytes;
}

}  // namespace halvorn::testing
