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
      // The controller pads its four characters on the left, as the
      // simulator does: " 0.0", "12.5".
      {DeviceKind::Flow, " 0.0%", flow, Quality::Valid, 0.0},
      {DeviceKind::Flow, "12.5%", flow, Quality::Valid, 12.5},
      {DeviceKind::Flow, "  5 %", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "%", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "    %", flow, Quality::NotANumber, std::nullopt},
      // What the controller's four characters may also say: never a
      // valid reading, however the window shows them.
      {DeviceKind::Flow, " inf%", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "-inf%", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, " nan%", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "1e99%", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "0x1p%", flow, Quality::NotANumber, std::nullopt},
      {DeviceKind::Gauge, "1.000E 999", white, Quality::NotANumber, std::nullopt},
      {DeviceKind::Gauge, "infE 0", white, Quality::NotANumber, std::nullopt},
      {DeviceKind::Flow, "Overtemperature", indicator_colour::Fault, Quality::Fault, std::nullopt},
      {DeviceKind::Valve, "open", colours::Green, Quality::NotANumber, std::nullopt},
      {DeviceKind::Pump, "state", indicator_colour::NoData, Quality::NoData, std::nullopt},
      {DeviceKind::Valve, "Unknown error code", indicator_colour::Fault, Quality::Fault, std::nullopt},
      {DeviceKind::Electrode, "in", std::nullopt, Quality::NotANumber, std::nullopt},
      {DeviceKind::Electrode, "error", std::nullopt, Quality::Fault, std::nullopt},
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
  for (const char* text : {"s", "infs", "nans", "1e9s"}) {
    SCOPED_TRACE(text);
    const Reading reading = UptimeReading(text);
    EXPECT_EQ(reading.quality, Quality::NotANumber);
    EXPECT_FALSE(reading.value);
  }
}

// The viewer reads device names from the schema's comment: every name
// recorded must be one it lists, and none twice; the names stay those of
// records already written.
TEST(RecordedDevicesTest, EveryDeviceIsNamedOnceAndAsTheSchemaSays) {
  const std::string schema = kSchemaSql;
  const std::size_t comment = schema.find("device TEXT NOT NULL");
  ASSERT_NE(comment, std::string::npos);
  const std::string listed = schema.substr(comment, schema.find('\n', comment) - comment);
  const Form1 form;
  std::set<std::string_view> names;
  std::string all;
  for (const Device& device : kRecordedDevices) {
    SCOPED_TRACE(std::string(device.name));
    EXPECT_TRUE(names.insert(device.name).second);
    const bool numbered = device.name.back() >= '0' && device.name.back() <= '9';
    if (!numbered) {
      EXPECT_NE(listed.find("'" + std::string(device.name) + "'"), std::string::npos);
    }
    EXPECT_EQ(RecordedDetail(device) != nullptr, device.kind == DeviceKind::Gauge);
    // A gauge's text is its reading, not the "ok" beside it.
    if (device.kind == DeviceKind::Gauge) {
      EXPECT_EQ(&(form.*RecordedText(device)), &(form.*device.value));
    }
    all += std::string(device.name) + ' ';
  }
  EXPECT_EQ(all,
            "V1 V2 V3 V4 V5 V6 V7 V8 V9 V10 V11 V12 V13 V14 CV1 CV2 MECH1 MECH2 MECH3 ROTARY1 ROTARY2 TMP "
            "G1 G2 G3 G4 G5 G6 G7 G8 MFC1 MFC2 MFC3 MFC4 ELECTRODE COOLING ");
}

}  // namespace
}  // namespace halvorn::record
