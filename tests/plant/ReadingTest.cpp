// What each decoder says a reading is, beside the caption it shows: the
// record and whoever follows the plant take quality and number from here.
#include "panel/Reading.h"

#include <gtest/gtest.h>

#include <charconv>
#include <functional>
#include <string>

#include "panel/Devices.h"
#include "plant/Electrode.h"
#include "plant/Flows.h"
#include "plant/Gauges.h"
#include "plant/Pumps.h"
#include "plant/Valves.h"
#include "support/PlantAnswers.h"

namespace halvorn {
namespace {

using testing::Bytes;
using testing::kValid;

TEST(ReadingTest, EachDecoderSaysWhatItsCaptionReads) {
  struct Case {
    const char* what;
    std::function<void(Form1&)> decode;
    DeviceKind kind;
    std::int16_t number;  // 1 for the electrode's position, 2 for its cooling
    Quality quality;
    std::optional<double> value;
  };
  const auto gauge = [](int n, std::string digits) {
    return [=](Form1& f) { ShowGaugeReading(f, static_cast<std::int16_t>(n), kValid + digits); };
  };
  const auto flow = [](std::string four) {
    return [=](Form1& f) { ShowFlowReading(f, 2, kValid + four); };
  };
  const auto electrode = [](bool cooling, int code) {
    return [=](Form1& f) {
      const std::string answer = "081" + Bytes({0, code}) + "000";
      cooling ? DecodeElectrodeCoolingMessage(f, answer)
              : DecodeElectrodePositionMessage(f, answer);
    };
  };
  const Case cases[] = {
      // clang-format off
      {"a pressure", gauge(3, "123417"), DeviceKind::Gauge, 3, Quality::Valid, 1.234e-3},
      {"a pressure with a positive exponent", gauge(3, "999022"), DeviceKind::Gauge, 3, Quality::Valid, 999.0},
      {"the lowest power of ten", gauge(3, "250000"), DeviceKind::Gauge, 3, Quality::Valid, 2.5e-20},
      {"a capacitive gauge below range", gauge(1, "000000"), DeviceKind::Gauge, 1, Quality::BelowRange, {}},
      {"a Pirani gauge below range", gauge(6, "000000"), DeviceKind::Gauge, 6, Quality::BelowRange, {}},
      {"over range", gauge(7, "999999"), DeviceKind::Gauge, 7, Quality::OverRange, {}},
      {"a mantissa that is no number", gauge(4, "abcd15"), DeviceKind::Gauge, 4, Quality::State, {}},
      {"a negative mantissa", gauge(4, "-12315"), DeviceKind::Gauge, 4, Quality::State, {}},
      {"a gauge fault", [](Form1& f) { ShowGaugeReading(f, 2, Bytes({141}) + "123417"); }, DeviceKind::Gauge, 2,
       Quality::Fault, {}},
      {"percent", flow("45.5"), DeviceKind::Flow, 2, Quality::Valid, 45.5},
      {"percent padded", flow(" 0.0"), DeviceKind::Flow, 2, Quality::Valid, 0.0},
      {"percent with a sign", flow("-1.5"), DeviceKind::Flow, 2, Quality::Valid, -1.5},
      {"percent without a point", flow(" 100"), DeviceKind::Flow, 2, Quality::Valid, 100.0},
      {"a trailing space", flow("  5 "), DeviceKind::Flow, 2, Quality::State, {}},
      {"blanks", flow("    "), DeviceKind::Flow, 2, Quality::State, {}},
      {"a point alone", flow("   ."), DeviceKind::Flow, 2, Quality::State, {}},
      {"two points", flow("1.2."), DeviceKind::Flow, 2, Quality::State, {}},
      {"infinity", flow(" inf"), DeviceKind::Flow, 2, Quality::State, {}},
      {"not a number", flow(" nan"), DeviceKind::Flow, 2, Quality::State, {}},
      {"an exponent", flow("1e99"), DeviceKind::Flow, 2, Quality::State, {}},
      {"hexadecimal", flow("0x1p"), DeviceKind::Flow, 2, Quality::State, {}},
      {"a flow fault", [](Form1& f) { ShowFlowReading(f, 2, Bytes({150}) + "12.5"); }, DeviceKind::Flow, 2,
       Quality::Fault, {}},
      {"a valve open", [](Form1& f) { ShowValveState(f, 15, kValveOpen); }, DeviceKind::Valve, 15, Quality::State,
       {}},
      {"a valve reporting ok", [](Form1& f) { ShowValveState(f, 4, 140); }, DeviceKind::Valve, 4, Quality::Fault, {}},
      {"a pump started", [](Form1& f) { ShowPumpState(f, 3, Bytes({kPumpStarted})); }, DeviceKind::Pump, 3,
       Quality::State, {}},
      {"a pump fault", [](Form1& f) { ShowPumpState(f, 1, Bytes({150})); }, DeviceKind::Pump, 1, Quality::Fault, {}},
      {"the electrode in", electrode(false, kElectrodeIn), DeviceKind::Electrode, 1, Quality::State, {}},
      {"the cooling unknown", electrode(true, 140), DeviceKind::Electrode, 2, Quality::Fault, {}},
      {"greyed gauges", ResetGaugeDisplay, DeviceKind::Gauge, 8, Quality::NoData, {}},
      {"greyed flows", ResetFlowDisplay, DeviceKind::Flow, 4, Quality::NoData, {}},
      {"greyed pumps", ResetPumpDisplay, DeviceKind::Pump, 2, Quality::NoData, {}},
      {"greyed valves", ResetValveDisplay, DeviceKind::Valve, 16, Quality::NoData, {}},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Form1 form;
    ShowGaugeReading(form, 3, kValid + "123417");  // something to overwrite
    c.decode(form);
    const Reading& reading =
        form.readings[FirstSlot(c.kind) + static_cast<std::size_t>(c.number - 1)];
    EXPECT_EQ(reading.quality, c.quality);
    ASSERT_EQ(reading.value.has_value(), c.value.has_value());
    if (c.value) {
      EXPECT_DOUBLE_EQ(*reading.value, *c.value);
    }
  }
}

// Every exponent the field can carry: the pressure is the decimal the
// caption shows, rounded once.
TEST(ReadingTest, APressureIsTheDecimalItsCaptionShows) {
  Form1 form;
  for (const char* mantissa : {"1234", "9998", "0001", "5000"}) {
    for (int e = 0; e <= 99; ++e) {
      const std::string exponent = {static_cast<char>('0' + e / 10),
                                    static_cast<char>('0' + e % 10)};
      ShowGaugeReading(form, 7, kValid + mantissa + exponent);
      std::string decimal = form.lblG7Value.caption;
      if (const auto space = decimal.find(' '); space != std::string::npos) decimal.erase(space, 1);
      SCOPED_TRACE(decimal);
      double expected = 0.0;
      std::from_chars(decimal.data(), decimal.data() + decimal.size(), expected);
      EXPECT_EQ(ReadingOf<DeviceKind::Gauge>(form, 7).value, expected);
    }
  }
}

}  // namespace
}  // namespace halvorn
