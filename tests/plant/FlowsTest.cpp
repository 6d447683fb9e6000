#include <gtest/gtest.h>

#include <string>

#include "panel/Dump.h"
#include "plant/Flows.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Answer;
using testing::Bytes;
using testing::kValid;

// A flow answer: type 63, two unread bytes, then the four fields.
std::string FlowAnswer(const std::string& fields) { return Answer("063__" + fields); }

class FlowsTest : public ::testing::Test {
 protected:
  Form1 form;
  void SetUp() override { ResetFlowDisplay(form); }
};

TEST_F(FlowsTest, FieldsShowTheReadingOrTheFault) {
  const struct {
    std::string field;
    std::string caption;
    Colour colour;
  } cases[] = {
      {kValid + "12.5", "12.5%", colours::LightYellow},
      {kValid + "0000", "0000%", colours::LightYellow},
      {kValid + " 1.2", " 1.2%", colours::LightYellow},
      // Not validated: whatever stands there is shown.
      {kValid + "abcd", "abcd%", colours::LightYellow},
      {kValid + Bytes({140, 13, 0, 255}), Bytes({140, 13, 0, 255}) + "%", colours::LightYellow},
      {Bytes({151}) + "12.5", "crc error", colours::Red},
      {Bytes({151}) + Bytes({140, 140, 140, 140}), "crc error", colours::Red},
      {Bytes({160}) + "99.9", "no response from icpcon bus", colours::Red},
      {Bytes({110}) + "12.5", "wrong size response from icpcon bus", colours::Red},
      {Bytes({141}) + "12.5", "Unknown error code", colours::Red},
      {"112.5", "Unknown error code", colours::Red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("field \"" + c.field + "\"");
    Form1 fresh;
    ShowFlowReading(fresh, 3, c.field);
    EXPECT_EQ(fresh.lblMFC3Value.caption, c.caption);
    EXPECT_EQ(fresh.shpMFC3.fillColor, c.colour);
  }
}

TEST_F(FlowsTest, TwoValidAndTwoFaultyControllers) {
  const std::string answer =
      FlowAnswer(kValid + "12.5" + Bytes({160}) + "12.5" + Bytes({160}) + "00.0" + kValid + "99.9");
  ASSERT_EQ(answer.size(), 28u);
  DecodeFlowMessage(form, answer);
  EXPECT_EQ(DumpFlows(form),
            "shpMFC1 0x0080FFFF | lblMFC1Value \"12.5%\"\n"
            "shpMFC2 0x000000FF | lblMFC2Value \"no response from icpcon bus\"\n"
            "shpMFC3 0x000000FF | lblMFC3Value \"no response from icpcon bus\"\n"
            "shpMFC4 0x0080FFFF | lblMFC4Value \"99.9%\"\n");
}

TEST_F(FlowsTest, AnAnswerOfAnyOtherLengthChangesNothing) {
  const std::string before = DumpForm(form);
  const std::string answer =
      FlowAnswer(kValid + "12.5" + kValid + "12.5" + kValid + "12.5" + kValid + "12.5");
  for (const auto& message :
       {answer.substr(0, 27), answer + "0", answer.substr(1), std::string("063")}) {
    SCOPED_TRACE("length " + std::to_string(message.size()));
    DecodeFlowMessage(form, message);
    EXPECT_EQ(DumpForm(form), before);
  }
}

TEST_F(FlowsTest, AFieldOfTheWrongLengthOrANumberOutsideTheTableChangesNothing) {
  const std::string before = DumpForm(form);
  ShowFlowReading(form, 1, kValid + "12.");
  ShowFlowReading(form, 1, kValid + "12.50");
  ShowFlowReading(form, 1, "");
  for (const int number : {0, 5, -1, 32767, -32768}) {
    ShowFlowReading(form, static_cast<std::int16_t>(number), kValid + "12.5");
  }
  EXPECT_EQ(DumpForm(form), before);
}

TEST_F(FlowsTest, ResetGreysTheFourShapesAndKeepsTheReadings) {
  DecodeFlowMessage(form, FlowAnswer(kValid + "12.5" + kValid + "50.0" + Bytes({152}) + "0000" +
                                     kValid + "01.0"));
  Form1 expected = form;
  for (Shape* shape :
       {&expected.shpMFC1, &expected.shpMFC2, &expected.shpMFC3, &expected.shpMFC4}) {
    shape->fillColor = colours::SystemGrayText;
  }
  ResetFlowDisplay(form);
  EXPECT_EQ(DumpForm(form), DumpForm(expected));
  EXPECT_EQ(form.lblMFC2Value.caption, "50.0%");
  EXPECT_EQ(form.lblMFC3Value.caption, "message too short");
}

}  // namespace
}  // namespace halvorn
