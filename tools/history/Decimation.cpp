#include "Decimation.h"

#include <algorithm>
#include <cmath>

namespace halvorn::history {

namespace {

void Add(Column& c, const Sample& s) {
  if (s.gap) return;
  switch (s.quality) {
    case record::Quality::Valid:
      c.min = c.hasValue() ? std::min(c.min, s.value) : s.value;
      c.max = std::max(c.max == c.max ? c.max : s.value, s.value);
      c.line = s.value;
      break;
    case record::Quality::BelowRange:
      c.below = true;
      if (!(s.value >= c.belowBound)) c.belowBound = s.value;
      break;
    case record::Quality::OverRange: c.over = true; break;
    case record::Quality::Fault: c.fault = true; break;
    case record::Quality::NoData:
    case record::Quality::NotANumber: c.noData = true; break;
  }
}

Nanoseconds ColumnStart(Nanoseconds from, Nanoseconds to, int columns, int i) {
  return from + static_cast<Nanoseconds>(static_cast<long double>(to - from) * i / columns);
}

}  // namespace

std::vector<Column> Decimate(const std::vector<Sample>& samples, Nanoseconds from, Nanoseconds to, int columns,
                             Nanoseconds end) {
  std::vector<Column> out(static_cast<std::size_t>(std::max(columns, 0)));
  if (columns <= 0 || to <= from) return out;
  // First row after `from`; the one before it is the state in force there.
  std::size_t k = static_cast<std::size_t>(
      std::upper_bound(samples.begin(), samples.end(), from, [](Nanoseconds t, const Sample& s) { return t < s.t; }) -
      samples.begin());
  for (int i = 0; i < columns; ++i) {
    const Nanoseconds a = ColumnStart(from, to, columns, i);
    const Nanoseconds b = std::min(ColumnStart(from, to, columns, i + 1), end + 1);
    if (a > end) break;
    while (k < samples.size() && samples[k].t <= a) ++k;
    Column& c = out[static_cast<std::size_t>(i)];
    if (k > 0) Add(c, samples[k - 1]);
    while (k < samples.size() && samples[k].t < b) Add(c, samples[k++]);
  }
  return out;
}

Trend TrendOf(const std::vector<Column>& columns, Nanoseconds from, Nanoseconds to) {
  Trend trend;
  const int n = static_cast<int>(columns.size());
  bool inSegment = false;
  for (int i = 0; i < n; ++i) {
    const Column& c = columns[static_cast<std::size_t>(i)];
    const Nanoseconds mid = ColumnStart(from, to, 2 * n, 2 * i + 1);
    if (c.hasValue()) {
      if (!inSegment) {
        trend.segments.emplace_back();
        trend.bands.emplace_back();
      }
      inSegment = true;
      trend.bands.back().push_back({mid, c.min, c.max, c.line == c.line ? c.line : (c.min + c.max) / 2});
      trend.segments.back().push_back({mid, c.min});
      if (c.max != c.min) trend.segments.back().push_back({mid, c.max});
    } else {
      inSegment = false;
    }
    if (c.below) trend.belowRange.push_back({mid, c.belowBound});
    if (c.over) trend.overRange.push_back(mid);
    if (c.fault) trend.faults.push_back(mid);
    if (c.noData) trend.noData.push_back(mid);
  }
  return trend;
}

StepLines SetpointSteps(const std::vector<Setpoint>& setpoints, Nanoseconds from, Nanoseconds to, Nanoseconds end) {
  StepLines lines;
  const Nanoseconds stop = std::min(to, end);
  if (stop <= from) return lines;
  std::vector<TrendPoint> line;
  const auto close = [&](Nanoseconds t) {
    if (line.empty()) return;
    line.push_back({t, line.back().value});
    lines.push_back(std::move(line));
    line.clear();
  };
  auto at = std::upper_bound(setpoints.begin(), setpoints.end(), from,
                             [](Nanoseconds t, const Setpoint& s) { return t < s.t; });
  if (at != setpoints.begin() && !(at - 1)->gap) line.push_back({from, static_cast<double>((at - 1)->percent)});
  for (; at != setpoints.end() && at->t <= stop; ++at) {
    if (at->gap) {
      close(at->t);
      continue;
    }
    if (!line.empty()) line.push_back({at->t, line.back().value});
    line.push_back({at->t, static_cast<double>(at->percent)});
  }
  close(stop);
  return lines;
}

}  // namespace halvorn::history
