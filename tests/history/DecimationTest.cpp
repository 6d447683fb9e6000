// Per pixel column the lowest and highest valid reading and what kept the
// others from being values; lines break at columns without a value.
#include "Decimation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace halvorn::history {
namespace {

using record::Quality;

constexpr Nanoseconds kS = kNanosecondsPerSecond;

Sample Valid(double seconds, double value) { return {static_cast<Nanoseconds>(seconds * kS), value, Quality::Valid}; }
Sample Other(double seconds, Quality q, double value = NAN) { return {static_cast<Nanoseconds>(seconds * kS), value, q}; }

// A column as one line: "min..max b o f n" with only the flags set.
std::string Describe(const Column& c) {
  std::string s = c.hasValue() ? std::to_string(static_cast<int>(c.min)) + ".." + std::to_string(static_cast<int>(c.max))
                               : "-";
  if (c.below) s += " below";
  if (c.over) s += " over";
  if (c.fault) s += " fault";
  if (c.noData) s += " nodata";
  return s;
}

TEST(DecimationTest, EachColumnSeesTheStateInForceAndEveryRowInside) {
  // Ten columns of one second over [0 s, 10 s).
  const std::vector<Sample> samples = {
      Valid(0.5, 100), Valid(0.7, 300), Valid(0.9, 200),  // column 0: three readings
      // column 1 and 2: nothing new, the 200 holds
      Other(3.2, Quality::Fault),                          // column 3: 200 then the fault
      Valid(5.0, 50),                                      // column 4: still faulted; 5: 50 from its start
      Other(6.5, Quality::BelowRange, 1.0),                // column 6: 50 then below range
      Other(7.5, Quality::OverRange),                      // column 7: below, then over
      Other(8.0, Quality::NoData),                         // column 8: grey from its start
  };
  const std::vector<std::string> expected = {
      "100..300", "200..200", "200..200", "200..200 fault", "- fault",
      "50..50",   "50..50 below", "- below over", "- nodata", "- nodata",
  };
  const auto columns = Decimate(samples, 0, 10 * kS, 10, 10 * kS);
  ASSERT_EQ(columns.size(), expected.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    SCOPED_TRACE("column " + std::to_string(i));
    EXPECT_EQ(Describe(columns[i]), expected[i]);
  }
  EXPECT_EQ(columns[6].belowBound, 1.0);
}

TEST(DecimationTest, NothingIsKnownBeforeTheFirstRowOrAfterTheEnd) {
  const std::vector<Sample> samples = {Valid(3.0, 10), Valid(4.0, 20)};
  const auto columns = Decimate(samples, 0, 10 * kS, 10, 6 * kS);
  const std::vector<std::string> expected = {"-", "-", "-", "10..10", "20..20", "20..20", "20..20",
                                             "-", "-", "-"};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    SCOPED_TRACE("column " + std::to_string(i));
    EXPECT_EQ(Describe(columns[i]), expected[i]);
  }
}

TEST(DecimationTest, ARangeInsideTheSeriesCarriesTheStateAtItsStart) {
  std::vector<Sample> samples;
  for (int i = 0; i < 1000; ++i) samples.push_back(Valid(i, i));
  const auto columns = Decimate(samples, static_cast<Nanoseconds>(500.5 * kS), 510 * kS + kS / 2, 10, 1000 * kS);
  ASSERT_EQ(columns.size(), 10u);
  EXPECT_EQ(Describe(columns[0]), "500..501");
  EXPECT_EQ(Describe(columns[9]), "509..510");
}

TEST(DecimationTest, TheLineBreaksWhereAColumnHasNoValue) {
  const std::vector<Sample> samples = {Valid(0, 10), Other(2, Quality::Fault), Valid(4, 30),
                                       Other(6, Quality::BelowRange, 1e-4), Valid(8, 20)};
  const Trend trend = TrendOf(Decimate(samples, 0, 10 * kS, 10, 10 * kS), 0, 10 * kS);
  // Columns 0-1, 4-5 and 8-9: a column that starts faulted or below range
  // has no value.
  ASSERT_EQ(trend.segments.size(), 3u);
  EXPECT_EQ(trend.segments[0].size(), 2u);
  EXPECT_EQ(trend.segments[0].front().t, kS / 2) << "points lie at the middle of their column";
  EXPECT_EQ(trend.faults.size(), 2u);  // columns 2 and 3
  ASSERT_EQ(trend.belowRange.size(), 2u);
  EXPECT_EQ(trend.belowRange[0].value, 1e-4);
  for (const auto& segment : trend.segments)
    for (const TrendPoint& p : segment) EXPECT_FALSE(std::isnan(p.value));
}

