// The alarm journal read back: each alarm's life as one span, and EEMUA
// 191's figures of a range computed on journals made up for each figure.
#include "AlarmReport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace halvorn::history {
namespace {

constexpr Nanoseconds kSecond = kNanosecondsPerSecond;
constexpr Nanoseconds kMinute = 60 * kSecond;
constexpr Nanoseconds kHour = 60 * kMinute;

AlarmRow Row(Nanoseconds t, const char* point, const char* transition, const char* priority = "low") {
  return AlarmRow{t, point, transition, priority, std::string(point) + " text", {}, {}, {}};
}

// A whole alarm: raised at `t`, acknowledged `ack` later (none when
// negative), returned and cleared `back` after the raise.
void Alarm(std::vector<AlarmRow>& rows, Nanoseconds t, const char* point, const char* priority = "low",
           Nanoseconds ack = -1, Nanoseconds back = kSecond) {
  rows.push_back(Row(t, point, "raised", priority));
  if (ack >= 0 && ack < back) rows.push_back(Row(t + ack, point, "acknowledged", priority));
  rows.push_back(Row(t + back, point, "returned", priority));
  if (ack >= back) rows.push_back(Row(t + ack, point, "acknowledged", priority));
  rows.push_back(Row(t + std::max(ack, back), point, "cleared", priority));
}

void InOrder(std::vector<AlarmRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const AlarmRow& a, const AlarmRow& b) { return a.t < b.t; });
}

