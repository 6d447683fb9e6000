#include "link/PollFrame.h"

#include <algorithm>

#include "link/Frame.h"
#include "link/Polling.h"

namespace halvorn {

std::array<std::string, 7> PollFrames() {
  std::array<std::string, 7> frames;
  for (std::size_t step = 0; step < frames.size(); ++step)
    frames[step] = BuildFrame(PollRequest(static_cast<std::int16_t>(step)));
  return frames;
}

bool IsPollFrame(std::string_view frame) {
  // "061_" and its checksum digits, read in place: the recorder asks this
  // of every frame written, and must not allocate for it.
  constexpr std::size_t kSize = 4 + 3 + 1;
  if (frame.size() != kSize || frame[3] != '_' || frame.back() != kCarriageReturn) return false;
  int operation = 0;
  for (const char c : frame.substr(0, 3)) {
    if (c < '0' || c > '9') return false;
    operation = operation * 10 + (c - '0');
  }
  return std::find(kPollOperations.begin(), kPollOperations.end(), operation) != kPollOperations.end() &&
         !CrcError(frame.substr(0, kSize - 1));
}

}  // namespace halvorn
