// The window with a session record: the title says where, each operator
// action is recorded once with what it was given, and a record that fails
// at the start or during the run says so in the title while the panel goes
// on.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "MainWindow.h"
#include "QtApplication.h"
#include "SessionRecord.h"
#include "record/Database.h"
#include "support/EventLoop.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Rows(const std::string& path, const std::string& sql) {
  record::Database db(path, record::Database::Mode::ReadOnly);
  record::Statement rows = db.Prepare(sql);
  std::vector<std::string> lines;
  while (rows.Step()) lines.push_back(rows.Text(0));
  return lines;
}

class RecordedWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ports.SetDevice(1, dir / "no-such-device")); }
  testing::TemporaryDirectory dir;
  std::string path = dir / "window.halvorn";
  PortMap ports;
};

TEST_F(RecordedWindowTest, TheTitleSaysWhereAndOnlyWhenRecording) {
  {
    SessionRecord record(path, {});
    MainWindow window(ports, &record);
    EXPECT_EQ(window.windowTitle().toStdString(), window.form().caption + " \u2014 recording to " + path);
  }
  MainWindow plain(ports);
  EXPECT_EQ(plain.windowTitle().toStdString(), plain.form().caption);
}

TEST_F(RecordedWindowTest, EachOperatorActionIsRecordedOnceWithWhatItWasGiven) {
  {
    SessionRecord record(path, {});
    MainWindow window(ports, &record);
    QTest::mouseClick(window.view("cmdConnect"), Qt::LeftButton);
    auto* baud = qobject_cast<QComboBox*>(window.view("Combo1"));
    ASSERT_NE(baud, nullptr);
    baud->activated(2);  // as the operator's choice raises it
    auto* box = qobject_cast<QLineEdit*>(window.view("txtMFC3"));
    ASSERT_NE(box, nullptr);
    box->setText("12,5");
    box->textEdited("12,5");
    QTest::mouseClick(window.view("cmdMFC3_send"), Qt::LeftButton);
    QTest::mouseClick(window.view("cmdClearError"), Qt::LeftButton);
  }
  EXPECT_EQ(Rows(path, "SELECT procedure || ' ' || coalesce(device, '-') || ' ' || argument FROM action ORDER BY t_ns"),
            (std::vector<std::string>{"cmdConnect_Click - Connect", "Combo1_Click - 38400",
                                      "cmdMFC3_send_Click MFC3 12,5", "cmdClearError_Click - Clear"}));
  EXPECT_EQ(Rows(path, "SELECT kind || ' ' || number || ' ' || text FROM event WHERE kind = 'open failed'"),
            (std::vector<std::string>{"open failed 8002 Port 1 does not exist"}));
  EXPECT_EQ(Rows(path, "SELECT ended FROM session"), (std::vector<std::string>{"1"}));
}

TEST_F(RecordedWindowTest, ARecordThatFailsStopsRecordingNotThePanel) {
  SessionRecord record(path, {});
  MainWindow window(ports, &record);
  std::filesystem::remove(path);
  // The writer notices at its next commit; the title at the next event.
  ASSERT_TRUE(testing::RunEventsUntil([&] { return record.Failure().has_value(); }, 5s));
  QTest::mouseClick(window.view("cmdClearError"), Qt::LeftButton);
  EXPECT_EQ(window.windowTitle().toStdString(),
            window.form().caption + " \u2014 not recording: " + path + " was removed or replaced");
  QTest::mouseClick(window.view("cmdConnect"), Qt::LeftButton);
  EXPECT_EQ(window.form().lblStatus.caption, "Port 1 does not exist") << "the panel goes on";
}

// Another panel records into the file: this one starts all the same, says
// so in its title, and keeps nothing.
TEST_F(RecordedWindowTest, ARecordThatCannotStartNowLeavesThePanelWorkingAndSaysWhy) {
  record::RecordFile otherPanel(path);
  SessionRecord record(path, {});
  MainWindow window(ports, &record);
  EXPECT_EQ(window.windowTitle().toStdString(), window.form().caption + " \u2014 not recording: " +
                                                    path + " is being recorded by another panel");
  QTest::mouseClick(window.view("cmdConnect"), Qt::LeftButton);
  EXPECT_EQ(window.form().lblStatus.caption, "Port 1 does not exist");
  EXPECT_EQ(Rows(path, "SELECT count(*) FROM session"), (std::vector<std::string>{"0"}));
}

}  // namespace
}  // namespace halvorn::shell
