// An alarm point through the states control rooms use: announced until
// acknowledged, returned and waiting, latched, shelved and back.
#include "alarms/Alarm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvorn::alarms {
namespace {

// One step of a sequence: "on", "off", "ack", "shelve" (for 10 s), "unshelve",
// "tick" (the shelf's expiry checked), each at `t` ms.
struct Step {
  const char* what;
  Milliseconds t;
  State state;
  std::vector<Transition> transitions;
};

using enum State;
using T = Transition;

Transitions Apply(Alarm& alarm, const Step& step) {
  const std::string what = step.what;
  if (what == "on") return alarm.SetActive(true, "no response from icpcon bus", step.t);
  if (what == "off") return alarm.SetActive(false, "", step.t);
  if (what == "ack") return alarm.Acknowledge();
  if (what == "shelve") return alarm.Shelve(step.t + 10'000);
  if (what == "unshelve") return alarm.Unshelve(step.t);
  return alarm.Expire(step.t);
}

TEST(AlarmTest, EachSequenceGoesThroughTheStatesOfAnAlarm) {
  struct Case {
    const char* name;
    bool latch;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"acknowledged while active, then returns: normal",
       false,
       {{"on", 0, ActiveUnacknowledged, {T::Raised}},
        {"on", 5, ActiveUnacknowledged, {}},
        {"ack", 10, ActiveAcknowledged, {T::Acknowledged}},
        {"ack", 11, ActiveAcknowledged, {}},
        {"off", 20, Normal, {T::Returned, T::Cleared}}}},
      {"returns unacknowledged, then acknowledged: cleared",
       false,
       {{"on", 0, ActiveUnacknowledged, {T::Raised}},
        {"off", 10, ReturnedUnacknowledged, {T::Returned}},
        {"ack", 20, Normal, {T::Acknowledged, T::Cleared}},
        {"ack", 21, Normal, {}}}},
      {"active again while returned: the same alarm, announced again",
       false,
       {{"on", 0, ActiveUnacknowledged, {T::Raised}},
        {"off", 10, ReturnedUnacknowledged, {T::Returned}},
        {"on", 20, ActiveUnacknowledged, {T::Raised}}}},
      {"latched: waits for an acknowledgement after its return",
       true,
       {{"on", 0, ActiveUnacknowledged, {T::Raised}},
        {"ack", 5, ActiveAcknowledged, {T::Acknowledged}},
        {"off", 10, ReturnedUnacknowledged, {T::Returned}},
        {"ack", 20, Normal, {T::Acknowledged, T::Cleared}}}},
      {"shelved: silent, and what still stands is announced at its expiry",
       false,
       {{"on", 0, ActiveUnacknowledged, {T::Raised}},
        {"shelve", 1'000, Shelved, {T::Shelved}},
        {"off", 2'000, Shelved, {}},
        {"on", 3'000, Shelved, {}},
        {"tick", 10'999, Shelved, {}},
        {"tick", 11'000, ActiveUnacknowledged, {T::Unshelved, T::Raised}}}},
      {"unshelved by the operator after it returned: normal",
       false,
       {{"on", 0, ActiveUnacknowledged, {T::Raised}},
        {"shelve", 1'000, Shelved, {T::Shelved}},
        {"ack", 1'500, Shelved, {}},
        {"off", 2'000, Shelved, {}},
        {"unshelve", 3'000, Normal, {T::Unshelved}},
        {"unshelve", 3'001, Normal, {}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Alarm alarm(c.latch);
    for (const Step& step : c.steps) {
      SCOPED_TRACE(std::string(step.what) + " at " + std::to_string(step.t));
      EXPECT_EQ(Apply(alarm, step), step.transitions);
      EXPECT_EQ(StateName(alarm.state()), StateName(step.state));
    }
  }
}

TEST(AlarmTest, ARaiseKeepsItsTimeAndTextAcrossTheShelf) {
  Alarm alarm;
  (void)alarm.Shelve(60'000);
  (void)alarm.SetActive(true, "error", 1'000);
  EXPECT_EQ(alarm.text(), "error") << "the text of what happened on the shelf";
  (void)alarm.Expire(60'000);
  EXPECT_EQ(alarm.raisedAt(), 60'000) << "announced when it came off the shelf";
}

}  // namespace
}  // namespace halvorn::alarms
