// The installation's alarm points together: what the banner lists first,
// what F8 acknowledges, when the plant is in an alarm flood, which point
// chatters, and the journal's lines.
#include "alarms/AlarmBoard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvorn::alarms {
namespace {

std::size_t At(const AlarmBoard& board, std::string_view name) {
  const auto point = board.Find(name);
  EXPECT_TRUE(point) << name;
  return point.value_or(0);
}

std::vector<std::string> Banner(const AlarmBoard& board) {
  std::vector<std::string> names;
  for (const std::size_t i : board.Listed()) names.push_back(board.points()[i].name);
  return names;
}

TEST(AlarmBoardTest, EveryPointOfThePlantIsThereWithItsDefaultPriority) {
  const AlarmBoard board;
  struct Case {
    const char* point;
    Priority priority;
  };
  const Case cases[] = {{"V1", Priority::Medium},        {"V14", Priority::Medium},
                        {"CV2", Priority::Medium},       {"TMP", Priority::High},
                        {"ROTARY2", Priority::Medium},   {"G8", Priority::Medium},
                        {"MFC4", Priority::Medium},      {"ELECTRODE", Priority::Medium},
                        {"COOLING", Priority::Medium},   {"PORT", Priority::High},
                        {"ANSWERS-FLOWS", Priority::Low}, {"WARNING-100", Priority::High},
                        {"WARNING-106", Priority::Low},  {"CONTROLLER-RESTART", Priority::Low}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.point);
    EXPECT_EQ(board.points()[At(board, c.point)].priority, c.priority);
  }
  EXPECT_EQ(board.points().size(), 14u + 2 + 1 + 2 + 8 + 4 + 2 + 1 + 4 + 3 + 1);
  EXPECT_FALSE(board.Find("NV1")) << "a valve that never reports raises nothing";
}

TEST(AlarmBoardTest, TheBannerListsUnacknowledgedFirstThenByPriorityThenTheOldest) {
  AlarmBoard board;
  board.Set(At(board, "V5"), true, "no response from icpcon bus", 1'000);
  board.Set(At(board, "ANSWERS-GAUGES"), true, "no answers: gauges", 2'000);
  board.Set(At(board, "V7"), true, "interlock", 3'000);
  board.Set(At(board, "PORT"), true, "Port 1 lost", 4'000);
  EXPECT_EQ(Banner(board), (std::vector<std::string>{"PORT", "V5", "V7", "ANSWERS-GAUGES"}));
  board.AcknowledgeFirst(5'000);  // F8
  EXPECT_EQ(Banner(board), (std::vector<std::string>{"V5", "V7", "ANSWERS-GAUGES", "PORT"}));
  EXPECT_EQ(board.Unacknowledged(), 3u);
  board.Set(At(board, "V5"), false, "", 6'000);  // returned, still waiting
  board.Shelve(At(board, "V7"), 15 * kMinute, "maintenance", 7'000);
  EXPECT_EQ(Banner(board), (std::vector<std::string>{"V5", "ANSWERS-GAUGES", "PORT"}));

  const auto changes = board.TakeChanges();
  ASSERT_EQ(changes.size(), 7u);
  EXPECT_EQ(TransitionName(changes[4].transition), "acknowledged");
  EXPECT_EQ(changes[4].point, At(board, "PORT"));
  EXPECT_EQ(TransitionName(changes[5].transition), "returned");
  EXPECT_EQ(changes[6].reason, "maintenance");
  EXPECT_EQ(changes[6].until, 7'000 + 15 * kMinute);
  EXPECT_EQ(PriorityName(changes[6].priority), "medium");
  EXPECT_TRUE(board.TakeChanges().empty());

  board.Tick(7'000 + 15 * kMinute);
  EXPECT_EQ(Banner(board), (std::vector<std::string>{"V5", "V7", "ANSWERS-GAUGES", "PORT"}))
      << "still active when its shelf expired: announced again";
}

TEST(AlarmBoardTest, MoreThanTenRaisesInTenMinutesIsAFloodAndThreeInAMinuteChatter) {
  AlarmBoard board;
  const std::size_t v1 = At(board, "V1");
  // V1 goes on and off every 25 s: three raises within 50 s.
  for (int i = 0; i < 3; ++i) {
    board.Set(v1, true, "fault", i * 25'000);
    board.Set(v1, false, "", i * 25'000 + 1'000);
  }
  EXPECT_TRUE(board.Chattering(v1, 50'000));
  EXPECT_FALSE(board.Chattering(v1, 75'000)) << "the first of the three is a minute old";
  // Eight more points make eleven raises, the last at 8 min.
  for (int g = 1; g <= 8; ++g) board.Set(At(board, "G" + std::to_string(g)), true, "fault", g * kMinute + 1'000);
  EXPECT_TRUE(board.InFlood(9 * kMinute + 1'000));
  EXPECT_FALSE(board.InFlood(10 * kMinute)) << "the first raise fell out of the ten minutes";
}

}  // namespace
}  // namespace halvorn::alarms
