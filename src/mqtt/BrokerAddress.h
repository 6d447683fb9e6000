// Where the publisher connects: mqtt://HOST[:PORT] (plain, port 1883) or
// mqtts://HOST[:PORT] (TLS, port 8883). An IPv6 address is written in
// brackets, as in a URL: mqtt://[::1]:1884.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace halvorn::mqtt {

struct BrokerAddress {
  std::string host;
  std::uint16_t port = 1883;
  bool tls = false;

  // The loopback (127.0.0.0/8, ::1, localhost) never leaves the machine, so
  // a plain connection to it is not worth a warning.
  [[nodiscard]] bool Loopback() const;
};

// The address, or why `url` is none (one line for the operator).
std::variant<BrokerAddress, std::string> ParseBrokerAddress(std::string_view url);

}  // namespace halvorn::mqtt
