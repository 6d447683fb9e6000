#include <gtest/gtest.h>

#include <string>

#include "panel/Dump.h"
#include "plant/Valves.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Answer;
using testing::Bytes;

// A valve answer: type 61, two unread bytes, then the sixteen state bytes.
std::string ValveAnswer(const std::string& states, const std::string& unread = "__") {
  return Answer("061" + unread + states);
}

class ValvesTest : public ::testing::Test {
 protected:
  Form1 form;
  void SetUp() override { ResetValveDisplay(form); }
};

TEST_F(ValvesTest, AllOpenShowsSixteenGreenValvesAndLeavesTheMechanicalOnesGrey) {
  const std::string answer = ValveAnswer(std::string(16, '\x18'));
  ASSERT_EQ(answer.size(), 24u);
  DecodeValveMessage(form, answer);
  EXPECT_EQ(DumpValves(form),
            "shpV1 0x0000FF00 | lblV1state \"open\"\n"
            "shpV2 0x0000FF00 | lblV2state \"open\"\n"
            "shpV3 0x0000FF00 | lblV3state \"open\"\n"
            "shpV4 0x0000FF00 | lblV4state \"open\"\n"
            "shpV5 0x0000FF00 | lblV5state \"open\"\n"
            "shpV6 0x0000FF00 | lblV6state \"open\"\n"
            "shpV7 0x0000FF00 | lblV7state \"open\"\n"
            "shpV8 0x0000FF00 | lblV8state \"open\"\n"
            "shpV9 0x0000FF00 | lblV9state \"open\"\n"
            "shpV10 0x0000FF00 | lblV10state \"open\"\n"
            "shpV11 0x0000FF00 | lblV11state \"open\"\n"
            "shpV12 0x0000FF00 | lblV12state \"open\"\n"
            "shpV13 0x0000FF00 | lblV13state \"open\"\n"
            "shpV14 0x0000FF00 | lblV14state \"open\"\n"
            "shpCV1 0x0000FF00 | lblCV1State \"open\"\n"
            "shpCV2 0x0000FF00 | lblCV2state \"open\"\n"
            "shpVmech1 0x80000011 | Label16 \"state\"\n"
            "shpVmech2 0x80000011 | lblVmech2state \"state\"\n"
            "shpVmech3 0x80000011 | lblVmech3state \"state\"\n"
            "shpVneedle 0x000000FF | Label8 \"valve\"\n");
}

