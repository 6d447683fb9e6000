#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "link/Frame.h"
#include "link/Receiver.h"
#include "panel/Dump.h"
#include "support/FakeSerialPort.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Bytes;
using testing::kValid;
using testing::OnLine;

// A received message: the answer text and its correct checksum field.
std::string Framed(const std::string& text) { return text + ChecksumField(Checksum(text)); }

const std::string kValveAnswerText = "061__" + std::string(16, '\x18');  // all open
const std::string kPumpAnswerText = "062__" + Bytes({46, 44, 43});
const std::string kFlowAnswerText =
    "063__" + kValid + "12.5" + kValid + "50.0" + kValid + "00.0" + kValid + "99.9";
const std::string kPositionAnswerText = "081_T";
const std::string kCoolingAnswerText = "121_z";
std::string GaugeAnswerText() {
  std::string text = "060__";
  for (int g = 0; g < 8; ++g) text += kValid + "123415";
  return text;
}

const char kCorrectCaption[] = " correct message(s) received from pic";
const char kCrcCaption[] = " received message(s) with crc error";

class ReceiverTest : public ::testing::Test {
 protected:
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;
};

// --- ProcessMessage ------------------------------------------------------

TEST_F(ReceiverTest, TheLabelsKeepTheirLayoutCaptionsUntilTheFirstCount) {
  EXPECT_EQ(form.lblStatus2.caption, "0 messages received from pic");
  EXPECT_EQ(form.lblCrcErrors.caption, "0 received message with crc error");
  ProcessMessage(panel, "061_245");
  EXPECT_EQ(form.lblCrcErrors.caption, std::string(" 1") + kCrcCaption);
  EXPECT_EQ(form.lblStatus2.caption, "0 messages received from pic");
  ProcessMessage(panel, Framed("999"));
  EXPECT_EQ(form.lblStatus2.caption, std::string(" 1") + kCorrectCaption);
  EXPECT_EQ(form.lblCrcErrors.caption, std::string(" 1") + kCrcCaption);
}

TEST_F(ReceiverTest, AWrongChecksumIsOnlyCounted) {
  // Answers that would each change something if they passed.
  const std::string cases[] = {
      "105_000",                  // a warning
      "999_000",                  // another message
      "010__0000003600000",       // the uptime
      kValveAnswerText + "000",   // valves: length 24
      GaugeAnswerText() + "999",  // gauges: length 64
      kPositionAnswerText + "000",
      Framed(kPumpAnswerText).substr(0, 10) + "x",  // checksum digit not a digit
  };
  std::int32_t count = 0;
  for (const auto& message : cases) {
    SCOPED_TRACE(message);
    Form1 expected = form;
    ++count;
    expected.lblCrcErrors.caption = " " + std::to_string(count) + kCrcCaption;
    ProcessMessage(panel, message);
    EXPECT_EQ(DumpForm(form), DumpForm(expected));
    EXPECT_EQ(panel.CrcErrorCount, count);
    EXPECT_EQ(panel.CorrectMessageCount, 0);
    EXPECT_EQ(panel.watchdog.GaugesUpdated, 0);
    EXPECT_EQ(panel.watchdog.ValvesUpdated, 0);
    EXPECT_EQ(panel.watchdog.PumpsUpdated, 0);
    EXPECT_EQ(panel.watchdog.FlowsUpdated, 0);
  }
}

TEST_F(ReceiverTest, MessagesTooShortForAChecksumFieldAreChecksumErrors) {
  for (const std::string& message :
       {std::string(), std::string("0"), std::string("00"), std::string(2, '\0')}) {
    SCOPED_TRACE("length " + std::to_string(message.size()));
    ProcessMessage(panel, message);
  }
  EXPECT_EQ(panel.CrcErrorCount, 4);
  EXPECT_EQ(panel.CorrectMessageCount, 0);
  EXPECT_EQ(form.lblCrcErrors.caption, std::string(" 4") + kCrcCaption);
}

