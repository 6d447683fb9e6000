// The setpoint check and the four setpoint rows, asserted on the boxes'
// colours and on the bytes the fake port received.
#include "commands/Setpoints.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

struct CheckCase {
  std::string text;
  std::optional<std::int16_t> setpoint;  // nothing: rejected
};

const CheckCase kChecks[] = {
    {"0", 0},
    {"7", 7},
    {"50", 50},
    {"050", 50},
    {"0000050", 50},
    {"99", 99},
    {"100", 100},
    {"0100", 100},
    {"000", 0},
    {"101", std::nullopt},
    {"999", std::nullopt},
    {"99999", std::nullopt},
    {"1000", std::nullopt},
    {"99999999999999999999999999999999", std::nullopt},
    {"00000000000000000000000000000101", std::nullopt},
    {"", std::nullopt},
    {"5.5", std::nullopt},
    {"-5", std::nullopt},
    {"+5", std::nullopt},
    {"5%", std::nullopt},
    {" 5", std::nullopt},
    {"5 ", std::nullopt},
    {"5a", std::nullopt},
    {"/", std::nullopt},  // just below "0"
    {":", std::nullopt},  // just above "9"
    {std::string("5\0", 2), std::nullopt},
    {"5\xb5", std::nullopt},
    {"\xef\xbc\x95", std::nullopt},  // a full-width 5
};

TEST(CheckSetpointTest, AcceptsDigitsUpTo100AndRejectsEverythingElse) {
  for (const CheckCase& c : kChecks) {
    SCOPED_TRACE(::testing::Message()
                 << "text \"" << c.text << "\" expecting "
                 << (c.setpoint ? std::to_string(*c.setpoint) : std::string("rejection")));
    EXPECT_EQ(CheckSetpoint(c.text), c.setpoint);
  }
}

class SetpointsTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;

  void SetUp() override { ASSERT_EQ(port.Open(), open_error::None); }
};

TEST_F(SetpointsTest, SendFlowSetpointFramesNumberAndSetpoint) {
  struct Case {
    std::int16_t mfc, setpoint;
    const char* frame;
  };
  const Case cases[] = {
      {1, 50, "070_1050188\r"},  {2, 0, "070_2000184\r"},  {3, 7, "070_3007192\r"},
      {4, 100, "070_4100187\r"}, {2, 99, "070_2099202\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "MFC" << c.mfc << " at " << c.setpoint);
    port.writes.clear();
    SendFlowSetpoint(panel, c.mfc, c.setpoint);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], c.frame);
  }
}

TEST_F(SetpointsTest, SendFlowSetpointOutOfRangeSendsAndSaysNothing) {
  form.lblStatus.caption = "Port 1 open successfully";
  const std::int16_t cases[][2] = {{0, 50}, {5, 50}, {-1, 50}, {1, -1}, {1, 101}, {4, 32767}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "MFC" << c[0] << " at " << c[1]);
    SendFlowSetpoint(panel, c[0], c[1]);
  }
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(form.lblStatus.caption, "Port 1 open successfully");
}

struct RowCase {
  TextBox Form1::*box;
  CommandButton Form1::*button;
  char mfc;
};

constexpr RowCase kRows[] = {
    {&Form1::txtMFC1, &Form1::cmdMFC1_send, '1'},
    {&Form1::txtMFC2, &Form1::cmdMFC2_send, '2'},
    {&Form1::txtMFC3, &Form1::cmdMFC3_send, '3'},
    {&Form1::txtMFC4, &Form1::cmdMFC4_send, '4'},
};

TEST_F(SetpointsTest, EachSendButtonChecksItsOwnBoxAndMarksOnlyItOnRejection) {
  for (const RowCase& row : kRows) {
    for (const CheckCase& c : kChecks) {
      SCOPED_TRACE(::testing::Message() << (form.*row.button).name << " with \"" << c.text << "\"");
      FakeSerialPort fresh;
      FrontPanel p(fresh);
      ASSERT_EQ(fresh.Open(), open_error::None);
      for (const RowCase& other : kRows) (p.form.*other.box).backColor = colours::Cyan;
      (p.form.*row.box).text = c.text;

      cmdMFC_send_Click(p, p.form.*row.button);

      EXPECT_EQ((p.form.*row.box).text, c.text) << "the text is left for the operator";
      if (c.setpoint) {
        std::string text = std::string("070_") + row.mfc;
        text += (*c.setpoint < 100 ? "0" : "");
        text += (*c.setpoint < 10 ? "0" : "");
        text += std::to_string(*c.setpoint);
        ASSERT_EQ(fresh.writes.size(), 1u);
        EXPECT_EQ(fresh.writes[0].substr(0, 8), text);
        EXPECT_EQ((p.form.*row.box).backColor, colours::Cyan) << "a send leaves the colour";
      } else {
        EXPECT_TRUE(fresh.writes.empty());
        EXPECT_EQ((p.form.*row.box).backColor, colours::Red);
      }
      for (const RowCase& other : kRows) {
        if (other.box != row.box) {
          EXPECT_EQ((p.form.*other.box).backColor, colours::Cyan);
        }
      }
    }
  }
}

