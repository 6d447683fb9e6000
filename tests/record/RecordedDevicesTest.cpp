// How a device's caption and colour read in the record: quality and number.
#include "record/RecordedDevices.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "plant/StatusCodes.h"

namespace halvorn::record {
namespace {

TEST(RecordedDevicesTest, CaptionsReadAsTheOperatorReadsThem) {
  struct Case {
    DeviceKind kind;
    const char* caption;
    std::optional<Colour> colour;
    Quality quality;
    std::optional<double> value;
  };
  const Colour white = indicator_colour::GaugeValid;
  const Colour flow = indicator_colour::FlowValid;
  const Case cases[] = {
      {DeviceKind::Gauge, "1.234E-3", white, Quality::Valid, 1.234e-3},
      {DeviceKind::Gauge, "9.990E 2", white, Quality::Valid, 999.0},  // the signed exponent's space
      {DeviceKind::Gauge, "5.000E 0", white, Quality::Valid, 5.0},
      {DeviceKind::Gauge, "2.500E-11", white, Quality::Valid, 2.5e-11},
      {DeviceKind::Gauge, "<1", white, Quality::BelowRange, std::nullopt},
      {DeviceKind::Gauge, "<1.000E-4", white, Quality::BelowRange, std::nullopt},
      {DeviceKind::Gauge, "over range", white, Quality::OverRange, std::nullopt},
      {DeviceKind::Gauge, "---", indicator_colour::Fault, Quality::Fault, std::nullopt},
      {DeviceKind::Gauge, "1.234E-3", indicator_colour::NoData, Quality::NoData, std::nullopt},
      {DeviceKind::Gauge, "1.2E", white, Quality::NotANumber, std::nullopt},
      {DeviceKind::Gauge, "E-3", white, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "045.5%", flow, Quality::Valid, 45.5},
      {DeviceKind::Flow, "100.0%", flow, Quality::Valid, 100.0},
      {DeviceKind::Flow, "%", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "Overtemperature", indicator_colour::Fault, Quality::Fault, std::nullopt},
      {DeviceKind::State, "open", colours::Green, Quality::NotANumber, std::nullopt},
      {DeviceKind::State, "state", indicator_colour::NoData, Quality::NoData, std::nullopt},
      {DeviceKind::State, "Unknown error code", indicator_colour::Fault, Quality::Fault, std::nullopt},
      {DeviceKind::State, "in", std::nullopt, Quality::NotANumber, std::nullopt},
      {DeviceKind::State, "error", std::nullopt, Quality::Fault, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("caption '") + c.caption + "'");
    const Reading reading = ReadingOf(c.kind, c.caption, c.colour);
    EXPECT_EQ(reading.quality, c.quality);
    ASSERT_EQ(reading.value.has_value(), c.value.has_value());
    if (c.value) {
      EXPECT_DOUBLE_EQ(*reading.value, *c.value);
    }
  }
}

TEST(RecordedDevicesTest, UptimeIsSecondsOnceShown) {
  EXPECT_EQ(UptimeReading("").quality, Quality::NoData);
  const Reading shown = UptimeReading("86400s");
  EXPECT_EQ(shown.quality, Quality::Valid);
  EXPECT_EQ(shown.value, 86400.0);
  EXPECT_EQ(UptimeReading("s").quality, Quality::NotANumber);
}

// The viewer reads device names from the schema's comment: every name
// recorded must be one it lists, and none twice.
TEST(RecordedDevicesTest, EveryDeviceIsNamedOnceAndAsTheSchemaSays) {
  const std::string schema = kSchemaSql;
  const std::size_t comment = schema.find("device TEXT NOT NULL");
  ASSERT_NE(comment, std::string::npos);
  const std::string listed = schema.substr(comment, schema.find('\n', comment) - comment);
  std::set<std::string_view> names;
  for (const RecordedDevice& device : kRecordedDevices) {
    SCOPED_TRACE(std::string(device.name));
    EXPECT_TRUE(names.insert(device.name).second);
    const bool numbered = device.name.back() >= '0' && device.name.back() <= '9';
    if (!numbered) {
      EXPECT_NE(listed.find("'" + std::string(device.name) + "'"), std::string::npos);
    }
    EXPECT_EQ(device.detail != nullptr, device.kind == DeviceKind::Gauge);
  }
  EXPECT_EQ(names.size(), 36u);  // 16 valves, 3 mechanical, 3 pumps, 8 gauges, 4 flows, 2 electrode readouts
}

}  // namespace
}  // namespace halvorn::record
