#include "AnswerText.h"

#include <gtest/gtest.h>

#include <string>

#include "link/Frame.h"
#include "support/PlantAnswers.h"

namespace halvorn::sim {
namespace {

using halvorn::testing::Bytes;

TEST(GaugeDigitsTest, MantissaAndBiasedExponent) {
  const struct {
    double mbar;
    GaugeKind kind;
    std::string digits;
  } cases[] = {
      {1.234e-3, GaugeKind::FullRange, "123417"},
      {1013.0, GaugeKind::Piezo, "101323"},
      {1013.0, GaugeKind::FullRange, "101323"},
      {1.0, GaugeKind::Piezo, "100020"},       // the lowest a piezo gauge reads
      {0.999, GaugeKind::Piezo, "000000"},     // below it: the reserved bound
      {1e-4, GaugeKind::FullRange, "100016"},  // the lowest a full-range gauge reads
      {9.9e-5, GaugeKind::FullRange, "000000"},
      {5e-8, GaugeKind::FullRange, "000000"},
      {2000.0, GaugeKind::Piezo, "200023"},
      {2001.0, GaugeKind::Piezo, "999999"},  // over range
      {1501.0, GaugeKind::FullRange, "999999"},
      {9.9996e-3, GaugeKind::FullRange, "100018"},  // rounding carries into the next decade
      {9.9994e-3, GaugeKind::FullRange, "999917"},
      {0.01, GaugeKind::FullRange, "100018"},  // an exact power of ten
      {1000.0, GaugeKind::Piezo, "100023"},
      {5.0, GaugeKind::Piezo, "500020"},
      {0.0, GaugeKind::FullRange, "000000"},
      {-1.0, GaugeKind::Piezo, "000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.mbar << " mBar, kind " << static_cast<int>(c.kind));
    EXPECT_EQ(GaugeDigits(c.mbar, c.kind), c.digits);
  }
}

TEST(GaugeDigitsTest, PiezoGaugesAreG1ToG5) {
  for (int g = 1; g <= 8; ++g) {
    SCOPED_TRACE(g);
    EXPECT_EQ(KindOfGauge(g), g <= 5 ? GaugeKind::Piezo : GaugeKind::FullRange);
  }
}

TEST(FlowPercentTextTest, AlwaysFourCharacters) {
  const struct {
    double percent;
    std::string text;
  } cases[] = {
      {0.0, " 0.0"},   {7.5, " 7.5"},   {12.5, "12.5"},   {50.0, "50.0"},  {99.94, "99.9"},
      {99.96, "100."}, {100.0, "100."}, {150.0, "100."},  {-3.0, " 0.0"},  {9.96, "10.0"},
      {0.04, " 0.0"},  {0.05, " 0.1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.percent);
    EXPECT_EQ(FlowPercentText(c.percent), c.text);
  }
}

TEST(AnswerTextTest, LengthsWithTheirChecksumFieldsAreTheDecodersLengths) {
  std::array<unsigned char, kValveCount> valves{};
  valves.fill(kValveClosed);
  std::array<unsigned char, kGaugeCount> gaugeStatus{};
  gaugeStatus.fill(kReadingValid);
  std::array<std::string, kGaugeCount> gaugeDigits{};
  gaugeDigits.fill("101323");
  std::array<unsigned char, kFlowCount> flowStatus{};
  flowStatus.fill(kReadingValid);
  std::array<std::string, kFlowCount> flows{};
  flows.fill(" 0.0");

  const struct {
    std::string name;
    std::string text;
    std::size_t messageLength;  // answer text and checksum field
    std::string type;
  } cases[] = {
      {"valves", ValveAnswerText(valves), 24, "061"},
      {"pumps", PumpAnswerText({kPumpStopped, kPumpStopped, kPumpStopped}), 11, "062"},
      {"gauges", GaugeAnswerText(gaugeStatus, gaugeDigits), 64, "060"},
      {"flows", FlowAnswerText(flowStatus, flows), 28, "063"},
      {"uptime", UptimeAnswerText(3600), 18, "010"},
      {"electrode", ElectrodeAnswerText(kElectrodeOut), 8, "081"},
      {"cooling", CoolingAnswerText(kCoolingStopped), 8, "121"},
      {"warning", WarningText(105), 8, "105"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string frame = BuildFrame(c.text);
    EXPECT_EQ(frame.size(), c.messageLength + 1);
    EXPECT_EQ(frame.substr(0, 3), c.type);
    EXPECT_EQ(frame.find('\r'), frame.size() - 1) << "a carriage return inside the answer";
    EXPECT_FALSE(CrcError(frame.substr(0, frame.size() - 1)));
  }
}

TEST(AnswerTextTest, ValveAnswerCarriesOneByteEachFromPositionSix) {
  std::array<unsigned char, kValveCount> valves{};
  valves.fill(kValveClosed);
  valves[4] = kValveOpen;   // V5
  valves[15] = kValveOpen;  // CV2
  const std::string expected = "061__" + Bytes({23, 23, 23, 23, 24, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 24});
  EXPECT_EQ(ValveAnswerText(valves), expected);
}

TEST(AnswerTextTest, PumpAnswerInCommandOrder) {
  EXPECT_EQ(PumpAnswerText({kPumpStarted, kPumpAccelerating, kPumpStopped}), "062__.,+");
  EXPECT_EQ(PumpAnswerText({kPumpStopping, kPumpStopped, kPumpStarted}), "062__-+.");
}

TEST(AnswerTextTest, GaugeFieldsAreStatusAndSixDigits) {
  std::array<unsigned char, kGaugeCount> status{};
  status.fill(kReadingValid);
  status[6] = 159;  // G7
  std::array<std::string, kGaugeCount> digits{"123415", "101323", "000000", "999999",
                                              "500022", "100020", "250000", "123"};
  const std::string text = GaugeAnswerText(status, digits);
  ASSERT_EQ(text.size(), 61u);
  const std::string valid = Bytes({140});
  EXPECT_EQ(text.substr(0, 5), "060__");
  EXPECT_EQ(text.substr(5, 7), valid + "123415");   // G1 at position 6
  EXPECT_EQ(text.substr(12, 7), valid + "101323");  // G2 at position 13
  EXPECT_EQ(text.substr(47, 7), Bytes({159}) + "250000");
  EXPECT_EQ(text.substr(54, 7), valid + "123000");  // short digits padded, fields never shift
}

TEST(AnswerTextTest, FlowFieldsAreStatusAndFourCharacters) {
  const std::string text = FlowAnswerText({kReadingValid, kReadingValid, 160, kReadingValid},
                                          {"50.0", " 0.0", "12.5", "100."});
  const std::string valid = Bytes({140});
  EXPECT_EQ(text, "063__" + valid + "50.0" + valid + " 0.0" + Bytes({160}) + "12.5" + valid + "100.");
}

TEST(AnswerTextTest, UptimeIsTenDigitsFromPositionSix) {
  EXPECT_EQ(UptimeAnswerText(3600), "010__0000003600");
  EXPECT_EQ(UptimeAnswerText(0), "010__0000000000");
  EXPECT_EQ(UptimeAnswerText(-5), "010__0000000000");
  EXPECT_EQ(UptimeAnswerText(12345678901LL), "010__9999999999");
}

TEST(AnswerTextTest, ElectrodeAndCoolingStateAtPositionFive) {
  EXPECT_EQ(ElectrodeAnswerText(kElectrodeIn), "081_R");
  EXPECT_EQ(ElectrodeAnswerText(kElectrodeOut), "081_S");
  EXPECT_EQ(ElectrodeAnswerText(kElectrodeMiddle), "081_T");
  EXPECT_EQ(CoolingAnswerText(kCoolingRunning), "121_z");
  EXPECT_EQ(CoolingAnswerText(kCoolingStopped), "121_{");
}

TEST(AnswerTextTest, WarningsCarryTheirTypeFirst) {
  EXPECT_EQ(WarningText(100), "100__");
  EXPECT_EQ(WarningText(105), "105__");
  EXPECT_EQ(WarningText(106), "106__");
}

}  // namespace
}  // namespace halvorn::sim
