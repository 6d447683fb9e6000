// The plant's answers as tests build them: byte by byte for the decoders,
// and whole frames as they arrive on the line for the receiver.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "link/Frame.h"

namespace halvorn::testing {

inline std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

// The status byte of a valid gauge or flow reading.
inline const std::string kValid = Bytes({140});

// The decoders never read the checksum field (the receiver has checked it
// before), so any three digits stand in for it here.
inline std::string Answer(std::string_view typeAndPayload) { return std::string(typeAndPayload) + "000"; }

// Each poll request and the length of its answer, checksum field included,
// carriage return not.
struct PollAnswerLength {
  std::string_view request;
  std::size_t length;
};
inline constexpr PollAnswerLength kPollAnswerLengths[] = {{"061_", 24}, {"062_", 11}, {"060_", 64}, {"063_", 28},
                                                          {"010_", 18}, {"081_", 8},  {"121_", 8}};

// An answer as it arrives on the line: the text, its correct checksum
// field and the carriage return.
inline std::string OnLine(std::string_view text) { return BuildFrame(text); }

// A valve answer on the line; `states` holds one byte per valve V1..CV2,
// '\x18' open, '\x17' closed.
inline std::string ValveLine(const std::string& states) { return OnLine("061__" + states); }

}  // namespace halvorn::testing