TEST_F(ReceiverTest, PlantAnswersAreDecodedAndMarkTheirGroup) {
  const struct {
    const char* name;
    std::string text;
    std::int16_t WatchdogFlags::*flag;
    std::string (*dump)(const Form1&);
  } cases[] = {
      {"gauges", GaugeAnswerText(), &WatchdogFlags::GaugesUpdated, &DumpGauges},
      {"valves", kValveAnswerText, &WatchdogFlags::ValvesUpdated, &DumpValves},
      {"pumps", kPumpAnswerText, &WatchdogFlags::PumpsUpdated, &DumpPumps},
      {"flows", kFlowAnswerText, &WatchdogFlags::FlowsUpdated, &DumpFlows},
      {"electrode position", kPositionAnswerText, &WatchdogFlags::FlowsUpdated, &DumpElectrode},
      {"electrode cooling", kCoolingAnswerText, &WatchdogFlags::FlowsUpdated, &DumpElectrode},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSerialPort otherPort;
    FrontPanel fresh(otherPort);
    const std::string before = c.dump(fresh.form);
    ProcessMessage(fresh, Framed(c.text));
    EXPECT_NE(c.dump(fresh.form), before) << "the answer was not decoded";
    WatchdogFlags expected;
    expected.*c.flag = 1;
    EXPECT_EQ(fresh.watchdog.GaugesUpdated, expected.GaugesUpdated);
    EXPECT_EQ(fresh.watchdog.ValvesUpdated, expected.ValvesUpdated);
    EXPECT_EQ(fresh.watchdog.PumpsUpdated, expected.PumpsUpdated);
    EXPECT_EQ(fresh.watchdog.FlowsUpdated, expected.FlowsUpdated);
    EXPECT_EQ(fresh.CorrectMessageCount, 1);
    EXPECT_TRUE(fresh.form.lstMessages.items.empty());
  }
}

TEST_F(ReceiverTest, DecodedAnswersShowTheirValues) {
  ProcessMessage(panel, Framed(kValveAnswerText));
  ProcessMessage(panel, Framed(kPumpAnswerText));
  ProcessMessage(panel, Framed(GaugeAnswerText()));
  ProcessMessage(panel, Framed(kFlowAnswerText));
  ProcessMessage(panel, Framed(kPositionAnswerText));
  ProcessMessage(panel, Framed(kCoolingAnswerText));
  EXPECT_EQ(form.lblCV2state.caption, "open");
  EXPECT_EQ(form.lblRotary2Status.caption, "accelerating");
  EXPECT_EQ(form.lblG8Value.caption, "1.234E-5");
  EXPECT_EQ(form.lblG8State.caption, "ok");
  EXPECT_EQ(form.lblMFC4Value.caption, "99.9%");
  EXPECT_EQ(form.lblElectrodePosition.caption, "middle");
  EXPECT_EQ(form.lblElectrodeCooling.caption, "running");
  EXPECT_EQ(form.lblStatus2.caption, std::string(" 6") + kCorrectCaption);
}

