// How the receive fuzz target reads one input: the bytes the controller sends,
// and how the serial driver cuts them into reads.
//
//   [ line bytes ... ][ read sizes: n bytes ][ trailer: 1 byte ]
//
// trailer     low seven bits: n, the number of read-size bytes before it (fewer
//             when the input is shorter). High bit: before sending, give every
//             line of the stream a valid checksum field, so that mutated answers
//             get past the checksum check into the decoders.
// read sizes  each byte is the size of one read, 0 to 255, taken from the line
//             bytes in order; whatever is left after the last is one more read.
//
// The line bytes come first so that a seed or a crash file reads like what
// was on the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvorn::fuzz {

constexpr std::uint8_t kFixChecksums = 0x80;
constexpr std::size_t kMostReadSizes = 0x7F;

struct FuzzInput {
  std::string stream;              // the bytes on the line
  std::vector<std::size_t> reads;  // sizes of the reads, in order; the rest follows
  bool fixChecksums = false;
};

inline FuzzInput ParseFuzzInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input;
  if (size == 0) return input;
  const std::uint8_t trailer = data[size - 1];
  input.fixChecksums = (trailer & kFixChecksums) != 0;
  const std::size_t before = size - 1;
  std::size_t count = trailer & kMostReadSizes;
  if (count > before) count = before;
  const std::size_t streamSize = before - count;
  input.stream.assign(reinterpret_cast<const char*>(data), streamSize);
  for (std::size_t i = 0; i < count; ++i) input.reads.push_back(data[streamSize + i]);
  return input;
}

// The input that delivers `reads` in this order. Every read but the last must
// be at most 255 bytes and there may be at most 128 reads.
inline std::string EncodeFuzzInput(const std::vector<std::string>& reads, bool fixChecksums) {
  std::string stream;
  std::string sizes;
  for (std::size_t i = 0; i < reads.size(); ++i) {
    stream += reads[i];
    if (i + 1 < reads.size())
      sizes += static_cast<char>(static_cast<std::uint8_t>(reads[i].size()));
  }
  const auto trailer = static_cast<std::uint8_t>(sizes.size() | (fixChecksums ? kFixChecksums : 0));
  return stream + sizes + static_cast<char>(trailer);
}

}  // namespace halvorn::fuzz
