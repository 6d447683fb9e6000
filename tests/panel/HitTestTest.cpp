// Which menu a right-click opens, by both routes: the window's test against
// the device shapes and the device captions' own MouseDown.
#include "panel/HitTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "panel/Devices.h"

namespace halvorn {
namespace {

constexpr std::int16_t kNoShift = 0;

struct ExpectedHitRow {
  const char* shape;
  Rect rect;
  const char* menu;
};

// The window route's rows in test order, with the geometry of the layout.
constexpr ExpectedHitRow kExpectedHits[] = {
    {"shpTMP", {6600, 5520, 975, 735}, "mnuTmp"},
    {"shpRotary1", {9240, 6240, 975, 735}, "mnuRotary1"},
    {"shpRotary2", {1440, 5520, 975, 735}, "mnuRotary2"},
    {"shpV1", {3600, 4080, 735, 615}, "mnuV1"},
    {"shpV2", {9480, 3120, 735, 615}, "mnuV2"},
    {"shpV3", {10680, 2640, 735, 615}, "mnuV3"},
    {"shpV4", {8280, 2640, 735, 615}, "mnuV4"},
    {"shpV5", {11280, 3720, 735, 615}, "mnuV5"},
    {"shpV6", {7680, 3720, 735, 615}, "mnuV6"},
    {"shpV7", {6720, 3720, 735, 615}, "mnuV7"},
    {"shpV8", {8640, 3720, 735, 615}, "mnuV8"},
    {"shpV9", {10320, 3720, 735, 615}, "mnuV9"},
    {"shpV10", {4920, 2640, 735, 615}, "mnuV10"},
    {"shpV11", {3600, 2640, 735, 615}, "mnuV11"},
    {"shpV12", {2280, 2640, 735, 615}, "mnuV12"},
    {"shpV13", {12240, 3720, 735, 615}, "mnuV13"},
    {"shpV14", {13080, 4320, 735, 615}, "mnuV14"},
    {"shpCV1", {5520, 5520, 735, 615}, "mnuCV1"},
    {"shpCV2", {2880, 5040, 735, 615}, "mnuCV2"},
};

struct ExpectedLabelRow {
  const char* label;
  const char* menu;
};

constexpr ExpectedLabelRow kExpectedLabels[] = {
    {"lblTmp", "mnuTmp"},         {"lblTMPstatus", "mnuTmp"},
    {"lblRotary1", "mnuRotary1"}, {"lblRotary1Status", "mnuRotary1"},
    {"lblRotary2", "mnuRotary2"}, {"lblRotary2Status", "mnuRotary2"},
    {"lblV1", "mnuV1"},           {"lblV1state", "mnuV1"},
    {"lblV2", "mnuV2"},           {"lblV2state", "mnuV2"},
    {"lblV3", "mnuV3"},           {"lblV3state", "mnuV3"},
    {"lblV4", "mnuV4"},           {"lblV4state", "mnuV4"},
    {"lblV5", "mnuV5"},           {"lblV5state", "mnuV5"},
    {"lblV6", "mnuV6"},           {"lblV6state", "mnuV6"},
    {"lblV7", "mnuV7"},           {"lblV7state", "mnuV7"},
    {"lblV8", "mnuV8"},           {"lblV8state", "mnuV8"},
    {"lblV9", "mnuV9"},           {"lblV9state", "mnuV9"},
    {"lblV10", "mnuV10"},         {"lblV10state", "mnuV10"},
    {"lblV11", "mnuV11"},         {"lblV11state", "mnuV11"},
    {"lblV12", "mnuV12"},         {"lblV12state", "mnuV12"},
    {"lblV13", "mnuV13"},         {"lblV13state", "mnuV13"},
    {"lblV14", "mnuV14"},         {"lblV14state", "mnuV14"},
    {"lblCV1", "mnuCV1"},         {"lblCV1State", "mnuCV1"},
    {"lblCV2", "mnuCV2"},         {"lblCV2state", "mnuCV2"},
};

// The device captions with the menu each opens, in table order: name, then
// state, of each switched device.
struct LabelRoute {
  const Label* label;
  const Menu* menu;
};
std::vector<LabelRoute> LabelRoutes(const Form1& form) {
  std::vector<LabelRoute> routes;
  for (const SwitchedDevice& device : kSwitchedDevices) {
    routes.push_back({&(form.*device.nameLabel), &(form.*device.menu)});
    routes.push_back({&(form.*device.state), &(form.*device.menu)});
  }
  return routes;
}

float Up(float v) { return std::nextafter(v, std::numeric_limits<float>::infinity()); }
float Down(float v) { return std::nextafter(v, -std::numeric_limits<float>::infinity()); }

class HitTestTest : public ::testing::Test {
 protected:
  Form1 form;

