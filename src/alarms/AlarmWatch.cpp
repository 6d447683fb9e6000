#include "AlarmWatch.h"

#include <limits>
#include <string>

#include "link/SetpointFrame.h"

namespace halvorn::alarms {

namespace {

constexpr std::array<std::int64_t, 3> kWarningNumbers = {100, 105, 106};

}  // namespace

AlarmWatch::AlarmWatch(AlarmBoard& board, std::function<Milliseconds()> now, const std::vector<LimitRule>& limits)
    : m_board(board),
      m_now(std::move(now)),
      m_groups{{{DeviceKind::Gauge, 0, 0, 0, "no answers: gauges"},
                {DeviceKind::Valve, 0, 0, 0, "no answers: valves"},
                {DeviceKind::Pump, 0, 0, 0, "no answers: pumps"},
                {DeviceKind::Flow, 0, 0, 0, "no answers: flows"}}} {
  for (const Device& device : kDevices) m_devicePoints[device.slot] = board.Find(device.name);
  for (Group& group : m_groups) {
    group.point = *board.Find(std::string("ANSWERS-") + (group.kind == DeviceKind::Gauge   ? "GAUGES"
                                                         : group.kind == DeviceKind::Valve ? "VALVES"
                                                         : group.kind == DeviceKind::Pump  ? "PUMPS"
                                                                                           : "FLOWS"));
    for (const Device& device : kDevices) group.devices += device.kind == group.kind && !device.fixed;
  }
  m_port = *board.Find("PORT");
  for (std::size_t i = 0; i < kWarningNumbers.size(); ++i)
    m_warnings[i].point = *board.Find("WARNING-" + std::to_string(kWarningNumbers[i]));
  m_restart.point = *board.Find("CONTROLLER-RESTART");
  for (const LimitRule& rule : limits) {
    for (const Device& device : kDevices)
      if (device.name == rule.device) m_limits.push_back(Limit{rule, *board.Find(PointName(rule)), device.slot, {}, {}, {}});
  }
}

// A reading in the rule's unit: below a gauge's range stands at its bound,
// over it above every limit; a fault or no data is nothing known.
std::optional<double> ValueOf(const Device& device, const Reading& reading) {
  switch (reading.quality) {
    case Quality::Valid:
      return reading.value;
    case Quality::BelowRange:
      return kGauges[static_cast<std::size_t>(device.number - 1)].lowestMbar;
    case Quality::OverRange:
      return std::numeric_limits<double>::infinity();
    default:
      return std::nullopt;
  }
}

void AlarmWatch::Announce(std::string_view user) {
  std::vector<AlarmChange> changes = m_board.TakeChanges();
  if (!m_feed) return;
  for (const AlarmChange& change : changes) {
    const bool byOperator = change.transition == Transition::Acknowledged ||
                            change.transition == Transition::Shelved || change.transition == Transition::Unshelved;
    m_feed->AlarmChanged(AlarmTold{m_board.points()[change.point].name, TransitionName(change.transition),
                                   PriorityName(change.priority), change.text, change.reason,
                                   change.until ? std::optional<std::int64_t>(*change.until - change.t) : std::nullopt,
                                   byOperator ? user : std::string_view()});
  }
}

void AlarmWatch::Acknowledge(std::size_t point, std::string_view user) {
  m_board.Acknowledge(point, m_now());
  Announce(user);
}

void AlarmWatch::AcknowledgeFirst(std::string_view user) {
  m_board.AcknowledgeFirst(m_now());
  Announce(user);
}

void AlarmWatch::Shelve(std::size_t point, Milliseconds duration, std::string_view reason, std::string_view user) {
  m_board.Shelve(point, duration, reason, m_now());
  Announce(user);
}

void AlarmWatch::Unshelve(std::size_t point, std::string_view user) {
  m_board.Unshelve(point, m_now());
  Announce(user);
}

void AlarmWatch::Tick() {
  m_board.Tick(m_now());
  Announce();
}

void AlarmWatch::Check(Limit& limit, Milliseconds now) {
  std::optional<double> value = limit.reading;
  if (limit.rule.kind == LimitKind::Deviation) {
    const auto& setpoint = m_setpoints[static_cast<std::size_t>(kDevices[limit.slot].number - 1)];
    value = value && setpoint ? std::optional<double>(*value - *setpoint) : std::nullopt;
  }
  m_board.Set(limit.point, Evaluate(limit.rule, limit.state, value, now), limit.text, now);
}

void AlarmWatch::Written(std::string_view frame, bool poll, std::optional<std::int64_t>) {
  if (poll) return;
  const auto setpoint = FlowSetpointOf(frame);
  if (!setpoint) return;
  m_setpoints[static_cast<std::size_t>(setpoint->mfc - 1)] = setpoint->percent;
  const Milliseconds now = m_now();
  for (Limit& limit : m_limits)
    if (limit.rule.kind == LimitKind::Deviation) Check(limit, now);
  Announce();
}

AlarmWatch::Group* AlarmWatch::GroupOf(DeviceKind kind) {
  for (Group& group : m_groups)
    if (group.kind == kind) return &group;
  return nullptr;
}

void AlarmWatch::DeviceChanged(const Device& device, const DeviceShown& shown) {
  const Milliseconds now = m_now();
  if (const auto point = m_devicePoints[device.slot]) {
    // A gauge's fault text is its state beside the "---".
    const std::string_view text = shown.detail && device.kind == DeviceKind::Gauge ? *shown.detail : shown.text;
    m_board.Set(*point, shown.reading.quality == Quality::Fault, text, now);
  }
  for (Limit& limit : m_limits) {
    if (limit.slot != device.slot) continue;
    limit.reading = ValueOf(device, shown.reading);
    // Assigned in place: no allocation per answer once warmed up.
    limit.text.assign(device.name);
    limit.text += ' ';
    limit.text += shown.text;
    Check(limit, now);
  }
  Group* group = device.fixed ? nullptr : GroupOf(device.kind);
  const bool grey = shown.reading.quality == Quality::NoData;
  if (group && grey != m_grey[device.slot]) {
    m_grey[device.slot] = grey;
    grey ? ++group->grey : --group->grey;
    // An answer brings the group back at once; greying waits for the tick.
    if (!grey) m_board.Set(group->point, false, "", now);
  }
  Announce();
}

void AlarmWatch::SetGroups() {
  const Milliseconds now = m_now();
  for (const Group& group : m_groups)
    m_board.Set(group.point, m_open && m_ticksOpen >= 2 && group.grey == group.devices, group.text, now);
}

void AlarmWatch::Link(LinkEvent what, std::int64_t, std::string_view status) {
  switch (what) {
    case LinkEvent::Opened:
      m_open = true;
      m_ticksOpen = 0;
      m_board.Set(m_port, false, "", m_now());
      break;
    case LinkEvent::Lost:
      m_open = false;
      m_board.Set(m_port, true, status, m_now());
      break;
    case LinkEvent::Closed:  // the operator's "Disconnect"
      m_open = false;
      m_board.Set(m_port, false, "", m_now());
      break;
    case LinkEvent::OpenFailed:  // a reconnect that fails keeps the port lost
      return;
  }
  SetGroups();
  Announce();
}

void AlarmWatch::Seen(Held& held, std::string_view text) {
  held.lastSeen = m_now();
  m_board.Set(held.point, true, text, held.lastSeen);
}

void AlarmWatch::Warning(std::int64_t number, std::string_view line) {
  for (std::size_t i = 0; i < kWarningNumbers.size(); ++i)
    if (kWarningNumbers[i] == number) Seen(m_warnings[i], line);
  Announce();
}

void AlarmWatch::UptimeChanged(const Reading& reading, std::string_view text) {
  if (reading.quality != Quality::Valid || !reading.value) return;
  if (m_uptime && *reading.value < *m_uptime) Seen(m_restart, "the controller restarted: uptime " + std::string(text));
  m_uptime = reading.value;
  Announce();
}

void AlarmWatch::WatchdogTicked() {
  const Milliseconds now = m_now();
  if (m_open) ++m_ticksOpen;
  SetGroups();
  for (Held* held : {&m_warnings[0], &m_warnings[1], &m_warnings[2], &m_restart})
    if (now - held->lastSeen >= kEventAlarmHold) m_board.Set(held->point, false, "", now);
  for (Limit& limit : m_limits) Check(limit, now);
  m_board.Tick(now);
  Announce();
}

}  // namespace halvorn::alarms
