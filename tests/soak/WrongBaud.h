// What a UART set to one baud rate reads from a line driven at another: the
// sender's bytes as a stream of bits (a start bit of 0, eight data bits low
// first, a stop bit of 1, the line at 1 between bytes), sampled as a
// receiver does it: it hunts for a low level at 16 samples per bit of its
// own, checks the start bit in its middle, then takes each bit in its
// middle. A stop bit read as 0 is a framing error, which the terminal layer
// in raw mode (neither IGNPAR nor PARMRK) hands on as byte 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace halvorn::soak {

inline std::string WhatAReceiverReads(std::string_view sent, int senderBaud, int receiverBaud) {
  // Time in units of 1/(senderBaud * receiverBaud) s, so that both bit
  // lengths are whole numbers.
  const std::int64_t senderBit = receiverBaud;
  const std::int64_t receiverBit = senderBaud;
  const std::int64_t end = static_cast<std::int64_t>(sent.size()) * 10 * senderBit;
  const auto level = [&](std::int64_t t) {
    if (t < 0 || t >= end) return 1;
    const std::int64_t bit = t / senderBit;
    const auto byte = static_cast<unsigned char>(sent[static_cast<std::size_t>(bit / 10)]);
    const std::int64_t position = bit % 10;
    if (position == 0) return 0;
    if (position == 9) return 1;
    return (byte >> (position - 1)) & 1;
  };
  std::string read;
  std::int64_t t = 0;
  while (t < end) {
    if (level(t) != 0) {
      t += receiverBit / 16 > 0 ? receiverBit / 16 : 1;
      continue;
    }
    if (level(t + receiverBit / 2) != 0) {  // a glitch, not a start bit
      t += receiverBit / 2;
      continue;
    }
    unsigned value = 0;
    for (int k = 0; k < 8; ++k) value |= static_cast<unsigned>(level(t + receiverBit * (2 * k + 3) / 2)) << k;
    const bool framingError = level(t + receiverBit * 19 / 2) == 0;
    read += static_cast<char>(framingError ? 0 : value);
    t += receiverBit * 19 / 2;
  }
  return read;
}

}  // namespace halvorn::soak
