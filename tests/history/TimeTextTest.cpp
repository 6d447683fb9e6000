// Times in and out: ISO 8601 local time, and seconds from the session start.
#include "TimeText.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <limits>

namespace halvorn::history {
namespace {

constexpr Nanoseconds kS = kNanosecondsPerSecond;

// Central European time: +01:00 in December, +02:00 in July.
class TimeTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }
  void TearDown() override {
    ::unsetenv("TZ");
    ::tzset();
  }
};

// 2026-12-07T09:00:00Z
constexpr Nanoseconds kStart = 1796634000LL * kS;

TEST_F(TimeTextTest, FormatsLocalTimeWithItsOffset) {
  EXPECT_EQ(FormatLocalIso(kStart), "2026-12-07T10:00:00.000+01:00");
  EXPECT_EQ(FormatLocalIso(kStart + 1'234'567'890), "2026-12-07T10:00:01.234+01:00");
  EXPECT_EQ(FormatLocalIso(1783933200LL * kS), "2026-07-13T11:00:00.000+02:00");
}

TEST_F(TimeTextTest, ReadsSecondsFromTheStartOrALocalTime) {
  struct Case {
    const char* text;
    std::optional<Nanoseconds> expected;
  };
  const Case cases[] = {
      {"0", 0},
      {"90", 90 * kS},
      {"90.5", 90 * kS + kS / 2},
      {"2026-12-07T10:31:02", (31 * 60 + 2) * kS},
      {"2026-12-07 10:31:02", (31 * 60 + 2) * kS},
      {"2026-12-07T10:31", 31 * 60 * kS},
      {"2026-12-07T10:31:02.25", (31 * 60 + 2) * kS + kS / 4},
      {"2026-12-07T10:00:00.000+01:00", 0},
      {"2026-12-07T09:00:00Z", 0},
      {"2026-12-07T08:00:00-01:00", 0},
      {"2026-12-07T09:59:00", -60 * kS},
      {"-5", std::nullopt},
      {"ten", std::nullopt},
      {"90s", std::nullopt},
      {"", std::nullopt},
      {"2026-13-07T10:00:00", std::nullopt},
      {"2026-12-07T10:00:00+0", std::nullopt},
      {"2026-12-07", std::nullopt},
      {"2026-12-07T10:00:00 junk", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseTimeArgument(c.text, kStart), c.expected);
  }
}

TEST_F(TimeTextTest, TimesBeyondSixtyFourBitNanosecondsStopAtTheEnd) {
  constexpr Nanoseconds kMax = std::numeric_limits<Nanoseconds>::max();
  constexpr Nanoseconds kMin = std::numeric_limits<Nanoseconds>::min();
  EXPECT_EQ(ParseTimeArgument("9999-01-01T00:00", kStart), kMax - kStart)
      << "the latest wall time there is";
  EXPECT_EQ(ParseTimeArgument("1000-01-01T00:00Z", kStart), kMin);
  EXPECT_EQ(ParseTimeArgument("2026-12-07T09:00Z", kMin), kMax)
      << "a session started at the earliest end";
  EXPECT_EQ(ParseTimeArgument("2026-12-07T09:00Z", kMax), -(kMax - kStart));
  EXPECT_EQ(FormatLocalIso(kMax).substr(0, 5), "2262-");
  EXPECT_EQ(FormatLocalIso(kMin).substr(0, 5), "1677-");
}

TEST_F(TimeTextTest, WhatTheCsvWritesReadsBack) {
  for (const Nanoseconds t : {Nanoseconds{0}, 5 * kS + 125'000'000, 86399 * kS}) {
    SCOPED_TRACE(t);
    EXPECT_EQ(ParseTimeArgument(FormatLocalIso(kStart + t), kStart), t);
  }
}

// Local midnight in Berlin is 23:00Z in December and 22:00Z in July.
TEST_F(TimeTextTest, ARangeThatCrossesLocalMidnightNeedsDates) {
  constexpr Nanoseconds kMidnight = 1796684400LL * kS;  // 2026-12-08T00:00+01:00
  constexpr Nanoseconds kHour = 3600 * kS;
  struct Case {
    const char* what;
    Nanoseconds from, to;
    bool expected;
  };
  const Case cases[] = {
      {"a morning", kStart, kStart + 2 * kHour, false},
      {"ten minutes across midnight", kMidnight - 5 * 60 * kS, kMidnight + 5 * 60 * kS, true},
      {"a second across midnight", kMidnight - kS / 2, kMidnight + kS / 2, true},
      {"ending at midnight", kMidnight - kHour, kMidnight, true},
      {"beginning at midnight", kMidnight, kMidnight + kHour, false},
      {"23:00Z is midnight here, not 00:00Z", kMidnight + kHour / 2, kMidnight + 3 * kHour / 2,
       false},
      {"two days within one", kMidnight + kS, kMidnight + 86399 * kS, false},
      {"a week", kStart, kStart + 7 * 24 * kHour, true},
      {"a summer's midnight", 1783980000LL * kS - kS, 1783980000LL * kS + kS,
       true},  // 2026-07-14T00:00+02:00
      {"an empty range", kMidnight, kMidnight, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CrossesLocalMidnight(c.from, c.to), c.expected);
  }
}

}  // namespace
}  // namespace halvorn::history
