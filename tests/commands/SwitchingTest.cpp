// The four switching procedures, called directly, and the 38 menu items that
// call them, asserted on the bytes the fake port received.
#include "commands/MenuCommands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "commands/Switching.h"
#include "panel/HitTest.h"
#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

class SwitchingTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;

  void SetUp() override { ASSERT_EQ(port.Open(), open_error::None); }
};

using Procedure = void (*)(FrontPanel&, std::int16_t);

struct ProcedureCase {
  Procedure procedure;
  const char* name;
  std::int16_t number;
  const char* frame;
};

TEST_F(SwitchingTest, ProceduresFormatTheirNumbersAndFrameTheCommand) {
  const ProcedureCase cases[] = {
      {&OpenValve, "OpenValve", 1, "020_01082\r"},
      {&OpenValve, "OpenValve", 9, "020_09090\r"},
      {&OpenValve, "OpenValve", 10, "020_10082\r"},
      {&OpenValve, "OpenValve", 15, "020_15087\r"},
      {&CloseValve, "CloseValve", 16, "021_16089\r"},
      {&CloseValve, "CloseValve", 5, "021_05087\r"},
      {&SwitchPumpOn, "SwitchPumpOn", 3, "040_3038\r"},
      {&SwitchPumpOff, "SwitchPumpOff", 1, "041_1037\r"},
  };
  for (const ProcedureCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name << "(" << c.number << ") expecting " << c.frame);
    port.writes.clear();
    c.procedure(panel, c.number);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], c.frame);
  }
}

struct ItemCase {
  MenuItem Form1::*item;
  Procedure procedure;
  std::int16_t number;
  const char* frame;  // as written, checksum and carriage return included
};

// The 38 items with the procedure and number each stands for, and the frame
// the controller receives.
const ItemCase kItems[] = {
    {&Form1::mnuTmpOn, &SwitchPumpOn, 3, "040_3038\r"},
    {&Form1::mnuTmpOff, &SwitchPumpOff, 3, "041_3039\r"},
    {&Form1::mnuRotary1On, &SwitchPumpOn, 1, "040_1036\r"},
    {&Form1::mnuRotary1Off, &SwitchPumpOff, 1, "041_1037\r"},
    {&Form1::mnuRotary2On, &SwitchPumpOn, 2, "040_2037\r"},
    {&Form1::mnuRotary2Off, &SwitchPumpOff, 2, "041_2038\r"},
    {&Form1::mnuV1Open, &OpenValve, 1, "020_01082\r"},
    {&Form1::mnuV1Close, &CloseValve, 1, "021_01083\r"},
    {&Form1::mnuV2Open, &OpenValve, 2, "020_02083\r"},
    {&Form1::mnuV2close, &CloseValve, 2, "021_02084\r"},
    {&Form1::mnuV3Open, &OpenValve, 3, "020_03084\r"},
    {&Form1::mnuV3Close, &CloseValve, 3, "021_03085\r"},
    {&Form1::mnuV4Open, &OpenValve, 4, "020_04085\r"},
    {&Form1::mnuV4Close, &CloseValve, 4, "021_04086\r"},
    {&Form1::mnuV5Open, &OpenValve, 5, "020_05086\r"},
    {&Form1::mnuV5Close, &CloseValve, 5, "021_05087\r"},
    {&Form1::mnuV6Open, &OpenValve, 6, "020_06087\r"},
    {&Form1::mnuV6Close, &CloseValve, 6, "021_06088\r"},
    {&Form1::mnuV7open, &OpenValve, 7, "020_07088\r"},
    {&Form1::mnuV7Close, &CloseValve, 7, "021_07089\r"},
    {&Form1::mnuV8Open, &OpenValve, 8, "020_08089\r"},
    {&Form1::mnuV8Close, &CloseValve, 8, "021_08090\r"},
    {&Form1::mnuV9Open, &OpenValve, 9, "020_09090\r"},
    {&Form1::mnuV9Close, &CloseValve, 9, "021_09091\r"},
    {&Form1::mnuV10Open, &OpenValve, 10, "020_10082\r"},
    {&Form1::mnuV10close, &CloseValve, 10, "021_10083\r"},
    {&Form1::mnuV11Open, &OpenValve, 11, "020_11083\r"},
    {&Form1::mnuV11Close, &CloseValve, 11, "021_11084\r"},
    {&Form1::mnuV12Open, &OpenValve, 12, "020_12084\r"},
    {&Form1::mnuV12Close, &CloseValve, 12, "021_12085\r"},
    {&Form1::mnuV13Open, &OpenValve, 13, "020_13085\r"},
    {&Form1::mnuV13Close, &CloseValve, 13, "021_13086\r"},
    {&Form1::mnuV14Open, &OpenValve, 14, "020_14086\r"},
    {&Form1::mnuV14Close, &CloseValve, 14, "021_14087\r"},
    {&Form1::mnuCV1Open, &OpenValve, 15, "020_15087\r"},
    {&Form1::mnuCV1Close, &CloseValve, 15, "021_15088\r"},
    {&Form1::mnuCV2Open, &OpenValve, 16, "020_16088\r"},
    {&Form1::mnuCV2Close, &CloseValve, 16, "021_16089\r"},
};