TEST_F(SetpointsTest, TheInitialZeroIsAcceptedStraightAfterStart) {
  cmdMFC_send_Click(panel, form.cmdMFC3_send);
  EXPECT_EQ(port.written, "070_3000185\r");
}

TEST_F(SetpointsTest, FiftyWithOrWithoutLeadingZerosSendsTheSameFrame) {
  for (const char* text : {"50", "050", "0000050"}) {
    SCOPED_TRACE(text);
    port.writes.clear();
    form.txtMFC1.text = text;
    cmdMFC_send_Click(panel, form.cmdMFC1_send);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], "070_1050188\r");
  }
  form.txtMFC1.text = "100";
  cmdMFC_send_Click(panel, form.cmdMFC1_send);
  EXPECT_EQ(port.writes.back(), "070_1100184\r");
}

TEST_F(SetpointsTest, ARedBoxStaysRedUntilItTakesTheFocus) {
  form.txtMFC2.text = "101";
  cmdMFC_send_Click(panel, form.cmdMFC2_send);
  ASSERT_EQ(form.txtMFC2.backColor, colours::Red);

  form.txtMFC4.text = "20";
  cmdMFC_send_Click(panel, form.cmdMFC4_send);
  EXPECT_EQ(form.txtMFC2.backColor, colours::Red) << "another row's send leaves it red";
  txtMFC_GotFocus(panel, form.txtMFC4);
  EXPECT_EQ(form.txtMFC2.backColor, colours::Red) << "another box's focus leaves it red";

  form.txtMFC2.text = "10";
  cmdMFC_send_Click(panel, form.cmdMFC2_send);
  EXPECT_EQ(form.txtMFC2.backColor, colours::Red) << "an accepted send leaves the colour";

  txtMFC_GotFocus(panel, form.txtMFC2);
  EXPECT_EQ(form.txtMFC2.backColor, colours::White);
  EXPECT_EQ(port.written, "070_4020188\r070_2010185\r");
}

TEST_F(SetpointsTest, EachBoxTurnsWhiteOnItsOwnFocusOnly) {
  for (const RowCase& row : kRows) {
    SCOPED_TRACE((form.*row.box).name);
    for (const RowCase& other : kRows) (form.*other.box).backColor = colours::Red;
    txtMFC_GotFocus(panel, form.*row.box);
    for (const RowCase& other : kRows) {
      EXPECT_EQ((form.*other.box).backColor, other.box == row.box ? colours::White : colours::Red);
    }
  }
  form.txtUptime.backColor = colours::Red;
  txtMFC_GotFocus(panel, form.txtUptime);
  EXPECT_EQ(form.txtUptime.backColor, colours::Red);
  EXPECT_TRUE(port.written.empty());
}

TEST_F(SetpointsTest, WithThePortClosedAnAcceptedEntrySaysNotConnectedAndStaysUnmarked) {
  port.Close();
  form.txtMFC1.text = "50";
  cmdMFC_send_Click(panel, form.cmdMFC1_send);
  EXPECT_EQ(form.lblStatus.caption, "Not connected!");
  EXPECT_EQ(form.txtMFC1.backColor, colours::White);
  EXPECT_TRUE(port.written.empty());

  form.lblStatus.caption = "Port 1 not open";
  form.txtMFC1.text = "5.5";
  cmdMFC_send_Click(panel, form.cmdMFC1_send);
  EXPECT_EQ(form.lblStatus.caption, "Port 1 not open") << "a rejection says nothing";
  EXPECT_EQ(form.txtMFC1.backColor, colours::Red);
}

TEST_F(SetpointsTest, AButtonThatIsNotASendButtonDoesNothing) {
  form.txtMFC1.text = "abc";
  cmdMFC_send_Click(panel, form.cmdConnect);
  EXPECT_EQ(form.txtMFC1.backColor, colours::White);
  EXPECT_TRUE(port.written.empty());
}

}  // namespace
}  // namespace halvorn
