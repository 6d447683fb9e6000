// The window's inventory held against the layout tables: counts, names,
// geometry, initial content and colours.
#include "panel/Form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "panel/HitTest.h"

namespace halvorn {
namespace {

class Form1Test : public ::testing::Test {
 protected:
  Form1 form;
  WidgetRefs all = AllWidgets(form);

  const Label& LabelNamed(const std::string& name, int element = kNoElement) {
    const auto it = std::find_if(all.labels.begin(), all.labels.end(), [&](const Label* l) {
      return l->name == name && l->element == element;
    });
    if (it == all.labels.end()) throw std::runtime_error("no label " + name);
    return **it;
  }
  const Shape& ShapeNamed(const std::string& name, int element = kNoElement) {
    const auto it = std::find_if(all.shapes.begin(), all.shapes.end(), [&](const Shape* s) {
      return s->name == name && s->element == element;
    });
    if (it == all.shapes.end()) throw std::runtime_error("no shape " + name);
    return **it;
  }
};

TEST_F(Form1Test, WindowCaptionAndClientArea) {
  EXPECT_EQ(form.caption, "Halvorn gas injection front panel");
  EXPECT_EQ(form.clientWidth, 14070);
  EXPECT_EQ(form.clientHeight, 10170);
}

TEST_F(Form1Test, EveryWidgetIsListedOnceWithAUniqueName) {
  EXPECT_EQ(all.labels.size(), 127u);
  EXPECT_EQ(all.shapes.size(), 42u);
  EXPECT_EQ(all.lines.size(), 34u);
  EXPECT_EQ(all.buttons.size(), 13u);
  EXPECT_EQ(all.textBoxes.size(), 5u);
  EXPECT_EQ(all.listBoxes.size(), 2u);
  EXPECT_EQ(all.comboBoxes.size(), 3u);
  EXPECT_EQ(all.frames.size(), 2u);
  EXPECT_EQ(all.timers.size(), 5u);
  EXPECT_EQ(all.menus.size(), 19u);
  EXPECT_EQ(all.menuItems.size(), 38u);

  std::set<std::pair<std::string, int>> seen;
  auto add = [&](const std::string& name, int element) {
    EXPECT_TRUE(seen.emplace(name, element).second) << name << "(" << element << ") twice";
  };
  for (auto* w : all.labels) add(w->name, w->element);
  for (auto* w : all.shapes) add(w->name, w->element);
  for (auto* w : all.lines) add(w->name, w->element);
  for (auto* w : all.buttons) add(w->name, kNoElement);
  for (auto* w : all.textBoxes) add(w->name, kNoElement);
  for (auto* w : all.listBoxes) add(w->name, kNoElement);
  for (auto* w : all.comboBoxes) add(w->name, kNoElement);
  for (auto* w : all.frames) add(w->name, kNoElement);
  for (auto* w : all.timers) add(w->name, kNoElement);
  for (auto* w : all.menus) add(w->name, kNoElement);
  for (auto* w : all.menuItems) add(w->name, kNoElement);
}

TEST_F(Form1Test, WidgetGroupsKeepTheirElementNumbers) {
  for (const auto& [name, size] : {std::pair{"Label1", 8}, {"Label2", 2}, {"Label12", 7},
                                   {"Label18", 20}}) {
    for (int e = 0; e < size; ++e) EXPECT_NO_THROW(LabelNamed(name, e)) << name << e;
  }
  for (int e = 0; e < 3; ++e) EXPECT_EQ(form.shpBuffer[static_cast<size_t>(e)].element, e);
  for (int e = 0; e < 34; ++e) {
    EXPECT_EQ(form.Line20[static_cast<size_t>(e)].name, "Line20");
    EXPECT_EQ(form.Line20[static_cast<size_t>(e)].element, e);
  }
}

struct DeviceCase {
  const char* shape;
  ShapeKind kind;
  Rect rect;
  const char* nameLabel;
  const char* nameCaption;
  const char* stateLabel;
  const char* stateCaption;
  bool stateBold;
};

TEST_F(Form1Test, DeviceShapesAndTheirTwoLabels) {
  constexpr auto P = ShapeKind::RoundedRectangle;
  constexpr auto V = ShapeKind::Rectangle;
  const DeviceCase cases[] = {
      {"shpTMP", P, {6600, 5520, 975, 735}, "lblTmp", "TMP", "lblTMPstatus", "---", false},
      {"shpRotary1", P, {9240, 6240, 975, 735}, "lblRotary1", "ROTARY1", "lblRotary1Status", "---", false},
      {"shpRotary2", P, {1440, 5520, 975, 735}, "lblRotary2", "ROTARY2", "lblRotary2Status", "---", false},
      {"shpV1", V, {3600, 4080, 735, 615}, "lblV1", "V1", "lblV1state", "state", false},
      {"shpV2", V, {9480, 3120, 735, 615}, "lblV2", "V2", "lblV2state", "state", false},
      {"shpV3", V, {10680, 2640, 735, 615}, "lblV3", "V3", "lblV3state", "state", false},
      {"shpV4", V, {8280, 2640, 735, 615}, "lblV4", "V4", "lblV4state", "state", false},
      {"shpV5", V, {11280, 3720, 735, 615}, "lblV5", "V5", "lblV5state", "state", false},
      {"shpV6", V, {7680, 3720, 735, 615}, "lblV6", "V6", "lblV6state", "state", false},
      {"shpV7", V, {6720, 3720, 735, 615}, "lblV7", "V7", "lblV7state", "state", false},
      {"shpV8", V, {8640, 3720, 735, 615}, "lblV8", "V8", "lblV8state", "state", false},
      {"shpV9", V, {10320, 3720, 735, 615}, "lblV9", "V9", "lblV9state", "state", false},
      {"shpV10", V, {4920, 2640, 735, 615}, "lblV10", "V10", "lblV10state", "state", false},
      {"shpV11", V, {3600, 2640, 735, 615}, "lblV11", "V11", "lblV11state", "state", false},
      {"shpV12", V, {2280, 2640, 735, 615}, "lblV12", "V12", "lblV12state", "state", false},
      {"shpV13", V, {12240, 3720, 735, 615}, "lblV13", "V13", "lblV13state", "state", false},
      {"shpV14", V, {13080, 4320, 735, 615}, "lblV14", "V14", "lblV14state", "state", false},
      {"shpCV1", V, {5520, 5520, 735, 615}, "lblCV1", "CV1", "lblCV1State", "state", false},
      {"shpCV2", V, {2880, 5040, 735, 615}, "lblCV2", "CV2", "lblCV2state", "state", false},
      {"shpVmech1", V, {8040, 6360, 735, 615}, "Label15", "MECH1", "Label16", "state", false},
      {"shpVmech2", V, {11640, 5040, 735, 615}, "lblMECH2", "MECH2", "lblVmech2state", "state", false},
      {"shpVmech3", V, {5520, 6360, 735, 615}, "lblMECH3", "MECH3", "lblVmech3state", "state", false},
      {"shpVneedle", V, {6600, 1320, 735, 615}, "lblVneedle", "needle", "Label8", "valve", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shape);
    const Shape& shape = ShapeNamed(c.shape);
    EXPECT_EQ(shape.rect, c.rect);
    EXPECT_EQ(shape.kind, c.kind);
    EXPECT_EQ(shape.container, Container::Form1);
    EXPECT_EQ(shape.fillColor, colours::Red);

    const Label& name = LabelNamed(c.nameLabel);
    const Label& state = LabelNamed(c.stateLabel);
    EXPECT_EQ(name.caption, c.nameCaption);
    EXPECT_EQ(state.caption, c.stateCaption);
    EXPECT_TRUE(name.bold);
    EXPECT_EQ(state.bold, c.stateBold);
    EXPECT_EQ(name.rect.top, c.rect.top + 120);
    EXPECT_EQ(state.rect.top, c.rect.top + 360);
    for (const Label* l : {&name, &state}) {
      EXPECT_EQ(l->rect.height, 195);
      EXPECT_EQ(l->align, Align::Centre);
      EXPECT_TRUE(l->transparent);
      // Centred on the shape and wholly inside it, so a click on a label
      // and a click on the shape around it mean the same device.
      EXPECT_EQ(l->rect.left * 2 + l->rect.width, c.rect.left * 2 + c.rect.width);
      EXPECT_GE(l->rect.left, c.rect.left);
      EXPECT_LE(l->rect.right(), c.rect.right());
      EXPECT_LE(l->rect.bottom(), c.rect.bottom());
    }
  }
}

TEST_F(Form1Test, NoTwoDeviceShapesOverlap) {
  std::vector<const Shape*> devices;
  for (const Shape* s : all.shapes)
    if (s->container == Container::Form1 && s->name.rfind("shpBuffer", 0) != 0) devices.push_back(s);
  for (size_t i = 0; i < devices.size(); ++i)
    for (size_t j = i + 1; j < devices.size(); ++j) {
      const Rect& a = devices[i]->rect;
      const Rect& b = devices[j]->rect;
      const bool apart = a.right() <= b.left || b.right() <= a.left || a.bottom() <= b.top ||
                         b.bottom() <= a.top;
      EXPECT_TRUE(apart) << devices[i]->name << " overlaps " << devices[j]->name;
    }
}

struct GaugeCase {
  const char* circle;
  int left, top;
  const char* nameLabel;
  int nameElement;
  const char* name;
  int typeElement;
  const char* type;
  const char* reading;
  int unitElement;
};

TEST_F(Form1Test, GaugeCirclesAndTheirCaptions) {
  const GaugeCase cases[] = {
      {"shpG1", 2160, 1200, "Label12", 0, "G1", 8, "cpt", "lblG1Value", 0},
      {"shpG2", 3480, 1200, "Label12", 5, "G2", 14, "cpt", "lblG2Value", 4},
      {"shpG3", 4800, 1200, "Label12", 4, "G3", 13, "cpt", "lblG3Value", 3},
      {"shpG4", 360, 2280, "Label12", 3, "G4", 15, "cpt", "lblG4Value", 6},
      {"shpG5", 12960, 2400, "Label12", 2, "G5", 12, "cpt", "lblG5Value", 1},
      {"shpG6", 5400, 4080, "Label12", 1, "G6", 11, "ppt", "lblG6Value", 5},
      {"shpG7", 4200, 5520, "Label12", 6, "G7", 9, "ppt", "lblG7Value", 7},
      {"shpG8", 600, 840, "Label41", kNoElement, "G8", 10, "ppt", "lblG8Value", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.circle);
    const Shape& circle = ShapeNamed(c.circle);
    EXPECT_EQ(circle.rect, (Rect{c.left, c.top, 975, 975}));
    EXPECT_EQ(circle.kind, ShapeKind::Circle);
    EXPECT_EQ(circle.fillColor, colours::White);
    const bool upper = c.top == 1200;

    const Label& name = LabelNamed(c.nameLabel, c.nameElement);
    EXPECT_EQ(name.caption, c.name);
    EXPECT_TRUE(name.bold);
    EXPECT_EQ(name.rect, (Rect{c.left + 345, c.top + 60, 285, 195}));

    const Label& type = LabelNamed("Label18", c.typeElement);
    EXPECT_EQ(type.caption, c.type);
    EXPECT_FALSE(type.bold);
    const bool cpt = std::string(c.type) == "cpt";
    EXPECT_EQ(type.rect, (Rect{c.left + (cpt ? 225 : 180), c.top + 240, cpt ? 525 : 615, 195}));

    const Label& reading = LabelNamed(c.reading);
    EXPECT_EQ(reading.caption, "X.XXXE-X");
    EXPECT_EQ(reading.rect, (Rect{c.left + 15, c.top + (upper ? 500 : 495), 945, 195}));

    const Label& unit = LabelNamed("Label18", c.unitElement);
    EXPECT_EQ(unit.caption, "mBar");
    EXPECT_EQ(unit.rect, (Rect{c.left + 270, c.top + (upper ? 700 : 705), 435, 195}));

    for (const Label* l : {&name, &type, &reading, &unit}) {
      EXPECT_EQ(l->align, Align::Centre);
      EXPECT_TRUE(l->transparent);
    }
  }
}

TEST_F(Form1Test, GaugeCirclesLieAboveTheBuffersAroundThem) {
  auto index = [&](const Shape& s) {
    return std::find(all.shapes.begin(), all.shapes.end(), &s) - all.shapes.begin();
  };
  const Shape* circles[] = {&form.shpG1, &form.shpG2, &form.shpG3};
  for (int i = 0; i < 3; ++i) {
    const Shape& buffer = form.shpBuffer[static_cast<size_t>(i)];
    const Shape& circle = *circles[i];
    EXPECT_EQ(buffer.fillColor, colours::LightGreen);
    EXPECT_EQ(buffer.rect.width, 1215);
    EXPECT_EQ(buffer.rect.height, 1455);
    EXPECT_LT(index(buffer), index(circle));
    EXPECT_GT(circle.rect.left, buffer.rect.left);
    EXPECT_LT(circle.rect.right(), buffer.rect.right());
  }
}

struct FlowCase {
  const char* shape;
  int left;
  const char* title;
  const char* titleCaption;
  const TextBox* box;
  const CommandButton* button;
  const char* reading;
  int rangeElement;
  const char* range;
};

TEST_F(Form1Test, FlowControllers) {
  const FlowCase cases[] = {
      {"shpMFC1", 7560, "lblMKS", "MFC1", &form.txtMFC1, &form.cmdMFC1_send, "lblMFC1Value", 16, "(100 sccm)"},
      {"shpMFC2", 8760, "Label4", "MFC2", &form.txtMFC2, &form.cmdMFC2_send, "lblMFC2Value", 17, "(500 sccm)"},
      {"shpMFC3", 9960, "Label9", "MFC3", &form.txtMFC3, &form.cmdMFC3_send, "lblMFC3Value", 18, "(500 sccm)"},
      {"shpMFC4", 11160, "Label14", "MFC4", &form.txtMFC4, &form.cmdMFC4_send, "lblMFC4Value", 19, "(2000 sccm)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shape);
    const int top = 960;
    const Shape& mfc = ShapeNamed(c.shape);
    EXPECT_EQ(mfc.rect, (Rect{c.left, top, 975, 1335}));
    EXPECT_EQ(mfc.fillColor, colours::LightYellow);

    const Label& title = LabelNamed(c.title);
    EXPECT_EQ(title.caption, c.titleCaption);
    EXPECT_TRUE(title.bold);
    EXPECT_EQ(title.rect, (Rect{c.left + 225, top + 120, 525, 195}));

    EXPECT_EQ(c.box->text, "0");
    EXPECT_EQ(c.box->rect, (Rect{c.left + 120, top + 480, 495, 285}));
    EXPECT_EQ(c.button->caption, "->");
    EXPECT_EQ(c.button->rect, (Rect{c.left + 600, top + 510, 255, 255}));

    const Label& reading = LabelNamed(c.reading);
    EXPECT_EQ(reading.caption, "XXXX");
    EXPECT_FALSE(reading.bold);
    EXPECT_EQ(reading.rect, (Rect{c.left + 195, top + 840, 585, 195}));

    const Label& range = LabelNamed("Label18", c.rangeElement);
    EXPECT_EQ(range.caption, c.range);
    const bool wide = c.rangeElement == 19;
    EXPECT_EQ(range.rect, (Rect{c.left + (wide ? 45 : 75), top + 1080, wide ? 885 : 825,
                                wide ? 255 : 195}));
  }
  EXPECT_EQ(form.txtMFC1.backColor, colours::White);
  for (const TextBox* box : {&form.txtMFC2, &form.txtMFC3, &form.txtMFC4})
    EXPECT_TRUE(IsSystemColour(box->backColor)) << box->name;
}

TEST_F(Form1Test, FramesAndWhatTheyContain) {
  EXPECT_EQ(form.Frame1.caption, "Status");
  EXPECT_EQ(form.Frame1.rect, (Rect{120, 7440, 8415, 2655}));
  EXPECT_EQ(form.Frame2.caption, "Electrode and UV lamp");
  EXPECT_EQ(form.Frame2.rect, (Rect{10560, 6000, 3375, 3015}));

  std::set<std::string> inFrame1, inFrame2;
  auto note = [&](const std::string& name, Container c) {
    if (c == Container::Frame1) inFrame1.insert(name);
    if (c == Container::Frame2) inFrame2.insert(name);
  };
  for (auto* w : all.labels) note(w->element >= 0 ? w->name + "(" + std::to_string(w->element) + ")" : w->name, w->container);
  for (auto* w : all.shapes) note(w->name, w->container);
  for (auto* w : all.buttons) note(w->name, w->container);
  for (auto* w : all.textBoxes) note(w->name, w->container);
  for (auto* w : all.listBoxes) note(w->name, w->container);
  for (auto* w : all.comboBoxes) note(w->name, w->container);

  const std::set<std::string> frame1 = {
      "lblStatus", "lblComStatus", "lblStatus2", "lblCrcErrors", "cmdConnect", "cmdDisconnect",
      "cmdClearError", "Combo1", "Combo2", "Combo3", "shpSend", "Label22", "shpRecv", "Label23",
      "Label24", "lstWarnings", "Label25", "lstMessages"};
  const std::set<std::string> frame2 = {
      "Label2(0)", "lblElectrodePosition", "Label2(1)", "lblElectrodeCooling", "cmdMoveElectrodeIn",
      "cmdMoveElectrodeOut", "cmdOpenUVLampShutter", "cmdCloseUVLampShutter",
      "cmdSwitchOnElectrodeCooling"};
  EXPECT_EQ(inFrame1, frame1);
  EXPECT_EQ(inFrame2, frame2);

  // The twin cooling button belongs to the window, at the place inside the
  // frame where it is seen.
  const auto& off = form.cmdSwitchOffElectrodeCooling;
  EXPECT_EQ(off.container, Container::Form1);
  EXPECT_EQ(off.rect, (Rect{12360, 8160, 1455, 495}));
  EXPECT_EQ(off.rect.left - form.Frame2.rect.left, 1800);
  EXPECT_EQ(off.rect.top - form.Frame2.rect.top, 2160);
  EXPECT_EQ(form.cmdSwitchOnElectrodeCooling.rect, (Rect{240, 2160, 1455, 495}));
}

TEST_F(Form1Test, InitialCaptionsAndTexts) {
  const std::pair<const char*, const char*> captions[] = {
      {"lblStatus", "Disconnected"},
      {"lblComStatus", "Com1,9600,n,1"},
      {"lblStatus2", "0 messages received from pic"},
      {"lblCrcErrors", "0 received message with crc error"},
      {"Label22", "Send"},
      {"Label23", "Receive"},
      {"Label24", "Warnings"},
      {"Label25", "Other messages"},
      {"lblElectrodePosition", "-"},
      {"lblElectrodeCooling", "-"},
      {"Label7", "vessel"},
      {"Label38", "piezo 1"},
      {"Label39", "piezo 2"},
      {"Label40", "piezo 3"},
      {"Label37", "to vessel"},
      {"Label29", "out"},
      {"lblPneumatics", "Pneumatics"},
      {"Label13", "TMP cooling"},
      {"lblUptime", "Uptime"},
  };
  for (const auto& [name, caption] : captions) EXPECT_EQ(LabelNamed(name).caption, caption) << name;
  EXPECT_EQ(LabelNamed("Label2", 0).caption, "Electrode position:");
  EXPECT_EQ(LabelNamed("Label2", 1).caption, "Electrode cooling:");

  for (int row = 0; row < 8; ++row) {
    SCOPED_TRACE(row);
    const Label& caption = LabelNamed("Label1", row);
    const Label& readout = LabelNamed("lblG" + std::to_string(row + 1) + "State");
    EXPECT_EQ(caption.caption, "G" + std::to_string(row + 1) + " state:");
    EXPECT_EQ(caption.rect, (Rect{9000, 8160 + 240 * row, 795, 195}));
    EXPECT_EQ(readout.caption, "-");
    EXPECT_EQ(readout.rect.left, 9840);
    EXPECT_EQ(readout.rect.top, 8160 + 240 * row);
    for (const Label* l : {&caption, &readout}) {
      EXPECT_TRUE(l->bold);
      EXPECT_EQ(l->align, Align::Left);
      EXPECT_FALSE(l->transparent);
    }
  }

  EXPECT_EQ(form.txtUptime.text, "");
  EXPECT_EQ(form.txtUptime.rect, (Rect{120, 3840, 1335, 285}));
  EXPECT_TRUE(form.lstWarnings.items.empty());
  EXPECT_TRUE(form.lstMessages.items.empty());
  EXPECT_EQ(form.cmdConnect.caption, "Connect");
  EXPECT_EQ(form.cmdDisconnect.caption, "Disconnect");
  EXPECT_EQ(form.cmdClearError.caption, "Clear");
}

TEST_F(Form1Test, UnswitchedIndicatorsAndLamps) {
  EXPECT_EQ(form.shpPneumatics.fillColor, colours::SystemGrayText);
  EXPECT_EQ(form.shpPneumatics.rect, (Rect{120, 4320, 1335, 375}));
  EXPECT_EQ(form.shpTMPCooling.fillColor, colours::SystemGrayText);
  EXPECT_EQ(form.shpTMPCooling.rect, (Rect{135, 4800, 1320, 375}));
  EXPECT_EQ(form.shpSend.fillColor, colours::SystemMenu);
  EXPECT_EQ(form.shpSend.rect, (Rect{6840, 240, 1095, 375}));
  EXPECT_EQ(form.shpRecv.fillColor, colours::SystemMenu);
  EXPECT_EQ(form.shpRecv.rect, (Rect{6840, 720, 1095, 375}));
  EXPECT_EQ(SystemColourIndex(colours::SystemGrayText), 17);
  EXPECT_EQ(SystemColourIndex(colours::SystemMenu), 4);
}

// A lamp draws its caption itself, so the caption must be one it can draw:
// wholly on the lamp, see-through, of a fixed size, and nobody's handle (a
// device caption takes the right-click, which a drawn one could not).
TEST_F(Form1Test, EachLampCaptionLiesWhollyOnItsLampAndOpensNothing) {
  for (const LampCaption& row : kLampCaptions) {
    const Shape& lamp = form.*row.lamp;
    const Label& caption = form.*row.caption;
    SCOPED_TRACE(caption.name + " on " + lamp.name);
    const Rect& on = lamp.rect;
    const Rect& box = caption.rect;
    EXPECT_EQ(caption.container, lamp.container);
    EXPECT_EQ(lamp.kind, ShapeKind::Rectangle);
    EXPECT_TRUE(box.left >= on.left && box.top >= on.top && box.right() <= on.right() &&
                box.bottom() <= on.bottom());
    EXPECT_TRUE(caption.transparent);
    EXPECT_FALSE(caption.autoSize);
    EXPECT_FALSE(DeviceLabel_MouseDown(form, caption, mouse_button::Right, 0, 1.0f, 1.0f));
  }
  EXPECT_EQ(form.Label22.caption, "Send");
  EXPECT_EQ(form.Label23.caption, "Receive");
}

TEST_F(Form1Test, DropDownListsStartWithNothingChosen) {
  EXPECT_EQ(form.Combo1.items,
            (std::vector<std::string>{"2400", "9600", "38400", "115200", "460800", "921600"}));
  EXPECT_EQ(form.Combo2.items, (std::vector<std::string>{"n", "e", "o", "m", "s"}));
  ASSERT_EQ(form.Combo3.items.size(), 10u);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(form.Combo3.items[static_cast<size_t>(i)], "Com" + std::to_string(i + 1));
  for (const ComboBox* c : {&form.Combo1, &form.Combo2, &form.Combo3}) {
    EXPECT_EQ(c->listIndex, -1);
    EXPECT_EQ(c->Text(), "");
    EXPECT_TRUE(c->enabled);
  }
}

TEST_F(Form1Test, Timers) {
  const std::tuple<const Timer*, int, bool> cases[] = {
      {&form.Timer1, 200, true}, {&form.Timer2, 500, true}, {&form.Timer3, 100, false},
      {&form.Timer4, 100, false}, {&form.Timer5, 3000, true}};
  for (const auto& [timer, interval, enabled] : cases) {
    EXPECT_EQ(timer->interval, interval) << timer->name;
    EXPECT_EQ(timer->enabled, enabled) << timer->name;
  }
}

TEST_F(Form1Test, Pipes) {
  const int pipes[34][4] = {
      {8040, 4560, 8040, 3480},   {7080, 4560, 7080, 3480},   {4680, 6600, 4680, 6000},
      {9000, 4560, 9000, 3480},   {10680, 4560, 10680, 3480}, {11640, 4560, 11640, 3480},
      {12600, 4560, 12600, 3480}, {13440, 5280, 13440, 3000}, {2640, 3480, 2640, 600},
      {3960, 5280, 3960, 600},    {5280, 3480, 5280, 600},    {8040, 2400, 8040, 840},
      {6960, 2400, 6960, 840},    {9240, 2400, 9240, 840},    {10440, 2400, 10440, 840},
      {11640, 2400, 11640, 840},  {9840, 840, 9840, 480},     {11640, 840, 6960, 840},
      {9240, 2400, 6960, 2400},   {11640, 2400, 10440, 2400}, {8640, 3480, 8640, 2400},
      {11040, 3480, 11040, 2400}, {13440, 3480, 840, 3480},   {13440, 5280, 1920, 5280},
      {1080, 1680, 1080, 600},    {840, 3480, 840, 2400},     {1920, 7320, 1920, 5280},
      {3600, 7320, 3600, 6600},   {7080, 6600, 7080, 5880},   {5880, 5760, 5880, 4680},
      {9720, 7320, 9720, 6480},   {9600, 6600, 4680, 6600},   {9720, 7320, 1920, 7320},
      {7080, 5880, 6000, 5880}};
  for (size_t e = 0; e < 34; ++e) {
    const Line& l = form.Line20[e];
    EXPECT_EQ((std::array{l.x1, l.y1, l.x2, l.y2}),
              (std::array{pipes[e][0], pipes[e][1], pipes[e][2], pipes[e][3]}))
        << "Line20(" << e << ")";
  }
}

TEST_F(Form1Test, FocusOrderNamesOnlyControlsThatTakeTheFocus) {
  std::set<std::string> focusable;
  for (auto* w : all.buttons) focusable.insert(w->name);
  for (auto* w : all.textBoxes) focusable.insert(w->name);
  for (auto* w : all.listBoxes) focusable.insert(w->name);
  for (auto* w : all.comboBoxes) focusable.insert(w->name);
  const auto order = FocusOrder();
  ASSERT_EQ(order.size(), 22u);
  EXPECT_EQ(order.front(), "cmdConnect");
  EXPECT_EQ(order[20], "cmdSwitchOffElectrodeCooling");
  EXPECT_EQ(order[21], "cmdSwitchOnElectrodeCooling");
  std::set<std::string> once;
  for (auto name : order) {
    EXPECT_TRUE(focusable.count(std::string(name))) << name;
    EXPECT_TRUE(once.insert(std::string(name)).second) << name;
  }
  // Everything the operator can operate is reachable, except the uptime box
  // which the panel only writes.
  focusable.erase("txtUptime");
  EXPECT_EQ(once, focusable);
}

TEST_F(Form1Test, MenusInDeclaredOrderWithTwoItemsEach) {
  const char* menuCaptions[] = {"TMP", "Rotary1", "Rotary2", "V1",  "V2",  "V3",  "V4",
                                "V5",  "V6",      "V7",      "V8",  "V9",  "V10", "V11",
                                "V12", "V13",     "V14",     "CV1", "CV2"};
  for (size_t m = 0; m < 19; ++m) {
    const Menu& menu = *all.menus[m];
    SCOPED_TRACE(menu.name);
    EXPECT_EQ(menu.caption, menuCaptions[m]);
    const MenuItem& first = *all.menuItems[2 * m];
    const MenuItem& second = *all.menuItems[2 * m + 1];
    EXPECT_EQ(first.menu, menu.name);
    EXPECT_EQ(second.menu, menu.name);
    const bool pump = m < 3;
    EXPECT_EQ(first.caption, pump ? "Switch on" : "Open");
    EXPECT_EQ(second.caption, pump ? "Switch off" : "Close");
  }
  EXPECT_EQ(form.mnuV2close.menu, "mnuV2");
  EXPECT_EQ(form.mnuV7open.menu, "mnuV7");
  EXPECT_EQ(form.mnuV10close.menu, "mnuV10");
}

}  // namespace
}  // namespace halvorn
