#include "publish/PlantMetrics.h"

#include <array>

#include "link/SetpointFrame.h"

namespace halvorn::publish {
namespace {

constexpr std::array<alarms::Transition, 6> kTransitions = {
    alarms::Transition::Raised,  alarms::Transition::Returned,  alarms::Transition::Acknowledged,
    alarms::Transition::Shelved, alarms::Transition::Unshelved, alarms::Transition::Cleared};

// The state a point is in right after `transition`. A transition that ends in
// another state is told with the one that follows it (returned and cleared,
// unshelved and raised), so the last one of a change says where it stands.
alarms::State StateAfter(alarms::Transition transition) {
  switch (transition) {
    case alarms::Transition::Raised: return alarms::State::ActiveUnacknowledged;
    case alarms::Transition::Returned: return alarms::State::ReturnedUnacknowledged;
    case alarms::Transition::Acknowledged: return alarms::State::ActiveAcknowledged;
    case alarms::Transition::Shelved: return alarms::State::Shelved;
    case alarms::Transition::Unshelved:
    case alarms::Transition::Cleared: return alarms::State::Normal;
  }
  return alarms::State::Normal;
}

}  // namespace

std::int32_t ReadingQuality(const Reading& reading) {
  if (reading.quality == Quality::Valid && reading.value) return kQualityGood;
  return reading.quality == Quality::NoData ? kQualityStale : kQualityBad;
}

std::int32_t TextQuality(const Reading& reading) {
  return reading.quality == Quality::NoData ? kQualityStale : kQualityGood;
}

PlantMetrics::PlantMetrics(const MetricTable& table, MetricBoard& board, const WallClock& clock)
    : m_table(table), m_board(board), m_clock(clock) {
  const std::int64_t now = m_clock.NowMs();
  for (const AlarmPointMetric& point : m_table.alarmPoints()) {
    const AlarmMetrics metrics = *m_table.OfAlarm(point.name);
    m_board.Set(metrics.state, MetricValue::Text(alarms::StateName(alarms::State::Normal)),
                kQualityGood, now);
    m_board.Set(metrics.priority, MetricValue::Text(alarms::PriorityName(point.priority)),
                kQualityGood, now);
  }
  m_board.Commit();
}

void PlantMetrics::SetReading(std::size_t metric, const Reading& reading, double scale,
                              std::int64_t now) {
  const std::int32_t quality = ReadingQuality(reading);
  m_board.Set(
      metric,
      quality == kQualityGood ? MetricValue::Number(*reading.value * scale) : MetricValue::Null(),
      quality, now);
}

void PlantMetrics::DeviceChanged(const Device& device, const DeviceShown& shown) {
  const DeviceMetrics& metrics = m_table.OfDevice(device.slot);
  const std::int64_t now = m_clock.NowMs();
  if (metrics.value) SetReading(*metrics.value, shown.reading, 1.0, now);
  if (metrics.sccm) SetReading(*metrics.sccm, shown.reading, metrics.fullScaleSccm / 100.0, now);
  if (metrics.state) {
    // A gauge's state stands beside its reading; any other device's is its text.
    const std::string_view text =
        device.kind == DeviceKind::Gauge ? shown.detail.value_or("") : shown.text;
    m_board.Set(*metrics.state, MetricValue::Text(text), TextQuality(shown.reading), now);
  }
}

void PlantMetrics::UptimeChanged(const Reading& reading, std::string_view /*text*/) {
  SetReading(m_table.uptime(), reading, 1.0, m_clock.NowMs());
}

void PlantMetrics::Counted(std::int32_t correct, std::int32_t crcErrors) {
  const std::int64_t now = m_clock.NowMs();
  m_board.Set(m_table.goodMessages(), MetricValue::Integer(correct), kQualityGood, now);
  m_board.Set(m_table.crcErrors(), MetricValue::Integer(crcErrors), kQualityGood, now);
  m_board.Commit();
}

void PlantMetrics::Link(LinkEvent what, std::int64_t /*number*/, std::string_view /*status*/) {
  m_board.SetOnline(what == LinkEvent::Opened);
  m_board.Commit();
}

void PlantMetrics::Written(std::string_view frame, bool poll,
                           std::optional<std::int64_t> /*action*/) {
  if (poll) return;
  const std::optional<FlowSetpointSent> sent = FlowSetpointOf(frame);
  if (!sent) return;
  const std::optional<std::size_t> metric = m_table.SetpointOf(sent->mfc);
  if (!metric) return;
  m_board.Set(*metric, MetricValue::Number(sent->percent), kQualityGood, m_clock.NowMs());
  m_board.Commit();
}

void PlantMetrics::WatchdogTicked() { m_board.Commit(); }

void PlantMetrics::AlarmChanged(const AlarmTold& alarm) {
  const std::optional<AlarmMetrics> metrics = m_table.OfAlarm(alarm.point);
  if (!metrics) return;
  const std::int64_t now = m_clock.NowMs();
  for (const alarms::Transition transition : kTransitions) {
    if (alarms::TransitionName(transition) != alarm.transition) continue;
    m_board.Set(metrics->state, MetricValue::Text(alarms::StateName(StateAfter(transition))),
                kQualityGood, now);
  }
  m_board.Set(metrics->priority, MetricValue::Text(alarm.priority), kQualityGood, now);
  m_board.Commit();
}

void PlantMetrics::ChangesTold() { m_board.Commit(); }

}  // namespace halvorn::publish
