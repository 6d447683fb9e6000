// The alarms as the operator meets them, through real Qt events: the banner
// below the picture, the frame round a faulty valve, F8, the summary (F9)
// with its acknowledge, shelve and unshelve, and a click on the picture that
// acknowledges nothing.
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTableWidget>

#include "PanelWindow.h"
#include "alarms/Banner.h"

#include <set>

namespace halvorn::shell {
namespace {

class AlarmBannerTest : public PanelWindowFixture {
 protected:
  AlarmOptions Alarms() const override {
    AlarmOptions options;
    options.on = true;
    options.settings.guidance.emplace_back("V3", "Check the valve block's air");
    return options;
  }
  QLabel* Banner(const char* name) const { return window->findChild<QLabel*>(QString::fromUtf8(name)); }
  // V1..CV2 closed, but for the `faulty` ones (1-based).
  void Valves(std::initializer_list<int> faulty) {
    std::string states(16, '\x17');
    for (const int valve : faulty) states[static_cast<std::size_t>(valve - 1)] = static_cast<char>(160);
    const std::uint64_t before = window->alarms()->board().revision();
    ASSERT_TRUE(line.Send(BuildFrame("061__" + states)));
    ASSERT_TRUE(testing::RunEventsUntil([&] { return window->alarms()->board().revision() != before; }, 1s));
  }
  // The colour just outside a shape's top-left corner, where its frame lies.
  QColor FrameColour(const QString& shape) const {
    const QRect r = InWindow(shape);
    return Picture().pixelColor(r.left() - 4, r.top() + r.height() / 2);
  }
};

TEST_F(AlarmBannerTest, AFaultIsAnnouncedUntilF8AcknowledgesItAndThePictureStaysWhereItWas) {
  const int pictureHeight = TwipsToPixels(window->form().clientHeight, dpiY);
  EXPECT_EQ(window->height(), pictureHeight + kBannerHeight);
  EXPECT_EQ(Banner("alarmCounts")->text(), "No alarms");
  Connect();
  Valves({3});
  EXPECT_EQ(Banner("alarmCounts")->text(), "1 alarm, 1 unacknowledged");
  EXPECT_TRUE(Banner("alarmLine1")->text().endsWith(
      "!! MEDIUM  V3  no response from icpcon bus  (active unacknowledged)"))
      << Banner("alarmLine1")->text().toStdString();

  // The frame flashes: its priority's colour and black, in turn.
  const QString shape = NameOf(window->form().shpV3.name, window->form().shpV3.element);
  const QColor medium = QColor::fromRgb(alarms::PriorityColour(alarms::Priority::Medium));
  std::set<QRgb> seen;
  ASSERT_TRUE(testing::RunEventsUntil(
      [&] {
        seen.insert(FrameColour(shape).rgb());
        return seen.size() >= 2;
      },
      2s));
  EXPECT_TRUE(seen.count(medium.rgb())) << "frame colours seen: " << seen.size();

  ClickAt(InWindow(shape).center());  // a click on the picture is no acknowledgement
  EXPECT_EQ(window->alarms()->board().Unacknowledged(), 1U);
  QTest::keyClick(window.get(), Qt::Key_F8);
  EXPECT_TRUE(Banner("alarmLine1")->text().endsWith("(active acknowledged)"));
  testing::RunEventsFor(600ms);
  EXPECT_EQ(FrameColour(shape), medium) << "steady once acknowledged";

  Valves({});
  EXPECT_EQ(Banner("alarmCounts")->text(), "No alarms") << "acknowledged and returned: gone";
  testing::RunEventsFor(50ms);
  EXPECT_NE(FrameColour(shape), medium);
}

TEST_F(AlarmBannerTest, TheSummaryShelvesWithAReasonUnshelvesAndAcknowledgesAll) {
  Connect();
  Valves({3});
  QTest::keyClick(window.get(), Qt::Key_F9);
  auto* summary = window->findChild<QDialog*>("alarmSummary");
  ASSERT_NE(summary, nullptr);
  auto* table = summary->findChild<QTableWidget*>("alarmTable");
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 2)->text(), "V3");
  EXPECT_EQ(table->item(0, 5)->text(), "Check the valve block's air");

  table->selectRow(0);
  summary->findChild<QComboBox*>("shelfReason")->setEditText("");
  QTest::mouseClick(summary->findChild<QPushButton*>("shelve"), Qt::LeftButton);
  EXPECT_EQ(window->alarms()->board().Unacknowledged(), 1U) << "no reason, no shelf";

  summary->findChild<QComboBox*>("shelfTime")->setCurrentIndex(1);
  summary->findChild<QComboBox*>("shelfReason")->setEditText("valve block serviced");
  QTest::mouseClick(summary->findChild<QPushButton*>("shelve"), Qt::LeftButton);
  EXPECT_EQ(Banner("alarmCounts")->text(), "0 alarms, 0 unacknowledged, 1 shelved");
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_TRUE(table->item(0, 3)->text().startsWith("shelved until "));
  const alarms::AlarmPoint& v3 = window->alarms()->board().points()[*window->alarms()->board().Find("V3")];
  EXPECT_NEAR(static_cast<double>(*v3.alarm.shelvedUntil() - window->alarms()->now()), 3'600'000.0, 5'000.0);

  // A second alarm sorts before the shelved one; the selection stays on V3.
  table->selectRow(0);
  Valves({3, 7});
  ASSERT_EQ(table->rowCount(), 2);
  ASSERT_EQ(table->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(table->item(table->selectionModel()->selectedRows()[0].row(), 2)->text(), "V3");
  QTest::mouseClick(summary->findChild<QPushButton*>("unshelve"), Qt::LeftButton);
  EXPECT_EQ(Banner("alarmCounts")->text(), "2 alarms, 2 unacknowledged") << "V3 still in fault: announced again";
  QTest::mouseClick(summary->findChild<QPushButton*>("acknowledgeAll"), Qt::LeftButton);
  EXPECT_EQ(window->alarms()->board().Unacknowledged(), 0U);
  KeepScreenshot("alarm-summary.png");
}

}  // namespace
}  // namespace halvorn::shell
