// A flood of answers back-to-back at a chosen byte rate, as a controller
// would send them on a line at full speed: the answers of the seven poll
// groups in turn, taken from the plant as it is, with an evenly spread share
// of them carrying a wrong checksum. Every frame handed out is counted, so a
// receiver's counts can be checked against it exactly. Time is an input:
// Advance() earns the bytes that Take() hands out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Devices.h"
#include "SimPlant.h"

namespace halvorn::sim {

// Fastest flood the console accepts: ten times the 92160 bytes a second of a
// 921600-baud line (10 bits a byte), for stress runs.
constexpr double kFastestFloodBytesPerSecond = 1'000'000.0;
// How often the flood's bytes are handed to the line, in milliseconds: a
// USB serial adapter at full rate passes them on every 1 ms frame of its
// bus; others collect them for up to 16 or 20 ms (their latency timer).
constexpr int kFinestFloodSliceMs = 1;
constexpr int kCoarsestFloodSliceMs = 20;

// What a flood has handed out since it started.
struct FloodCounts {
  std::int64_t frames = 0;   // whole frames, each ending in a carriage return
  std::int64_t spoiled = 0;  // of those, frames with a wrong checksum
  std::int64_t bytes = 0;
  double seconds = 0.0;      // time advanced while it ran
};

class Flood {
 public:
  // Starts afresh at `bytesPerSecond` (1 to kFastestFloodBytesPerSecond)
  // with `crcFraction` (0 to 1) of the frames spoiled: 0.1 spoils every
  // tenth frame, handed to the line every `sliceMs` milliseconds (1 to 20).
  void Start(double bytesPerSecond, double crcFraction, int sliceMs = kFinestFloodSliceMs);
  // Ends the flood; its counts stay readable until the next Start.
  void Stop() { m_running = false; }
  bool Running() const { return m_running; }

  double BytesPerSecond() const { return m_bytesPerSecond; }
  double CrcFraction() const { return m_crcFraction; }
  int SliceMs() const { return m_sliceMs; }

  // Earns the bytes of `seconds` at the flood's rate. The earnings are
  // capped at 20 ms' worth, or two slices' when slices are longer: a line
  // that takes nothing for a while gets no burst afterwards, the flood just
  // falls behind (its counts tell the rate really reached).
  void Advance(double seconds);

  // The whole frames now earned, at most `room` bytes of them; nothing
  // while stopped. A frame is never longer than 65 bytes, far inside the
  // panel's 256-byte receive buffer.
  std::string Take(const SimPlant& plant, std::size_t room);

  const FloodCounts& counts() const { return m_counts; }

  // One line without a newline: frames, spoiled frames, bytes, seconds and
  // the rate reached.
  std::string Describe() const;

 private:
  std::string NextFrame(const SimPlant& plant);

  bool m_running = false;
  double m_bytesPerSecond = 0.0;
  double m_crcFraction = 0.0;
  int m_sliceMs = kFinestFloodSliceMs;
  double m_byteCredit = 0.0;
  double m_crcCredit = 0.0;
  int m_nextGroup = 0;
  // The next frame, built but not yet handed out for want of credit or room.
  std::string m_waiting;
  bool m_waitingSpoiled = false;
  FloodCounts m_counts;
};

}  // namespace halvorn::sim
