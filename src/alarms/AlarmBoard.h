// Every alarm point of the installation with its state, and what the
// operator sees of them: the banner's order, the alarm flood, chattering
// points. Each transition is kept, in order, for the journal and the
// publisher to take.
//
// The points are the devices on the picture by their names (V1..V14, CV1,
// CV2, TMP, ROTARY1, ROTARY2, G1..G8, MFC1..MFC4, ELECTRODE, COOLING), the
// port (PORT), the watchdog's groups (ANSWERS-GAUGES, -VALVES, -PUMPS,
// -FLOWS), the controller's warnings (WARNING-100, -105, -106) and its
// restart (CONTROLLER-RESTART), and the limit alarms a settings file adds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alarms/Alarm.h"

namespace halvorn::alarms {

constexpr Milliseconds kMinute = 60'000;
// EEMUA 191: more than ten alarms in ten minutes is a flood.
constexpr Milliseconds kFloodWindow = 10 * kMinute;
constexpr std::size_t kFloodRaises = 10;
// Three raises of one point within a minute: it chatters.
constexpr std::size_t kChatterRaises = 3;

struct AlarmPoint {
  std::string name;
  Priority priority = Priority::Low;
  std::string guidance;
  Alarm alarm;
  // Its latest raises, newest last, as many as chatter needs.
  std::array<Milliseconds, kChatterRaises> raises{};
  std::size_t raiseCount = 0;
};

// One transition, as the journal writes it.
struct AlarmChange {
  Milliseconds t = 0;
  std::size_t point = 0;
  Transition transition = Transition::Raised;
  Priority priority = Priority::Low;
  std::string text;                     // the condition's text
  std::string reason;                   // shelved: why
  std::optional<Milliseconds> until;    // shelved: the shelf's expiry
};

class AlarmBoard {
 public:
  // Every fixed point with its default priority: the pneumatic-pressure
  // warning, the port and the turbo pump high; other device faults medium;
  // the rest low.
  AlarmBoard();

  // Adds a point (a limit alarm); returns its index.
  std::size_t Add(std::string name, Priority priority);
  [[nodiscard]] std::optional<std::size_t> Find(std::string_view name) const;
  [[nodiscard]] const std::vector<AlarmPoint>& points() const { return m_points; }
  void SetPriority(std::size_t point, Priority priority) { m_points[point].priority = priority; }
  void SetGuidance(std::size_t point, std::string guidance) { m_points[point].guidance = std::move(guidance); }
  void SetLatch(std::size_t point, bool latch);

  void Set(std::size_t point, bool active, std::string_view text, Milliseconds now);
  void Acknowledge(std::size_t point, Milliseconds now);
  // The first alarm of the banner, if any waits for an acknowledgement.
  void AcknowledgeFirst(Milliseconds now);
  void Shelve(std::size_t point, Milliseconds duration, std::string_view reason, Milliseconds now);
  void Unshelve(std::size_t point, Milliseconds now);
  // Shelves that expire by `now` open.
  void Tick(Milliseconds now);

  // The alarms the banner lists, first the one that matters most:
  // unacknowledged before acknowledged, higher priority first, then the
  // oldest. Shelved and normal points are not listed.
  [[nodiscard]] std::vector<std::size_t> Listed() const;
  [[nodiscard]] std::size_t Unacknowledged() const;
  [[nodiscard]] bool InFlood(Milliseconds now) const;
  [[nodiscard]] bool Chattering(std::size_t point, Milliseconds now) const;

  // Counts up with every transition: what shows the board redraws when it
  // changed, without comparing.
  [[nodiscard]] std::uint64_t revision() const { return m_revision; }

  // The transitions since the last call, oldest first.
  [[nodiscard]] std::vector<AlarmChange> TakeChanges();

 private:
  void Record(std::size_t point, const Transitions& transitions, Milliseconds now,
              std::string_view reason = {}, std::optional<Milliseconds> until = std::nullopt);

  std::vector<AlarmPoint> m_points;
  std::vector<AlarmChange> m_changes;
  std::uint64_t m_revision = 0;
  // The latest raises of any point, as many as a flood needs, oldest first.
  std::array<Milliseconds, kFloodRaises + 1> m_raises{};
  std::size_t m_raiseCount = 0;
};

}  // namespace halvorn::alarms
