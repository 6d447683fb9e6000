#include "FaultSettings.h"

#include <gtest/gtest.h>

#include <string>

#include "SimPlant.h"
#include "link/Frame.h"

namespace halvorn::sim {
namespace {

int Device(std::string_view name) { return DeviceByName(name).value(); }

// The received message (frame without its carriage return).
std::string Message(const std::string& frame) {
  EXPECT_EQ(frame.back(), '\r');
  return frame.substr(0, frame.size() - 1);
}

TEST(FaultSettingsTest, HealthyControllerChangesNothing) {
  FaultSettings faults;
  const SimPlant plant;
  for (const GroupInfo& info : kGroups) {
    SCOPED_TRACE(info.name);
    const std::string text = plant.AnswerText(info.group);
    EXPECT_EQ(faults.Shape(info.group, text), text);
    EXPECT_EQ(faults.Frame(text), BuildFrame(text));
  }
  EXPECT_EQ(faults.Describe(), "none");
}

TEST(FaultSettingsTest, StatusByteLandsOnTheDevicesOwnPosition) {
  // 1-based position in the received message, as the decoders count.
  const struct {
    std::string device;
    Group group;
    std::size_t position;
  } cases[] = {
      {"V1", Group::Valves, 6},    {"V3", Group::Valves, 8},       {"V14", Group::Valves, 19},
      {"CV1", Group::Valves, 20},  {"CV2", Group::Valves, 21},     {"rotary1", Group::Pumps, 6},
      {"rotary2", Group::Pumps, 7}, {"tmp", Group::Pumps, 8},      {"G1", Group::Gauges, 6},
      {"G2", Group::Gauges, 13},   {"G8", Group::Gauges, 55},      {"MFC1", Group::Flows, 6},
      {"MFC4", Group::Flows, 21},  {"electrode", Group::Electrode, 5},
      {"cooling", Group::Cooling, 5},
  };
  const SimPlant plant;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    FaultSettings faults;
    faults.SetStatus(Device(c.device), 159);
    const std::string healthy = plant.AnswerText(c.group);
    const std::string faulty = faults.Shape(c.group, healthy);
    ASSERT_EQ(faulty.size(), healthy.size());
    for (std::size_t i = 0; i < healthy.size(); ++i) {
      if (i + 1 == c.position) {
        EXPECT_EQ(static_cast<unsigned char>(faulty[i]), 159);
      } else {
        EXPECT_EQ(faulty[i], healthy[i]) << "position " << i + 1;
      }
    }
    // Another group's answer is untouched.
    const Group other = c.group == Group::Valves ? Group::Pumps : Group::Valves;
    EXPECT_EQ(faults.Shape(other, plant.AnswerText(other)), plant.AnswerText(other));
  }
}

TEST(FaultSettingsTest, AnyStatusByteCanBeSentAndCleared) {
  FaultSettings faults;
  const SimPlant plant;
  for (const int code : {0, 1, 12, 14, 25, 107, 112, 140, 151, 153, 157, 158, 160, 200, 255}) {
    SCOPED_TRACE(code);
    faults.SetStatus(Device("G5"), static_cast<unsigned char>(code));
    const std::string text = faults.Shape(Group::Gauges, plant.AnswerText(Group::Gauges));
    EXPECT_EQ(static_cast<unsigned char>(text[static_cast<std::size_t>(GaugeFieldIndex(5))]), code);
    EXPECT_FALSE(CrcError(Message(faults.Frame(text))));
  }
  faults.SetStatus(Device("G5"), std::nullopt);
  EXPECT_EQ(faults.Shape(Group::Gauges, plant.AnswerText(Group::Gauges)), plant.AnswerText(Group::Gauges));
}

TEST(FaultSettingsTest, LengthChangesKeepACorrectChecksum) {
  const SimPlant plant;
  const struct {
    Group group;
    int delta;
    std::size_t messageLength;
  } cases[] = {
      {Group::Valves, 1, 25}, {Group::Valves, -1, 23}, {Group::Gauges, 1, 65},
      {Group::Gauges, -1, 63}, {Group::Flows, 2, 30}, {Group::Pumps, -3, 8},
      {Group::Electrode, 1, 9}, {Group::Cooling, -1, 7}, {Group::Uptime, 5, 23},
      {Group::Electrode, -9, 6},  // never shorter than the answer type
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << Info(c.group).name << " " << c.delta);
    FaultSettings faults;
    faults.SetLengthDelta(c.group, c.delta);
    const std::string message = Message(faults.Frame(faults.Shape(c.group, plant.AnswerText(c.group))));
    EXPECT_EQ(message.size(), c.messageLength);
    EXPECT_FALSE(CrcError(message));
    EXPECT_EQ(message.substr(0, 3), plant.AnswerText(c.group).substr(0, 3));
  }
}

