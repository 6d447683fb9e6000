// Building plant answers byte by byte for the decoder tests.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

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
inline std::string Answer(std::string_view typeAndPayload) {
  return std::string(typeAndPayload) + "000";
}

}  // namespace halvorn::testing
