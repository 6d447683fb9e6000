#include "record/RecordedDevices.h"

#include <algorithm>
#include <charconv>

#include "plant/StatusCodes.h"

namespace halvorn::record {
namespace {

// A number that fills `text` exactly, or nothing.
std::optional<double> WholeNumber(std::string_view text) {
  double number = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
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
  return WholeNumber(std::string_view(text, length));
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
        if (const std::optional<double> percent = WholeNumber(digits)) return {Quality::Valid, percent};
      }
      return {Quality::NotANumber, std::nullopt};
  }
  return {};
}

Reading UptimeReading(std::string_view text) {
  if (text.empty()) return {Quality::NoData, std::nullopt};
  if (text.ends_with('s')) {
    if (const std::optional<double> seconds = WholeNumber(text.substr(0, text.size() - 1)))
      return {Quality::Valid, seconds};
  }
  return {Quality::NotANumber, std::nullopt};
}

}  // namespace halvorn::record
