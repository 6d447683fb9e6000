#include "publish/MetricBoard.h"

#include <algorithm>
#include <cstring>

namespace halvorn::publish {

MetricValue MetricValue::Number(double value) {
  MetricValue v;
  v.kind = Kind::Number;
  v.number = value;
  return v;
}

MetricValue MetricValue::Integer(std::int64_t value) {
  MetricValue v;
  v.kind = Kind::Integer;
  v.integer = value;
  return v;
}

MetricValue MetricValue::Text(std::string_view bytes) {
  MetricValue v;
  v.kind = Kind::Text;
  v.textSize = static_cast<std::uint8_t>(std::min(bytes.size(), kMaxTextBytes));
  std::memcpy(v.text.data(), bytes.data(), v.textSize);
  return v;
}

bool operator==(const MetricValue& a, const MetricValue& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case MetricValue::Kind::Null: return true;
    case MetricValue::Kind::Number: return a.number == b.number;
    case MetricValue::Kind::Integer: return a.integer == b.integer;
    case MetricValue::Kind::Text: return a.textView() == b.textView();
  }
  return false;
}

MetricBoard::MetricBoard(std::size_t metrics)
    : m_staged(metrics), m_stagedMark(metrics, 0), m_shared(metrics), m_sharedMark(metrics, 0) {
  m_stagedChanged.reserve(metrics);
  m_sharedChanged.reserve(metrics);
}

void MetricBoard::Set(std::size_t metric, const MetricValue& value, std::int32_t quality,
                      std::int64_t timestampMs) {
  MetricSample& held = m_staged.at(metric);
  if (held.timestampMs != 0 && held.quality == quality && held.value == value) return;
  held.value = value;
  held.quality = quality;
  held.timestampMs = timestampMs;
  if (m_stagedMark[metric]) return;
  m_stagedMark[metric] = 1;
  m_stagedChanged.push_back(metric);  // within its reserve: one entry per metric at most
}

void MetricBoard::SetOnline(bool online) { m_stagedOnline = online; }

void MetricBoard::Commit() {
  const bool linkChanged = m_stagedOnline != m_committedOnline;
  if (m_stagedChanged.empty() && !linkChanged) return;
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::size_t metric : m_stagedChanged) {
      m_shared[metric] = m_staged[metric];
      m_stagedMark[metric] = 0;
      if (m_sharedMark[metric]) continue;
      m_sharedMark[metric] = 1;
      m_sharedChanged.push_back(metric);
    }
    if (linkChanged) {
      m_online = m_stagedOnline;
      if (!m_online) m_dropped = true;
    }
    m_pending = true;
  }
  m_stagedChanged.clear();
  m_committedOnline = m_stagedOnline;
  m_woken.notify_one();
}

bool MetricBoard::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_woken.wait_for(lock, timeout, [this] { return m_pending || m_wake; });
  m_wake = false;
  return m_pending;
}

void MetricBoard::Wake() {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_wake = true;
  }
  m_woken.notify_all();
}

void MetricBoard::Take(BoardChanges& into) {
  into.changed.clear();
  const std::lock_guard<std::mutex> lock(m_mutex);
  for (const std::size_t metric : m_sharedChanged) {
    into.changed.emplace_back(metric, m_shared[metric]);
    m_sharedMark[metric] = 0;
  }
  m_sharedChanged.clear();
  into.online = m_online;
  into.dropped = m_dropped;
  m_dropped = false;
  m_pending = false;
}

}  // namespace halvorn::publish
