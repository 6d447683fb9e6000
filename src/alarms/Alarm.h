// One alarm point's state, as control rooms handle it: a condition that
// goes active is announced until an operator acknowledges it, one that
// returns while unacknowledged waits for the acknowledgement too, and a
// shelved point is silent until its shelf expires.
//
// Time is an input (milliseconds on any monotonic clock); nothing here reads
// a clock. Every call returns the transitions it made, in order, for the
// journal and the banner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvorn::alarms {

using Milliseconds = std::int64_t;

enum class Priority : std::uint8_t { High, Medium, Low };

enum class State : std::uint8_t {
  Normal,
  ActiveUnacknowledged,
  ActiveAcknowledged,
  ReturnedUnacknowledged,
  Shelved,
};

enum class Transition : std::uint8_t { Raised, Returned, Acknowledged, Shelved, Unshelved, Cleared };

// As the journal and the summary write them: "high", "raised", ...
[[nodiscard]] std::string_view PriorityName(Priority priority);
[[nodiscard]] std::string_view TransitionName(Transition transition);
[[nodiscard]] std::string_view StateName(State state);

// What one call did: none, one, or two (acknowledged, then cleared). A call
// that changes nothing allocates nothing.
using Transitions = std::vector<Transition>;

class Alarm {
 public:
  explicit Alarm(bool latch = false) : m_latch(latch) {}

  [[nodiscard]] State state() const;
  [[nodiscard]] bool active() const { return m_active; }
  [[nodiscard]] bool latched() const { return m_latch; }
  // When it was last raised (announced); meaningful while not normal.
  [[nodiscard]] Milliseconds raisedAt() const { return m_raisedAt; }
  [[nodiscard]] std::optional<Milliseconds> shelvedUntil() const { return m_shelvedUntil; }
  // The condition's text as it was last raised ("no response from icpcon bus").
  [[nodiscard]] const std::string& text() const { return m_text; }

  // The condition is (still) active or not. Going active while returned
  // and unacknowledged is the same alarm active again, not a second one.
  Transitions SetActive(bool active, std::string_view text, Milliseconds now);
  // No effect on a normal or shelved alarm, or one already acknowledged.
  Transitions Acknowledge();
  Transitions Shelve(Milliseconds until);
  // By the operator or at the shelf's expiry (`Expire`): a condition still
  // active is announced again.
  Transitions Unshelve(Milliseconds now);
  Transitions Expire(Milliseconds now);

 private:
  bool m_latch = false;
  bool m_active = false;
  bool m_unacknowledged = false;  // announced and not yet acknowledged
  bool m_standing = false;        // latched: returned, waits for an acknowledgement
  std::optional<Milliseconds> m_shelvedUntil;
  Milliseconds m_raisedAt = 0;
  std::string m_text;
};

}  // namespace halvorn::alarms
