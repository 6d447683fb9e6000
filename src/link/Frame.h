// The frame used in both directions on the line: a text, its checksum as
// three decimal digits, and a carriage return (byte 13).
//
// The checksum is the sum of the text's byte values (0 to 255, unsigned)
// modulo 256. Everything that crossed the line is a std::string of bytes.
#pragma once

#include <string>
#include <string_view>

namespace halvorn {

constexpr char kCarriageReturn = '\r';

// Sum of the unsigned byte values of `text`, modulo 256.
[[nodiscard]] int Checksum(std::string_view text);

// The three checksum digits with leading zeros, "000" to "255".
[[nodiscard]] std::string ChecksumField(int checksum);

// `text`, its checksum field and byte 13: the bytes to write to the line.
[[nodiscard]] std::string BuildFrame(std::string_view text);

// True when a received message (answer text and checksum field, without the
// carriage return) does not carry the checksum of its text. A message shorter
// than three bytes, or whose last three bytes are not all decimal digits, has
// no valid checksum field and is an error too, so every message cut from the
// line is either correct or corrupt.
[[nodiscard]] bool CrcError(std::string_view message);

}  // namespace halvorn
