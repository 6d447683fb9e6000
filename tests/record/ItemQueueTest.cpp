// The hand-over queue keeps items in order and byte for byte, and what does
// not fit is counted and told as a gap before the next item that fits.
#include "record/ItemQueue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "QueuedItems.h"

namespace halvorn::record {
namespace {

using ::testing::ElementsAre;
using testing::Described;
using testing::TakeItems;

TEST(ItemQueueTest, ItemsComeOutInOrderWithTheirNullsAndEveryByte) {
  ItemQueue queue(4096);
  const std::string bytes("061__\x8c\x00\x18\r", 9);  // 140, a zero and a carriage return
  Item state;
  state.kind = Item::Kind::DeviceState;
  state.t_ns = 7;
  state.number = 0x00FFFFFF;
  state.value = 1.234e-3;
  state.text = {std::string_view("G6"), std::string_view("1.234E-3"), std::string_view("ok")};
  Item action;
  action.kind = Item::Kind::Action;
  action.t_ns = 9;
  action.text = {std::string_view("cmdConnect_Click"), std::nullopt, std::string_view("Connect")};
  Item shelved;
  shelved.kind = Item::Kind::Alarm;
  shelved.number = 3'600'000'000'000;
  shelved.text = {std::string_view("V5"), std::string_view("shelved"), std::string_view("medium"),
                  std::string_view(""), std::nullopt, std::string_view("anna")};

  ASSERT_TRUE(queue.Push(testing::ReceivedItem(5, bytes)));
  ASSERT_TRUE(queue.Push(state));
  ASSERT_TRUE(queue.Push(action));
  ASSERT_TRUE(queue.Push(shelved));
  const auto items = TakeItems(queue);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text[0], bytes);
  EXPECT_EQ(items[0].wall_ns, 1'700'000'000'000'000'005);
  EXPECT_THAT(Described(items),
              ElementsAre("in '" + bytes + "'", "state G6 '1.234E-3' detail 'ok' colour 16777215 q0 0.001234",
                          "action cmdConnect_Click NULL 'Connect'",
                          "alarm V5 shelved medium '' until 3600000000000 by 'anna'"));
  EXPECT_EQ(items[3].text[4], std::nullopt) << "a NULL is not an empty text";
  EXPECT_TRUE(TakeItems(queue).empty()) << "taken items are gone";
}

TEST(ItemQueueTest, WhatDoesNotFitIsCountedAndToldAsAGapWhenThereIsRoom) {
  const std::string chunk(100, 'x');
  ItemQueue queue(1024);
  int kept = 0;
  while (queue.Push(testing::ReceivedItem(kept, chunk))) ++kept;
  ASSERT_GT(kept, 3);
  EXPECT_FALSE(queue.Push(testing::ReceivedItem(100, chunk)));
  EXPECT_EQ(queue.Lost(), 2u);
  EXPECT_EQ(TakeItems(queue).size(), static_cast<std::size_t>(kept));

  ASSERT_TRUE(queue.Push(testing::ReceivedItem(200, "after")));
  EXPECT_EQ(queue.Lost(), 0u);
  const auto items = TakeItems(queue);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Describe(), "event gap 2 '" + std::string(kGapText) + "'");
  EXPECT_EQ(items[0].t_ns, 200) << "the gap is told when room returns";
  EXPECT_EQ(items[0].began_ns, std::optional<std::int64_t>(kept)) << "and says when dropping began";
  EXPECT_EQ(items[1].Describe(), "in 'after'");
}

// The writer met a lock: the batch it could not store comes again, alone
// and whole, while the window fills the other buffer and what does not fit
// there is still told as a gap.
TEST(ItemQueueTest, ABatchNotReleasedIsOfferedAgainFirstWhileTheWindowQueuesOn) {
  ItemQueue queue(1024);
  ASSERT_TRUE(queue.Push(testing::ReceivedItem(1, "kept")));
  EXPECT_THROW(queue.Offer([](const Item&) { throw std::runtime_error("database is locked"); }),
               std::runtime_error);
  EXPECT_TRUE(queue.HoldsBatch());
  std::size_t queued = 0;
  while (queue.Push(
      testing::ReceivedItem(10 + static_cast<std::int64_t>(queued), std::string(100, 'x'))))
    ++queued;
  EXPECT_EQ(queue.Lost(), 1u);
  std::vector<std::int64_t> offered;
  const auto note = [&](const Item& item) { offered.push_back(item.t_ns); };
  EXPECT_EQ(queue.Offer(note), 1u);
  EXPECT_EQ(queue.Offer(note), 1u) << "offered until released";
  EXPECT_EQ(offered, (std::vector<std::int64_t>{1, 1}));
  queue.Release();
  EXPECT_FALSE(queue.HoldsBatch());
  EXPECT_EQ(TakeItems(queue).size(), queued);
  ASSERT_TRUE(queue.Push(testing::ReceivedItem(500, "after")));
  EXPECT_THAT(Described(TakeItems(queue)),
              ElementsAre("event gap 1 '" + std::string(kGapText) + "'", "in 'after'"));
}

TEST(ItemQueueTest, AnItemLargerThanTheQueueIsLostNotSplit) {
  ItemQueue queue(256);
  EXPECT_FALSE(queue.Push(testing::ReceivedItem(1, std::string(300, 'y'))));
  EXPECT_TRUE(queue.Push(testing::ReceivedItem(2, "z")));
  EXPECT_THAT(Described(TakeItems(queue)), ElementsAre("event gap 1 '" + std::string(kGapText) + "'", "in 'z'"));
}

TEST(ItemQueueTest, AWriterTakingWhileTheWindowPushesLosesNothingAndKeepsOrder) {
  constexpr int kItems = 20000;
  ItemQueue queue(4 * 1024 * 1024);  // room for all: this is about the hand-over, not overflow
  std::vector<std::int64_t> seen;
  std::thread writer([&] {
    while (seen.size() < static_cast<std::size_t>(kItems)) {
      queue.TakeAll([&](const Item& item) { seen.push_back(item.t_ns); });
    }
  });
  for (int i = 0; i < kItems; ++i) ASSERT_TRUE(queue.Push(testing::ReceivedItem(i, "061_246\r")));
  writer.join();
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kItems));
  for (int i = 0; i < kItems; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
}

}  // namespace
}  // namespace halvorn::record
