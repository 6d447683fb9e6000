#include "AlarmWatch.h"

#include <string>

namespace halvorn::alarms {

namespace {

constexpr std::array<std::int64_t, 3> kWarningNumbers = {100, 105, 106};

}  // namespace

AlarmWatch::AlarmWatch(AlarmBoard& board, std::function<Milliseconds()> now)
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
  Group* group = device.fixed ? nullptr : GroupOf(device.kind);
  if (!group) return;
  const bool grey = shown.reading.quality == Quality::NoData;
  if (grey == m_grey[device.slot]) return;
  m_grey[device.slot] = grey;
  grey ? ++group->grey : --group->grey;
  // An answer brings the group back at once; greying waits for the tick.
  if (!grey) m_board.Set(group->point, false, "", now);
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
}

void AlarmWatch::Seen(Held& held, std::string_view text) {
  held.lastSeen = m_now();
  m_board.Set(held.point, true, text, held.lastSeen);
}

void AlarmWatch::Warning(std::int64_t number, std::string_view line) {
  for (std::size_t i = 0; i < kWarningNumbers.size(); ++i)
    if (kWarningNumbers[i] == number) Seen(m_warnings[i], line);
}

void AlarmWatch::UptimeChanged(const Reading& reading, std::string_view text) {
  if (reading.quality != Quality::Valid || !reading.value) return;
  if (m_uptime && *reading.value < *m_uptime) Seen(m_restart, "the controller restarted: uptime " + std::string(text));
  m_uptime = reading.value;
}

void AlarmWatch::WatchdogTicked() {
  const Milliseconds now = m_now();
  if (m_open) ++m_ticksOpen;
  SetGroups();
  for (Held* held : {&m_warnings[0], &m_warnings[1], &m_warnings[2], &m_restart})
    if (now - held->lastSeen >= kEventAlarmHold) m_board.Set(held->point, false, "", now);
  m_board.Tick(now);
}

}  // namespace halvorn::alarms