TEST_F(ReceiverTest, APlantAnswerOfTheWrongLengthChangesNoIndicatorButMarksItsGroup) {
  const struct {
    const char* name;
    std::string text;
    std::int16_t WatchdogFlags::*flag;
  } cases[] = {
      {"gauges", GaugeAnswerText().substr(1), &WatchdogFlags::GaugesUpdated},
      {"valves", kValveAnswerText + "\x18", &WatchdogFlags::ValvesUpdated},
      {"pumps", "062_", &WatchdogFlags::PumpsUpdated},
      {"flows", kFlowAnswerText.substr(0, 24), &WatchdogFlags::FlowsUpdated},
      {"electrode position", "081_RR", &WatchdogFlags::FlowsUpdated},
      {"electrode cooling", "121", &WatchdogFlags::FlowsUpdated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSerialPort otherPort;
    FrontPanel fresh(otherPort);
    Form1 expected = fresh.form;
    expected.lblStatus2.caption = std::string(" 1") + kCorrectCaption;
    ProcessMessage(fresh, Framed(c.text));
    EXPECT_EQ(DumpForm(fresh.form), DumpForm(expected));
    EXPECT_EQ(fresh.watchdog.*c.flag, 1);
  }
}

TEST_F(ReceiverTest, WarningsGoToTheTopOfTheWarningsList) {
  const struct {
    std::string text;
    std::string entry;
  } cases[] = {
      {"100", " 100 (OP_ERR_PNEUMATIC_PRESSURE)"},
      {"105", " 105 (OP_ERR_ICPCON_BUS)"},
      {"106", " 106 (OP_ERR_PFEIFFER_BUS)"},
      // The rest of a warning is not read.
      {"105_whatever" + Bytes({140, 0}), " 105 (OP_ERR_ICPCON_BUS)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ProcessMessage(panel, Framed(c.text));
    ASSERT_FALSE(form.lstWarnings.items.empty());
    EXPECT_EQ(form.lstWarnings.items.front(), c.entry);
  }
  EXPECT_EQ(form.lstWarnings.ListCount(), 4);
  EXPECT_TRUE(form.lstMessages.items.empty());
  EXPECT_EQ(panel.watchdog.GaugesUpdated + panel.watchdog.ValvesUpdated +
                panel.watchdog.PumpsUpdated + panel.watchdog.FlowsUpdated,
            0);
}

TEST_F(ReceiverTest, ElevenWarningsLeaveTheTenNewest) {
  for (int i = 0; i < 11; ++i) ProcessMessage(panel, Framed("105"));
  EXPECT_EQ(form.lstWarnings.items, std::vector<std::string>(10, " 105 (OP_ERR_ICPCON_BUS)"));
  ProcessMessage(panel, Framed("100"));
  ASSERT_EQ(form.lstWarnings.ListCount(), 10);
  EXPECT_EQ(form.lstWarnings.items.front(), " 100 (OP_ERR_PNEUMATIC_PRESSURE)");
  ProcessMessage(panel, Framed("106"));
  for (int i = 0; i < 8; ++i) ProcessMessage(panel, Framed("105"));
  // The pneumatic warning has sunk to the bottom; one more pushes it out.
  ASSERT_EQ(form.lstWarnings.ListCount(), 10);
  EXPECT_EQ(form.lstWarnings.items.back(), " 100 (OP_ERR_PNEUMATIC_PRESSURE)");
  ProcessMessage(panel, Framed("105"));
  EXPECT_EQ(form.lstWarnings.items.back(), " 106 (OP_ERR_PFEIFFER_BUS)");
  EXPECT_EQ(panel.CorrectMessageCount, 22);
}

TEST_F(ReceiverTest, OtherMessagesAreListedWholeWithTheirChecksumDigits) {
  ProcessMessage(panel, Framed("999"));
  ProcessMessage(panel, Framed("020_05"));
  ProcessMessage(panel, "000");  // an empty text: type 0
  EXPECT_EQ(form.lstMessages.items, (std::vector<std::string>{"000", "020_05086", "999171"}));
  EXPECT_EQ(form.lblStatus2.caption, std::string(" 3") + kCorrectCaption);
  EXPECT_TRUE(form.lstWarnings.items.empty());
}

TEST_F(ReceiverTest, ElevenOtherMessagesLeaveTheTenNewest) {
  for (int i = 0; i < 11; ++i) ProcessMessage(panel, Framed("9" + std::to_string(10 + i)));
  ASSERT_EQ(form.lstMessages.ListCount(), 10);
  EXPECT_EQ(form.lstMessages.items.front(), Framed("920"));
  EXPECT_EQ(form.lstMessages.items.back(), Framed("911"));
}

TEST_F(ReceiverTest, EveryCorrectMessageTrimsBothListsByOneEntryAtMost) {
  for (int i = 0; i < 13; ++i) form.lstWarnings.AddItem("w" + std::to_string(i), 0);
  for (int i = 0; i < 12; ++i) form.lstMessages.AddItem("m" + std::to_string(i), 0);
  // A checksum error trims nothing.
  ProcessMessage(panel, "999_000");
  EXPECT_EQ(form.lstWarnings.ListCount(), 13);
  EXPECT_EQ(form.lstMessages.ListCount(), 12);
  // An uptime answer belongs to neither list, yet trims both.
  ProcessMessage(panel, Framed("010__0000000001"));
  EXPECT_EQ(form.lstWarnings.ListCount(), 12);
  EXPECT_EQ(form.lstMessages.ListCount(), 11);
  EXPECT_EQ(form.lstWarnings.items.back(), "w1");
  EXPECT_EQ(form.lstMessages.items.back(), "m1");
  ProcessMessage(panel, Framed(kValveAnswerText));
  EXPECT_EQ(form.lstWarnings.ListCount(), 11);
  EXPECT_EQ(form.lstMessages.ListCount(), 10);
}

TEST_F(ReceiverTest, UptimeIsReadFromCharactersSixToFifteen) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"010__0000003600", "3600s"},
      {"010ab0000000042", "42s"},  // characters 4 and 5 are not read
      {"010__12abcdefgh", "12s"},
      {"010__0000000000", "0s"},
      {"010__abc", "0s"},
      {"010__2147483647", "2147483647s"},
      // Ten digits go beyond 32 bits and are shown as sent.
      {"010__4294967296", "4294967296s"},
      {"010__9999999999", "9999999999s"},
      {"010__-000000005", "-5s"},
      {"010__        36", "36s"},  // blanks in front are skipped
      // Only ten characters are read, whatever follows.
      {"010__00000000019", "1s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ProcessMessage(panel, Framed(c.text));
    EXPECT_EQ(form.txtUptime.text, c.shown);
  }
  EXPECT_TRUE(form.lstMessages.items.empty());
  EXPECT_EQ(panel.CorrectMessageCount, static_cast<std::int32_t>(std::size(cases)));
}

