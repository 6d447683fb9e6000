// Limit alarms as a plant sets them: held for their delay before they are
// announced, back only past their deadband, and settings lines that say
// what is wrong with them.
#include "alarms/AlarmSettings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace halvorn::alarms {
namespace {

TEST(LimitAlarmTest, ARuleWaitsForItsDelayAndReturnsOnlyPastItsDeadband) {
  const LimitRule above{"G6", LimitKind::Above, 1e-3, 5'000, 0.2, Priority::High};
  const LimitRule deviation{"MFC1", LimitKind::Deviation, 10, 0, 0.0, Priority::Low};
  struct Step {
    const LimitRule& rule;
    Milliseconds t;
    std::optional<double> value;
    bool active;
  };
  const std::vector<std::vector<Step>> sequences = {
      {{above, 0, 2e-3, false},       // exceeded, waiting
       {above, 4'999, 2e-3, false},
       {above, 5'000, 2e-3, true},    // held 5 s
       {above, 6'000, 0.9e-3, true},  // below the limit, inside the deadband
       {above, 7'000, 0.7e-3, false}},
      {{above, 0, 2e-3, false},
       {above, 3'000, 0.5e-3, false},  // dipped: the delay starts again
       {above, 4'000, 2e-3, false},
       {above, 8'999, 2e-3, false},
       {above, 9'000, std::nullopt, false}},  // no data: nothing known, delay restarts
      {{deviation, 0, -12.0, true}, {deviation, 1, std::nullopt, true}, {deviation, 2, 9.0, false}},
  };
  for (std::size_t s = 0; s < sequences.size(); ++s) {
    LimitState state;
    for (const Step& step : sequences[s]) {
      SCOPED_TRACE("sequence " + std::to_string(s) + " at " + std::to_string(step.t));
      EXPECT_EQ(Evaluate(step.rule, state, step.value, step.t), step.active);
    }
  }
}

TEST(LimitAlarmTest, SettingsLinesBecomePointsOrSayWhatIsWrong) {
  struct Case {
    const char* key;
    const char* value;
    const char* error;  // nullptr: taken
  };
  const Case cases[] = {
      {"alarm G6", "above 1e-3 mbar for 5 s priority high deadband 20 %", nullptr},
      {"alarm MFC1", "deviation 10 for 30 s", nullptr},
      {"priority G6-ABOVE", "medium", nullptr},
      {"guidance V5", "Check the pneumatic supply", nullptr},
      {"latch V5", "yes", nullptr},
      {"alarm G9", "above 1", "alarm G9: no such gauge or flow controller (G1 to G8, MFC1 to MFC4)"},
      {"alarm G1", "deviation 3", "alarm G1: expected 'above' or 'below', not 'deviation'"},
      {"alarm G2", "above lots", "alarm G2: 'lots' is not a limit (a number, 0 or more)"},
      {"alarm G3", "above 1 mbar deadband 120 %",
       "alarm G3: expected 'deadband N %' with N from 0 to 100, not 'deadband 120 %'"},
      {"alarm G6", "above 2e-3", "alarm G6: G6-ABOVE is already given"},
      {"priority V5", "urgent", "priority V5: 'urgent' is not high, medium or low"},
      {"priority V99", "high", "priority V99: no such alarm point"},
      {"latch V5", "no", "latch V5: is already given"},
  };
  AlarmSettings settings;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    ASSERT_TRUE(IsAlarmKey(c.key));
    const auto error = TakeAlarmSetting(settings, c.key, c.value);
    EXPECT_EQ(error.value_or("taken"), c.error ? c.error : "taken");
  }
  EXPECT_FALSE(IsAlarmKey("alarms"));
  AlarmBoard board;
  ApplyTo(settings, board);
  const auto g6 = board.Find("G6-ABOVE");
  ASSERT_TRUE(g6);
  EXPECT_EQ(board.points()[*g6].priority, Priority::Medium) << "the priority line wins over the rule's";
  EXPECT_EQ(board.points()[*board.Find("V5")].guidance, "Check the pneumatic supply");
  EXPECT_TRUE(board.points()[*board.Find("V5")].alarm.latched());
  ASSERT_EQ(settings.limits.size(), 2u);
  EXPECT_EQ(settings.limits[0].delay, 5'000);
  EXPECT_DOUBLE_EQ(settings.limits[0].deadband, 0.2);
}

}  // namespace
}  // namespace halvorn::alarms
