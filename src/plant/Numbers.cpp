#include "plant/Numbers.h"

#include <array>
#include <charconv>
#include <limits>

namespace halvorn {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::int64_t ReadLeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate towards the sign's own end of the range, so that the most
  // negative value is reachable and neither direction can overflow.
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (negative) {
      value = value < (kMin + digit) / 10 ? kMin : value * 10 - digit;
    } else {
      value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
  }
  return value;
}

std::string SignedNumberText(std::int64_t value) {
  std::string text;
  AppendSignedNumber(text, value);
  return text;
}

void AppendSignedNumber(std::string& text, std::int64_t value) {
  if (value >= 0) text += ' ';
  AppendPlainNumber(text, value);
}

void AppendPlainNumber(std::string& text, std::int64_t value) {
  // Twenty characters hold every 64-bit value, sign included.
  std::array<char, 20> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  text.append(digits.data(), end);
}

}  // namespace halvorn