TEST_F(ReceiverTest, AShortUptimeAnswerReadsAsFarAsItGoesChecksumDigitsIncluded) {
  // "010" has the checksum field 145: character 6 is its last digit.
  ProcessMessage(panel, Framed("010"));
  EXPECT_EQ(form.txtUptime.text, "5s");
  // "010__" (checksum 079): characters 6 to 8 are the checksum digits.
  ProcessMessage(panel, Framed("010__"));
  EXPECT_EQ(form.txtUptime.text, "79s");
  // "01" with its checksum 097 reads as type 010 and has no character 6.
  ProcessMessage(panel, Framed("01"));
  EXPECT_EQ(form.txtUptime.text, "0s");
  EXPECT_TRUE(form.lstMessages.items.empty());
}

TEST_F(ReceiverTest, TheAnswerTypeIsReadLeniently) {
  const struct {
    std::string text;
    const char* handling;
  } cases[] = {
      {" 61__" + std::string(16, '\x18'), "valves"},  // a blank in front is skipped
      {"+61__" + std::string(16, '\x18'), "valves"},  // and a plus sign accepted
      {"0610_" + std::string(16, '\x18'), "valves"},  // only three characters count
      {"10___0000000042", "uptime"},                  // "10_" reads 10
      {"1 0__0000000042", "other"},                   // "1 0" reads 1
      {"-61__" + std::string(16, '\x18'), "other"},   // -61 is no type
      {"6a1__" + std::string(16, '\x18'), "other"},   // "6a1" reads 6
      {Bytes({140}) + "61_" + std::string(16, '\x18'), "other"},
      {"abc", "other"},
      {"", "other"},  // the bare checksum field "000"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    testing::FakeSerialPort otherPort;
    FrontPanel fresh(otherPort);
    ProcessMessage(fresh, Framed(c.text));
    const std::string handling = fresh.watchdog.ValvesUpdated == 1         ? "valves"
                                 : fresh.form.txtUptime.text == "42s"      ? "uptime"
                                 : fresh.form.lstMessages.ListCount() == 1 ? "other"
                                                                           : "?";
    EXPECT_EQ(handling, c.handling);
    EXPECT_EQ(fresh.CorrectMessageCount, 1);
  }
}

