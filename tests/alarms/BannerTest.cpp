// What the banner, the frames and the summary show of a board, and when the
// horn sounds.
#include "alarms/Banner.h"

#include <gtest/gtest.h>

#include "alarms/Horn.h"

namespace halvorn::alarms {
namespace {

struct Board {
  AlarmBoard board;
  std::size_t operator[](std::string_view name) const { return *board.Find(name); }
  void Raise(std::string_view name, Milliseconds at, std::string_view text = "fault") {
    board.Set((*this)[name], true, text, at);
  }
};

TEST(BannerTest, ListsUnacknowledgedFirstThenPriorityThenTheOldestAndCountsTheRest) {
  Board b;
  b.Raise("V3", 1'000, "no response from icpcon bus");
  b.Raise("ANSWERS-GAUGES", 2'000, "no answers: gauges");
  b.Raise("PORT", 3'000, "Port 1 lost");
  b.Raise("V7", 4'000);
  b.board.Acknowledge(b["PORT"], 5'000);
  b.board.Shelve(b["V7"], 60'000, "serviced", 5'000);
  const Banner banner = BannerOf(b.board, 6'000);
  EXPECT_EQ(banner.counts, "3 alarms, 2 unacknowledged, 1 shelved");
  ASSERT_EQ(banner.lines.size(), 3U);
  EXPECT_EQ(banner.lines[0].text, "!! MEDIUM  V3  no response from icpcon bus  (active unacknowledged)");
  EXPECT_EQ(banner.lines[1].point, b["ANSWERS-GAUGES"]) << "a waiting low one before an acknowledged high one";
  EXPECT_EQ(banner.lines[2].text, "!!! HIGH  PORT  Port 1 lost  (active acknowledged)");
  EXPECT_FALSE(banner.lines[2].unacknowledged);
  EXPECT_TRUE(banner.flashing);
  EXPECT_TRUE(banner.flood.empty());

  const std::vector<SummaryRow> summary = SummaryOf(b.board);
  ASSERT_EQ(summary.size(), 4U);
  EXPECT_EQ(summary.back().point, b["V7"]);
  EXPECT_EQ(summary.back().shelvedUntil, 65'000);

  const std::vector<Frame> frames = FramesOf(b.board);
  ASSERT_EQ(frames.size(), 1U) << "the port and the group have no shape; a shelved valve no frame";
  EXPECT_EQ(frames[0].device, "V3");
  EXPECT_TRUE(frames[0].flashing);
}

TEST(BannerTest, MoreThanTenRaisesInTenMinutesIsAFloodUntilTheyAgeOut) {
  Board b;
  for (int i = 0; i < 11; ++i) {
    b.board.Set(b["G1"], i % 2 == 0, "fault", i * 1'000);  // G1 chatters: raised six times
    b.Raise("V" + std::to_string(i + 1), i * 1'000 + 500);
  }
  EXPECT_EQ(BannerOf(b.board, 11'000).flood, "ALARM FLOOD: more than 10 alarms in the last 10 minutes");
  EXPECT_TRUE(BannerOf(b.board, 10 * kMinute + 10'400).flood.empty());
  EXPECT_EQ(BannerOf(AlarmBoard(), 0).counts, "No alarms");
}

TEST(BannerTest, TheFlashIsLitHalfOfEverySecondAndTurnsOnTheHalfSecond) {
  int lit = 0;
  for (Milliseconds t = 0; t < 10'000; t += 10) lit += FlashLit(t);
  EXPECT_EQ(lit, 500);
  for (const Milliseconds t : {0, 1, 499, 500, 999, 12'345}) {
    const Milliseconds turn = t + UntilFlashTurns(t);
    EXPECT_NE(FlashLit(turn), FlashLit(turn - 1)) << t;
    EXPECT_EQ(FlashLit(t), FlashLit(turn - 1)) << t;
  }
}

TEST(HornTest, SoundsForWaitingHighOrMediumAlarmsAndASilenceLastsThirtySeconds) {
  Board b;
  Horn horn;
  b.Raise("ANSWERS-VALVES", 0);
  EXPECT_FALSE(horn.Sounding(b.board, 0)) << "a low alarm is silent";
  b.Raise("V3", 1'000);
  EXPECT_TRUE(horn.Sounding(b.board, 1'000));
  horn.Silence(2'000);
  EXPECT_FALSE(horn.Sounding(b.board, 2'000 + kHornSilence - 1));
  EXPECT_TRUE(horn.Sounding(b.board, 2'000 + kHornSilence)) << "still unacknowledged";
  horn.Silence(40'000);
  b.Raise("TMP", 41'000);
  EXPECT_TRUE(horn.Sounding(b.board, 41'000)) << "a new alarm sounds through the silence";
  b.board.Acknowledge(b["V3"], 42'000);
  b.board.Acknowledge(b["TMP"], 42'000);
  EXPECT_FALSE(horn.Sounding(b.board, 90'000));
}

}  // namespace
}  // namespace halvorn::alarms
