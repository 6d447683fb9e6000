#include "SessionData.h"

#include <algorithm>
#include <charconv>

namespace halvorn::history {

namespace {

// The number after `prefix` in `device` when it lies in 1..count, as 0-based.
int Numbered(std::string_view device, std::string_view prefix, int count) {
  if (!device.starts_with(prefix)) return -1;
  const std::string_view digits = device.substr(prefix.size());
  int n = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (error != std::errc() || end != digits.data() + digits.size() || n < 1 || n > count) return -1;
  return n - 1;
}

}  // namespace

int GaugeIndex(std::string_view device) { return Numbered(device, "G", kGaugeCount); }
int FlowIndex(std::string_view device) { return Numbered(device, "MFC", kFlowCount); }

int TimelineIndex(std::string_view device) {
  const auto* found = std::find(kTimelineDevices.begin(), kTimelineDevices.end(), device);
  return found == kTimelineDevices.end() ? -1 : static_cast<int>(found - kTimelineDevices.begin());
}

Nanoseconds SessionData::end() const {
  Nanoseconds newest = std::max(session.lastTNs, newestReading);
  auto later = [&newest](Nanoseconds t) { newest = std::max(newest, t); };
  for (const auto& series : gauges)
    if (!series.empty()) later(series.back().t);
  for (const auto& series : flows)
    if (!series.empty()) later(series.back().t);
  if (!events.empty()) later(events.back().t);
  if (!commands.empty()) later(commands.back().t);
  if (!alarms.empty()) later(alarms.back().t);
  return newest;
}

namespace {

template <typename Row>
const Row* LastAtOrBefore(const std::vector<Row>& rows, Nanoseconds t) {
  auto after = std::upper_bound(rows.begin(), rows.end(), t, [](Nanoseconds time, const Row& r) { return time < r.t; });
  return after == rows.begin() || (after - 1)->gap ? nullptr : &*(after - 1);
}

// A device already unknown since an earlier gap needs no second mark; so
// a file of nothing but gap events costs a row per series, not per event.
template <typename Series>
void AppendGap(Series& all, Nanoseconds began) {
  for (auto& rows : all) {
    if (!rows.empty() && rows.back().gap) continue;
    rows.emplace_back();
    rows.back().t = began;
    rows.back().gap = true;
  }
}

}  // namespace

void MarkGap(SessionData& data, Nanoseconds began) {
  AppendGap(data.gauges, began);
  AppendGap(data.flows, began);
  AppendGap(data.setpoints, began);
  AppendGap(data.devices, began);
}

const Sample* StateAt(const std::vector<Sample>& samples, Nanoseconds t) { return LastAtOrBefore(samples, t); }
const DeviceState* StateAt(const std::vector<DeviceState>& states, Nanoseconds t) { return LastAtOrBefore(states, t); }

}  // namespace halvorn::history