TEST_F(ReceiverTest, LeniencyStillNeedsTheExactLengthToDecode) {
  ProcessMessage(panel, Framed(" 61__" + std::string(16, '\x18')));
  EXPECT_EQ(form.lblV1state.caption, "open");
}

TEST_F(ReceiverTest, CountersStopAtTheTopOfTheirRange) {
  constexpr std::int32_t kTop = std::numeric_limits<std::int32_t>::max();
  panel.CorrectMessageCount = kTop - 1;
  panel.CrcErrorCount = kTop - 1;
  ProcessMessage(panel, Framed("999"));
  ProcessMessage(panel, "999_000");
  EXPECT_EQ(panel.CorrectMessageCount, kTop);
  EXPECT_EQ(panel.CrcErrorCount, kTop);
  for (int i = 0; i < 3; ++i) {
    ProcessMessage(panel, Framed("105"));
    ProcessMessage(panel, "105_000");
  }
  EXPECT_EQ(panel.CorrectMessageCount, kTop);
  EXPECT_EQ(panel.CrcErrorCount, kTop);
  EXPECT_EQ(form.lblStatus2.caption, std::string(" 2147483647") + kCorrectCaption);
  EXPECT_EQ(form.lblCrcErrors.caption, std::string(" 2147483647") + kCrcCaption);
  // The panel keeps working: messages are still handled.
  EXPECT_EQ(form.lstWarnings.ListCount(), 3);
}

TEST_F(ReceiverTest, FortyTwoMessagesAreCountedWithTheLeadingSpace) {
  for (int i = 0; i < 42; ++i) ProcessMessage(panel, Framed(kValveAnswerText));
  EXPECT_EQ(form.lblStatus2.caption, " 42 correct message(s) received from pic");
}

// --- ReceiveText ---------------------------------------------------------

TEST_F(ReceiverTest, TwoMessagesInOneChunkAreProcessedInOrderEachLightingTheLamp) {
  ReceiveText(panel, OnLine("911") + OnLine("912"));
  EXPECT_EQ(form.lstMessages.items, (std::vector<std::string>{Framed("912"), Framed("911")}));
  EXPECT_EQ(form.shpRecv.fillColor, colours::Green);
  EXPECT_TRUE(form.Timer4.enabled);
  EXPECT_EQ(form.Timer4.starts, 2u);
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
}

TEST_F(ReceiverTest, AMessageSplitOverThreeChunksIsProcessedOnceWhenItsEndArrives) {
  const std::string line = OnLine(kValveAnswerText);
  ReceiveText(panel, line.substr(0, 5));
  ReceiveText(panel, line.substr(5, 10));
  EXPECT_EQ(panel.CorrectMessageCount + panel.CrcErrorCount, 0);
  EXPECT_EQ(form.shpRecv.fillColor, colours::SystemMenu);
  EXPECT_FALSE(form.Timer4.enabled);
  ReceiveText(panel, line.substr(15));
  EXPECT_EQ(panel.CorrectMessageCount, 1);
  EXPECT_EQ(panel.CrcErrorCount, 0);
  EXPECT_EQ(form.lblV14state.caption, "open");
  EXPECT_EQ(form.Timer4.starts, 1u);
}

