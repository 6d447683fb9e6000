#include "link/SetpointFrame.h"

#include "link/Frame.h"
#include "link/Protocol.h"

namespace halvorn {

std::optional<FlowSetpointSent> FlowSetpointOf(std::string_view frame) {
  constexpr std::string_view kHead = "070_";
  static_assert(operation::FlowSetpoint == 70);
  if (frame.size() != kHead.size() + 4 + 4 || !frame.starts_with(kHead) || frame.back() != kCarriageReturn ||
      CrcError(frame.substr(0, frame.size() - 1)))
    return std::nullopt;
  int digits[4] = {};
  for (std::size_t i = 0; i < 4; ++i) {
    const char c = frame[kHead.size() + i];
    if (c < '0' || c > '9') return std::nullopt;
    digits[i] = c - '0';
  }
  const int percent = digits[1] * 100 + digits[2] * 10 + digits[3];
  if (digits[0] < 1 || digits[0] > 4 || percent > 100) return std::nullopt;
  return FlowSetpointSent{digits[0], percent};
}

}  // namespace halvorn
