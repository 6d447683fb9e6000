// halvorn-perf's own arithmetic and command line: the medians and
// percentiles every figure it prints is made of, and the options that
// choose what it measures.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "Options.h"
#include "Statistics.h"

namespace halvorn::perf {
namespace {

TEST(PerfFiguresTest, MediansAndPercentilesOfUnsortedSamples) {
  const std::vector<double> ten{9, 1, 8, 2, 7, 3, 6, 4, 5, 10};
  const struct {
    const char* what;
    double got;
    double expected;
  } cases[] = {
      {"median of none", Median({}), 0},
      {"median of one", Median({4.5}), 4.5},
      {"median of an odd count", Median({3, 1, 2}), 2},
      {"median of an even count is the mean of the middle two", Median({4, 1, 3, 2}), 2.5},
      {"median of ten", Median(ten), 5.5},
      {"percentile of none", Percentile({}, 0.9), 0},
      {"p0 is the smallest", Percentile(ten, 0), 1},
      {"p90 to the nearest rank", Percentile(ten, 0.9), 9},
      {"p99 of ten is the largest", Percentile(ten, 0.99), 10},
      {"p100 is the largest", Percentile(ten, 1.0), 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_DOUBLE_EQ(c.got, c.expected);
  }
}

TEST(PerfFiguresTest, OptionsAreTakenOrTheWholeLineIsRefused) {
  const Options defaults;
  const Options quick =
      ParseOptions({"--quick", "--slices", "10", "--displays", "xvfb", "--record", "r.halvorn"});
  ASSERT_TRUE(quick.ok);
  EXPECT_EQ(quick.seconds, 3);
  EXPECT_EQ(quick.repeats, 1);
  EXPECT_EQ(quick.slicesMs, std::vector<int>{10});
  EXPECT_EQ(quick.displays, std::vector<Display>{Display::Xvfb});
  EXPECT_EQ(quick.record, "r.halvorn");
  EXPECT_EQ(ParseOptions({"--slices", "1,20", "--seconds", "7"}).slicesMs,
            (std::vector<int>{1, 20}));
  EXPECT_EQ(ParseOptions({"--seconds", "7"}).seconds, 7);
  EXPECT_TRUE(ParseOptions({"--help"}).help);
  EXPECT_FALSE(ParseOptions({}).help);
  EXPECT_EQ(ParseOptions({}).slicesMs, defaults.slicesMs);
  const Options passed = ParseOptions({"--panel-arg", "--alarms", "--sim-arg", "--fault=V3=160", "--sim-arg", "-q"});
  EXPECT_EQ(passed.panelArguments, std::vector<std::string>{"--alarms"});
  EXPECT_EQ(passed.simArguments, (std::vector<std::string>{"--fault=V3=160", "-q"}));

  const std::vector<std::vector<std::string_view>> refused{
      {"--bogus"},           {"--seconds"},      {"--seconds", "0"},    {"--seconds", "5s"},
      {"--slices", "0"},     {"--slices", "21"}, {"--slices", "1,,10"}, {"--slices", ""},
      {"--displays", "x11"}, {"--displays", ""}, {"--record"},          {"--answers", "-3"},
      {"--panel-arg"},
  };
  for (const auto& arguments : refused) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    EXPECT_FALSE(ParseOptions(arguments).ok);
  }
}

}  // namespace
}  // namespace halvorn::perf
