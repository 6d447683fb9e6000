// The device tables held against the window: each row's widgets belong to
// one device and sit where that device is drawn, its name is what the
// picture shows, and its number and answer position follow the protocol.
#include "panel/Devices.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace halvorn {
namespace {

bool Inside(const Rect& inner, const Rect& outer) {
  return inner.left >= outer.left && inner.right() <= outer.right() && inner.top >= outer.top &&
         inner.bottom() <= outer.bottom();
}

// A wrong member in a row (lblV3state beside shpV2) puts a caption on
// another device's shape.
TEST(DevicesTest, SwitchedDevicesCaptionsLieOnTheirShapeAndNameThem) {
  const Form1 form;
  for (const SwitchedDevice& d : kSwitchedDevices) {
    SCOPED_TRACE(std::string(d.name));
    const Shape& shape = form.*d.shape;
    EXPECT_TRUE(Inside((form.*d.nameLabel).rect, shape.rect)) << (form.*d.nameLabel).name;
    EXPECT_TRUE(Inside((form.*d.state).rect, shape.rect)) << (form.*d.state).name;
    EXPECT_EQ((form.*d.nameLabel).caption, d.name);
    EXPECT_EQ((form.*d.on).menu, (form.*d.menu).name);
    EXPECT_EQ((form.*d.off).menu, (form.*d.menu).name);
  }
  for (const UnswitchedValve& v : kUnswitchedValves) {
    SCOPED_TRACE(std::string(v.name));
    EXPECT_TRUE(Inside((form.*v.nameLabel).rect, (form.*v.shape).rect));
    EXPECT_TRUE(Inside((form.*v.state).rect, (form.*v.shape).rect));
    EXPECT_EQ((form.*v.nameLabel).caption, v.name);
  }
}

TEST(DevicesTest, ValveMenusAreCaptionedWithTheValvesName) {
  const Form1 form;
  for (const SwitchedDevice& v : kValves) {
    SCOPED_TRACE(std::string(v.name));
    EXPECT_EQ((form.*v.menu).caption, v.name);
    EXPECT_EQ((form.*v.on).caption, "Open");
    EXPECT_EQ((form.*v.off).caption, "Close");
  }
  for (const SwitchedDevice& p : kPumps) {
    SCOPED_TRACE(std::string(p.name));
    EXPECT_EQ((form.*p.on).caption, "Switch on");
    EXPECT_EQ((form.*p.off).caption, "Switch off");
  }
}

TEST(DevicesTest, GaugeAndFlowWidgetsBelongToTheirDevice) {
  const Form1 form;
  for (const GaugeDevice& g : kGauges) {
    SCOPED_TRACE(std::string(g.name));
    EXPECT_EQ((form.*g.shape).name, "shp" + std::string(g.name));
    EXPECT_TRUE(Inside((form.*g.value).rect, (form.*g.shape).rect));
    // The state column is away from the picture: its row caption names it.
    const Label& state = form.*g.state;
    const Label& caption = form.Label1[static_cast<std::size_t>(g.number - 1)];
    EXPECT_EQ(caption.rect.top, state.rect.top);
    EXPECT_EQ(caption.caption, std::string(g.name) + " state:");
  }
  for (const FlowDevice& f : kFlows) {
    SCOPED_TRACE(std::string(f.name));
    const Rect& shape = (form.*f.shape).rect;
    EXPECT_EQ((form.*f.nameLabel).caption, f.name);
    EXPECT_TRUE(Inside((form.*f.value).rect, shape));
    EXPECT_TRUE(Inside((form.*f.setpoint).rect, shape));
    EXPECT_TRUE(Inside((form.*f.send).rect, shape));
  }
}

// Positions from the answers' layouts: a three-digit type and two unread bytes
// first, then one byte per valve or pump, seven per gauge, five per flow
// controller.
TEST(DevicesTest, NumbersRunFromOneAndPositionsFollowTheAnswerLayout) {
  for (std::int16_t n = 1; n <= 16; ++n) {
    SCOPED_TRACE(::testing::Message() << "valve " << n);
    ASSERT_NE(DeviceByNumber(kValves, n), nullptr);
    EXPECT_EQ(DeviceByNumber(kValves, n)->position, static_cast<std::size_t>(4 + n));
  }
  for (std::int16_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(::testing::Message() << "pump " << n);
    ASSERT_NE(DeviceByNumber(kPumps, n), nullptr);
    EXPECT_EQ(DeviceByNumber(kPumps, n)->position, static_cast<std::size_t>(4 + n));
  }
  for (std::int16_t n = 1; n <= 8; ++n) {
    SCOPED_TRACE(::testing::Message() << "gauge " << n);
    ASSERT_NE(DeviceByNumber(kGauges, n), nullptr);
    EXPECT_EQ(DeviceByNumber(kGauges, n)->position, static_cast<std::size_t>(5 + 7 * (n - 1)));
  }
  for (std::int16_t n = 1; n <= 4; ++n) {
    SCOPED_TRACE(::testing::Message() << "flow " << n);
    ASSERT_NE(DeviceByNumber(kFlows, n), nullptr);
    EXPECT_EQ(DeviceByNumber(kFlows, n)->position, static_cast<std::size_t>(5 + 5 * (n - 1)));
  }
  EXPECT_EQ(DeviceByNumber(kValves, 0), nullptr);
  EXPECT_EQ(DeviceByNumber(kValves, 17), nullptr);
  EXPECT_EQ(DeviceByNumber(kPumps, 4), nullptr);
  EXPECT_EQ(DeviceByNumber(kPumps, 3)->name, "TMP");
}

// What a session record walks: every device once, by a unique name, each
// with a caption of its own and, but for the electrode's readouts, a shape.
TEST(DevicesTest, EveryDeviceOnceWithItsOwnShapeAndCaption) {
  const Form1 form;
  ASSERT_EQ(kDevices.size(), 16u + 4u + 3u + 8u + 4u + 2u);
  std::set<std::string> names;
  std::set<const Shape*> shapes;
  std::set<const Label*> labels;
  int valves = 0, pumps = 0, gauges = 0, flows = 0, readouts = 0, fixed = 0;
  for (const Device& d : kDevices) {
    SCOPED_TRACE(std::string(d.name));
    EXPECT_TRUE(names.insert(std::string(d.name)).second);
    EXPECT_EQ(d.shape == nullptr, d.kind == DeviceKind::Electrode);
    if (d.shape) {
      EXPECT_TRUE(shapes.insert(&(form.*d.shape)).second);
    }
    fixed += d.fixed ? 1 : 0;
    EXPECT_TRUE(labels.insert(&(form.*d.state)).second);
    EXPECT_EQ(d.value != nullptr, d.kind == DeviceKind::Gauge);
    if (d.value) {
      EXPECT_TRUE(labels.insert(&(form.*d.value)).second);
    }
    switch (d.kind) {
      case DeviceKind::Valve: ++valves; break;
      case DeviceKind::Pump: ++pumps; break;
      case DeviceKind::Gauge: ++gauges; break;
      case DeviceKind::Flow: ++flows; break;
      case DeviceKind::Electrode: ++readouts; break;
    }
  }
  EXPECT_EQ(valves, 20);
  EXPECT_EQ(pumps, 3);
  EXPECT_EQ(gauges, 8);
  EXPECT_EQ(flows, 4);
  EXPECT_EQ(readouts, 2);
  EXPECT_EQ(fixed, 1) << "the needle valve alone";
  EXPECT_EQ(kDevices[16].name, "MECH1");
  EXPECT_EQ(kDevices[16].number, 0);
  EXPECT_EQ(kDevices[20].name, "ROTARY1");
  EXPECT_EQ(KindName(DeviceKind::Flow), "flow");
  EXPECT_EQ(KindName(DeviceKind::Pump), "pump");
  EXPECT_EQ(KindName(DeviceKind::Electrode), "electrode");
}

}  // namespace
}  // namespace halvorn
