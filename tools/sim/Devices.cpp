#include "Devices.h"

#include <cctype>
#include <cstddef>

namespace halvorn::sim {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<Group> GroupOfPoll(std::string_view commandText) {
  for (const GroupInfo& info : kGroups) {
    const char request[5] = {static_cast<char>('0' + info.pollCode / 100),
                             static_cast<char>('0' + info.pollCode / 10 % 10),
                             static_cast<char>('0' + info.pollCode % 10), '_', '\0'};
    if (commandText == std::string_view(request, 4)) return info.group;
  }
  return {};
}

std::optional<Group> GroupByName(std::string_view name) {
  for (const GroupInfo& info : kGroups) {
    if (SameIgnoringCase(name, info.name)) return info.group;
  }
  return {};
}

std::optional<int> DeviceByName(std::string_view name) {
  for (std::size_t i = 0; i < kDevices.size(); ++i) {
    if (SameIgnoringCase(name, kDevices[i].name)) return static_cast<int>(i);
  }
  return {};
}

}  // namespace halvorn::sim
