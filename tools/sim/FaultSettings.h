// The faults the simulated controller shows on demand, and how they change
// what goes on the line: status bytes for single devices, answers of the
// wrong length, a share of frames with a wrong checksum, a frame without
// its carriage return, groups that fall silent, and a full stop.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "Devices.h"

namespace halvorn::sim {

// Bounds of a length change, so an answer stays at least its type code long
// and never grows past what the panel's receive buffer holds.
constexpr int kShortestLengthDelta = -9;
constexpr int kLongestLengthDelta = 99;

class FaultSettings {
 public:
  // The status byte reported for device `device` (an index into kDevices)
  // in place of its own state; nothing restores the plant's state.
  void SetStatus(int device, std::optional<unsigned char> code);
  std::optional<unsigned char> Status(int device) const;

  // Share of frames, 0 to 1, sent with a wrong checksum, spread evenly:
  // 0.25 spoils every fourth frame. Setting it restarts the count.
  void SetCrcFraction(double fraction);
  double CrcFraction() const { return m_crcFraction; }

  // Bytes added to (or, negative, cut from the end of) a group's answer
  // text before its checksum, which stays correct; 0 restores the length.
  void SetLengthDelta(Group group, int delta);
  int LengthDelta(Group group) const { return m_lengthDelta[static_cast<std::size_t>(Index(group))]; }

  void SetSilenced(Group group, bool silenced);
  bool Silenced(Group group) const { return m_silenced[static_cast<std::size_t>(Index(group))]; }

  // Nothing at all is sent while stopped.
  void SetStopped(bool stopped) { m_stopped = stopped; }
  bool Stopped() const { return m_stopped; }

  // The next frame goes out without its carriage return.
  void DropNextCarriageReturn() { m_dropNextCr = true; }
  bool CarriageReturnDropPending() const { return m_dropNextCr; }

  // Back to a healthy controller.
  void Clear() { *this = FaultSettings{}; }

  // `answerText` (type first, no checksum) of `group` as the faulty
  // controller sends it: device status bytes replaced, length changed.
  std::string Shape(Group group, std::string answerText) const;

  // The bytes of one frame of `text`: its checksum digits (spoiled when the
  // checksum share calls for it) and its carriage return (left off once
  // after DropNextCarriageReturn). Counts the frame for the share.
  std::string Frame(std::string_view text);

  // The faults in force on one line, "none" when healthy.
  std::string Describe() const;

 private:
  std::array<std::optional<unsigned char>, kDeviceCount> m_status{};
  double m_crcFraction = 0.0;
  double m_crcCredit = 0.0;
  std::array<int, kGroupCount> m_lengthDelta{};
  std::array<bool, kGroupCount> m_silenced{};
  bool m_stopped = false;
  bool m_dropNextCr = false;
};

}  // namespace halvorn::sim
