#include "record/RecordedDevices.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "plant/StatusCodes.h"

namespace halvorn::record {
namespace {

// A plain decimal number that fills `text` exactly: digits with a sign and
// a point where they are, and an exponent only where `exponent` allows it.
// Never "inf", "nan" or a hexadecimal float, whatever the controller sent:
// the record keeps such a caption as text, not as a reading.
std::optional<double> PlainNumber(std::string_view text, bool exponent) {
  const std::string_view allowed = exponent ? std::string_view("0123456789.-+E") : std::string_view("0123456789.-");
  if (text.empty() || text.find_first_not_of(allowed) != std::string_view::npos) return std::nullopt;
  double number = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc{} || stop != end || !std::isfinite(number)) return std::nullopt;
  return number;
}

// "1.234E-3" and, for exponents of zero or more, "1.234E 3": the gauge
// captions write the exponent the signed way.
std::optional<double> Pressure(std::string_view caption) {
  const std::size_t e = caption.find('E');
  if (e == std::string_view::npos || e + 1 == caption.size()) return std::nullopt;
  // The caption without that space, in a buffer of our own: a decimal
  // reading rounds once, as the controller's digits mean it.
  char text[32];
  if (caption.size() >= sizeof text) return std::nullopt;
  std::size_t length = 0;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (i == e + 1 && caption[i] == ' ') continue;
    text[length++] = caption[i];
  }
  return PlainNumber(std::string_view(text, length), true);
}

}  // namespace

Reading ReadingOf(DeviceKind kind, std::string_view caption, std::optional<Colour> colour) {
  if (colour == indicator_colour::NoData) return {Quality::NoData, std::nullopt};
  if (colour == indicator_colour::Fault) return {Quality::Fault, std::nullopt};
  switch (kind) {
    case DeviceKind::Valve:
    case DeviceKind::Pump:
    case DeviceKind::Electrode:
      // The electrode readouts have no shape to turn red.
      if (!colour && caption == "error") return {Quality::Fault, std::nullopt};
      return {Quality::NotANumber, std::nullopt};
    case DeviceKind::Gauge:
      if (caption.starts_with('<')) return {Quality::BelowRange, std::nullopt};
      if (caption == "over range") return {Quality::OverRange, std::nullopt};
      if (const std::optional<double> mbar = Pressure(caption)) return {Quality::Valid, mbar};
      return {Quality::NotANumber, std::nullopt};
    case DeviceKind::Flow:
      if (caption.ends_with('%')) {
        // The controller right-aligns its four characters: " 0.0%".
        std::string_view digits = caption.substr(0, caption.size() - 1);
        digits.remove_prefix(std::min(digits.find_first_not_of(' '), digits.size()));
        if (const std::optional<double> percent = PlainNumber(digits, false)) return {Quality::Valid, percent};
      }
      return {Quality::NotANumber, std::nullopt};
  }
  return {};
}

Reading UptimeReading(std::string_view text) {
  if (text.empty()) return {Quality::NoData, std::nullopt};
  if (text.ends_with('s')) {
    if (const std::optional<double> seconds = PlainNumber(text.substr(0, text.size() - 1), false))
      return {Quality::Valid, seconds};
  }
  return {Quality::NotANumber, std::nullopt};
}

}  // namespace halvorn::record