TEST_F(SwitchingTest, EachOfThe38ItemsSendsItsOneCommand) {
  ASSERT_EQ(std::size(kItems), 38u);
  for (const ItemCase& c : kItems) {
    const MenuItem& item = form.*c.item;
    SCOPED_TRACE(::testing::Message() << item.name << " expecting " << c.frame);
    port.writes.clear();
    MenuItem_Click(panel, item);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], c.frame);
  }
}

TEST_F(SwitchingTest, TheDeviceTableGivesEachItemItsProcedureAndNumber) {
  ASSERT_EQ(2 * kSwitchedDevices.size(), std::size(kItems));
  for (std::size_t i = 0; i < kSwitchedDevices.size(); ++i) {
    const SwitchedDevice& device = kSwitchedDevices[i];
    for (const bool on : {true, false}) {
      const ItemCase& expected = kItems[2 * i + (on ? 0 : 1)];
      SCOPED_TRACE((form.*expected.item).name);
      EXPECT_EQ(&(form.*(on ? device.on : device.off)), &(form.*expected.item));
      EXPECT_EQ(SwitchingOf(device.kind, on), expected.procedure);
      EXPECT_EQ(device.number, expected.number);
    }
  }
  EXPECT_EQ(SwitchingOf(DeviceKind::Gauge, true), nullptr);
  EXPECT_EQ(SwitchingOf(DeviceKind::Flow, false), nullptr);
}

TEST_F(SwitchingTest, NoTwoItemsGiveTheSameCommand) {
  std::set<std::string> frames;
  for (const MenuItem* item : AllWidgets(form).menuItems) {
    SCOPED_TRACE(item->name);
    port.writes.clear();
    MenuItem_Click(panel, *item);
    ASSERT_EQ(port.writes.size(), 1u) << "every item of the window does something";
    EXPECT_TRUE(frames.insert(port.writes[0]).second) << port.writes[0] << " twice";
  }
  EXPECT_EQ(frames.size(), 38u);
}

TEST_F(SwitchingTest, ChoosingTheSameItemTwiceSendsTwice) {
  MenuItem_Click(panel, form.mnuV3Open);
  MenuItem_Click(panel, form.mnuV3Open);
  EXPECT_EQ(port.written, "020_03084\r020_03084\r");
}

TEST_F(SwitchingTest, AnItemOfAnotherWindowDoesNothing) {
  const Form1 other;
  MenuItem_Click(panel, other.mnuV1Open);
  EXPECT_TRUE(port.written.empty());
}

TEST_F(SwitchingTest, WithThePortClosedEveryItemSaysNotConnectedAndSendsNothing) {
  port.Close();
  for (const ItemCase& c : kItems) {
    SCOPED_TRACE((form.*c.item).name);
    form.lblStatus.caption = "Port 1 closed";
    MenuItem_Click(panel, form.*c.item);
    EXPECT_EQ(form.lblStatus.caption, "Not connected!");
  }
  EXPECT_TRUE(port.written.empty());
  EXPECT_FALSE(form.Timer3.enabled);
}

// From the picture to the line: a right-click only says which menu pops up,
// sending nothing; the item chosen in it goes out as that item's click.
TEST_F(SwitchingTest, RightClickThenChoiceSendsTheChosenItemsCommand) {
  const auto cv2 =
      DeviceLabel_MouseDown(form, form.lblCV2state, mouse_button::Right, 0, 5.0f, 5.0f);
  ASSERT_TRUE(cv2.has_value());
  EXPECT_EQ(port.written, "");
  MenuItem_Click(panel, *cv2->items[1]);
  EXPECT_EQ(port.written, "021_16089\r");

  const Rect tmp = form.shpTMP.rect;
  const auto pump = Form_MouseDown(form, mouse_button::Right, 0, tmp.left + 30.0f, tmp.top + 30.0f);
  ASSERT_TRUE(pump.has_value());
  MenuItem_Click(panel, *pump->items[0]);
  EXPECT_EQ(port.written, "021_16089\r040_3038\r");
}

}  // namespace
}  // namespace halvorn
