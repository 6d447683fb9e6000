#include <gtest/gtest.h>

#include <string>

#include "panel/Dump.h"
#include "plant/Electrode.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Answer;
using testing::Bytes;

// An electrode answer: type, one unread byte, the state byte.
std::string ElectrodeAnswer(const std::string& type, int state, char unread = '_') {
  return Answer(type + unread + Bytes({state}));
}

TEST(ElectrodeTest, PositionCodes) {
  const struct {
    int code;
    std::string caption;
  } cases[] = {
      {'R', "in"},    {'S', "out"},   {'T', "middle"}, {'r', "error"}, {'Q', "error"},
      {'U', "error"}, {'z', "error"}, {140, "error"},  {0, "error"},   {255, "error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("state byte " + std::to_string(c.code));
    Form1 form;
    const std::string answer = ElectrodeAnswer("081", c.code);
    ASSERT_EQ(answer.size(), 8u);
    DecodeElectrodePositionMessage(form, answer);
    EXPECT_EQ(form.lblElectrodePosition.caption, c.caption);
    EXPECT_EQ(form.lblElectrodeCooling.caption, "-");
  }
}

TEST(ElectrodeTest, CoolingCodes) {
  const struct {
    int code;
    std::string caption;
  } cases[] = {
      {'z', "running"}, {'{', "stopped"}, {'x', "error"}, {'y', "error"},
      {'|', "error"},   {'R', "error"},   {140, "error"}, {0, "error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("state byte " + std::to_string(c.code));
    Form1 form;
    DecodeElectrodeCoolingMessage(form, ElectrodeAnswer("121", c.code));
    EXPECT_EQ(form.lblElectrodeCooling.caption, c.caption);
    EXPECT_EQ(form.lblElectrodePosition.caption, "-");
  }
}

TEST(ElectrodeTest, OnlyTheOneLabelChanges) {
  Form1 form;
  Form1 expected = form;
  expected.lblElectrodeCooling.caption = "error";
  DecodeElectrodeCoolingMessage(form, ElectrodeAnswer("121", 120));
  EXPECT_EQ(DumpForm(form), DumpForm(expected));
  expected.lblElectrodePosition.caption = "middle";
  DecodeElectrodePositionMessage(form, ElectrodeAnswer("081", 84));
  EXPECT_EQ(DumpForm(form), DumpForm(expected));
}

TEST(ElectrodeTest, TheUnreadByteDoesNotMatter) {
  Form1 form;
  DecodeElectrodePositionMessage(form, ElectrodeAnswer("081", 'S', 'R'));
  EXPECT_EQ(form.lblElectrodePosition.caption, "out");
  DecodeElectrodeCoolingMessage(form, ElectrodeAnswer("121", '{', 'z'));
  EXPECT_EQ(form.lblElectrodeCooling.caption, "stopped");
}

TEST(ElectrodeTest, AnswersOfAnyOtherLengthChangeNothing) {
  Form1 form;
  DecodeElectrodePositionMessage(form, ElectrodeAnswer("081", 'R'));
  DecodeElectrodeCoolingMessage(form, ElectrodeAnswer("121", 'z'));
  const std::string before = DumpForm(form);
  for (const auto& [type, state] : {std::pair{"081", 'S'}, std::pair{"121", '{'}}) {
    const std::string answer = ElectrodeAnswer(type, state);
    for (const auto& message :
         {answer.substr(0, 7), answer + "0", answer.substr(1), std::string(type)}) {
      SCOPED_TRACE(std::string(type) + " of length " + std::to_string(message.size()));
      DecodeElectrodePositionMessage(form, message);
      DecodeElectrodeCoolingMessage(form, message);
      EXPECT_EQ(DumpForm(form), before);
    }
  }
}

}  // namespace
}  // namespace halvorn