TEST_F(ReceiverTest, EveryMessageCutOutIsCountedOnceGoodOrBad) {
  // An empty message, one too short, one corrupt, two good.
  ReceiveText(panel,
              "\r"
              "12\r"
              "999_000\r" +
                  OnLine("999") + OnLine("105"));
  EXPECT_EQ(panel.CrcErrorCount, 3);
  EXPECT_EQ(panel.CorrectMessageCount, 2);
  EXPECT_EQ(form.Timer4.starts, 5u);
}

TEST_F(ReceiverTest, BytesAboveOneTwentySevenSurviveTheBuffer) {
  const std::string text = "060__" + std::string(7, '\x8C') + GaugeAnswerText().substr(12);
  ReceiveText(panel, OnLine(text).substr(0, 9));
  ReceiveText(panel, OnLine(text).substr(9));
  EXPECT_EQ(panel.CorrectMessageCount, 1);
  // The status byte was recognised, and the six 140s were copied as digits.
  EXPECT_EQ(form.lblG1State.caption, "ok");
  EXPECT_EQ(form.lblG1Value.caption,
            "\x8C.\x8C\x8C\x8C"
            "E-20");
}

TEST_F(ReceiverTest, AChunkThatOverfillsTheBufferIsDroppedWhole) {
  std::string chunk;
  for (int i = 0; i < 5; ++i) chunk += OnLine("9" + std::to_string(10 + i));
  chunk += std::string(300 - chunk.size(), 'x');
  ASSERT_EQ(chunk.size(), 300u);
  const std::string before = DumpForm(form);
  ReceiveText(panel, chunk);
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
  EXPECT_EQ(DumpForm(form), before);
  EXPECT_EQ(panel.CorrectMessageCount + panel.CrcErrorCount, 0);
}

TEST_F(ReceiverTest, ABufferOfExactly256IsKeptAndOneMoreByteEmptiesIt) {
  ReceiveText(panel, std::string(200, 'a'));
  ReceiveText(panel, std::string(56, 'b'));
  EXPECT_EQ(panel.ReceiveBuffer.size(), 256u);
  ReceiveText(panel, "c");
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
  EXPECT_EQ(panel.CorrectMessageCount + panel.CrcErrorCount, 0);
}

TEST_F(ReceiverTest, A256ByteBufferEndedByACarriageReturnIsProcessed) {
  // Ten messages of 25 bytes and the first 6 of an eleventh: 256 in all.
  std::string chunk;
  for (int i = 0; i < 10; ++i) chunk += OnLine(kValveAnswerText);
  chunk += OnLine(kValveAnswerText).substr(0, 6);
  ASSERT_EQ(chunk.size(), 256u);
  ReceiveText(panel, chunk);
  EXPECT_EQ(panel.CorrectMessageCount, 10);
  EXPECT_EQ(panel.ReceiveBuffer, OnLine(kValveAnswerText).substr(0, 6));
  ReceiveText(panel, OnLine(kValveAnswerText).substr(6));
  EXPECT_EQ(panel.CorrectMessageCount, 11);
}

TEST_F(ReceiverTest, AfterADropTheNextMessageStartsAFreshBuffer) {
  ReceiveText(panel, std::string(250, 'a'));
  // The start of a valve answer overfills the buffer and goes with it...
  const std::string line = OnLine(kValveAnswerText);
  ReceiveText(panel, line.substr(0, 10));
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
  // ...so its tail arrives alone and fails the checksum.
  ReceiveText(panel, line.substr(10));
  EXPECT_EQ(panel.CrcErrorCount, 1);
  ReceiveText(panel, line);
  EXPECT_EQ(panel.CorrectMessageCount, 1);
}

TEST_F(ReceiverTest, AnEmptyChunkChangesNothing) {
  ReceiveText(panel, "06");
  ReceiveText(panel, "");
  EXPECT_EQ(panel.ReceiveBuffer, "06");
  EXPECT_EQ(form.Timer4.starts, 0u);
}

}  // namespace
}  // namespace halvorn
