#include "serial/LineSettings.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <optional>
#include <vector>

namespace halvorn::shell {
namespace {

struct BaudRate {
  int baud;
  speed_t speed;
};

// The rates the panel's baud list offers.
constexpr std::array kBaudRates{
    BaudRate{2400, B2400},     BaudRate{9600, B9600},     BaudRate{38400, B38400},
    BaudRate{115200, B115200}, BaudRate{460800, B460800}, BaudRate{921600, B921600},
};

struct ParityLetter {
  char letter;
  Parity parity;
};

constexpr std::array kParityLetters{
    ParityLetter{'n', Parity::None}, ParityLetter{'e', Parity::Even},
    ParityLetter{'o', Parity::Odd},  ParityLetter{'m', Parity::Mark},
    ParityLetter{'s', Parity::Space},
};

std::vector<std::string_view> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

// A whole field of decimal digits; anything else (sign, blank, overflow) is
// not a number.
std::optional<int> ParseNumber(std::string_view field) {
  if (field.empty() || field.front() == '-') return {};
  int value = 0;
  const char* const end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  if (error != std::errc{} || stop != end) return {};
  return value;
}

std::optional<int> ParseBaud(std::string_view field) {
  const std::optional<int> baud = ParseNumber(field);
  for (const BaudRate& rate : kBaudRates) {
    if (baud == rate.baud) return baud;
  }
  return {};
}

std::optional<Parity> ParseParity(std::string_view field) {
  if (field.size() != 1) return {};
  const char letter = field.front();
  for (const ParityLetter& entry : kParityLetters) {
    if (letter == entry.letter || letter == entry.letter - 'a' + 'A') return entry.parity;
  }
  return {};
}

std::optional<int> ParseInRange(std::string_view field, int low, int high) {
  const std::optional<int> value = ParseNumber(field);
  if (value && *value >= low && *value <= high) return value;
  return {};
}

speed_t SpeedOf(int baud) {
  for (const BaudRate& rate : kBaudRates) {
    if (rate.baud == baud) return rate.speed;
  }
  return B9600;  // unreachable: baud only ever holds a listed rate
}

tcflag_t CharacterSizeOf(int dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

}  // namespace

LineSettings UpdateLineSettings(LineSettings current, std::string_view text) {
  const std::vector<std::string_view> fields = SplitFields(text);
  const auto field = [&fields](std::size_t index) {
    return index < fields.size() ? fields[index] : std::string_view{};
  };
  if (const auto baud = ParseBaud(field(0))) current.baud = *baud;
  if (const auto parity = ParseParity(field(1))) current.parity = *parity;
  if (const auto data = ParseInRange(field(2), 5, 8)) current.dataBits = *data;
  if (const auto stop = ParseInRange(field(3), 1, 2)) current.stopBits = *stop;
  return current;
}

std::string ToText(const LineSettings& settings) {
  char letter = 'n';
  for (const ParityLetter& entry : kParityLetters) {
    if (entry.parity == settings.parity) letter = entry.letter;
  }
  return std::to_string(settings.baud) + ',' + letter + ',' + std::to_string(settings.dataBits) +
         ',' + std::to_string(settings.stopBits);
}

void ApplyLineSettings(const LineSettings& settings, termios& attributes) {
  cfmakeraw(&attributes);
  attributes.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY | INPCK | IGNPAR);
  attributes.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  attributes.c_cflag |= CLOCAL | CREAD | CharacterSizeOf(settings.dataBits);
  switch (settings.parity) {
    case Parity::None: break;
    case Parity::Even: attributes.c_cflag |= PARENB; break;
    case Parity::Odd: attributes.c_cflag |= PARENB | PARODD; break;
    case Parity::Mark: attributes.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: attributes.c_cflag |= PARENB | CMSPAR; break;
  }
  if (settings.stopBits == 2) attributes.c_cflag |= CSTOPB;
  attributes.c_cc[VMIN] = 1;
  attributes.c_cc[VTIME] = 0;
  cfsetispeed(&attributes, SpeedOf(settings.baud));
  cfsetospeed(&attributes, SpeedOf(settings.baud));
}

}  // namespace halvorn::shell
