// Which device each of the panel's ports 1 to 10 ("Com1" to "Com10") opens.
// By default ComN is the on-board serial port /dev/ttyS<N-1>; the command
// line can point a port at a USB adapter or at a controller simulator's
// pseudo-terminal instead.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace halvorn::shell {

class PortMap {
 public:
  static constexpr int kFirstPort = 1;
  static constexpr int kLastPort = 10;

  // Every port on its default device.
  PortMap();

  // The device path of a port, or nothing for a number outside 1 to 10.
  std::optional<std::string> Device(int port) const;
  // Points a port at a device. Returns false, and changes nothing, for a
  // number outside 1 to 10 or an empty path.
  bool SetDevice(int port, std::string device);

  bool operator==(const PortMap&) const = default;

 private:
  std::array<std::string, kLastPort - kFirstPort + 1> m_devices{};
};

// A port number written as plain decimal digits, 1 to 10; nothing otherwise.
std::optional<int> ParsePortNumber(std::string_view text);

}  // namespace halvorn::shell
