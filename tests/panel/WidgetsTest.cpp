#include "panel/Widgets.h"

#include <gtest/gtest.h>

namespace halvorn {
namespace {

TEST(ListBoxTest, AddAtTopKeepsNewestFirstAndRemoveTakesTheBottom) {
  ListBox list;
  list.AddItem("first", 0);
  list.AddItem("second", 0);
  list.AddItem("third", 0);
  EXPECT_EQ(list.items, (std::vector<std::string>{"third", "second", "first"}));
  list.RemoveItem(list.ListCount() - 1);
  EXPECT_EQ(list.items, (std::vector<std::string>{"third", "second"}));
}

TEST(ListBoxTest, PositionsOutsideTheListDoNotCorruptIt) {
  ListBox list;
  list.AddItem("a", 5);  // past the end: appended
  list.AddItem("b", -3);  // before the start: at the top
  EXPECT_EQ(list.items, (std::vector<std::string>{"b", "a"}));
  list.RemoveItem(2);
  list.RemoveItem(-1);
  EXPECT_EQ(list.ListCount(), 2);
  list.Clear();
  EXPECT_EQ(list.ListCount(), 0);
  list.RemoveItem(0);
  EXPECT_EQ(list.ListCount(), 0);
}

TEST(ComboBoxTest, TextIsTheSelectedEntryOrEmpty) {
  ComboBox combo{"Combo2", Container::Frame1, {}, {"n", "e", "o"}};
  EXPECT_EQ(combo.Text(), "");
  combo.listIndex = 2;
  EXPECT_EQ(combo.Text(), "o");
  combo.listIndex = 3;
  EXPECT_EQ(combo.Text(), "");
}

TEST(TimerTest, EveryStartIsCountedSoARunningTimerCanBeRestarted) {
  Timer timer{"Timer3", 100, false};
  timer.Start();
  const unsigned first = timer.starts;
  timer.Start();
  EXPECT_TRUE(timer.enabled);
  EXPECT_NE(timer.starts, first);
  timer.Stop();
  EXPECT_FALSE(timer.enabled);
}

TEST(ColourTest, RgbIsStoredRedInTheLowByte) {
  EXPECT_EQ(RedOf(colours::Red), 255);
  EXPECT_EQ(BlueOf(colours::Red), 0);
  EXPECT_EQ(BlueOf(colours::Cyan), 255);
  EXPECT_EQ(RedOf(colours::Cyan), 0);
  EXPECT_EQ(GreenOf(colours::LightYellow), 255);
  EXPECT_EQ(BlueOf(colours::LightYellow), 128);
  EXPECT_FALSE(IsSystemColour(colours::White));
  EXPECT_TRUE(IsSystemColour(colours::SystemGrayText));
}

}  // namespace
}  // namespace halvorn