TEST(DecimationTest, AColumnWithManyReadingsGivesItsLowestAndHighest) {
  std::vector<Sample> samples;
  for (int i = 0; i < 86400 * 5; ++i) samples.push_back(Valid(i / 5.0, 1.0 + (i % 7)));
  const auto columns = Decimate(samples, 0, 86400 * kS, 1000, 86400 * kS);
  for (const Column& c : columns) {
    ASSERT_EQ(c.min, 1.0);
    ASSERT_EQ(c.max, 7.0);
  }
  const Trend trend = TrendOf(columns, 0, 86400 * kS);
  ASSERT_EQ(trend.segments.size(), 1u);
  EXPECT_EQ(trend.segments[0].size(), 2000u) << "two points a column, whatever the number of rows";
}

TEST(DecimationTest, SetpointsAreStepsFromTheOneInForceAndEndAtAGap) {
  const std::vector<Setpoint> setpoints = {{2 * kS, 50}, {5 * kS, 20}, {20 * kS, 0}};
  std::vector<Setpoint> lost = setpoints;
  lost.insert(lost.begin() + 2, Setpoint{7 * kS, 0, true});
  lost.push_back(Setpoint{25 * kS, 0, true});
  struct Case {
    const char* what;
    const std::vector<Setpoint>& setpoints;
    Nanoseconds from, to, end;
    std::vector<std::vector<std::pair<double, double>>> expected;  // lines of (seconds, percent)
  };
  const Case cases[] = {
      {"the whole range", setpoints, 0, 10 * kS, 30 * kS, {{{2, 50}, {5, 50}, {5, 20}, {10, 20}}}},
      {"starting after the first", setpoints, 3 * kS, 10 * kS, 30 * kS, {{{3, 50}, {5, 50}, {5, 20}, {10, 20}}}},
      {"ending at the record's end", setpoints, 0, 10 * kS, 4 * kS, {{{2, 50}, {4, 50}}}},
      {"before any setpoint", setpoints, 0, kS, 30 * kS, {}},
      {"a gap ends the line until the next one sent",
       lost, 0, 30 * kS, 30 * kS, {{{2, 50}, {5, 50}, {5, 20}, {7, 20}}, {{20, 0}, {25, 0}}}},
      {"nothing is in force inside a gap", lost, 8 * kS, 19 * kS, 30 * kS, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const StepLines lines = SetpointSteps(c.setpoints, c.from, c.to, c.end);
    ASSERT_EQ(lines.size(), c.expected.size());
    for (std::size_t l = 0; l < lines.size(); ++l) {
      ASSERT_EQ(lines[l].size(), c.expected[l].size()) << "line " << l;
      for (std::size_t i = 0; i < lines[l].size(); ++i) {
        EXPECT_EQ(lines[l][i].t, static_cast<Nanoseconds>(c.expected[l][i].first * kS)) << l << ":" << i;
        EXPECT_EQ(lines[l][i].value, c.expected[l][i].second) << l << ":" << i;
      }
    }
  }
}

TEST(DecimationTest, NoReadingIsCarriedAcrossAGap) {
  // The record lost items from 3 s to 6 s; the gauge read 20 before and
  // 40 again once recording resumed.
  std::vector<Sample> samples = {Valid(1.0, 20), Valid(6.0, 40)};
  samples.insert(samples.begin() + 1, Sample{3 * kS, NAN, Quality::NoData, true});
  const std::vector<std::string> expected = {"-", "20..20", "20..20", "-", "-", "-", "40..40", "40..40"};
  const auto columns = Decimate(samples, 0, 8 * kS, 8, 8 * kS);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    SCOPED_TRACE("column " + std::to_string(i));
    EXPECT_EQ(Describe(columns[i]), expected[i]);
  }
  EXPECT_EQ(StateAt(samples, 2 * kS)->value, 20);
  EXPECT_EQ(StateAt(samples, 5 * kS), nullptr);
  EXPECT_EQ(TrendOf(columns, 0, 8 * kS).segments.size(), 2u);
}

}  // namespace
}  // namespace halvorn::history
