#include "FaultSettings.h"

#include <algorithm>
#include <cstdio>

#include "link/Frame.h"

namespace halvorn::sim {
namespace {

// Keeps the answer type: a shortened answer is still recognisable.
constexpr std::size_t kTypeLength = 3;
// What a lengthened answer carries in its extra bytes.
constexpr char kPaddingByte = '_';
// Float sums of shares such as 0.1 fall just short of whole numbers.
constexpr double kCreditSlack = 1e-9;

std::size_t At(int index) { return static_cast<std::size_t>(index); }

}  // namespace

void FaultSettings::SetStatus(int device, std::optional<unsigned char> code) {
  if (device >= 0 && device < kDeviceCount) m_status[At(device)] = code;
}

std::optional<unsigned char> FaultSettings::Status(int device) const {
  if (device < 0 || device >= kDeviceCount) return {};
  return m_status[At(device)];
}

void FaultSettings::SetCrcFraction(double fraction) {
  m_crcFraction = std::clamp(fraction, 0.0, 1.0);
  m_crcCredit = 0.0;
}

void FaultSettings::SetLengthDelta(Group group, int delta) {
  m_lengthDelta[At(Index(group))] = std::clamp(delta, kShortestLengthDelta, kLongestLengthDelta);
}

void FaultSettings::SetSilenced(Group group, bool silenced) { m_silenced[At(Index(group))] = silenced; }

std::string FaultSettings::Shape(Group group, std::string answerText) const {
  for (int d = 0; d < kDeviceCount; ++d) {
    const DeviceInfo& device = kDevices[At(d)];
    const auto index = At(device.statusIndex);
    if (device.group == group && m_status[At(d)] && index < answerText.size()) {
      answerText[index] = static_cast<char>(*m_status[At(d)]);
    }
  }
  const int delta = LengthDelta(group);
  if (delta > 0) {
    answerText.append(At(delta), kPaddingByte);
  } else if (delta < 0) {
    const std::size_t cut = std::min(At(-delta), answerText.size() - std::min(answerText.size(), kTypeLength));
    answerText.resize(answerText.size() - cut);
  }
  return answerText;
}

std::string FaultSettings::Frame(std::string_view text) {
  std::string frame(text);
  int checksum = Checksum(text);
  m_crcCredit += m_crcFraction;
  if (m_crcFraction > 0.0 && m_crcCredit >= 1.0 - kCreditSlack) {
    m_crcCredit = std::max(0.0, m_crcCredit - 1.0);
    checksum = (checksum + 1) % 256;
  }
  frame += ChecksumField(checksum);
  if (m_dropNextCr) {
    m_dropNextCr = false;
  } else {
    frame += kCarriageReturn;
  }
  return frame;
}

std::string FaultSettings::Describe() const {
  std::string out;
  const auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ", ") + item; };
  for (int d = 0; d < kDeviceCount; ++d) {
    if (m_status[At(d)]) add(std::string(kDevices[At(d)].name) + "=" + std::to_string(*m_status[At(d)]));
  }
  if (m_crcFraction > 0.0) {
    char share[32];
    std::snprintf(share, sizeof share, "crc %g", m_crcFraction);
    add(share);
  }
  for (const GroupInfo& info : kGroups) {
    const int delta = LengthDelta(info.group);
    if (delta != 0) add("badlen " + std::string(info.name) + (delta > 0 ? " +" : " ") + std::to_string(delta));
  }
  for (const GroupInfo& info : kGroups) {
    if (Silenced(info.group)) add("silent " + std::string(info.name));
  }
  if (m_stopped) add("stopped");
  if (m_dropNextCr) add("next frame without carriage return");
  return out.empty() ? "none" : out;
}

}  // namespace halvorn::sim
