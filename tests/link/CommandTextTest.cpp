// The fixed-width numbers of the command texts.
#include "link/CommandText.h"

#include <gtest/gtest.h>

#include <climits>

namespace halvorn {
namespace {

struct PaddedCase {
  int value;
  int digits;
  const char* text;
};

TEST(CommandTextTest, ZeroPaddedKeepsAtLeastTheDigitsAndNeverCuts) {
  const PaddedCase cases[] = {
      {0, 3, "000"},
      {7, 3, "007"},
      {50, 3, "050"},
      {100, 3, "100"},
      {1234, 3, "1234"},
      {9, 2, "09"},
      {10, 2, "10"},
      {16, 2, "16"},
      {3, 1, "3"},
      {0, 1, "0"},
      {-1, 2, "-01"},
      {5, 0, "5"},
      {INT_MIN, 1, "-2147483648"},
  };
  for (const PaddedCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.value << " in " << c.digits << " digits");
    EXPECT_EQ(ZeroPadded(c.value, c.digits), c.text);
  }
}

TEST(CommandTextTest, OperationCodeInThreeDigitsThenUnderscoreThenArgument) {
  EXPECT_EQ(CommandText(20, "05"), "020_05");
  EXPECT_EQ(CommandText(121, ""), "121_");
  EXPECT_EQ(CommandText(70, "1050"), "070_1050");
}

}  // namespace
}  // namespace halvorn
