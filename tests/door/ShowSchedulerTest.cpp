// When the window shows the model, on a clock moved by hand: a poll waits
// for its answer, a flood is shown at a pace, a timer's change waits for a
// timer about to fire, the counters of a flood are held back, and whatever
// the operator does is shown at once.
#include "door/ShowScheduler.h"

#include <gtest/gtest.h>

#include <optional>

namespace halvorn {
namespace {

using namespace std::chrono_literals;
using Show = ShowScheduler::Show;

class ShowSchedulerTest : public ::testing::Test {
 protected:
  ShowScheduler show;
  const ShowScheduler::Time t0 = ShowScheduler::Time{} + 1h;

  ShowScheduler::Time At(std::chrono::milliseconds ms) const { return t0 + ms; }
  std::optional<ShowScheduler::Duration> WakeIn() const {
    const auto at = show.WakeAt();
    return at ? std::optional<ShowScheduler::Duration>(*at - t0) : std::nullopt;
  }
};

TEST_F(ShowSchedulerTest, APollWaitsForItsWholeAnswerOrAtMostFourMilliseconds) {
  EXPECT_EQ(show.Ticked(t0, true, true, 7, std::nullopt), Show::Later);
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(4ms));
  EXPECT_EQ(show.PortEvent(At(1ms), true, 7), Show::Later) << "a first part of the answer";
  EXPECT_EQ(show.PortEvent(At(2ms), true, 8), Show::Now);
  EXPECT_EQ(show.WakeAt(), std::nullopt);

  // No answer: the send lamp alone, when the wait is up.
  EXPECT_EQ(show.Ticked(At(200ms), true, true, 8, std::nullopt), Show::Later);
  EXPECT_EQ(show.Woke(At(202ms)), Show::Later) << "woken early";
  EXPECT_EQ(show.Woke(At(203ms)), Show::Now) << "a millisecond early is as good as due";
  EXPECT_EQ(show.WakeAt(), std::nullopt);
  // The answer after that is no longer the poll's: it is paced.
  EXPECT_EQ(show.PortEvent(At(206ms), true, 9), Show::Later);
}

TEST_F(ShowSchedulerTest, AFloodOfAnswersIsShownAtMostEveryEightMilliseconds) {
  struct Case {
    std::chrono::milliseconds at;
    Show expected;
  };
  // Shown at 0; within the period held to 8; from 7 on (within the slack) at once.
  const Case cases[] = {{0ms, Show::Now},
                        {3ms, Show::Later},
                        {6ms, Show::Later},
                        {7ms, Show::Now},
                        {8ms, Show::Later}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.at.count());
    EXPECT_EQ(show.PortEvent(At(c.at), true, c.at.count()), c.expected);
  }
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(15ms)) << "held from 8 to 7 + 8";
  EXPECT_EQ(show.Woke(At(15ms)), Show::Now);
  EXPECT_EQ(show.WakeAt(), std::nullopt);
  EXPECT_EQ(show.PortEvent(At(22ms), true, 22), Show::Now) << "the pace counts from the wake-up";
  // A lost port is told at once, in the middle of the pace.
  EXPECT_EQ(show.PortEvent(At(16ms), true, 99), Show::Later);
  EXPECT_EQ(show.PortEvent(At(17ms), false, 99), Show::Now);
  EXPECT_EQ(show.WakeAt(), std::nullopt);
}

TEST_F(ShowSchedulerTest, ATimersChangeWaitsOnlyForATimerDueWithinFourMilliseconds) {
  EXPECT_EQ(show.Ticked(t0, false, true, 0, std::nullopt), Show::Now);
  EXPECT_EQ(show.Ticked(t0, false, true, 0, 5ms), Show::Now);
  EXPECT_EQ(show.Ticked(t0, false, true, 0, 3ms), Show::Later);
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(4ms)) << "a millisecond after it";
  // A hold due sooner stays; the operator's click shows the held change.
  EXPECT_EQ(show.Ticked(At(1ms), true, true, 0, std::nullopt), Show::Later);
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(4ms));
  // A tick that changed nothing shows nothing and leaves the hold as it is.
  EXPECT_EQ(show.Ticked(At(2ms), false, false, 0, std::nullopt), Show::Later);
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(4ms));
  EXPECT_EQ(show.Operated(), Show::Now);
  EXPECT_EQ(show.WakeAt(), std::nullopt);
  EXPECT_EQ(show.PortEvent(At(2ms), true, 1), Show::Now)
      << "no longer awaited: the first of a pace";
}

TEST_F(ShowSchedulerTest, ACounterInABurstIsShownEveryQuarterSecondAndItsLastValueComes) {
  ShowScheduler::Paced counter;
  EXPECT_TRUE(show.MayShow(counter, "1", t0));
  EXPECT_TRUE(show.MayShow(counter, "2", At(150ms))) << "after a pause";
  EXPECT_FALSE(show.MayShow(counter, "3", At(160ms)));
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(399ms));
  EXPECT_FALSE(show.MayShow(counter, "4", At(220ms)));
  EXPECT_FALSE(show.MayShow(counter, "4", At(300ms))) << "unchanged, still in its burst";
  EXPECT_EQ(show.Woke(At(399ms)), Show::Now);
  EXPECT_TRUE(show.MayShow(counter, "4", At(399ms)));
  EXPECT_EQ(show.WakeAt(), std::nullopt);
}

TEST_F(ShowSchedulerTest, HeldCountersShareOneWakeUpTheSoonest) {
  ShowScheduler::Paced a;
  ShowScheduler::Paced b;
  EXPECT_TRUE(show.MayShow(a, "1", t0));
  EXPECT_TRUE(show.MayShow(b, "1", At(20ms)));
  EXPECT_FALSE(show.MayShow(b, "2", At(30ms)));
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(269ms));
  EXPECT_FALSE(show.MayShow(a, "2", At(40ms)));
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(249ms));
  // A held poll's wake-up, sooner still, comes first.
  EXPECT_EQ(show.Ticked(At(50ms), true, true, 0, std::nullopt), Show::Later);
  EXPECT_EQ(WakeIn(), std::optional<ShowScheduler::Duration>(54ms));
}

}  // namespace
}  // namespace halvorn
