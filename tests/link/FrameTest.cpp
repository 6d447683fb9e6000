#include "link/Frame.h"
#include "support/PlantAnswers.h"

#include <gtest/gtest.h>

#include <string>

namespace halvorn {
namespace {

using testing::Bytes;

TEST(FrameTest, KnownFramesByteForByte) {
  const struct {
    std::string text;
    int sum;
    std::string frame;
  } cases[] = {
      {"061_", 246, Bytes({0x30, 0x36, 0x31, 0x5F, 0x32, 0x34, 0x36, 0x0D})},
      {"020_05", 86, Bytes({0x30, 0x32, 0x30, 0x5F, 0x30, 0x35, 0x30, 0x38, 0x36, 0x0D})},
      {"abc", 38, Bytes({0x61, 0x62, 0x63, 0x30, 0x33, 0x38, 0x0D})},
      {"070_1050", 188, "070_1050188\r"},
      {"021_16", 89, "021_16089\r"},
      {"040_3", 38, "040_3038\r"},
      {"", 0, "000\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Checksum(c.text), c.sum);
    EXPECT_EQ(BuildFrame(c.text), c.frame);
  }
}

TEST(FrameTest, SumsThatWrapGiveZeroAndKeepThreeDigits) {
  // 0x80 + 0x80 = 256: a multiple of 256.
  EXPECT_EQ(BuildFrame(Bytes({0x80, 0x80})), Bytes({0x80, 0x80}) + "000\r");
  EXPECT_EQ(ChecksumField(7), "007");
  EXPECT_EQ(ChecksumField(255), "255");
}

TEST(FrameTest, BytesAboveOneTwentySevenCountUnsigned) {
  // A signed char would add -116 for byte 140 and give 140 - 256 = -116.
  EXPECT_EQ(Checksum(Bytes({140})), 140);
  EXPECT_EQ(Checksum(Bytes({255, 2})), 1);
  const std::string text = "62_" + Bytes({140, 159, 46});
  EXPECT_FALSE(CrcError(text + ChecksumField(Checksum(text))));
}

TEST(CrcErrorTest, ChecksAgainstTheLastThreeCharacters) {
  const struct {
    std::string message;
    bool error;
  } cases[] = {
      {"061_246", false},
      {"061_245", true},
      {"000", false},                 // empty text, checksum 0
      {"001", true},
      {"abc038", false},
      {"abc039", true},
      {"", true},                     // no checksum field at all
      {"0", true},
      {"00", true},
      {"061_24x", true},              // field not three digits
      {"061_ 46", true},
      {"061_+46", true},
      {"061_-10", true},
      {"061_" + Bytes({0xB2}) + "46", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(CrcError(c.message), c.error);
  }
}

TEST(CrcErrorTest, LongAnswersAreCheckedTheSameWay) {
  std::string gauge = "060__";
  for (int g = 0; g < 8; ++g) gauge += Bytes({140}) + "123415";
  ASSERT_EQ(gauge.size(), 61u);
  const std::string message = gauge + ChecksumField(Checksum(gauge));
  EXPECT_FALSE(CrcError(message));
  std::string corrupted = message;
  corrupted[10] = '9';
  EXPECT_TRUE(CrcError(corrupted));
}

TEST(CrcErrorTest, AFramedTextAlwaysPassesItsOwnCheck) {
  for (int first = 0; first < 256; ++first) {
    const std::string text = Bytes({first, 255 - first, 13 == first ? 0 : first});
    std::string frame = BuildFrame(text);
    frame.pop_back();  // the carriage return
    EXPECT_FALSE(CrcError(frame)) << first;
  }
}

}  // namespace
}  // namespace halvorn
