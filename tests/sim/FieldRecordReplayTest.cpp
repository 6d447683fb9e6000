// A record that an earlier panel wrote in the field replays what its
// controller sent: the panel's own core, fed the replay, ends showing every
// device as the record last saw it.
#include <gtest/gtest.h>

#include <string>

#include "Replay.h"
#include "link/Startup.h"
#include "record/RecordedDevices.h"
#include "support/FakeSerialPort.h"
#include "support/FieldRecord.h"

namespace halvorn::sim {
namespace {

TEST(FieldRecordReplayTest, ThePanelFedTheReplayOfPanel01sRecordEndsAsItWasRecorded) {
  halvorn::testing::TemporaryDirectory dir;
  record::Database db(halvorn::testing::CopyOfFixture(dir, halvorn::testing::kFieldRecordLayout1),
                      record::Database::Mode::ReadOnly);
  record::CheckIsRecord(db, "the field record");
  ASSERT_EQ(NewestSession(db), 1);
  // An older layout knows nothing of retention: whole, and listed so.
  ASSERT_EQ(ListSessions(db).size(), 1u);
  EXPECT_EQ(ListSessions(db)[0].rawFromNs, 0);
  ReplayPlayer player(LoadReplay(db, 1, 0.0, std::nullopt), 1.0);
  ASSERT_GT(player.ChunkCount(), 1000u);

  halvorn::testing::FakeSerialPort port;
  FrontPanel panel{port};
  Form_Load(panel);
  port.Deliver(player.TakeDue(std::chrono::hours(1)));
  EXPECT_TRUE(player.Done());
  EXPECT_EQ(panel.form.lblCrcErrors.caption, "0 received message with crc error");

  record::Statement last = db.Prepare(
      "SELECT text, colour FROM device_state WHERE session = 1 AND device = ?1 ORDER BY t_ns DESC, rowid DESC"
      " LIMIT 1");
  for (const Device& device : record::kRecordedDevices) {
    SCOPED_TRACE(std::string(device.name));
    last.Reset();
    last.Bind(1, std::string(device.name));
    ASSERT_TRUE(last.Step());
    EXPECT_EQ((panel.form.*TextLabel(device)).caption, last.Text(0));
    if (device.shape) {
      EXPECT_EQ(static_cast<std::int64_t>((panel.form.*device.shape).fillColor), last.Integer(1));
    }
  }
}

}  // namespace
}  // namespace halvorn::sim
