// The "Clear" button: both message lists emptied, nothing sent, the counters
// kept.
#include "commands/ClearLists.h"

#include <gtest/gtest.h>

#include <string>

#include "link/Frame.h"
#include "link/Receiver.h"
#include "support/FakeSerialPort.h"

namespace halvorn {
namespace {

using testing::FakeSerialPort;

class ClearListsTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FrontPanel panel{port};
  Form1& form = panel.form;

  void SetUp() override { ASSERT_EQ(port.Open(), open_error::None); }

  // A good message from the controller, without its carriage return.
  static std::string Message(std::string_view text) {
    std::string frame = BuildFrame(text);
    frame.pop_back();
    return frame;
  }
};

TEST_F(ClearListsTest, FullListsAreEmptiedNothingIsSentAndTheCountersStay) {
  for (int i = 0; i < 10; ++i) {
    ProcessMessage(panel, Message("105_"));
    ProcessMessage(panel, Message("999_" + std::to_string(i)));
  }
  ProcessMessage(panel, "061_bad");
  ASSERT_EQ(form.lstWarnings.ListCount(), 10);
  ASSERT_EQ(form.lstMessages.ListCount(), 10);
  const std::string correct = form.lblStatus2.caption;
  const std::string corrupt = form.lblCrcErrors.caption;
  const auto correctCount = panel.CorrectMessageCount;
  const auto corruptCount = panel.CrcErrorCount;

  cmdClearError_Click(panel);

  EXPECT_EQ(form.lstWarnings.ListCount(), 0);
  EXPECT_EQ(form.lstMessages.ListCount(), 0);
  EXPECT_TRUE(port.written.empty());
  EXPECT_FALSE(form.Timer3.enabled);
  EXPECT_EQ(form.lblStatus2.caption, correct);
  EXPECT_EQ(form.lblCrcErrors.caption, corrupt);
  EXPECT_EQ(panel.CorrectMessageCount, correctCount);
  EXPECT_EQ(panel.CrcErrorCount, corruptCount);

  // The next warning stands alone.
  ProcessMessage(panel, Message("105_"));
  EXPECT_EQ(form.lstWarnings.ListCount(), 1);
  EXPECT_EQ(form.lstMessages.ListCount(), 0);
}

TEST_F(ClearListsTest, ClearingEmptyListsChangesNothing) {
  const std::string status = form.lblStatus.caption;
  cmdClearError_Click(panel);
  EXPECT_EQ(form.lstWarnings.ListCount(), 0);
  EXPECT_EQ(form.lstMessages.ListCount(), 0);
  EXPECT_EQ(form.lblStatus.caption, status);
  EXPECT_TRUE(port.written.empty());
}

TEST_F(ClearListsTest, WorksAlsoWithThePortClosed) {
  port.Close();
  form.lstWarnings.AddItem(" 100 (OP_ERR_PNEUMATIC_PRESSURE)", 0);
  form.lstMessages.AddItem("999_x123", 0);
  cmdClearError_Click(panel);
  EXPECT_EQ(form.lstWarnings.ListCount(), 0);
  EXPECT_EQ(form.lstMessages.ListCount(), 0);
  EXPECT_NE(form.lblStatus.caption, "Not connected!");
}

}  // namespace
}  // namespace halvorn
