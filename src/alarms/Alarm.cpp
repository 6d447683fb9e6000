#include "Alarm.h"

#include <array>

namespace halvorn::alarms {

namespace {

template <typename Enum, std::size_t N>
std::string_view Named(const std::array<std::string_view, N>& names, Enum e) {
  return names[static_cast<std::size_t>(e)];
}

}  // namespace

std::string_view PriorityName(Priority priority) {
  static constexpr std::array<std::string_view, 3> kNames{"high", "medium", "low"};
  return Named(kNames, priority);
}

std::string_view TransitionName(Transition transition) {
  static constexpr std::array<std::string_view, 6> kNames{"raised",   "returned",  "acknowledged",
                                                          "shelved",  "unshelved", "cleared"};
  return Named(kNames, transition);
}

std::string_view StateName(State state) {
  static constexpr std::array<std::string_view, 5> kNames{
      "normal", "active unacknowledged", "active acknowledged", "returned unacknowledged", "shelved"};
  return Named(kNames, state);
}

State Alarm::state() const {
  if (m_shelvedUntil) return State::Shelved;
  if (m_active) return m_unacknowledged ? State::ActiveUnacknowledged : State::ActiveAcknowledged;
  return m_unacknowledged || m_standing ? State::ReturnedUnacknowledged : State::Normal;
}

Transitions Alarm::SetActive(bool active, std::string_view text, Milliseconds now) {
  if (active == m_active) return {};
  m_active = active;
  if (active) m_text = text;
  if (m_shelvedUntil) return {};  // silent on the shelf; its expiry tells what stands
  if (active) {
    // A point that comes back while its return is unacknowledged is the
    // same alarm active again: announced, with the time it came back.
    m_unacknowledged = true;
    m_standing = false;
    m_raisedAt = now;
    return {Transition::Raised};
  }
  // A latched alarm waits for an acknowledgement after its return, even one
  // acknowledged while active.
  if (m_latch) m_standing = true;
  if (state() == State::Normal) return {Transition::Returned, Transition::Cleared};
  return {Transition::Returned};
}

Transitions Alarm::Acknowledge() {
  if (m_shelvedUntil || !(m_unacknowledged || m_standing)) return {};
  m_unacknowledged = false;
  m_standing = false;
  if (m_active) return {Transition::Acknowledged};
  return {Transition::Acknowledged, Transition::Cleared};
}

Transitions Alarm::Shelve(Milliseconds until) {
  m_shelvedUntil = until;
  m_unacknowledged = false;
  m_standing = false;
  return {Transition::Shelved};
}

Transitions Alarm::Unshelve(Milliseconds now) {
  if (!m_shelvedUntil) return {};
  m_shelvedUntil.reset();
  if (!m_active) return {Transition::Unshelved};
  m_unacknowledged = true;
  m_raisedAt = now;
  return {Transition::Unshelved, Transition::Raised};
}

Transitions Alarm::Expire(Milliseconds now) {
  if (!m_shelvedUntil || now < *m_shelvedUntil) return {};
  return Unshelve(now);
}

}  // namespace halvorn::alarms
