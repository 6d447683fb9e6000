#include "DetailLevel.h"

#include <algorithm>

#include "record/Summary.h"

namespace halvorn::history {

namespace {

// Rounds down, also for times before the session's start.
Nanoseconds FloorDiv(Nanoseconds t, Nanoseconds period) {
  const Nanoseconds q = t / period;
  return (t % period != 0 && t < 0) ? q - 1 : q;
}

Nanoseconds ColumnStart(Nanoseconds from, Nanoseconds to, int columns, int i) {
  return from + static_cast<Nanoseconds>(static_cast<long double>(to - from) * i / columns);
}

}  // namespace

std::string_view DetailName(Detail detail) {
  switch (detail) {
    case Detail::Minute: return "1m";
    case Detail::Hour: return "1h";
    case Detail::Raw: break;
  }
  return "raw";
}

Nanoseconds PeriodOf(Detail detail) {
  switch (detail) {
    case Detail::Minute: return record::kMinuteNs;
    case Detail::Hour: return record::kHourNs;
    case Detail::Raw: break;
  }
  return 0;
}

std::int64_t RawRowsBound(int columns) { return std::int64_t{kValuesPerColumn} * std::max(columns, 1) + 1; }

Detail ChooseDetail(Nanoseconds from, Nanoseconds to, int columns, const Holdings& holdings) {
  const std::int64_t most = std::int64_t{kValuesPerColumn} * std::max(columns, 1);
  if (from >= holdings.rawFrom && holdings.rawRows <= most) return Detail::Raw;
  const std::int64_t minutes =
      FloorDiv(std::max(to, from + 1) - 1, record::kMinuteNs) - FloorDiv(from, record::kMinuteNs) + 1;
  return minutes <= most ? Detail::Minute : Detail::Hour;
}

std::vector<Bucket> BucketsOf(const std::vector<Sample>& samples, Nanoseconds end) {
  std::vector<Bucket> buckets;
  buckets.reserve(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const Sample& s = samples[i];
    if (s.gap) continue;  // it only ended the one before
    Bucket b;
    b.t = s.t;
    b.end = i + 1 < samples.size() ? samples[i + 1].t : std::max(end, s.t);
    switch (s.quality) {
      case record::Quality::Valid: b.min = b.max = b.mean = b.last = s.value; break;
      case record::Quality::BelowRange:
        b.below = true;
        b.belowBound = s.value;
        break;
      case record::Quality::OverRange: b.over = true; break;
      case record::Quality::Fault: b.fault = true; break;
      case record::Quality::NoData:
      case record::Quality::NotANumber: b.noData = true; break;
    }
    buckets.push_back(b);
  }
  return buckets;
}

const Bucket* BucketAt(const std::vector<Bucket>& buckets, Nanoseconds t) {
  auto after =
      std::upper_bound(buckets.begin(), buckets.end(), t, [](Nanoseconds time, const Bucket& b) { return time < b.t; });
  if (after == buckets.begin()) return nullptr;
  const Bucket& b = *(after - 1);
  // The last one also at its very end: the end of the record.
  return t < b.end || (t == b.end && after == buckets.end()) ? &b : nullptr;
}

std::vector<Column> BandColumns(const std::vector<Bucket>& buckets, Nanoseconds from, Nanoseconds to, int columns,
                                Nanoseconds end) {
  std::vector<Column> out(static_cast<std::size_t>(std::max(columns, 0)));
  if (columns <= 0 || to <= from) return out;
  // A bucket lies before `a` when it ended before it; one of no length (two
  // rows at one instant) still counts where it stands.
  const auto before = [](const Bucket& b, Nanoseconds a) { return b.end < a || (b.end == a && b.t < a); };
  std::size_t k = 0;
  for (int i = 0; i < columns; ++i) {
    const Nanoseconds a = ColumnStart(from, to, columns, i);
    const Nanoseconds b = std::min(ColumnStart(from, to, columns, i + 1), end + 1);
    if (a > end) break;
    while (k < buckets.size() && before(buckets[k], a)) ++k;
    Column& c = out[static_cast<std::size_t>(i)];
    long double weighted = 0;
    long double weight = 0;
    for (std::size_t j = k; j < buckets.size() && buckets[j].t < b; ++j) {
      const Bucket& bucket = buckets[j];
      if (before(bucket, a)) continue;  // a short one behind a long one that began earlier
      if (bucket.hasValue()) {
        c.min = c.hasValue() ? std::min(c.min, bucket.min) : bucket.min;
        c.max = std::max(c.max == c.max ? c.max : bucket.max, bucket.max);
        const Nanoseconds overlap = std::min({bucket.end, b, end}) - std::max(bucket.t, a);
        const double mean = bucket.mean == bucket.mean ? bucket.mean : bucket.last;
        if (overlap > 0 && mean == mean) {
          weighted += static_cast<long double>(mean) * overlap;
          weight += overlap;
        } else if (weight == 0) {
          c.line = mean == mean ? mean : bucket.max;
        }
      }
      if (bucket.below) {
        c.below = true;
        if (!(bucket.belowBound >= c.belowBound)) c.belowBound = bucket.belowBound;
      }
      c.over = c.over || bucket.over;
      c.fault = c.fault || bucket.fault;
      c.noData = c.noData || bucket.noData;
    }
    if (weight > 0) c.line = static_cast<double>(weighted / weight);
    // The line never leaves the band (a mean rounded by the record).
    if (c.hasValue()) c.line = std::clamp(c.line == c.line ? c.line : c.max, c.min, c.max);
  }
  return out;
}

}  // namespace halvorn::history
