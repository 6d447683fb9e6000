#include "plant/Gauges.h"

#include <array>
#include <charconv>
#include <string>

#include "panel/Devices.h"
#include "plant/Numbers.h"
#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

// The exponent digits count powers of ten from -20 (00) to 79 (99).
constexpr int kExponentBias = 20;

constexpr std::array<double, 23> kExactPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool AreDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Writes the caption for the six digit characters of a valid reading into
// the value label's own storage, and says what it reads.
Reading ShowPressure(std::string& caption, const GaugeDevice& gauge, std::string_view digits) {
  // Below the gauge's range: the controller sends all zeros.
  if (digits == "000000") {
    caption = gauge.belowRange;
    return {Quality::BelowRange, std::nullopt};
  }
  if (digits == "999999") {
    caption = "over range";
    return {Quality::OverRange, std::nullopt};
  }
  // Two characters read leniently give -99 to 99, so -119 to 79 after the
  // bias: well inside 16 bits.
  const auto exponent =
      static_cast<std::int16_t>(ReadLeadingNumber(digits.substr(4, 2)) - kExponentBias);
  caption.clear();
  caption += digits[0];
  caption += '.';
  caption += digits.substr(1, 3);
  caption += 'E';
  AppendSignedNumber(caption, exponent);
  // A pressure only when the mantissa is four digits; the caption shows
  // whatever came. The number rounds once from the decimal, as the
  // controller's digits mean it.
  if (!AreDigits(digits.substr(0, 4))) return {Quality::State, std::nullopt};
  // Four digits times a power of ten that a double holds exactly round
  // once, as the decimal does; the rest go through the decimal text.
  const int mantissa = (digits[0] - '0') * 1000 + (digits[1] - '0') * 100 + (digits[2] - '0') * 10 +
                       (digits[3] - '0');
  const int power = exponent - 3;
  if (power >= 0 && power < static_cast<int>(kExactPowers.size()))
    return {Quality::Valid, mantissa * kExactPowers[static_cast<std::size_t>(power)]};
  if (power < 0 && -power < static_cast<int>(kExactPowers.size()))
    return {Quality::Valid, mantissa / kExactPowers[static_cast<std::size_t>(-power)]};
  char text[16] = {digits[0], '.', digits[1], digits[2], digits[3], 'E'};
  const char* end = std::to_chars(text + 6, std::end(text), exponent).ptr;
  double mbar = 0.0;
  std::from_chars(text, end, mbar);
  return {Quality::Valid, mbar};
}

}  // namespace

void DecodeGaugeMessage(Form1& form, std::string_view message) {
  if (message.size() != kGaugeAnswerLength) return;
  for (const GaugeDevice& gauge : kGauges)
    ShowGaugeReading(form, gauge.number, message.substr(gauge.position, kGaugeFieldLength));
}

void ShowGaugeReading(Form1& form, std::int16_t number, std::string_view field) {
  if (field.size() != kGaugeFieldLength) return;
  const GaugeDevice* gauge = DeviceByNumber(kGauges, number);
  if (!gauge) return;
  const std::int16_t status = ByteCode(field[0]);
  Reading& reading = ReadingOf<DeviceKind::Gauge>(form, number);
  if (status == kStatusOk) {
    reading = ShowPressure((form.*gauge->value).caption, *gauge, field.substr(1));
    (form.*gauge->shape).fillColor = indicator_colour::GaugeValid;
    (form.*gauge->state).caption = "ok";
  } else {
    (form.*gauge->value).caption = "---";
    (form.*gauge->shape).fillColor = indicator_colour::Fault;
    (form.*gauge->state).caption = StatusCodeText(status);
    reading = {Quality::Fault, std::nullopt};
  }
}

void ResetGaugeDisplay(Form1& form) {
  for (const GaugeDevice& gauge : kGauges) {
    (form.*gauge.shape).fillColor = indicator_colour::NoData;
    ReadingOf<DeviceKind::Gauge>(form, gauge.number) = {Quality::NoData, std::nullopt};
  }
}

}  // namespace halvorn
