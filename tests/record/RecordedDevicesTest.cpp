// The devices the record follows, under the names the schema lists.
#include "record/RecordedDevices.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace halvorn::record {
namespace {

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
    EXPECT_EQ(DetailLabel(device) != nullptr, device.kind == DeviceKind::Gauge);
    // A gauge's text is its reading, not the "ok" beside it.
    if (device.kind == DeviceKind::Gauge) {
      EXPECT_EQ(&(form.*TextLabel(device)), &(form.*device.value));
    }
    all += std::string(device.name) + ' ';
  }
  EXPECT_EQ(all,
            "V1 V2 V3 V4 V5 V6 V7 V8 V9 V10 V11 V12 V13 V14 CV1 CV2 MECH1 MECH2 MECH3 ROTARY1 ROTARY2 TMP "
            "G1 G2 G3 G4 G5 G6 G7 G8 MFC1 MFC2 MFC3 MFC4 ELECTRODE COOLING ");
}

}  // namespace
}  // namespace halvorn::record
