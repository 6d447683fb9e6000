#include "TimeText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "Saturating.h"

namespace halvorn::history {

namespace {

// Reads exactly `width` digits at `at`.
bool Digits(std::string_view text, std::size_t& at, int width, int& value) {
  if (at + static_cast<std::size_t>(width) > text.size()) return false;
  value = 0;
  for (int i = 0; i < width; ++i) {
    const char c = text[at++];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool Literal(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

std::optional<Nanoseconds> Seconds(std::string_view text) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) || seconds < 0 ||
      seconds > 1e9)
    return std::nullopt;
  return static_cast<Nanoseconds>(std::llround(seconds * 1e9));
}

std::optional<Nanoseconds> LocalIso(std::string_view text) {
  std::size_t at = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!Digits(text, at, 4, year) || !Literal(text, at, '-') || !Digits(text, at, 2, month) || !Literal(text, at, '-') ||
      !Digits(text, at, 2, day))
    return std::nullopt;
  if (!Literal(text, at, 'T') && !Literal(text, at, ' ')) return std::nullopt;
  if (!Digits(text, at, 2, hour) || !Literal(text, at, ':') || !Digits(text, at, 2, minute)) return std::nullopt;
  Nanoseconds fraction = 0;
  if (Literal(text, at, ':')) {
    if (!Digits(text, at, 2, second)) return std::nullopt;
    if (Literal(text, at, '.') || Literal(text, at, ',')) {
      Nanoseconds scale = kNanosecondsPerSecond;
      const std::size_t first = at;
      while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        scale /= 10;
        fraction += (text[at++] - '0') * scale;
      }
      if (at == first) return std::nullopt;
    }
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  std::time_t seconds = 0;
  if (at == text.size()) {
    fields.tm_isdst = -1;  // local time: let the zone say whether summer time was in force
    seconds = std::mktime(&fields);
  } else {
    int offsetMinutes = 0;
    if (!Literal(text, at, 'Z')) {
      const char sign = text[at++];
      int oh = 0, om = 0;
      if ((sign != '+' && sign != '-') || !Digits(text, at, 2, oh)) return std::nullopt;
      Literal(text, at, ':');
      if (!Digits(text, at, 2, om)) return std::nullopt;
      offsetMinutes = (sign == '-' ? -1 : 1) * (oh * 60 + om);
    }
    if (at != text.size()) return std::nullopt;
    seconds = ::timegm(&fields) - static_cast<std::time_t>(offsetMinutes) * 60;
  }
  // Beyond what 64-bit nanoseconds hold (before 1677, after 2262): the end.
  Nanoseconds wall = 0;
  if (__builtin_mul_overflow(static_cast<Nanoseconds>(seconds), kNanosecondsPerSecond, &wall))
    return seconds < 0 ? std::numeric_limits<Nanoseconds>::min() : std::numeric_limits<Nanoseconds>::max();
  return SaturatingAdd(wall, fraction);
}

}  // namespace

std::string FormatLocalIso(Nanoseconds wallNs) {
  Nanoseconds seconds = wallNs / kNanosecondsPerSecond;
  Nanoseconds rest = wallNs % kNanosecondsPerSecond;
  if (rest < 0) {
    rest += kNanosecondsPerSecond;
    --seconds;
  }
  const std::time_t whole = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&whole, &local);
  const long offset = local.tm_gmtoff / 60;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(rest / 1'000'000), offset < 0 ? '-' : '+', std::labs(offset) / 60,
                std::labs(offset) % 60);
  return text;
}

bool CrossesLocalMidnight(Nanoseconds fromWallNs, Nanoseconds toWallNs) {
  if (toWallNs <= fromWallNs) return false;
  // Whole seconds, rounded down also before 1970.
  const auto day = [](Nanoseconds wall) {
    const std::time_t seconds =
        static_cast<std::time_t>(wall / kNanosecondsPerSecond - (wall % kNanosecondsPerSecond < 0 ? 1 : 0));
    std::tm local{};
    localtime_r(&seconds, &local);
    return std::pair(local.tm_year, local.tm_yday);
  };
  return day(fromWallNs) != day(toWallNs);
}

std::optional<Nanoseconds> ParseTimeArgument(std::string_view text, Nanoseconds sessionStartWallNs) {
  if (text.find('-') == std::string_view::npos) return Seconds(text);
  const auto wall = LocalIso(text);
  if (!wall) return std::nullopt;
  return SaturatingSub(*wall, sessionStartWallNs);
}

}  // namespace halvorn::history
