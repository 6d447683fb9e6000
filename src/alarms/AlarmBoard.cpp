#include "AlarmBoard.h"

#include <algorithm>
#include <utility>

#include "panel/Devices.h"

namespace halvorn::alarms {

namespace {

// Pushes `t` into the newest-last window of the latest raises.
template <std::size_t N>
void Remember(std::array<Milliseconds, N>& raises, std::size_t& count, Milliseconds t) {
  if (count == N) {
    std::shift_left(raises.begin(), raises.end(), 1);
    --count;
  }
  raises[count++] = t;
}

// Whether all N latest raises fall within `window` before `now`.
template <std::size_t N>
bool AllWithin(const std::array<Milliseconds, N>& raises, std::size_t count, Milliseconds window,
               Milliseconds now) {
  return count == N && now - raises[0] < window;
}

// Announced and waiting for an acknowledgement.
bool Waiting(State state) {
  return state == State::ActiveUnacknowledged || state == State::ReturnedUnacknowledged;
}

}  // namespace

AlarmBoard::AlarmBoard() {
  for (const Device& device : kDevices) {
    if (device.number == 0 && device.kind != DeviceKind::Electrode) continue;  // never reports
    Add(std::string(device.name), device.name == "TMP" ? Priority::High : Priority::Medium);
  }
  Add("PORT", Priority::High);
  for (const char* group : {"ANSWERS-GAUGES", "ANSWERS-VALVES", "ANSWERS-PUMPS", "ANSWERS-FLOWS"})
    Add(group, Priority::Low);
  Add("WARNING-100", Priority::High);  // the pneumatic pressure
  Add("WARNING-105", Priority::Low);
  Add("WARNING-106", Priority::Low);
  Add("CONTROLLER-RESTART", Priority::Low);
}

std::size_t AlarmBoard::Add(std::string name, Priority priority) {
  m_points.push_back(AlarmPoint{std::move(name), priority, {}, Alarm{}, {}, 0});
  return m_points.size() - 1;
}

std::optional<std::size_t> AlarmBoard::Find(std::string_view name) const {
  for (std::size_t i = 0; i < m_points.size(); ++i)
    if (m_points[i].name == name) return i;
  return std::nullopt;
}

void AlarmBoard::SetLatch(std::size_t point, bool latch) {
  Alarm& alarm = m_points[point].alarm;
  if (alarm.latched() != latch && alarm.state() == State::Normal && !alarm.active()) alarm = Alarm(latch);
}

void AlarmBoard::Record(std::size_t point, const Transitions& transitions, Milliseconds now,
                        std::string_view reason, std::optional<Milliseconds> until) {
  AlarmPoint& p = m_points[point];
  m_revision += transitions.size();
  for (const Transition transition : transitions) {
    if (transition == Transition::Raised) {
      Remember(p.raises, p.raiseCount, now);
      Remember(m_raises, m_raiseCount, now);
    }
    const bool shelved = transition == Transition::Shelved;
    m_changes.push_back(AlarmChange{now, point, transition, p.priority, p.alarm.text(),
                                    shelved ? std::string(reason) : std::string(), shelved ? until : std::nullopt});
  }
}

void AlarmBoard::Set(std::size_t point, bool active, std::string_view text, Milliseconds now) {
  Record(point, m_points[point].alarm.SetActive(active, text, now), now);
}

void AlarmBoard::Acknowledge(std::size_t point, Milliseconds now) {
  Record(point, m_points[point].alarm.Acknowledge(), now);
}

void AlarmBoard::AcknowledgeFirst(Milliseconds now) {
  const std::vector<std::size_t> listed = Listed();
  if (!listed.empty() && Waiting(m_points[listed.front()].alarm.state())) Acknowledge(listed.front(), now);
}

void AlarmBoard::Shelve(std::size_t point, Milliseconds duration, std::string_view reason, Milliseconds now) {
  Record(point, m_points[point].alarm.Shelve(now + duration), now, reason, now + duration);
}

void AlarmBoard::Unshelve(std::size_t point, Milliseconds now) {
  Record(point, m_points[point].alarm.Unshelve(now), now);
}

void AlarmBoard::Tick(Milliseconds now) {
  for (std::size_t i = 0; i < m_points.size(); ++i) Record(i, m_points[i].alarm.Expire(now), now);
}

std::vector<std::size_t> AlarmBoard::Listed() const {
  std::vector<std::size_t> listed;
  for (std::size_t i = 0; i < m_points.size(); ++i) {
    const State state = m_points[i].alarm.state();
    if (state != State::Normal && state != State::Shelved) listed.push_back(i);
  }
  std::stable_sort(listed.begin(), listed.end(), [this](std::size_t a, std::size_t b) {
    const AlarmPoint& pa = m_points[a];
    const AlarmPoint& pb = m_points[b];
    const bool ua = Waiting(pa.alarm.state());
    const bool ub = Waiting(pb.alarm.state());
    if (ua != ub) return ua;
    if (pa.priority != pb.priority) return pa.priority < pb.priority;
    return pa.alarm.raisedAt() < pb.alarm.raisedAt();
  });
  return listed;
}

std::size_t AlarmBoard::Unacknowledged() const {
  return static_cast<std::size_t>(std::ranges::count_if(
      m_points, [](const AlarmPoint& p) { return Waiting(p.alarm.state()); }));
}

bool AlarmBoard::InFlood(Milliseconds now) const {
  return AllWithin(m_raises, m_raiseCount, kFloodWindow, now);
}

bool AlarmBoard::Chattering(std::size_t point, Milliseconds now) const {
  const AlarmPoint& p = m_points[point];
  return AllWithin(p.raises, p.raiseCount, kMinute, now);
}

std::vector<AlarmChange> AlarmBoard::TakeChanges() { return std::exchange(m_changes, {}); }

}  // namespace halvorn::alarms
