#include <gtest/gtest.h>

#include <string>

#include "panel/Dump.h"
#include "plant/Pumps.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Answer;
using testing::Bytes;

// A pump answer: type 62, two unread bytes, rotary 1, rotary 2, TMP.
std::string PumpAnswer(const std::string& states) { return Answer("062__" + states); }

class PumpsTest : public ::testing::Test {
 protected:
  Form1 form;
  void SetUp() override { ResetPumpDisplay(form); }
};

TEST_F(PumpsTest, StateBytesGiveTheirCaptionAndColour) {
  const struct {
    int code;
    std::string caption;
    Colour colour;
  } cases[] = {
      {'+', "stopped", colours::Yellow},
      {',', "accelerating", colours::Cyan},
      {'-', "stopping", colours::Magenta},
      {'.', "started", colours::Green},
      // 140 is "ok" for a reading, but no pump state: shown as a fault.
      {140, "ok", colours::Red},
      {159, "no response from pfeiffer bus", colours::Red},
      {108, "bad format response from pfeiffer bus", colours::Red},
      {155, "operation not implemented", colours::Red},
      {42, "Unknown error code", colours::Red},
      {47, "Unknown error code", colours::Red},
      {0, "Unknown error code", colours::Red},
      {255, "Unknown error code", colours::Red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("state byte " + std::to_string(c.code));
    for (std::int16_t number = 1; number <= 3; ++number) {
      Form1 fresh;
      ShowPumpState(fresh, number, Bytes({c.code}));
      const Label& state = number == 1   ? fresh.lblRotary1Status
                           : number == 2 ? fresh.lblRotary2Status
                                         : fresh.lblTMPstatus;
      const Shape& shape = number == 1   ? fresh.shpRotary1
                           : number == 2 ? fresh.shpRotary2
                                         : fresh.shpTMP;
      EXPECT_EQ(state.caption, c.caption) << "pump " << number;
      EXPECT_EQ(shape.fillColor, c.colour) << "pump " << number;
    }
  }
}

TEST_F(PumpsTest, AnAnswerShowsRotaryOneRotaryTwoAndTheTurboPumpInThatOrder) {
  const std::string answer = PumpAnswer(Bytes({46, 44, 43}));
  ASSERT_EQ(answer.size(), 11u);
  DecodePumpMessage(form, answer);
  EXPECT_EQ(DumpPumps(form),
            "shpRotary1 0x0000FF00 | lblRotary1Status \"started\"\n"
            "shpRotary2 0x00FFFF00 | lblRotary2Status \"accelerating\"\n"
            "shpTMP 0x0000FFFF | lblTMPstatus \"stopped\"\n"
            "shpPneumatics 0x80000011\n"
            "shpTMPCooling 0x80000011\n");
}

TEST_F(PumpsTest, AnAnswerOfAnyOtherLengthChangesNothing) {
  const std::string before = DumpForm(form);
  const std::string answer = PumpAnswer("...");
  for (const auto& message :
       {answer.substr(0, 10), answer + "0", answer.substr(1), std::string("062")}) {
    SCOPED_TRACE("length " + std::to_string(message.size()));
    DecodePumpMessage(form, message);
    EXPECT_EQ(DumpForm(form), before);
  }
}

TEST_F(PumpsTest, AFieldOfTheWrongLengthOrANumberOutsideTheTableChangesNothing) {
  const std::string before = DumpForm(form);
  ShowPumpState(form, 1, "");
  ShowPumpState(form, 1, "..");
  for (const int number : {0, 4, -1, 32767, -32768}) {
    ShowPumpState(form, static_cast<std::int16_t>(number), ".");
  }
  EXPECT_EQ(DumpForm(form), before);
}

TEST_F(PumpsTest, ResetGreysTheThreePumpShapesAndKeepsTheirStates) {
  DecodePumpMessage(form, PumpAnswer(Bytes({46, 160, 45})));
  Form1 expected = form;
  for (Shape* shape : {&expected.shpTMP, &expected.shpRotary1, &expected.shpRotary2}) {
    shape->fillColor = colours::SystemGrayText;
  }
  ResetPumpDisplay(form);
  EXPECT_EQ(DumpForm(form), DumpForm(expected));
  EXPECT_EQ(form.lblRotary1Status.caption, "started");
  EXPECT_EQ(form.lblRotary2Status.caption, "no response from icpcon bus");
  EXPECT_EQ(form.lblTMPstatus.caption, "stopping");
}

}  // namespace
}  // namespace halvorn