TEST_F(ValvesTest, StateBytesGiveTheirCaptionAndColour) {
  const struct {
    int code;
    std::string caption;
    Colour colour;
  } cases[] = {
      {23, "closed", colours::Yellow},
      {24, "open", colours::Green},
      // 140 is "ok" for a reading, but no valve state: shown as a fault.
      {140, "ok", colours::Red},
      {160, "no response from icpcon bus", colours::Red},
      {159, "no response from pfeiffer bus", colours::Red},
      {107, "wrong size response from pfeiffer bus", colours::Red},
      {112, "bad crc from icpcon bus", colours::Red},
      {25, "Unknown error code", colours::Red},
      {22, "Unknown error code", colours::Red},
      {153, "Unknown error code", colours::Red},
      {0, "Unknown error code", colours::Red},
      {255, "Unknown error code", colours::Red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("state byte " + std::to_string(c.code));
    Form1 fresh;
    DecodeValveMessage(fresh, ValveAnswer(std::string(16, static_cast<char>(c.code))));
    EXPECT_EQ(fresh.lblV7state.caption, c.caption);
    EXPECT_EQ(fresh.shpV7.fillColor, c.colour);
    EXPECT_EQ(fresh.lblCV1State.caption, c.caption);
    EXPECT_EQ(fresh.shpCV2.fillColor, c.colour);
  }
}

TEST_F(ValvesTest, EachValveReadsItsOwnPositionOfTheAnswer) {
  const Shape Form1::*shapes[] = {&Form1::shpV1,  &Form1::shpV2,  &Form1::shpV3,  &Form1::shpV4,
                                  &Form1::shpV5,  &Form1::shpV6,  &Form1::shpV7,  &Form1::shpV8,
                                  &Form1::shpV9,  &Form1::shpV10, &Form1::shpV11, &Form1::shpV12,
                                  &Form1::shpV13, &Form1::shpV14, &Form1::shpCV1, &Form1::shpCV2};
  const Label Form1::*labels[] = {
      &Form1::lblV1state,  &Form1::lblV2state,  &Form1::lblV3state,  &Form1::lblV4state,
      &Form1::lblV5state,  &Form1::lblV6state,  &Form1::lblV7state,  &Form1::lblV8state,
      &Form1::lblV9state,  &Form1::lblV10state, &Form1::lblV11state, &Form1::lblV12state,
      &Form1::lblV13state, &Form1::lblV14state, &Form1::lblCV1State, &Form1::lblCV2state};
  for (int open = 0; open < 16; ++open) {
    SCOPED_TRACE("only valve number " + std::to_string(open + 1) + " open");
    std::string states(16, '\x17');
    states[static_cast<std::size_t>(open)] = '\x18';
    Form1 fresh;
    DecodeValveMessage(fresh, ValveAnswer(states));
    for (int v = 0; v < 16; ++v) {
      const bool isOpen = v == open;
      EXPECT_EQ((fresh.*labels[v]).caption, isOpen ? "open" : "closed") << "valve " << v + 1;
      EXPECT_EQ((fresh.*shapes[v]).fillColor, isOpen ? colours::Green : colours::Yellow)
          << "valve " << v + 1;
    }
  }
}

TEST_F(ValvesTest, TheTwoUnreadBytesAndTheChecksumFieldDoNotMatter) {
  const std::string states = std::string(8, '\x18') + std::string(8, '\x17');
  DecodeValveMessage(form, ValveAnswer(states, "__"));
  const std::string expected = DumpValves(form);
  Form1 other;
  ResetValveDisplay(other);
  // Valve state bytes in the unread places, and a checksum field of state bytes.
  DecodeValveMessage(other, "061" + Bytes({23, 24}) + states + Bytes({24, 24, 23}));
  EXPECT_EQ(DumpValves(other), expected);
}

TEST_F(ValvesTest, AnAnswerOfAnyOtherLengthChangesNothing) {
  DecodeValveMessage(form, ValveAnswer(std::string(16, '\x17')));
  const std::string before = DumpForm(form);
  const std::string allOpen(16, '\x18');
  const std::string cases[] = {
      ValveAnswer(allOpen).substr(0, 23),
      ValveAnswer(allOpen) + "0",
      ValveAnswer(allOpen.substr(1)),
      "061",
      "",
  };
  for (const auto& message : cases) {
    SCOPED_TRACE("length " + std::to_string(message.size()));
    DecodeValveMessage(form, message);
    EXPECT_EQ(DumpForm(form), before);
  }
}

TEST_F(ValvesTest, NumbersOutsideTheValveTableChangeNothing) {
  const std::string before = DumpForm(form);
  for (const int number : {0, 17, -1, 100, -32768, 32767}) {
    SCOPED_TRACE("number " + std::to_string(number));
    ShowValveState(form, static_cast<std::int16_t>(number), kValveOpen);
    EXPECT_EQ(DumpForm(form), before);
  }
}

TEST_F(ValvesTest, ShowValveStateNumbersTheValvesLikeTheCommands) {
  ShowValveState(form, 15, kValveOpen);
  ShowValveState(form, 16, kValveClosed);
  ShowValveState(form, 1, 156);
  EXPECT_EQ(form.lblCV1State.caption, "open");
  EXPECT_EQ(form.shpCV1.fillColor, colours::Green);
  EXPECT_EQ(form.lblCV2state.caption, "closed");
  EXPECT_EQ(form.shpCV2.fillColor, colours::Yellow);
  EXPECT_EQ(form.lblV1state.caption, "operation not allowed");
  EXPECT_EQ(form.shpV1.fillColor, colours::Red);
}

TEST_F(ValvesTest, ResetGreysNineteenShapesAndKeepsEveryCaption) {
  DecodeValveMessage(form, ValveAnswer(std::string(15, '\x18') + "\xA0"));
  Form1 expected = form;
  for (Shape* shape :
       {&expected.shpV1, &expected.shpV2, &expected.shpV3, &expected.shpV4, &expected.shpV5,
        &expected.shpV6, &expected.shpV7, &expected.shpV8, &expected.shpV9, &expected.shpV10,
        &expected.shpV11, &expected.shpV12, &expected.shpV13, &expected.shpV14, &expected.shpCV1,
        &expected.shpCV2, &expected.shpVmech1, &expected.shpVmech2, &expected.shpVmech3}) {
    shape->fillColor = colours::SystemGrayText;
  }
  ResetValveDisplay(form);
  // The needle valve is no part of the group: it keeps its colour.
  EXPECT_EQ(DumpForm(form), DumpForm(expected));
  EXPECT_EQ(form.lblV1state.caption, "open");
  EXPECT_EQ(form.lblCV2state.caption, "no response from icpcon bus");
  EXPECT_EQ(form.shpVneedle.fillColor, colours::Red);
}

TEST_F(ValvesTest, ANewAnswerAfterAResetColoursTheValvesAgain) {
  DecodeValveMessage(form, ValveAnswer(std::string(16, '\x18')));
  ResetValveDisplay(form);
  EXPECT_EQ(form.shpV3.fillColor, colours::SystemGrayText);
  EXPECT_EQ(form.lblV3state.caption, "open");
  DecodeValveMessage(form, ValveAnswer(std::string(16, '\x17')));
  EXPECT_EQ(form.shpV3.fillColor, colours::Yellow);
  EXPECT_EQ(form.lblV3state.caption, "closed");
}

}  // namespace
}  // namespace halvorn
