#include "Flood.h"

#include <algorithm>
#include <cstdio>

#include "link/Frame.h"

namespace halvorn::sim {
namespace {

// The most a line that took nothing for a while may catch up at once, in
// slices when that is longer.
constexpr double kLongestCatchUpSeconds = 0.02;
constexpr double kLongestCatchUpSlices = 2.0;
// Room for two of the longest frames (the gauge answer, 65 bytes), so that
// even a slow flood always earns a whole frame.
constexpr double kLeastCreditCap = 130.0;
// Float sums of shares such as 0.1 fall just short of whole numbers.
constexpr double kCreditSlack = 1e-9;

}  // namespace

void Flood::Start(double bytesPerSecond, double crcFraction, int sliceMs) {
  *this = Flood{};
  m_running = true;
  m_bytesPerSecond = std::clamp(bytesPerSecond, 1.0, kFastestFloodBytesPerSecond);
  m_crcFraction = std::clamp(crcFraction, 0.0, 1.0);
  m_sliceMs = std::clamp(sliceMs, kFinestFloodSliceMs, kCoarsestFloodSliceMs);
}

void Flood::Advance(double seconds) {
  if (!m_running || seconds <= 0.0) return;
  m_counts.seconds += seconds;
  const double catchUp = std::max(kLongestCatchUpSeconds, kLongestCatchUpSlices * m_sliceMs / 1000.0);
  const double cap = std::max(kLeastCreditCap, m_bytesPerSecond * catchUp);
  m_byteCredit = std::min(cap, m_byteCredit + m_bytesPerSecond * seconds);
}

std::string Flood::NextFrame(const SimPlant& plant) {
  const Group group = kGroups[static_cast<std::size_t>(m_nextGroup)].group;
  m_nextGroup = (m_nextGroup + 1) % kGroupCount;
  const std::string text = plant.AnswerText(group);
  int checksum = Checksum(text);
  m_crcCredit += m_crcFraction;
  if (m_crcFraction > 0.0 && m_crcCredit >= 1.0 - kCreditSlack) {
    m_crcCredit = std::max(0.0, m_crcCredit - 1.0);
    // Any other value fails the receiver's check; one more is the least
    // change, as a flipped low bit on the line would make it.
    checksum = (checksum + 1) % 256;
    m_waitingSpoiled = true;
  }
  return text + ChecksumField(checksum) + kCarriageReturn;
}

std::string Flood::Take(const SimPlant& plant, std::size_t room) {
  std::string out;
  if (!m_running) return out;
  while (true) {
    if (m_waiting.empty()) m_waiting = NextFrame(plant);
    const auto size = static_cast<double>(m_waiting.size());
    if (m_byteCredit + kCreditSlack < size || out.size() + m_waiting.size() > room) break;
    m_byteCredit -= size;
    out += m_waiting;
    ++m_counts.frames;
    if (m_waitingSpoiled) ++m_counts.spoiled;
    m_waitingSpoiled = false;
    m_counts.bytes += static_cast<std::int64_t>(m_waiting.size());
    m_waiting.clear();
  }
  return out;
}

std::string Flood::Describe() const {
  const double rate = m_counts.seconds > 0.0 ? static_cast<double>(m_counts.bytes) / m_counts.seconds : 0.0;
  char line[200];
  std::snprintf(line, sizeof line, "%lld frames, %lld with a wrong checksum, %lld bytes in %.2f s (%.0f bytes/s)",
                static_cast<long long>(m_counts.frames), static_cast<long long>(m_counts.spoiled),
                static_cast<long long>(m_counts.bytes), m_counts.seconds, rate);
  return line;
}

}  // namespace halvorn::sim
