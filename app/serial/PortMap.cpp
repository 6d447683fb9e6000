#include "serial/PortMap.h"

#include <charconv>
#include <cstddef>
#include <utility>

namespace halvorn::shell {
namespace {

bool InRange(int port) { return port >= PortMap::kFirstPort && port <= PortMap::kLastPort; }

std::size_t Slot(int port) { return static_cast<std::size_t>(port - PortMap::kFirstPort); }

}  // namespace

PortMap::PortMap() {
  for (int port = kFirstPort; port <= kLastPort; ++port) {
    m_devices[Slot(port)] = "/dev/ttyS" + std::to_string(port - 1);
  }
}

std::optional<std::string> PortMap::Device(int port) const {
  if (!InRange(port)) return std::nullopt;
  return m_devices[Slot(port)];
}

bool PortMap::SetDevice(int port, std::string device) {
  if (!InRange(port) || device.empty()) return false;
  m_devices[Slot(port)] = std::move(device);
  return true;
}

std::optional<int> ParsePortNumber(std::string_view text) {
  if (text.empty() || text.front() < '0' || text.front() > '9') return {};
  int number = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc{} || stop != end) return {};
  if (!InRange(number)) return {};
  return number;
}

}  // namespace halvorn::shell
