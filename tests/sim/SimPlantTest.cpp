#include "SimPlant.h"

#include <gtest/gtest.h>

#include <string>

#include "AnswerText.h"
#include "link/Frame.h"

namespace halvorn::sim {
namespace {

// Moves the plant on in the 50 ms steps of a running simulator.
void RunFor(SimPlant& plant, double seconds) {
  for (double t = 0.0; t < seconds - 1e-9; t += 0.05) plant.Advance(0.05);
}

// The byte that the valve answer carries for valve `number`.
int ValveByte(const SimPlant& plant, int number) {
  return static_cast<unsigned char>(plant.AnswerText(Group::Valves)[static_cast<std::size_t>(ValveStatusIndex(number))]);
}

int PumpByte(const SimPlant& plant, int number) {
  return static_cast<unsigned char>(plant.AnswerText(Group::Pumps)[static_cast<std::size_t>(PumpStatusIndex(number))]);
}

TEST(SimPlantTest, StartsAtRestAndAtAtmosphere) {
  const SimPlant plant;
  for (int v = 1; v <= kValveCount; ++v) EXPECT_FALSE(plant.ValveOpen(v)) << v;
  for (int p = 1; p <= kPumpCount; ++p) EXPECT_EQ(plant.Pump(p), PumpState::Stopped) << p;
  for (int g = 1; g <= kGaugeCount; ++g) EXPECT_DOUBLE_EQ(plant.Pressure(g), kAtmosphereMbar) << g;
  EXPECT_EQ(plant.ElectrodePosition(), 0.0);
  EXPECT_FALSE(plant.CoolingOn());
  EXPECT_FALSE(plant.UvShutterOpen());
  EXPECT_EQ(plant.UptimeSeconds(), 0);
}

TEST(SimPlantTest, EveryCommandOfThePanelIsApplied) {
  const struct {
    std::string command;
    std::string what;
  } cases[] = {
      {"020_05", "V5 open"},          {"020_01", "V1 open"},         {"020_16", "CV2 open"},
      {"021_16", "CV2 closed"},       {"021_01", "V1 closed"},       {"040_3", "tmp switched on"},
      {"041_1", "rotary1 switched off"}, {"040_2", "rotary2 switched on"},
      {"070_1050", "MFC1 setpoint 50%"}, {"070_4100", "MFC4 setpoint 100%"},
      {"070_2000", "MFC2 setpoint 0%"}, {"080_1", "electrode moving in"},
      {"080_0", "electrode moving out"}, {"030_01", "UV lamp shutter open"},
      {"031_01", "UV lamp shutter closed"}, {"120_1", "cooling on"}, {"120_0", "cooling off"},
  };
  SimPlant plant;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(plant.Apply(c.command).value_or("(not applied)"), c.what);
  }
}

TEST(SimPlantTest, CommandsChangeTheStateTheyName) {
  SimPlant plant;
  plant.Apply("020_05");
  EXPECT_TRUE(plant.ValveOpen(5));
  EXPECT_EQ(ValveByte(plant, 5), kValveOpen);
  EXPECT_EQ(ValveByte(plant, 4), kValveClosed);
  plant.Apply("020_16");
  EXPECT_EQ(ValveByte(plant, 16), kValveOpen);
  plant.Apply("021_16");
  EXPECT_FALSE(plant.ValveOpen(16));
  EXPECT_EQ(ValveByte(plant, 16), kValveClosed);

  plant.Apply("040_3");
  EXPECT_EQ(plant.Pump(kTurbo), PumpState::Accelerating);
  EXPECT_EQ(PumpByte(plant, kTurbo), kPumpAccelerating);

  plant.Apply("070_1050");
  EXPECT_EQ(plant.FlowSetpoint(1), 50);

  plant.Apply("030_01");
  EXPECT_TRUE(plant.UvShutterOpen());
  plant.Apply("031_01");
  EXPECT_FALSE(plant.UvShutterOpen());

  plant.Apply("120_1");
  EXPECT_TRUE(plant.CoolingOn());
  EXPECT_EQ(plant.AnswerText(Group::Cooling), "121_z");
  plant.Apply("120_0");
  EXPECT_EQ(plant.AnswerText(Group::Cooling), "121_{");
}

TEST(SimPlantTest, SwitchingARotaryPumpOffRunsItDown) {
  SimPlant plant;
  plant.Apply("040_1");
  RunFor(plant, 4.0);
  ASSERT_EQ(plant.Pump(kRotary1), PumpState::Started);
  plant.Apply("041_1");
  EXPECT_EQ(plant.Pump(kRotary1), PumpState::Stopping);
  EXPECT_EQ(PumpByte(plant, kRotary1), kPumpStopping);
  RunFor(plant, 3.0);
  EXPECT_EQ(plant.Pump(kRotary1), PumpState::Stopped);
  EXPECT_EQ(PumpByte(plant, kRotary1), kPumpStopped);
}

TEST(SimPlantTest, MalformedOrOutOfRangeCommandsChangeNothing) {
  const char* rejected[] = {
      "020_00", "020_17", "020_5",  "020_005", "021_1a", "040_0",  "040_4",   "040_13", "041_",
      "070_5050", "070_1101", "070_105", "070_10500", "070_0050", "080_2", "080_", "080_10",
      "120_2", "030_02", "031_1", "030_", "099_1", "061_", "020-05", "", "02", "abc_1",
  };
  for (const char* command : rejected) {
    SCOPED_TRACE(command);
    SimPlant plant;
    const std::string before = plant.Dump();
    EXPECT_FALSE(plant.Apply(command).has_value());
    EXPECT_EQ(plant.Dump(), before);
  }
}

TEST(SimPlantTest, PumpsAccelerateOverSecondsThenRun) {
  SimPlant plant;
  plant.Apply("040_2");
  RunFor(plant, 1.0);
  EXPECT_EQ(plant.Pump(kRotary2), PumpState::Accelerating);
  RunFor(plant, 2.5);
  EXPECT_EQ(plant.Pump(kRotary2), PumpState::Started);
  EXPECT_EQ(PumpByte(plant, kRotary2), kPumpStarted);

  plant.Apply("040_3");
  RunFor(plant, 3.0);
  EXPECT_EQ(plant.Pump(kTurbo), PumpState::Accelerating) << "the TMP takes longer";
  RunFor(plant, 3.5);
  EXPECT_EQ(plant.Pump(kTurbo), PumpState::Started);

  plant.Apply("041_3");
  RunFor(plant, 2.0);
  EXPECT_EQ(plant.Pump(kTurbo), PumpState::Stopping);
  RunFor(plant, 4.0);
  EXPECT_EQ(plant.Pump(kTurbo), PumpState::Stopped);
}

TEST(SimPlantTest, SwitchingOnAgainWhileStoppingAcceleratesFromWhereItIs) {
  SimPlant plant;
  plant.Apply("040_1");
  RunFor(plant, 4.0);
  plant.Apply("041_1");
  RunFor(plant, 1.0);
  ASSERT_EQ(plant.Pump(kRotary1), PumpState::Stopping);
  plant.Apply("040_1");
  EXPECT_EQ(plant.Pump(kRotary1), PumpState::Accelerating);
  RunFor(plant, 1.6);
  EXPECT_EQ(plant.Pump(kRotary1), PumpState::Started);
}

TEST(SimPlantTest, VesselIsRoughedThroughCV2ByRotaryPump2) {
  SimPlant plant;
  plant.Apply("040_2");
  RunFor(plant, 5.0);
  EXPECT_NEAR(plant.Pressure(8), kAtmosphereMbar, 1.0) << "CV2 closed: the pump reaches nothing";
  plant.Apply("020_16");  // CV2 open
  RunFor(plant, 10.0);
  EXPECT_LT(plant.Pressure(8), 0.05);  // vessel
  EXPECT_LT(plant.Pressure(6), 0.05);  // pumping line
  EXPECT_NEAR(plant.Pressure(4), kAtmosphereMbar, 1.0) << "the gas manifold stays shut off";
}

TEST(SimPlantTest, TurboPumpsTheVesselToHighVacuumOnceBacked) {
  SimPlant plant;
  for (const char* c : {"040_1", "040_2", "020_16", "040_3"}) plant.Apply(c);
  RunFor(plant, 12.0);
  const double roughed = plant.Pressure(8);
  EXPECT_LT(roughed, 0.05);
  EXPECT_LT(plant.Pressure(7), 0.1) << "backing line pumped by rotary pump 1";
  plant.Apply("021_16");  // CV2 closed
  plant.Apply("020_15");  // CV1 open: the vessel sees the TMP
  RunFor(plant, 20.0);
  EXPECT_LT(plant.Pressure(8), 1e-5);
  EXPECT_EQ(GaugeDigits(plant.Pressure(8), KindOfGauge(8)), "000000") << "below the gauge's range";
  // Gas into the vessel raises its pressure into the gauge's range.
  plant.Apply("070_4100");
  RunFor(plant, 10.0);
  EXPECT_GT(plant.Pressure(8), 1e-4);
  EXPECT_LT(plant.Pressure(8), 0.1);
}

TEST(SimPlantTest, PressureRisesWhenThePumpingStops) {
  SimPlant plant;
  for (const char* c : {"040_2", "020_16"}) plant.Apply(c);
  RunFor(plant, 10.0);
  const double pumped = plant.Pressure(8);
  plant.Apply("021_16");  // cut off from the pump
  RunFor(plant, 10.0);
  const double later = plant.Pressure(8);
  EXPECT_GT(later, pumped * 2.0);
  EXPECT_LT(later, kAtmosphereMbar);
  RunFor(plant, 600.0);
  EXPECT_NEAR(plant.Pressure(8), kAtmosphereMbar, 20.0) << "leaks up to atmosphere in the end";
}

TEST(SimPlantTest, GasManifoldIsPumpedThroughV1AndFilledFromASupply) {
  SimPlant plant;
  for (const char* c : {"040_2", "020_16", "020_01", "020_11"}) plant.Apply(c);
  RunFor(plant, 10.0);
  EXPECT_LT(plant.Pressure(4), 1.0);  // left manifold
  EXPECT_LT(plant.Pressure(2), 1.0);  // buffer 2 behind V11
  EXPECT_EQ(GaugeDigits(plant.Pressure(2), KindOfGauge(2)), "000000") << "a piezo gauge below 1 mBar";
  EXPECT_NEAR(plant.Pressure(1), kAtmosphereMbar, 1.0) << "buffer 1: V12 closed";
  plant.Apply("021_01");  // V1 closed
  plant.Apply("020_07");  // V7 admits gas
  RunFor(plant, 5.0);
  EXPECT_NEAR(plant.Pressure(4), kSupplyMbar, 10.0);
  EXPECT_NEAR(plant.Pressure(2), kSupplyMbar, 10.0);
}

TEST(SimPlantTest, ClosedOffVolumesEvenOutWhenJoined) {
  SimPlant plant;
  for (const char* c : {"040_2", "020_16", "020_01", "020_12"}) plant.Apply(c);
  RunFor(plant, 10.0);
  plant.Apply("021_01");
  plant.Apply("021_12");
  plant.Apply("021_16");
  ASSERT_LT(plant.Pressure(1), 1.0);
  plant.Apply("020_02");  // the right manifold at atmosphere joins the left one
  RunFor(plant, 3.0);
  EXPECT_NEAR(plant.Pressure(4), plant.Pressure(5), plant.Pressure(5) * 0.05);
  EXPECT_GT(plant.Pressure(4), 100.0);
  EXPECT_LT(plant.Pressure(1), 1.0) << "buffer 1 stays behind V12";
}

TEST(SimPlantTest, FlowReachesItsSetpointWithinTwoSeconds) {
  SimPlant plant;
  plant.Apply("070_1050");
  plant.Apply("070_4100");
  RunFor(plant, 0.5);
  EXPECT_GT(plant.FlowReading(1), 10.0);
  EXPECT_LT(plant.FlowReading(1), 50.0);
  RunFor(plant, 1.5);
  EXPECT_DOUBLE_EQ(plant.FlowReading(1), 50.0);
  EXPECT_DOUBLE_EQ(plant.FlowReading(4), 100.0);
  EXPECT_EQ(plant.FlowReading(2), 0.0);
  const std::string answer = plant.AnswerText(Group::Flows);
  EXPECT_EQ(answer.substr(static_cast<std::size_t>(FlowFieldIndex(1)) + 1, 4), "50.0");
  EXPECT_EQ(answer.substr(static_cast<std::size_t>(FlowFieldIndex(4)) + 1, 4), "100.");
  plant.Apply("070_1000");
  RunFor(plant, 2.0);
  EXPECT_DOUBLE_EQ(plant.FlowReading(1), 0.0);
}

TEST(SimPlantTest, ElectrodePassesThroughMiddle) {
  SimPlant plant;
  EXPECT_EQ(plant.AnswerText(Group::Electrode), "081_S");
  plant.Apply("080_1");
  RunFor(plant, 0.1);
  EXPECT_EQ(plant.AnswerText(Group::Electrode), "081_T");
  RunFor(plant, 1.4);
  EXPECT_EQ(plant.AnswerText(Group::Electrode), "081_T") << "still travelling after a poll cycle";
  RunFor(plant, 2.0);
  EXPECT_EQ(plant.AnswerText(Group::Electrode), "081_R");
  plant.Apply("080_0");
  RunFor(plant, 1.0);
  EXPECT_EQ(plant.AnswerText(Group::Electrode), "081_T");
  RunFor(plant, 3.0);
  EXPECT_EQ(plant.AnswerText(Group::Electrode), "081_S");
}

TEST(SimPlantTest, UptimeCountsWholeSeconds) {
  SimPlant plant;
  RunFor(plant, 0.95);
  EXPECT_EQ(plant.AnswerText(Group::Uptime), "010__0000000000");
  RunFor(plant, 3600.1);
  EXPECT_EQ(plant.UptimeSeconds(), 3601);
  EXPECT_EQ(plant.AnswerText(Group::Uptime), "010__0000003601");
}

TEST(SimPlantTest, OneLongStepAndManyShortStepsAgree) {
  SimPlant a;
  SimPlant b;
  for (const char* c : {"040_2", "020_16", "070_2050", "080_1"}) {
    a.Apply(c);
    b.Apply(c);
  }
  a.Advance(6.0);
  RunFor(b, 6.0);
  for (int g = 1; g <= kGaugeCount; ++g) EXPECT_NEAR(a.Pressure(g) / b.Pressure(g), 1.0, 1e-2) << g;
  EXPECT_DOUBLE_EQ(a.FlowReading(2), b.FlowReading(2));
  EXPECT_EQ(a.Pump(kRotary2), b.Pump(kRotary2));
  a.Advance(-1.0);  // time never runs backwards
  EXPECT_EQ(a.UptimeSeconds(), 6);
}

TEST(SimPlantTest, AnswersEveryPollRequestAndNothingElse) {
  const struct {
    std::string request;
    std::size_t messageLength;
  } cases[] = {
      {"061_", 24}, {"062_", 11}, {"060_", 64}, {"063_", 28}, {"010_", 18}, {"081_", 8}, {"121_", 8},
  };
  SimPlant plant;
  for (const char* c : {"040_2", "020_16", "020_05", "070_3033", "080_1", "120_1"}) plant.Apply(c);
  RunFor(plant, 1.3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    const std::optional<std::string> text = plant.Answer(c.request);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->substr(0, 3), c.request.substr(0, 3));
    EXPECT_EQ(text->size() + 3, c.messageLength);
    EXPECT_EQ(text->find('\r'), std::string::npos);
  }
  for (const char* other : {"061", "061_1", "064_", "020_05", "010__", ""}) {
    SCOPED_TRACE(other);
    EXPECT_FALSE(plant.Answer(other).has_value());
  }
}

TEST(SimPlantTest, GaugeAnswerShowsEachVolumeInItsField) {
  SimPlant plant;
  for (const char* c : {"040_1"}) plant.Apply(c);
  RunFor(plant, 8.0);
  const std::string answer = plant.AnswerText(Group::Gauges);
  for (int g = 1; g <= kGaugeCount; ++g) {
    SCOPED_TRACE(g);
    const std::string field = answer.substr(static_cast<std::size_t>(GaugeFieldIndex(g)), 7);
    EXPECT_EQ(static_cast<unsigned char>(field[0]), kReadingValid);
    EXPECT_EQ(field.substr(1), GaugeDigits(plant.Pressure(g), KindOfGauge(g)));
  }
  // Only the backing line (G7) is pumped, by rotary pump 1.
  EXPECT_EQ(answer.substr(static_cast<std::size_t>(GaugeFieldIndex(1)) + 1, 6), "101323");
  EXPECT_LT(plant.Pressure(7), 0.01);
}

}  // namespace
}  // namespace halvorn::sim
