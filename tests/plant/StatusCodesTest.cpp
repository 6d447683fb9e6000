#include <gtest/gtest.h>

#include <map>
#include <string>

#include "plant/StatusCodes.h"

namespace halvorn {
namespace {

const std::map<int, std::string> kKnownCodes = {
    {107, "wrong size response from pfeiffer bus"},
    {108, "bad format response from pfeiffer bus"},
    {109, "bad crc from pfeiffer bus"},
    {110, "wrong size response from icpcon bus"},
    {111, "bad format response from icpcon bus"},
    {112, "bad crc from icpcon bus"},
    {140, "ok"},
    {151, "crc error"},
    {152, "message too short"},
    {154, "bad operator"},
    {155, "operation not implemented"},
    {156, "operation not allowed"},
    {159, "no response from pfeiffer bus"},
    {160, "no response from icpcon bus"},
};

TEST(StatusCodeTextTest, EveryByteValueGivesItsTextOrUnknown) {
  for (int code = 0; code <= 255; ++code) {
    const auto known = kKnownCodes.find(code);
    const std::string expected = known == kKnownCodes.end() ? "Unknown error code" : known->second;
    SCOPED_TRACE("code " + std::to_string(code));
    EXPECT_EQ(StatusCodeText(static_cast<std::int16_t>(code)), expected);
  }
}

TEST(StatusCodeTextTest, GapsAndValuesOutsideAByteAreUnknown) {
  // 153, 157 and 158 lie inside the fault range but name nothing; -116 is
  // what byte 140 would become if read as a signed char.
  for (const int code :
       {153, 157, 158, 0, 255, 106, 113, 139, 141, 150, 161, -116, -1, 256, 396, -32768, 32767}) {
    SCOPED_TRACE("code " + std::to_string(code));
    EXPECT_EQ(StatusCodeText(static_cast<std::int16_t>(code)), "Unknown error code");
  }
}

TEST(StatusCodesTest, ByteCodeReadsBytesAboveOneTwentySevenUnsigned) {
  EXPECT_EQ(ByteCode(static_cast<char>(140)), 140);
  EXPECT_EQ(ByteCode(static_cast<char>(255)), 255);
  EXPECT_EQ(ByteCode(static_cast<char>(0)), 0);
  EXPECT_EQ(ByteCode('+'), 43);
  EXPECT_EQ(StatusCodeText(ByteCode(static_cast<char>(140))), "ok");
  EXPECT_EQ(StatusCodeText(ByteCode(static_cast<char>(0xA0))), "no response from icpcon bus");
}

TEST(StatusCodesTest, ConditionColoursHaveTheirRedGreenAndBlue) {
  const struct {
    const char* condition;
    Colour colour;
    int red, green, blue;
  } cases[] = {
      {"fault", indicator_colour::Fault, 255, 0, 0},
      {"valve open", indicator_colour::ValveOpen, 0, 255, 0},
      {"valve closed", indicator_colour::ValveClosed, 255, 255, 0},
      {"pump started", indicator_colour::PumpStarted, 0, 255, 0},
      {"pump stopped", indicator_colour::PumpStopped, 255, 255, 0},
      {"pump accelerating", indicator_colour::PumpAccelerating, 0, 255, 255},
      {"pump stopping", indicator_colour::PumpStopping, 255, 0, 255},
      {"gauge valid", indicator_colour::GaugeValid, 255, 255, 255},
      {"flow valid", indicator_colour::FlowValid, 255, 255, 128},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.condition);
    EXPECT_FALSE(IsSystemColour(c.colour));
    EXPECT_EQ(RedOf(c.colour), c.red);
    EXPECT_EQ(GreenOf(c.colour), c.green);
    EXPECT_EQ(BlueOf(c.colour), c.blue);
  }
  // The no-data grey is the system's grey-text colour, number 17.
  EXPECT_TRUE(IsSystemColour(indicator_colour::NoData));
  EXPECT_EQ(SystemColourIndex(indicator_colour::NoData), 17);
  EXPECT_EQ(indicator_colour::NoData, 0x80000011u);
}

}  // namespace
}  // namespace halvorn