TEST(AlarmReportTest, EachAlarmIsOneSpanFromItsRaiseToItsClearing) {
  const Nanoseconds end = 1000 * kSecond;
  struct Case {
    const char* what;
    std::vector<AlarmRow> rows;
    std::size_t spans;
    // Of the first span:
    Nanoseconds raised, until;
    bool cleared;
    std::optional<Nanoseconds> acknowledged;
    std::size_t activeStretches;
  };
  const auto s = [](int seconds) { return seconds * kSecond; };
  const Case cases[] = {
      {"acknowledged while it stood, cleared as it returned",
       {Row(s(10), "V7", "raised"), Row(s(20), "V7", "acknowledged"), Row(s(30), "V7", "returned"),
        Row(s(30), "V7", "cleared")},
       1, s(10), s(30), true, s(20), 1},
      {"returned unacknowledged and raised again: the same alarm",
       {Row(s(10), "V7", "raised"), Row(s(15), "V7", "returned"), Row(s(18), "V7", "raised"),
        Row(s(25), "V7", "acknowledged"), Row(s(40), "V7", "returned"), Row(s(40), "V7", "cleared")},
       1, s(10), s(40), true, s(25), 2},
      {"never cleared: it stands to the session's end",
       {Row(s(100), "PORT", "raised", "high"), Row(s(100), "PORT", "shelved"), Row(s(200), "PORT", "unshelved")},
       1, s(100), end, false, std::nullopt, 1},
      {"cleared and raised again: a second alarm",
       {Row(s(10), "G3", "raised"), Row(s(12), "G3", "returned"), Row(s(14), "G3", "acknowledged"),
        Row(s(14), "G3", "cleared"), Row(s(50), "G3", "raised")},
       2, s(10), s(14), true, s(14), 1},
      {"a journal that begins after the raise opens nothing",
       {Row(s(5), "V1", "acknowledged"), Row(s(6), "V1", "cleared")}, 0, 0, 0, false, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto spans = AlarmSpans(c.rows, end);
    ASSERT_EQ(spans.size(), c.spans);
    if (spans.empty()) continue;
    EXPECT_EQ(spans[0].raised, c.raised);
    EXPECT_EQ(spans[0].end, c.until);
    EXPECT_EQ(spans[0].cleared, c.cleared);
    EXPECT_EQ(spans[0].acknowledged, c.acknowledged);
    EXPECT_EQ(spans[0].active.size(), c.activeStretches);
  }
  // The stretches of the second case: raised to returned, raised to returned.
  const auto again = AlarmSpans(cases[1].rows, end);
  EXPECT_EQ(again[0].active[0], std::pair(s(10), s(15)));
  EXPECT_EQ(again[0].active[1], std::pair(s(18), s(40)));
  EXPECT_EQ(AlarmSpans(cases[2].rows, end)[0].priority, AlarmPriority::High);
}

TEST(AlarmReportTest, RatesPeaksAndFloodsCountTheRaisesOfTenMinutePeriods) {
  // An hour: six periods. 11 raises in the second period (a flood), 10 in
  // the fourth (not yet one), 3 outside the range.
  std::vector<AlarmRow> rows;
  for (int i = 0; i < 11; ++i) Alarm(rows, 12 * kMinute + i * 20 * kSecond, i % 2 ? "V1" : "V2");
  for (int i = 0; i < 10; ++i) Alarm(rows, 31 * kMinute + i * 30 * kSecond, "G6-ABOVE");
  for (int i = 0; i < 3; ++i) Alarm(rows, 2 * kHour + i * kMinute, "PORT");
  InOrder(rows);
  const AlarmFigures f = ComputeAlarmFigures(rows, 0, kHour, 3 * kHour);
  EXPECT_EQ(f.raises, 21);
  EXPECT_EQ(f.periods, 6);
  EXPECT_EQ(f.per10MinPeak, 11);
  EXPECT_DOUBLE_EQ(f.per10MinAverage, 21.0 / 6);
  EXPECT_DOUBLE_EQ(f.perHour, 21.0);
  EXPECT_DOUBLE_EQ(f.perDay, 21.0 * 24);
  EXPECT_EQ(f.floodPeriods, 1);
  EXPECT_DOUBLE_EQ(f.floodPercent, 100.0 / 6);

  // A range of 25 minutes has three periods, the last a short one; a raise
  // at its very end still counts.
  const std::vector<AlarmRow> late = {Row(25 * kMinute, "V1", "raised")};
  const AlarmFigures g = ComputeAlarmFigures(late, 0, 25 * kMinute, 25 * kMinute);
  EXPECT_EQ(g.periods, 3);
  EXPECT_EQ(g.raises, 1);
  EXPECT_DOUBLE_EQ(g.per10MinAverage, 10.0 / 25);
}

TEST(AlarmReportTest, ChatteringIsThreeRaisesOfAPointWithinAMinute) {
  std::vector<AlarmRow> rows;
  for (const int s : {0, 25, 50}) Alarm(rows, s * kSecond, "V7");        // 3 in 50 s
  for (const int s : {0, 30, 61}) Alarm(rows, s * kSecond, "V8");        // spread over 61 s
  for (const int s : {100, 120, 140, 160}) Alarm(rows, s * kSecond, "G3");  // 4 within exactly 60 s
  for (const int s : {0, 1}) Alarm(rows, s * kSecond, "PORT", "high", -1, kSecond / 2);
  InOrder(rows);
  const AlarmFigures f = ComputeAlarmFigures(rows, 0, kHour, kHour);
  ASSERT_EQ(f.chattering.size(), 2u);
  EXPECT_EQ(f.chattering[0].point, "G3");
  EXPECT_EQ(f.chattering[0].count, 4);
  EXPECT_EQ(f.chattering[1].point, "V7");
  EXPECT_EQ(f.chattering[1].count, 3);
}

TEST(AlarmReportTest, StandingAlarmsStoodOver24HoursWithinTheRange) {
  struct Case {
    const char* what;
    Nanoseconds raised, returned;  // returned < 0: never, to the session's end
    Nanoseconds from, to;
    bool standing;
  };
  const Case cases[] = {
      {"never returned in a 30-hour session", 0, -1, 0, 30 * kHour, true},
      {"returned after 23 hours", 0, 23 * kHour, 0, 30 * kHour, false},
      {"returned after 25 hours", kHour, 26 * kHour, 0, 30 * kHour, true},
      {"only 12 of its hours lie in the range", 0, -1, 0, 12 * kHour, false},
      {"it had returned before the range", 0, 25 * kHour, 27 * kHour, 30 * kHour, false},
      {"raised before the range, still standing in it", 0, -1, 28 * kHour, 30 * kHour, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<AlarmRow> rows = {Row(c.raised, "COOLING", "raised")};
    if (c.returned >= 0) rows.push_back(Row(c.returned, "COOLING", "returned"));
    const AlarmFigures f = ComputeAlarmFigures(rows, c.from, c.to, 30 * kHour);
    EXPECT_EQ(f.standing.size(), c.standing ? 1u : 0u);
  }
}

TEST(AlarmReportTest, TheMedianTimeToAcknowledgeIsTakenFromTheFirstRaise) {
  struct Case {
    const char* what;
    std::vector<Nanoseconds> acks;  // negative: never acknowledged
    std::optional<Nanoseconds> median;
    int acknowledged, never;
  };
  const Case cases[] = {
      {"odd count", {30 * kSecond, 600 * kSecond, 90 * kSecond}, 90 * kSecond, 3, 0},
      {"even count: between the middle two", {30 * kSecond, 90 * kSecond}, 60 * kSecond, 2, 0},
      {"unacknowledged ones are counted apart", {-1, 40 * kSecond, -1}, 40 * kSecond, 1, 2},
      {"none acknowledged", {-1}, std::nullopt, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<AlarmRow> rows;
    int n = 0;
    for (const Nanoseconds ack : c.acks) {
      const std::string point = "P" + std::to_string(++n);
      const Nanoseconds t = n * 20 * kMinute;
      rows.push_back(Row(t, point.c_str(), "raised"));
      if (ack >= 0) rows.push_back(Row(t + ack, point.c_str(), "acknowledged"));
    }
    InOrder(rows);
    const AlarmFigures f = ComputeAlarmFigures(rows, 0, 10 * kHour, 10 * kHour);
    EXPECT_EQ(f.medianAcknowledge, c.median);
    EXPECT_EQ(f.acknowledged, c.acknowledged);
    EXPECT_EQ(f.neverAcknowledged, c.never);
  }
  // A raise again while returned unacknowledged does not restart the clock.
  const std::vector<AlarmRow> again = {Row(0, "V7", "raised"), Row(10 * kSecond, "V7", "returned"),
                                       Row(50 * kSecond, "V7", "raised"), Row(70 * kSecond, "V7", "acknowledged")};
  EXPECT_EQ(ComputeAlarmFigures(again, 0, kHour, kHour).medianAcknowledge, 70 * kSecond);
}

// The line of `text` that begins with `label` (after its indent).
std::string LineOf(const std::string& text, const std::string& label) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.find_first_not_of(' ') != std::string::npos && line.substr(line.find_first_not_of(' ')).starts_with(label))
      return line;
  return "(no line " + label + ")";
}

// The words of a line: value, target and verdict apart.
std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

TEST(AlarmReportTest, ThePrioritySplitAndTheMostFrequentPointsStandBesideTheirTargets) {
  // Twelve points, point n raised n times: 78 raises in 52 hours, a quarter
  // of one per ten minutes. P1..P3 high (6),
  // P4..P6 medium (15), the rest low (57).
  std::vector<AlarmRow> rows;
  for (int n = 1; n <= 12; ++n) {
    const std::string point = "P" + std::to_string(n);
    const char* priority = n <= 3 ? "high" : n <= 6 ? "medium" : "low";
    for (int i = 0; i < n; ++i) Alarm(rows, (n * 100 + i * 2) * kMinute, point.c_str(), priority);
  }
  InOrder(rows);
  const AlarmFigures f = ComputeAlarmFigures(rows, 0, 52 * kHour, 52 * kHour);
  EXPECT_EQ(f.raises, 78);
  EXPECT_EQ(f.byPriority[static_cast<std::size_t>(AlarmPriority::High)], 6);
  EXPECT_EQ(f.byPriority[static_cast<std::size_t>(AlarmPriority::Medium)], 15);
  EXPECT_EQ(f.byPriority[static_cast<std::size_t>(AlarmPriority::Low)], 57);
  ASSERT_EQ(f.mostFrequent.size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(f.mostFrequent[i].point, "P" + std::to_string(12 - i));
    EXPECT_EQ(f.mostFrequent[i].count, static_cast<int>(12 - i));
  }

  const std::string text = FormatAlarmFigures(f, "title");
  struct Expected {
    const char* label;
    std::vector<std::string> words;  // after the label
  };
  const Expected lines[] = {
      {"alarms raised", {"78"}},
      {"alarms per 10 min, average", {"0.25", "<=", "1", "(very", "likely", "acceptable)", "ok"}},
      {"alarms per hour", {"1.5", "<=", "6", "ok"}},
      {"alarms per day", {"36", "<=", "144", "ok"}},
      {"low", {"73.1", "%", "(57)", "80", "%", "under"}},
      {"medium", {"19.2", "%", "(15)", "15", "%", "over"}},
      {"high", {"7.7", "%", "(6)", "5", "%", "over"}},
      {"1. P12", {"12", "15.4", "%", "of", "the", "raises"}},
      {"10. P3", {"3", "3.8", "%", "of", "the", "raises"}},
      {"median time to acknowledge", {"-", "<=", "5", "min"}},
  };
  for (const Expected& e : lines) {
    SCOPED_TRACE(e.label);
    const std::vector<std::string> words = Words(LineOf(text, e.label));
    const std::size_t labelWords = Words(e.label).size();
    ASSERT_GE(words.size(), labelWords);
    EXPECT_EQ(std::vector<std::string>(words.begin() + static_cast<std::ptrdiff_t>(labelWords), words.end()), e.words);
  }
  EXPECT_EQ(text.find("P2 "), std::string::npos) << "the eleventh point is not among the ten";
}

TEST(AlarmReportTest, AFloodAndChatterAreMarkedOverAndNamed) {
  std::vector<AlarmRow> rows;
  for (int i = 0; i < 12; ++i) Alarm(rows, i * 10 * kSecond, "V7", "medium", 2 * kSecond);
  InOrder(rows);
  const std::string text = FormatAlarmFigures(ComputeAlarmFigures(rows, 0, 20 * kMinute, 20 * kMinute), "title");
  for (const auto& [label, words] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"alarms per 10 min, peak", {"12", "<=", "10", "over"}},
           {"10-min periods in flood (> 10 raises)", {"50.0", "%", "(1", "of", "2)", "<", "1", "%", "over"}},
           {"chattering points (>= 3 raises in 1 min)", {"1", "0", "over"}},
           {"chattering:", {"V7", "(7", "raises", "in", "a", "minute)"}},
           {"median time to acknowledge", {"2", "s", "<=", "5", "min", "ok"}},
           {"standing alarms (active > 24 h)", {"0", "0", "(fewer", "than", "10)", "ok"}}}) {
    SCOPED_TRACE(label);
    const auto all = Words(LineOf(text, label));
    const std::size_t skip = Words(label).size();
    ASSERT_GE(all.size(), skip);
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(skip), all.end()), words);
  }
  EXPECT_TRUE(text.starts_with("title\n"));
}

TEST(AlarmReportTest, NoAlarmsIsAReportOfNothingNotAnError) {
  const AlarmFigures f = ComputeAlarmFigures({}, 0, kHour, kHour);
  EXPECT_EQ(f.raises, 0);
  EXPECT_EQ(f.per10MinPeak, 0);
  EXPECT_FALSE(f.medianAcknowledge);
  const std::string text = FormatAlarmFigures(f, "title");
  EXPECT_EQ(Words(LineOf(text, "alarms raised")), (std::vector<std::string>{"alarms", "raised", "0"}));
  EXPECT_NE(LineOf(text, "most frequent points").find("most"), std::string::npos);
  EXPECT_EQ(Words(LineOf(text, "none")), std::vector<std::string>{"none"});
  EXPECT_EQ(text.find("over"), std::string::npos) << text;
}

}  // namespace
}  // namespace halvorn::history
