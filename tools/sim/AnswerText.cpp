#include "AnswerText.h"

#include <algorithm>
#include <cmath>

namespace halvorn::sim {
namespace {

// The answer type as the first three characters, with leading zeros.
std::string TypeDigits(int type) {
  const int value = ((type % 1000) + 1000) % 1000;
  return {static_cast<char>('0' + value / 100), static_cast<char>('0' + value / 10 % 10),
          static_cast<char>('0' + value % 10)};
}

// Type and the two unread bytes that every multi-device answer carries.
std::string Head(Group group) { return TypeDigits(Info(group).pollCode) + kUnreadByte + kUnreadByte; }

// Lowest and highest pressure each kind of gauge reports as a number.
double LowestReading(GaugeKind kind) { return kind == GaugeKind::Piezo ? 1.0 : 1e-4; }
double HighestReading(GaugeKind kind) { return kind == GaugeKind::Piezo ? 2000.0 : 1500.0; }

}  // namespace

GaugeKind KindOfGauge(int number) { return number <= 5 ? GaugeKind::Piezo : GaugeKind::FullRange; }

std::string GaugeDigits(double pressureMbar, GaugeKind kind) {
  if (std::isnan(pressureMbar) || pressureMbar < LowestReading(kind)) return "000000";
  if (pressureMbar > HighestReading(kind)) return "999999";
  int exponent = static_cast<int>(std::floor(std::log10(pressureMbar)));
  long mantissa = std::lround(pressureMbar / std::pow(10.0, exponent) * 1000.0);
  // Rounding can carry into a fifth digit (9.9996 -> 10.000), and the
  // logarithm can land one decade off at exact powers of ten.
  if (mantissa >= 10000) {
    mantissa = (mantissa + 5) / 10;
    ++exponent;
  } else if (mantissa < 1000) {
    mantissa = std::lround(pressureMbar / std::pow(10.0, exponent - 1) * 1000.0);
    --exponent;
  }
  const int digits = static_cast<int>(std::clamp(mantissa, 0L, 9999L));
  const int biased = std::clamp(exponent + 20, 0, 99);
  return {static_cast<char>('0' + digits / 1000), static_cast<char>('0' + digits / 100 % 10),
          static_cast<char>('0' + digits / 10 % 10), static_cast<char>('0' + digits % 10),
          static_cast<char>('0' + biased / 10), static_cast<char>('0' + biased % 10)};
}

std::string FlowPercentText(double percent) {
  if (std::isnan(percent)) percent = 0.0;
  const int tenths = static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0) * 10.0));
  if (tenths >= 1000) return "100.";
  const int whole = tenths / 10;
  return {whole >= 10 ? static_cast<char>('0' + whole / 10) : ' ', static_cast<char>('0' + whole % 10), '.',
          static_cast<char>('0' + tenths % 10)};
}

std::string ValveAnswerText(const std::array<unsigned char, kValveCount>& states) {
  std::string text = Head(Group::Valves);
  for (const unsigned char state : states) text += static_cast<char>(state);
  return text;
}

std::string PumpAnswerText(const std::array<unsigned char, kPumpCount>& states) {
  std::string text = Head(Group::Pumps);
  for (const unsigned char state : states) text += static_cast<char>(state);
  return text;
}

std::string GaugeAnswerText(const std::array<unsigned char, kGaugeCount>& statuses,
                            const std::array<std::string, kGaugeCount>& digits) {
  std::string text = Head(Group::Gauges);
  for (int i = 0; i < kGaugeCount; ++i) {
    const auto n = static_cast<std::size_t>(i);
    text += static_cast<char>(statuses[n]);
    // Always six characters, so a field never shifts its neighbours.
    std::string six = digits[n].substr(0, 6);
    six.resize(6, '0');
    text += six;
  }
  return text;
}

std::string FlowAnswerText(const std::array<unsigned char, kFlowCount>& statuses,
                           const std::array<std::string, kFlowCount>& percents) {
  std::string text = Head(Group::Flows);
  for (int i = 0; i < kFlowCount; ++i) {
    const auto n = static_cast<std::size_t>(i);
    text += static_cast<char>(statuses[n]);
    std::string four = percents[n].substr(0, 4);
    four.resize(4, ' ');
    text += four;
  }
  return text;
}

std::string UptimeAnswerText(long long seconds) {
  long long value = std::clamp(seconds, 0LL, 9999999999LL);
  std::string digits(10, '0');
  for (auto position = digits.rbegin(); position != digits.rend(); ++position, value /= 10) {
    *position = static_cast<char>('0' + value % 10);
  }
  return Head(Group::Uptime) + digits;
}

std::string ElectrodeAnswerText(unsigned char state) {
  return TypeDigits(Info(Group::Electrode).pollCode) + kUnreadByte + static_cast<char>(state);
}

std::string CoolingAnswerText(unsigned char state) {
  return TypeDigits(Info(Group::Cooling).pollCode) + kUnreadByte + static_cast<char>(state);
}

std::string WarningText(int type) { return TypeDigits(type) + kUnreadByte + kUnreadByte; }

}  // namespace halvorn::sim
