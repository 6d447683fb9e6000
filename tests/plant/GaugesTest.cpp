#include <gtest/gtest.h>

#include <string>

#include "panel/Dump.h"
#include "plant/Gauges.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Answer;
using testing::Bytes;
using testing::kValid;

// A gauge answer: type 60, two unread bytes, then the eight fields.
std::string GaugeAnswer(const std::string& fields) { return Answer("060__" + fields); }

class GaugesTest : public ::testing::Test {
 protected:
  Form1 form;
  void SetUp() override { ResetGaugeDisplay(form); }
};

TEST_F(GaugesTest, WorkedReadings) {
  const struct {
    std::string digits;
    int gauge;
    std::string caption;
  } cases[] = {
      {"123415", 3, "1.234E-5"},  {"500022", 3, "5.000E 2"},   {"100020", 3, "1.000E 0"},
      {"250000", 3, "2.500E-20"}, {"000015", 3, "0.000E-5"},  // only all six zeros are reserved
      {"000000", 1, "<1"},        {"000000", 5, "<1"},         {"000000", 6, "<1.000E-4"},
      {"000000", 8, "<1.000E-4"}, {"999999", 2, "over range"}, {"999999", 7, "over range"},
      {"999998", 7, "9.999E 78"},  // not reserved either
      {"999099", 7, "9.990E 79"},  // the highest power of ten
      {"100019", 1, "1.000E-1"},  {"100021", 1, "1.000E 1"},   {"123405", 4, "1.234E-15"},
      {"abcd15", 4, "a.bcdE-5"},  // the mantissa is copied as it stands
      {"12 415", 4, "1.2 4E-5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("G" + std::to_string(c.gauge) + " digits " + c.digits);
    Form1 fresh;
    ShowGaugeReading(fresh, static_cast<std::int16_t>(c.gauge), kValid + c.digits);
    const Form1& f = fresh;
    const Label* values[] = {&f.lblG1Value, &f.lblG2Value, &f.lblG3Value, &f.lblG4Value,
                             &f.lblG5Value, &f.lblG6Value, &f.lblG7Value, &f.lblG8Value};
    const Label* states[] = {&f.lblG1State, &f.lblG2State, &f.lblG3State, &f.lblG4State,
                             &f.lblG5State, &f.lblG6State, &f.lblG7State, &f.lblG8State};
    const Shape* shapes[] = {&f.shpG1, &f.shpG2, &f.shpG3, &f.shpG4,
                             &f.shpG5, &f.shpG6, &f.shpG7, &f.shpG8};
    const auto i = static_cast<std::size_t>(c.gauge - 1);
    EXPECT_EQ(values[i]->caption, c.caption);
    EXPECT_EQ(states[i]->caption, "ok");
    EXPECT_EQ(shapes[i]->fillColor, colours::White);
  }
}

TEST_F(GaugesTest, ExponentDigitsThatAreNotDigitsAreReadLeniently) {
  // The power of ten is the leniently read number minus 20.
  const struct {
    std::string exponent;
    std::string ending;
  } cases[] = {
      {"+5", "E-15"}, {"-5", "E-25"}, {"-9", "E-29"}, {" 5", "E-15"}, {"5 ", "E-15"},
      {"5x", "E-15"}, {"x5", "E-20"}, {"  ", "E-20"}, {"--", "E-20"}, {Bytes({140, 140}), "E-20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("exponent field \"" + c.exponent + "\"");
    ShowGaugeReading(form, 2, kValid + "1234" + c.exponent);
    EXPECT_EQ(form.lblG2Value.caption, "1.234" + c.ending);
    EXPECT_EQ(form.lblG2State.caption, "ok");
  }
}

TEST_F(GaugesTest, MantissaBytesAreCopiedIntoTheCaptionUnchanged) {
  ShowGaugeReading(form, 1, kValid + Bytes({140, '"', 0, '\\'}) + "15");
  EXPECT_EQ(form.lblG1Value.caption, Bytes({140, '.', '"', 0, '\\'}) + "E-5");
  // The dump writes them so that they can be read.
  EXPECT_EQ(DumpLabel(form.lblG1Value), R"(lblG1Value "\x8C.\"\x00\\E-5")");
}

TEST_F(GaugesTest, AFaultShowsDashesARedShapeAndTheStatusText) {
  const struct {
    int status;
    std::string digits;
    std::string state;
  } cases[] = {
      {159, "123415", "no response from pfeiffer bus"},
      {159, "000000", "no response from pfeiffer bus"},
      {159, "999999", "no response from pfeiffer bus"},
      {107, "123415", "wrong size response from pfeiffer bus"},
      {151, "123415", "crc error"},
      {0, "123415", "Unknown error code"},
      {141, "123415", "Unknown error code"},
      {255, "123415", "Unknown error code"},
      {'0', "123415", "Unknown error code"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("status " + std::to_string(c.status) + " digits " + c.digits);
    Form1 fresh;
    ShowGaugeReading(fresh, 7, Bytes({c.status}) + c.digits);
    EXPECT_EQ(fresh.lblG7Value.caption, "---");
    EXPECT_EQ(fresh.shpG7.fillColor, colours::Red);
    EXPECT_EQ(fresh.lblG7State.caption, c.state);
  }
}

TEST_F(GaugesTest, AnAnswerShowsEachGaugeFromItsOwnField) {
  const std::string fields = kValid + "123415" +        // G1
                             kValid + "000000" +        // G2
                             Bytes({159}) + "123415" +  // G3
                             kValid + "500022" +        // G4
                             kValid + "999999" +        // G5
                             kValid + "100020" +        // G6
                             kValid + "000000" +        // G7
                             Bytes({160}) + "000000";   // G8
  const std::string answer = GaugeAnswer(fields);
  ASSERT_EQ(answer.size(), 64u);
  DecodeGaugeMessage(form, answer);
  EXPECT_EQ(DumpGauges(form),
            "shpG1 0x00FFFFFF | lblG1Value \"1.234E-5\" | lblG1State \"ok\"\n"
            "shpG2 0x00FFFFFF | lblG2Value \"<1\" | lblG2State \"ok\"\n"
            "shpG3 0x000000FF | lblG3Value \"---\" | lblG3State \"no response from pfeiffer bus\"\n"
            "shpG4 0x00FFFFFF | lblG4Value \"5.000E 2\" | lblG4State \"ok\"\n"
            "shpG5 0x00FFFFFF | lblG5Value \"over range\" | lblG5State \"ok\"\n"
            "shpG6 0x00FFFFFF | lblG6Value \"1.000E 0\" | lblG6State \"ok\"\n"
            "shpG7 0x00FFFFFF | lblG7Value \"<1.000E-4\" | lblG7State \"ok\"\n"
            "shpG8 0x000000FF | lblG8Value \"---\" | lblG8State \"no response from icpcon bus\"\n");
}

TEST_F(GaugesTest, AnAnswerOfAnyOtherLengthChangesNothing) {
  const std::string before = DumpForm(form);
  std::string fields;
  for (int g = 0; g < 8; ++g) fields += kValid + "123415";
  const std::string answer = GaugeAnswer(fields);
  for (const auto& message : {answer.substr(0, 63), answer + "0", answer.substr(1), answer + answer,
                              std::string("060")}) {
    SCOPED_TRACE("length " + std::to_string(message.size()));
    DecodeGaugeMessage(form, message);
    EXPECT_EQ(DumpForm(form), before);
  }
}

TEST_F(GaugesTest, AFieldOfTheWrongLengthOrANumberOutsideTheTableChangesNothing) {
  const std::string before = DumpForm(form);
  ShowGaugeReading(form, 1, kValid + "12341");
  ShowGaugeReading(form, 1, kValid + "1234150");
  ShowGaugeReading(form, 1, "");
  for (const int number : {0, 9, -1, 32767, -32768}) {
    ShowGaugeReading(form, static_cast<std::int16_t>(number), kValid + "123415");
  }
  EXPECT_EQ(DumpForm(form), before);
}

TEST_F(GaugesTest, ResetGreysTheEightCirclesAndKeepsTheReadings) {
  std::string fields;
  for (int g = 0; g < 8; ++g) fields += (g == 4 ? Bytes({109}) : kValid) + "123415";
  DecodeGaugeMessage(form, GaugeAnswer(fields));
  Form1 expected = form;
  for (Shape* shape : {&expected.shpG1, &expected.shpG2, &expected.shpG3, &expected.shpG4,
                       &expected.shpG5, &expected.shpG6, &expected.shpG7, &expected.shpG8}) {
    shape->fillColor = colours::SystemGrayText;
  }
  ResetGaugeDisplay(form);
  EXPECT_EQ(DumpForm(form), DumpForm(expected));
  EXPECT_EQ(form.lblG1Value.caption, "1.234E-5");
  EXPECT_EQ(form.lblG5State.caption, "bad crc from pfeiffer bus");
  // The buffers around the circles are no gauges.
  EXPECT_EQ(form.shpBuffer[0].fillColor, colours::LightGreen);
}

}  // namespace
}  // namespace halvorn