TEST(FaultSettingsTest, CrcShareSpoilsEvenlySpacedFrames) {
  const struct {
    double fraction;
    int frames;
    int spoiled;
  } cases[] = {{0.0, 100, 0}, {0.1, 100, 10}, {0.25, 100, 25}, {0.5, 10, 5}, {1.0, 20, 20}, {0.3, 10, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fraction);
    FaultSettings faults;
    faults.SetCrcFraction(c.fraction);
    int spoiled = 0;
    for (int i = 0; i < c.frames; ++i) {
      const std::string message = Message(faults.Frame("061__abcdefghijklmnop"));
      if (CrcError(message)) ++spoiled;
      EXPECT_EQ(message.size(), 24u) << "a spoiled checksum is still three digits";
    }
    EXPECT_EQ(spoiled, c.spoiled);
  }
}

TEST(FaultSettingsTest, EveryFourthFrameAtAQuarter) {
  FaultSettings faults;
  faults.SetCrcFraction(0.25);
  std::string pattern;
  for (int i = 0; i < 8; ++i) pattern += CrcError(Message(faults.Frame("062__+++"))) ? 'x' : '.';
  EXPECT_EQ(pattern, "...x...x");
}

TEST(FaultSettingsTest, DroppedCarriageReturnIsOneFrameOnly) {
  FaultSettings faults;
  faults.DropNextCarriageReturn();
  EXPECT_TRUE(faults.CarriageReturnDropPending());
  EXPECT_EQ(faults.Frame("061_"), "061_246");
  EXPECT_FALSE(faults.CarriageReturnDropPending());
  EXPECT_EQ(faults.Frame("061_"), "061_246\r");
}

TEST(FaultSettingsTest, DescribeAndClear) {
  FaultSettings faults;
  faults.SetStatus(Device("V3"), 160);
  faults.SetCrcFraction(0.1);
  faults.SetLengthDelta(Group::Gauges, 1);
  faults.SetSilenced(Group::Pumps, true);
  faults.SetStopped(true);
  EXPECT_EQ(faults.Describe(), "V3=160, crc 0.1, badlen gauges +1, silent pumps, stopped");
  faults.Clear();
  EXPECT_EQ(faults.Describe(), "none");
  EXPECT_FALSE(faults.Stopped());
  EXPECT_FALSE(faults.Silenced(Group::Pumps));
}

TEST(FaultSettingsTest, OutOfRangeValuesAreBounded) {
  FaultSettings faults;
  faults.SetCrcFraction(7.0);
  EXPECT_EQ(faults.CrcFraction(), 1.0);
  faults.SetLengthDelta(Group::Valves, 1000);
  EXPECT_EQ(faults.LengthDelta(Group::Valves), kLongestLengthDelta);
  faults.SetStatus(-1, 5);
  faults.SetStatus(kDeviceCount, 5);
  EXPECT_FALSE(faults.Status(kDeviceCount).has_value());
}

}  // namespace
}  // namespace halvorn::sim
