// Bytes from the line as shown text: every byte one visible character.
#include "LineText.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace halvorn::shell {
namespace {

TEST(LineTextTest, KnownBytes) {
  const std::pair<unsigned char, char16_t> cases[] = {
      {'A', u'A'},   {'0', u'0'},    {' ', u' '},    {0x8C, 0x0152},  // the ok status byte
      {0x80, 0x20AC}, {0x97, 0x2014}, {0x9F, 0x0178}, {0xA0, 0x00A0},
      {0xE9, 0x00E9}, {0xFF, 0x00FF}, {0x00, 0x2400}, {0x0D, 0x240D},
      {0x17, 0x2417}, {0x7F, 0x2421}, {0x81, 0xFFFD}, {0x9D, 0xFFFD},
  };
  for (const auto& [byte, expected] : cases) {
    const QString shown = FromLineBytes(std::string(1, static_cast<char>(byte)));
    ASSERT_EQ(shown.size(), 1) << int(byte);
    EXPECT_EQ(shown.at(0).unicode(), expected) << int(byte);
  }
}

TEST(LineTextTest, EveryByteIsOneCharacterAndNoneIsLost) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const QString shown = FromLineBytes(all);
  ASSERT_EQ(shown.size(), 256);
  std::set<char16_t> distinct;
  for (const QChar c : shown) distinct.insert(c.unicode());
  // Only the five unassigned positions of the code page share a character.
  EXPECT_EQ(distinct.size(), 256u - 4u);

  const std::string back = ToLineBytes(shown);
  for (int b = 0; b < 256; ++b) {
    const bool unassigned = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    EXPECT_EQ(back[static_cast<std::size_t>(b)], unassigned ? '?' : static_cast<char>(b)) << b;
  }
}

TEST(LineTextTest, TypedTextOutsideTheCodePageBecomesAQuestionMark) {
  EXPECT_EQ(ToLineBytes(QStringLiteral("50")), "50");
  EXPECT_EQ(ToLineBytes(QString::fromUtf8("5\xE2\x82\xAC")), "5\x80");
  EXPECT_EQ(ToLineBytes(QString::fromUtf8("\xE4\xB8\xAD")), "?");
}

}  // namespace
}  // namespace halvorn::shell
