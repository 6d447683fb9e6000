// Which frames on the line are the polling cycle's own requests, as
// opposed to what an operator's action sent.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace halvorn {

// The frames of the seven poll requests, BuildFrame(PollRequest(step)) for
// step 0 to 6.
[[nodiscard]] std::array<std::string, 7> PollFrames();

// Whether `frame` (the bytes as written, checksum and carriage return
// included) is one of PollFrames().
[[nodiscard]] bool IsPollFrame(std::string_view frame);

}  // namespace halvorn