  // The menu a right-click at (x, y) pops up, by name; "" for none.
  std::string RightClickAt(float x, float y, std::int16_t shift = kNoShift) {
    const std::optional<DevicePopup> popup = Form_MouseDown(form, mouse_button::Right, shift, x, y);
    return popup ? popup->menu->name : "";
  }

  static float CentreX(const Shape& s) { return s.rect.left + s.rect.width / 2.0f; }
  static float CentreY(const Shape& s) { return s.rect.top + s.rect.height / 2.0f; }
};

TEST_F(HitTestTest, HitTableRowsInTestOrderWithTheLayoutsGeometry) {
  ASSERT_EQ(kSwitchedDevices.size(), std::size(kExpectedHits));
  for (std::size_t i = 0; i < kSwitchedDevices.size(); ++i) {
    const Shape& shape = form.*kSwitchedDevices[i].shape;
    const Menu& menu = form.*kSwitchedDevices[i].menu;
    SCOPED_TRACE(::testing::Message() << "row " << i + 1 << " expected " << kExpectedHits[i].shape
                                      << ", got " << shape.name);
    EXPECT_EQ(shape.name, kExpectedHits[i].shape);
    EXPECT_EQ(shape.rect, kExpectedHits[i].rect);
    EXPECT_EQ(menu.name, kExpectedHits[i].menu);
  }
}

TEST_F(HitTestTest, LabelTableNamesEachCaptionOnceWithItsDevicesMenu) {
  const std::vector<LabelRoute> routes = LabelRoutes(form);
  ASSERT_EQ(routes.size(), std::size(kExpectedLabels));
  std::set<const Label*> seen;
  for (std::size_t i = 0; i < routes.size(); ++i) {
    const Label& label = *routes[i].label;
    SCOPED_TRACE(::testing::Message()
                 << "expected " << kExpectedLabels[i].label << ", got " << label.name);
    EXPECT_EQ(label.name, kExpectedLabels[i].label);
    EXPECT_EQ(routes[i].menu->name, kExpectedLabels[i].menu);
    EXPECT_TRUE(seen.insert(&label).second) << "listed twice";
  }
}

// Both captions lie wholly on the device's shape, so the two routes agree:
// the whole symbol opens one menu.
TEST_F(HitTestTest, EachDeviceCaptionLiesOnTheShapeThatOpensTheSameMenu) {
  for (const LabelRoute& route : LabelRoutes(form)) {
    const Label& label = *route.label;
    SCOPED_TRACE(label.name);
    const Rect& r = label.rect;
    EXPECT_EQ(RightClickAt(r.left + 1.0f, r.top + 1.0f), route.menu->name);
    EXPECT_EQ(RightClickAt(r.right() - 1.0f, r.bottom() - 1.0f), route.menu->name);
  }
}

// The pop-up carries the device's own two items, opening or starting first,
// whichever route opened it.
TEST_F(HitTestTest, RightClickInsideEachDeviceShapeOpensItsMenuWithItsTwoItems) {
  for (const SwitchedDevice& row : kSwitchedDevices) {
    const Shape& shape = form.*row.shape;
    SCOPED_TRACE(shape.name);
    const auto popup =
        Form_MouseDown(form, mouse_button::Right, kNoShift, CentreX(shape), CentreY(shape));
    ASSERT_TRUE(popup.has_value());
    EXPECT_EQ(popup->menu, &(form.*row.menu));
    EXPECT_EQ(popup->items[0], &(form.*row.on));
    EXPECT_EQ(popup->items[1], &(form.*row.off));
  }
  const auto pump = Form_MouseDown(form, mouse_button::Right, kNoShift, CentreX(form.shpRotary2),
                                   CentreY(form.shpRotary2));
  ASSERT_TRUE(pump.has_value());
  EXPECT_EQ(pump->items[0]->caption, "Switch on");
  EXPECT_EQ(pump->items[1]->caption, "Switch off");
}

TEST_F(HitTestTest, APointOnAnyEdgeOpensNothingAndJustInsideOpensTheMenu) {
  for (const SwitchedDevice& row : kSwitchedDevices) {
    const Shape& shape = form.*row.shape;
    const std::string menu = (form.*row.menu).name;
    const float left = static_cast<float>(shape.rect.left);
    const float right = static_cast<float>(shape.rect.right());
    const float top = static_cast<float>(shape.rect.top);
    const float bottom = static_cast<float>(shape.rect.bottom());
    const float cx = CentreX(shape);
    const float cy = CentreY(shape);
    SCOPED_TRACE(shape.name);
    EXPECT_EQ(RightClickAt(left, cy), "");
    EXPECT_EQ(RightClickAt(right, cy), "");
    EXPECT_EQ(RightClickAt(cx, top), "");
    EXPECT_EQ(RightClickAt(cx, bottom), "");
    EXPECT_EQ(RightClickAt(left, top), "");
    EXPECT_EQ(RightClickAt(Up(left), cy), menu);
    EXPECT_EQ(RightClickAt(Down(right), cy), menu);
    EXPECT_EQ(RightClickAt(cx, Up(top)), menu);
    EXPECT_EQ(RightClickAt(cx, Down(bottom)), menu);
  }
}

TEST_F(HitTestTest, LeftEdgeOfV1ClearOfItsCaptionsOpensNothingOneTwipRightOpensV1) {
  // Between the shape's top (4080) and its name caption (from 4200).
  EXPECT_EQ(RightClickAt(3600.0f, 4100.0f), "");
  EXPECT_EQ(RightClickAt(3601.0f, 4100.0f), "mnuV1");
}

TEST_F(HitTestTest, OnlyTheRightButtonOpensAMenuAndShiftPlaysNoPart) {
  const float x = CentreX(form.shpV5);
  const float y = form.shpV5.rect.top + 60.0f;  // on the fill, above the captions
  for (const std::int16_t button : {std::int16_t{0}, mouse_button::Left, mouse_button::Middle,
                                    std::int16_t{3}, std::int16_t{6}}) {
    SCOPED_TRACE(button);
    EXPECT_FALSE(Form_MouseDown(form, button, kNoShift, x, y).has_value());
  }
  for (const std::int16_t shift :
       {std::int16_t{1}, std::int16_t{2}, std::int16_t{4}, std::int16_t{7}}) {
    SCOPED_TRACE(shift);
    EXPECT_EQ(RightClickAt(x, y, shift), "mnuV5");
  }
}

TEST_F(HitTestTest, ShapesWithoutAMenuAndTheBackgroundOpenNothing) {
  const Shape* silent[] = {
      &form.shpG1,      &form.shpG2,         &form.shpG3,        &form.shpG4,     &form.shpG5,
      &form.shpG6,      &form.shpG7,         &form.shpG8,        &form.shpMFC1,   &form.shpMFC2,
      &form.shpMFC3,    &form.shpMFC4,       &form.shpVmech1,    &form.shpVmech2, &form.shpVmech3,
      &form.shpVneedle, &form.shpPneumatics, &form.shpTMPCooling};
  for (const Shape* shape : silent) {
    SCOPED_TRACE(shape->name);
    EXPECT_EQ(RightClickAt(CentreX(*shape), CentreY(*shape)), "");
  }
  // A buffer outside its gauge circle, a pipe (element 22 at y 3480, away
  // from any valve), the empty background.
  EXPECT_EQ(RightClickAt(2100.0f, 2300.0f), "");
  EXPECT_EQ(RightClickAt(6000.0f, 3480.0f), "");
  EXPECT_EQ(RightClickAt(1000.0f, 7000.0f), "");
  EXPECT_EQ(RightClickAt(0.0f, 0.0f), "");
}

TEST_F(HitTestTest, GeometryIsReadAtTheClickAndTheFirstRowInTestOrderWins) {
  const float x = CentreX(form.shpV1);
  const float y = CentreY(form.shpV1);
  form.shpV1.rect.left += 2000;
  EXPECT_EQ(RightClickAt(x, y), "");
  EXPECT_EQ(RightClickAt(x + 2000.0f, y), "mnuV1");

  // Two shapes over one point: the TMP's row comes before V1's, and CV2's
  // comes after it.
  form.shpV1.rect = form.shpTMP.rect;
  EXPECT_EQ(RightClickAt(CentreX(form.shpTMP), CentreY(form.shpTMP)), "mnuTmp");
  form.shpCV2.rect = form.shpV1.rect;
  EXPECT_EQ(RightClickAt(CentreX(form.shpTMP), CentreY(form.shpTMP)), "mnuTmp");
  form.shpTMP.rect.left = 0;
  form.shpTMP.rect.top = 0;
  EXPECT_EQ(RightClickAt(CentreX(form.shpV1), CentreY(form.shpV1)), "mnuV1");
}

TEST_F(HitTestTest, LabelRouteOpensTheDevicesMenuOnTheRightButtonOnly) {
  for (const LabelRoute& route : LabelRoutes(form)) {
    const Label& label = *route.label;
    SCOPED_TRACE(label.name);
    for (const std::int16_t button : {mouse_button::Left, mouse_button::Middle}) {
      EXPECT_FALSE(DeviceLabel_MouseDown(form, label, button, kNoShift, 10.0f, 10.0f).has_value());
    }
    const auto popup = DeviceLabel_MouseDown(form, label, mouse_button::Right, 7, 10.0f, 10.0f);
    ASSERT_TRUE(popup.has_value());
    EXPECT_EQ(popup->menu, route.menu);
  }
}

TEST_F(HitTestTest, EveryOtherLabelOpensNothing) {
  std::set<const Label*> device;
  for (const LabelRoute& route : LabelRoutes(form)) device.insert(route.label);
  int others = 0;
  for (const Label* label : AllWidgets(form).labels) {
    if (device.count(label) != 0) continue;
    ++others;
    SCOPED_TRACE(label->name);
    EXPECT_FALSE(DeviceLabel_MouseDown(form, *label, mouse_button::Right, kNoShift, 10.0f, 10.0f));
  }
  EXPECT_GT(others, 0);
}

TEST_F(HitTestTest, V5FromItsFillAndFromEitherCaptionOpensTheSameMenu) {
  EXPECT_EQ(RightClickAt(CentreX(form.shpV5), form.shpV5.rect.top + 60.0f), "mnuV5");
  for (const Label* label : {&form.lblV5, &form.lblV5state}) {
    SCOPED_TRACE(label->name);
    const auto popup =
        DeviceLabel_MouseDown(form, *label, mouse_button::Right, kNoShift, 0.0f, 0.0f);
    ASSERT_TRUE(popup.has_value());
    EXPECT_EQ(popup->menu, &form.mnuV5);
    EXPECT_EQ(popup->items[1], &form.mnuV5Close);
  }
}

}  // namespace
}  // namespace halvorn
