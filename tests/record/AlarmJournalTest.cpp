// The alarm journal on a real record: a valve that fails, is shelved with a
// reason, comes back off the shelf, is acknowledged and returns, each
// transition a row of words a person reads in sqlite3, the operator's with
// the login name and the shelf's expiry on the session's clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alarms/AlarmWatch.h"
#include "door/Events.h"
#include "link/Frame.h"
#include "record/RecordWriter.h"
#include "record/Recorder.h"
#include "record/Schema.h"
#include "support/FakeSerialPort.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using alarms::Milliseconds;

class ManualClock : public Clock {
 public:
  Stamp Now() const override { return {monotonic, 1'700'000'000'000'000'000 + monotonic}; }
  std::int64_t monotonic = 0;
};

// The panel with its alarms on, recording into `path`; the record's clock
// and the alarms' clock move together.
struct RecordedPlant {
  explicit RecordedPlant(const std::string& path)
      : writer(RecordFile(path), queue, {1'700'000'000'000'000'000, "0.1", "halvorn-panel --alarms", ""}) {
    panel.feed.Listen(recorder);
    panel.feed.Listen(watch);
    watch.TellOn(panel.feed);
    Load(panel);
    Click(panel, panel.form.cmdConnect);
  }
  void At(Milliseconds ms) {
    now = ms;
    clock.monotonic = ms * 1'000'000;
  }
  // V1..CV2 closed, but V5 showing `code`.
  void V5(int code) {
    std::string states(16, '\x17');
    states[4] = static_cast<char>(code);
    port.Deliver(BuildFrame("061__" + states));
  }
  std::size_t Point(std::string_view name) const { return *board.Find(name); }

  ManualClock clock;
  ItemQueue queue{1 << 16};
  Recorder recorder{queue, clock};
  RecordWriter writer;
  testing::FakeSerialPort port;
  FrontPanel panel{port};
  alarms::AlarmBoard board;
  Milliseconds now = 0;
  alarms::AlarmWatch watch{board, [this] { return now; }};
};

TEST(AlarmJournalTest, EveryTransitionIsARowOfWordsWithItsReasonExpiryAndUser) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "alarms.halvorn";
  {
    RecordedPlant plant(path);
    plant.At(1'000);
    plant.V5(160);  // no response from the valve's bus
    plant.At(2'000);
    plant.watch.Shelve(plant.Point("V5"), 3'600'000, "valve block serviced", "anna");
    plant.At(3'000);
    plant.watch.Unshelve(plant.Point("V5"), "bert");  // still failing: announced again
    plant.At(4'000);
    plant.watch.AcknowledgeFirst("bert");
    plant.At(5'000);
    plant.V5(0x17);
    plant.writer.Stop();
    ASSERT_FALSE(plant.writer.Failure());
  }
  Database db(path, Database::Mode::ReadOnly);
  // Every column as sqlite3 prints it, with its storage class, so that a
  // word stored as a number or a blob, or a NULL stored as '', shows.
  Statement rows = db.Prepare(
      "SELECT t_ns, point, transition, priority, text, quote(reason), quote(until_t_ns - t_ns), quote(user),"
      " typeof(point) || typeof(transition) || typeof(priority) || typeof(text)"
      " FROM alarm WHERE session = 1 ORDER BY rowid");
  std::vector<std::string> lines;
  while (rows.Step()) {
    lines.push_back(std::to_string(rows.Integer(0) / 1'000'000) + " " + rows.Text(1) + " " + rows.Text(2) + " " +
                    rows.Text(3) + " [" + rows.Text(4) + "] " + rows.Text(5) + " " + rows.Text(6) + " " +
                    rows.Text(7));
    EXPECT_EQ(rows.Text(8), "texttexttexttext") << lines.back();
  }
  const std::string fault = "[no response from icpcon bus]";
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "1000 V5 raised medium " + fault + " NULL NULL NULL",
                       "2000 V5 shelved medium " + fault + " 'valve block serviced' 3600000000000 'anna'",
                       "3000 V5 unshelved medium " + fault + " NULL NULL 'bert'",
                       "3000 V5 raised medium " + fault + " NULL NULL NULL",
                       "4000 V5 acknowledged medium " + fault + " NULL NULL 'bert'",
                       "5000 V5 returned medium " + fault + " NULL NULL NULL",
                       "5000 V5 cleared medium " + fault + " NULL NULL NULL",
                   }));
  Statement wall = db.Prepare("SELECT count(*) FROM alarm WHERE wall_ns = 1700000000000000000 + t_ns");
  ASSERT_TRUE(wall.Step());
  EXPECT_EQ(wall.Integer(0), static_cast<std::int64_t>(lines.size())) << "stamped like every other row";
}

}  // namespace
}  // namespace halvorn::record
