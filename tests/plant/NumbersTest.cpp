#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "plant/Numbers.h"

namespace halvorn {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(ReadLeadingNumberTest, ReadsTheNumberAtTheFrontAndStopsAtTheFirstOtherCharacter) {
  const struct {
    std::string text;
    std::int64_t value;
  } cases[] = {
      {"061", 61},
      {"000", 0},
      {"121", 121},
      {"0000003600", 3600},
      {"12ab", 12},  // stops at the first non-digit
      {"1 2", 1},    // a blank inside ends the number
      {"6a1", 6},
      {"", 0},  // nothing reads 0
      {"abc", 0},
      {"_12", 0},
      {"  42", 42},  // blanks in front are skipped
      {"\t7", 7},
      {"\n7", 7},
      {" 61", 61},
      {"+5", 5},  // one sign is accepted
      {"-5", -5},
      {"-05", -5},
      {"+", 0},
      {"-", 0},
      {"--5", 0},  // a second sign is not
      {"+-5", 0},
      {"- 5", 0},  // nor a blank after the sign
      {std::string("\x8C"
                   "12",
                   3),
       0},  // a status byte is no digit
      {std::string("1\0"
                   "2",
                   3),
       1},
      {"9999999999", 9'999'999'999},  // ten digits need more than 32 bits
      {"-999999999", -999'999'999},
      {"9223372036854775807", kMax},
      {"-9223372036854775808", kMin},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(ReadLeadingNumber(c.text), c.value);
  }
}

TEST(ReadLeadingNumberTest, StopsAtTheEndsOfTheRangeInsteadOfOverflowing) {
  const struct {
    std::string text;
    std::int64_t value;
  } cases[] = {
      {"9223372036854775808", kMax},
      {"9223372036854775810", kMax},
      {"99999999999999999999999999999999", kMax},
      {"-9223372036854775809", kMin},
      {"-99999999999999999999999999999999", kMin},
      {std::string(10'000, '9'), kMax},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text of " + std::to_string(c.text.size()) + " characters");
    EXPECT_EQ(ReadLeadingNumber(c.text), c.value);
  }
}

TEST(SignedNumberTextTest, ASpaceStandsInForThePlusSign) {
  const struct {
    std::int64_t value;
    std::string text;
  } cases[] = {
      {0, " 0"},
      {3, " 3"},
      {42, " 42"},
      {105, " 105"},
      {-5, "-5"},
      {-20, "-20"},
      {2'147'483'647, " 2147483647"},
      {kMin, "-9223372036854775808"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(SignedNumberText(c.value), c.text);
  }
}

}  // namespace
}  // namespace halvorn
