// Reading a record for replay: which sessions it holds, which bytes the
// controller sent in a stretch of one, and handing them out on time.
#include "Replay.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "record/RecordWriter.h"
#include "record/Schema.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::sim {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// Two sessions: the first with three answers and two polls, the second
// with one answer and not closed cleanly.
void WriteRecord(const std::string& path) {
  auto traffic = [](std::int64_t t, record::Direction direction, std::string_view bytes) {
    record::Item item;
    item.kind = record::Item::Kind::Traffic;
    item.t_ns = t;
    item.code = static_cast<std::int32_t>(direction);
    item.text[0] = bytes;
    return item;
  };
  {
    record::ItemQueue queue(1 << 16);
    record::RecordWriter writer(record::RecordFile(path), queue, {1'796'000'000'000'000'000, "0.1", "", ""});
    queue.Push(traffic(1'000'000'000, record::Direction::Sent, "061_246\r"));
    queue.Push(traffic(1'010'000'000, record::Direction::Received, "first\r"));
    queue.Push(traffic(2'000'000'000, record::Direction::Received, "second\r"));
    queue.Push(traffic(2'100'000'000, record::Direction::Sent, "060_245\r"));
    queue.Push(traffic(3'500'000'000, record::Direction::Received, std::string("\x8c\0\r", 3)));
  }
  record::ItemQueue queue(1 << 16);
  record::RecordWriter writer(record::RecordFile(path), queue, {1'796'000'100'000'000'000, "0.1", "", ""});
  queue.Push(traffic(500, record::Direction::Received, "other\r"));
  writer.Stop();
  // As a panel that was killed leaves it.
  record::Database(path, record::Database::Mode::ReadWrite).Exec("UPDATE session SET ended = 0 WHERE id = 2");
}

TEST(ReplayTest, ListShowsEverySessionWithItsLengthAndTraffic) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "run.halvorn";
  WriteRecord(path);
  record::Database db(path, record::Database::Mode::ReadOnly);
  EXPECT_EQ(NewestSession(db), 2);
  EXPECT_EQ(FormatSessions(ListSessions(db)),
            "session  started (UTC)         length s  bytes received  frames sent\n"
            "      1  2026-11-30 00:53:20       3.5              16            2\n"
            "      2  2026-11-30 00:55:00       0.0               6            0  (not closed cleanly)\n");
}

// The panel's --record-keep removed the older traffic: the list tells an
// operator from when a session still replays, or that it no longer does,
// and a replay begins where the traffic is whole instead of waiting out
// the time removed.
TEST(ReplayTest, ASessionWhoseOlderTrafficWasRemovedSaysFromWhereItReplays) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "kept.halvorn";
  WriteRecord(path);
  {
    record::Database db(path, record::Database::Mode::ReadWrite);
    db.Exec("DELETE FROM traffic WHERE (session = 1 AND t_ns < 1500000000) OR session = 2");
    db.Exec("UPDATE session SET raw_from_t_ns = 1500000000 WHERE id = 1");
    db.Exec("UPDATE session SET raw_from_t_ns = 500 WHERE id = 2");
  }
  record::Database db(path, record::Database::Mode::ReadOnly);
  EXPECT_EQ(FormatSessions(ListSessions(db)),
            "session  started (UTC)         length s  bytes received  frames sent\n"
            "      1  2026-11-30 00:53:20       3.5              10            1"
            "  (its traffic before 2026-11-30 00:53:21 was removed: it replays only from there, --from 2)\n"
            "      2  2026-11-30 00:55:00       0.0               0            0  (not closed cleanly)"
            "  (its traffic was removed: it cannot be replayed)\n");
  EXPECT_EQ(ReplayableFromNs(db, 1), 1'500'000'000);
  struct Case {
    double from;
    std::vector<std::pair<std::int64_t, std::string>> expected;
  };
  const Case cases[] = {
      {0.0, {{500'000'000, "second\r"}, {2'000'000'000, std::string("\x8c\0\r", 3)}}},
      {1.5, {{500'000'000, "second\r"}, {2'000'000'000, std::string("\x8c\0\r", 3)}}},
      {3.0, {{500'000'000, std::string("\x8c\0\r", 3)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("from " + std::to_string(c.from));
    std::vector<std::pair<std::int64_t, std::string>> got;
    for (const ReplayChunk& chunk : LoadReplay(db, 1, c.from, std::nullopt)) got.emplace_back(chunk.at.count(), chunk.bytes);
    EXPECT_EQ(got, c.expected);
  }
}

TEST(ReplayTest, AStretchOfASessionIsTheControllersBytesTimedFromItsStart) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "run.halvorn";
  WriteRecord(path);
  record::Database db(path, record::Database::Mode::ReadOnly);
  struct Case {
    double from;
    std::optional<double> to;
    std::vector<std::pair<std::int64_t, std::string>> expected;
  };
  const Case cases[] = {
      {0.0, std::nullopt,
       {{1'010'000'000, "first\r"}, {2'000'000'000, "second\r"}, {3'500'000'000, std::string("\x8c\0\r", 3)}}},
      {1.5, std::nullopt, {{500'000'000, "second\r"}, {2'000'000'000, std::string("\x8c\0\r", 3)}}},
      {1.0, 2.0, {{10'000'000, "first\r"}, {1'000'000'000, "second\r"}}},
      {4.0, std::nullopt, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("from " + std::to_string(c.from));
    std::vector<std::pair<std::int64_t, std::string>> got;
    for (const ReplayChunk& chunk : LoadReplay(db, 1, c.from, c.to)) got.emplace_back(chunk.at.count(), chunk.bytes);
    EXPECT_EQ(got, c.expected);
  }
  EXPECT_THROW(LoadReplay(db, 3, 0.0, std::nullopt), record::DatabaseError);
}

TEST(ReplayTest, ThePlayerHandsOutWhatIsDueAtItsSpeed) {
  ReplayPlayer player({{0ns, "a"}, {100ms, "b"}, {100ms, "c"}, {1s, "d"}}, 2.0);
  EXPECT_EQ(player.TakeDue(0ns), "a");
  EXPECT_EQ(player.NextDue(), 50ms);
  EXPECT_EQ(player.TakeDue(49ms), "");
  EXPECT_EQ(player.TakeDue(50ms), "bc");
  EXPECT_FALSE(player.Done());
  EXPECT_EQ(player.TakeDue(10s), "d");
  EXPECT_TRUE(player.Done());
  EXPECT_EQ(player.NextDue(), std::nullopt);
}

// Whatever pace the player is handed, a chunk's time stays a time: held at
// the far end of 64-bit nanoseconds, never wrapped round to the past.
TEST(ReplayTest, AnExtremePaceHoldsTimesAtTheirEnds) {
  const std::chrono::nanoseconds hour = 3600s;
  for (const double speed : {1e-300, 1e-3, 0.0, -1.0}) {
    SCOPED_TRACE(speed);
    ReplayPlayer player({{0ns, "a"}, {hour, "b"}}, speed);
    EXPECT_EQ(player.TakeDue(0ns), "a");
    ASSERT_TRUE(player.NextDue());
    EXPECT_GE(*player.NextDue(), hour);
    EXPECT_EQ(player.TakeDue(hour - 1ns), "");
  }
}

}  // namespace
}  // namespace halvorn::sim
