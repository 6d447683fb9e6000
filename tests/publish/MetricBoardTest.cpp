// The hand-over to the publisher's thread: one latest value per metric
// however often it changes, nothing seen before its commit, the link's
// closing kept even when it opened again before the take, and a publisher
// that waits for a commit or a wake-up and not for its deadline.
#include "publish/MetricBoard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace halvorn::publish {
namespace {

TEST(MetricBoardTest, HoldsTheLatestOfEachMetricAndShowsNothingBeforeItsCommit) {
  MetricBoard board(3);
  BoardChanges changes;
  for (int i = 0; i < 100'000; ++i) board.Set(1, MetricValue::Integer(i), kQualityGood, 1000 + i);
  board.Take(changes);
  EXPECT_TRUE(changes.changed.empty()) << "not committed yet";
  board.Commit();
  board.Set(2, MetricValue::Text(std::string(100, 'x')), kQualityGood, 5);
  board.Take(changes);
  ASSERT_EQ(changes.changed.size(), 1u) << "a broker away for long costs no memory";
  EXPECT_EQ(changes.changed[0].first, 1u);
  EXPECT_EQ(changes.changed[0].second.value.integer, 99'999);
  EXPECT_EQ(changes.changed[0].second.timestampMs, 1000 + 99'999);
  board.Commit();
  board.Take(changes);
  ASSERT_EQ(changes.changed.size(), 1u);
  EXPECT_EQ(changes.changed[0].second.value.textView(), std::string(kMaxTextBytes, 'x')) << "cut";
  board.Take(changes);
  EXPECT_TRUE(changes.changed.empty()) << "taken once";
}

TEST(MetricBoardTest, ALinkThatClosedAndOpenedBetweenTwoTakesIsSaidToHaveDropped) {
  MetricBoard board(1);
  BoardChanges changes;
  board.SetOnline(true);
  board.Commit();
  board.Take(changes);
  EXPECT_TRUE(changes.online);
  EXPECT_FALSE(changes.dropped);
  board.SetOnline(false);
  board.Commit();
  board.SetOnline(true);
  board.Commit();
  board.Take(changes);
  EXPECT_TRUE(changes.online);
  EXPECT_TRUE(changes.dropped);
  board.Take(changes);
  EXPECT_FALSE(changes.dropped);
}

TEST(MetricBoardTest, ThePublisherWakesForACommitAndForAStopNotForItsDeadline) {
  MetricBoard board(1);
  std::atomic<int> takes{0};
  std::atomic<bool> stop{false};
  std::thread publisher([&] {
    BoardChanges changes;
    while (!stop) {
      // A deadline only a real fault reaches: the wake-ups must come first.
      if (board.WaitFor(std::chrono::minutes(5))) {
        board.Take(changes);
        if (!changes.changed.empty()) ++takes;
      }
    }
  });
  board.Set(0, MetricValue::Number(1.0), kQualityGood, 1);
  board.Commit();
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (takes == 0 && std::chrono::steady_clock::now() < bound) std::this_thread::yield();
  EXPECT_EQ(takes, 1);
  const auto before = std::chrono::steady_clock::now();
  stop = true;
  board.Wake();
  publisher.join();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
}

}  // namespace
}  // namespace halvorn::publish
