// A session recorded against the simulator with faults and operator
// commands, replayed by the simulator into a second panel that records
// too: the two records must say the operator saw the same changes, in the
// same order, device by device.
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MainWindow.h"
#include "SessionRecord.h"
#include "app/QtApplication.h"
#include "record/Schema.h"
#include "support/EventLoop.h"
#include "support/Simulator.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;
using halvorn::testing::RunEventsFor;
using halvorn::testing::RunEventsUntil;

// What a record says the operator saw: per device, each shown state
// (caption, state caption, colour) in order, repeats and greyed spells
// left out. Greying follows the panel's own watchdog ticks, which two runs
// do not share; everything the controller's answers showed, they do.
std::map<std::string, std::vector<std::string>> SeenChanges(const std::string& path) {
  record::Database db(path, record::Database::Mode::ReadOnly);
  record::Statement rows = db.Prepare(
      "SELECT device, text, coalesce(detail, ''), coalesce(colour, -1) FROM device_state"
      " WHERE session = 1 AND device <> 'UPTIME' AND quality <> 4 ORDER BY t_ns, rowid");
  std::map<std::string, std::vector<std::string>> seen;
  while (rows.Step()) {
    std::vector<std::string>& states = seen[rows.Text(0)];
    const std::string state = rows.Text(1) + " | " + rows.Text(2) + " | " + std::to_string(rows.Integer(3));
    if (states.empty() || states.back() != state) states.push_back(state);
  }
  return seen;
}

std::int64_t Count(const std::string& path, const std::string& sql) {
  record::Database db(path, record::Database::Mode::ReadOnly);
  record::Statement count = db.Prepare(sql);
  return count.Step() ? count.Integer(0) : -1;
}

class RecordReplayTest : public ::testing::Test {
 protected:
  // Runs a recorded window on the simulator's line until `done` says so.
  void RunPanel(const std::string& recordPath, const std::string& linkPath,
                const std::function<void(MainWindow&)>& during) {
    PortMap ports;
    ASSERT_TRUE(ports.SetDevice(1, linkPath));
    SessionRecord record(recordPath, {});
    MainWindow window(ports, &record);
    window.show();
    ASSERT_NE(window.windowTitle().toStdString().find("recording to " + recordPath), std::string::npos);
    QTest::mouseClick(window.view("cmdConnect"), Qt::LeftButton);
    ASSERT_TRUE(window.panel().MSComm2.PortOpen());
    during(window);
    QTest::mouseClick(window.view("cmdDisconnect"), Qt::LeftButton);
  }

  testing::TemporaryDirectory directory;
};

TEST_F(RecordReplayTest, AReplayShowsTheSecondPanelWhatTheFirstSawChangeByChange) {
  const std::string original = directory / "original.halvorn";
  const std::string replayed = directory / "replayed.halvorn";
  {
    const std::string link = directory / "pic";
    testing::Simulator sim({"--fault", "V3=160", "--warn", "105"}, link);
    ASSERT_TRUE(sim.ok()) << sim.transcript();
    RunPanel(original, link, [&](MainWindow& window) {
      RunEventsFor(3s);
      ASSERT_TRUE(sim.Command("fault G6 159", 3s));
      auto* box = qobject_cast<QLineEdit*>(window.view("txtMFC2"));
      ASSERT_NE(box, nullptr);
      QTest::mouseClick(box, Qt::LeftButton);
      QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(box, "42.5");
      QTest::mouseClick(window.view("cmdMFC2_send"), Qt::LeftButton);
      QTest::mouseClick(window.view("cmdMoveElectrodeIn"), Qt::LeftButton);
      RunEventsFor(3s);
    });
  }
  ASSERT_FALSE(HasFatalFailure());
  {
    const std::string link = directory / "replay";
    testing::Simulator sim({"--replay", original}, link);
    ASSERT_TRUE(sim.ok()) << sim.transcript();
    RunPanel(replayed, link, [&](MainWindow&) {
      bool finished = false;
      ASSERT_TRUE(RunEventsUntil(
          [&] {
            while (const auto line = sim.TakeLine()) finished = finished || line->starts_with("halvorn-sim: replay finished");
            return finished;
          },
          30s))
          << sim.transcript();
      RunEventsFor(100ms);
    });
  }
  ASSERT_FALSE(HasFatalFailure());

  // The first run saw the faults and the commands' effects...
  const auto seen = SeenChanges(original);
  ASSERT_TRUE(seen.count("V3") && seen.count("G6") && seen.count("ELECTRODE"));
  EXPECT_NE(seen.at("V3").back().find("no response from icpcon bus"), std::string::npos) << seen.at("V3").back();
  // The electrode takes its time: on its way it shows "middle".
  const auto& electrode = seen.at("ELECTRODE");
  EXPECT_TRUE(std::any_of(electrode.begin(), electrode.end(),
                          [](const std::string& s) { return s.starts_with("middle |") || s.starts_with("in |"); }))
      << electrode.back();
  EXPECT_EQ(Count(original, "SELECT count(*) FROM action WHERE procedure = 'cmdMFC2_send_Click'"
                            " AND device = 'MFC2' AND argument = '42.5'"), 1);
  EXPECT_EQ(Count(original, "SELECT count(*) FROM event WHERE kind = 'warning' AND number = 105"), 1);
  // ...and the second saw the same, change by change.
  EXPECT_EQ(SeenChanges(replayed), seen);
  EXPECT_EQ(Count(replayed, "SELECT count(*) FROM event WHERE kind = 'warning' AND number = 105"), 1);
  EXPECT_EQ(Count(replayed, "SELECT count(*) FROM session WHERE ended = 1"), 1);
}

}  // namespace
}  // namespace halvorn::shell
