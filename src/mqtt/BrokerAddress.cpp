#include "mqtt/BrokerAddress.h"

#include <charconv>
#include <string>

namespace halvorn::mqtt {

bool BrokerAddress::Loopback() const {
  if (host == "localhost" || host == "::1") return true;
  // 127.x.y.z as an address, not a name that begins with "127." (127.example.com).
  if (!host.starts_with("127.")) return false;
  int dots = 0;
  for (const char c : host) {
    if (c == '.') {
      ++dots;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return dots == 3;
}

std::variant<BrokerAddress, std::string> ParseBrokerAddress(std::string_view url) {
  BrokerAddress address;
  constexpr std::string_view plain = "mqtt://";
  constexpr std::string_view secure = "mqtts://";
  std::string_view rest;
  if (url.starts_with(plain)) {
    rest = url.substr(plain.size());
  } else if (url.starts_with(secure)) {
    rest = url.substr(secure.size());
    address.tls = true;
    address.port = 8883;
  } else {
    return "'" + std::string(url) +
           "' is no broker: write mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
  }
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);

  std::string_view host = rest;
  std::string_view port;
  if (rest.starts_with('[')) {
    const auto close = rest.find(']');
    if (close == std::string_view::npos)
      return "'" + std::string(url) + "': the address in [ ] is not closed";
    host = rest.substr(1, close - 1);
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':')
        return "'" + std::string(url) + "': expected :PORT after the address";
      port = after.substr(1);
      if (port.empty()) return "'" + std::string(url) + "': the port is missing after ':'";
    }
  } else if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (port.empty()) return "'" + std::string(url) + "': the port is missing after ':'";
  }
  if (host.empty()) return "'" + std::string(url) + "' names no host";
  for (const char c : host) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == ':';
    if (!allowed)
      return "'" + std::string(url) + "': the host may not hold '" + std::string(1, c) + "'";
  }
  if (!port.empty()) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535)
      return "'" + std::string(url) + "': the port must be a number from 1 to 65535";
    address.port = static_cast<std::uint16_t>(value);
  }
  address.host = std::string(host);
  return address;
}

}  // namespace halvorn::mqtt
