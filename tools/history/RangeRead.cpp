#include "RangeRead.h"

#include <algorithm>
#include <cmath>

#include "Saturating.h"
#include "panel/Devices.h"
#include "record/Summary.h"

namespace halvorn::history {

namespace {

using record::Database;
using record::Quality;
using record::Statement;

Nanoseconds FloorTo(Nanoseconds t, Nanoseconds period) {
  const Nanoseconds q = t / period;
  return ((t % period != 0 && t < 0) ? q - 1 : q) * period;
}

Nanoseconds TimeOf(const Statement& row, int column) {
  return std::clamp<Nanoseconds>(row.Integer(column), -kLongestSession, kLongestSession);
}

Quality QualityOf(std::int64_t stored) {
  return stored >= 0 && stored <= static_cast<std::int64_t>(Quality::NotANumber) ? static_cast<Quality>(stored)
                                                                                 : Quality::Fault;
}

// Where a gauge's reading below range is drawn: its range's bound.
double BelowBound(int c) { return c < kGaugeCount ? kGauges[static_cast<std::size_t>(c)].lowestMbar : std::nan(""); }

int ChannelOf(std::string_view device) {
  if (const int g = GaugeIndex(device); g >= 0) return g;
  if (const int f = FlowIndex(device); f >= 0) return kGaugeCount + f;
  return -1;
}

// Rows of the channel in [from, to), counted up to `bound`.
std::int64_t CountRaw(Database& db, std::int64_t session, const std::string& device, Nanoseconds from, Nanoseconds to,
                      std::int64_t bound) {
  Statement count = db.Prepare(
      "SELECT count(*) FROM (SELECT 1 FROM device_state WHERE session = ?1 AND device = ?2"
      " AND t_ns >= ?3 AND t_ns < ?4 LIMIT ?5)");
  count.Bind(1, session).Bind(2, device).Bind(3, from).Bind(4, to).Bind(5, bound);
  return count.Step() ? count.Integer(0) : 0;
}

// When the record lost items: from the first lost (t_ns for a layout-1
// record, which knows no other) to the device's next row nothing is known.
std::vector<Nanoseconds> GapsBetween(Database& db, std::int64_t layout, std::int64_t session, Nanoseconds from,
                                     Nanoseconds to) {
  Statement rows = db.Prepare(std::string("SELECT t_ns, ") + (layout >= 2 ? "began_t_ns" : "NULL") +
                              " FROM event WHERE session = ?1 AND kind = 'gap' AND t_ns >= ?2 ORDER BY t_ns");
  rows.Bind(1, session).Bind(2, from);
  std::vector<Nanoseconds> gaps;
  while (rows.Step()) {
    const Nanoseconds began = rows.IsNull(1) ? TimeOf(rows, 0) : std::min(TimeOf(rows, 1), TimeOf(rows, 0));
    if (began >= to) break;
    if (began >= from) gaps.push_back(began);
  }
  std::sort(gaps.begin(), gaps.end());
  return gaps;
}

std::vector<Bucket> ReadRaw(Database& db, std::int64_t layout, std::int64_t session, int c, Nanoseconds from,
                            Nanoseconds to, Nanoseconds end) {
  return BucketsOf(ReadSamples(db, layout, session, c, from, to), std::min(to, end));
}

Bucket BucketOf(const record::SummaryRow& row, int c, Nanoseconds end) {
  Bucket b;
  b.t = row.t_ns;
  b.end = std::max(b.t, std::min(SaturatingAdd(row.t_ns, row.period_ns), end));
  const auto nan = std::nan("");
  b.min = row.min.value_or(nan);
  b.max = row.max.value_or(nan);
  b.mean = row.mean.value_or(nan);
  b.last = row.last.value_or(nan);
  if (!(b.min <= b.max)) b.min = b.max = nan;  // a damaged row draws nothing
  b.below = row.durations[static_cast<std::size_t>(Quality::BelowRange)] > 0;
  if (b.below) b.belowBound = BelowBound(c);
  b.over = row.durations[static_cast<std::size_t>(Quality::OverRange)] > 0;
  b.fault = row.durations[static_cast<std::size_t>(Quality::Fault)] > 0;
  b.noData = row.durations[static_cast<std::size_t>(Quality::NoData)] > 0;
  return b;
}

// The stored summary rows of the channel at `period` that begin in
// [from, to).
void ReadSummaries(Database& db, std::int64_t session, int c, Nanoseconds period, Nanoseconds from, Nanoseconds to,
                   Nanoseconds end, std::vector<Bucket>& out) {
  Statement rows = db.Prepare(
      "SELECT t_ns, min, max, mean, last, valid_ns, below_ns, over_ns, fault_ns, nodata_ns FROM summary"
      " WHERE session = ?1 AND period_ns = ?2 AND device = ?3 AND t_ns >= ?4 AND t_ns < ?5 ORDER BY t_ns LIMIT ?6");
  const std::string device = ChannelName(c);
  // The intervals of the range, and never more: a file whose rows do not
  // lie on their period's multiples cannot make a read grow without bound.
  const std::int64_t intervals = (to - from) / period + 2;
  rows.Bind(1, session).Bind(2, period).Bind(3, device).Bind(4, from).Bind(5, to).Bind(6, intervals);
  while (rows.Step()) {
    record::SummaryRow row;
    row.period_ns = period;
    row.t_ns = TimeOf(rows, 0);
    row.min = rows.OptionalReal(1);
    row.max = rows.OptionalReal(2);
    row.mean = rows.OptionalReal(3);
    row.last = rows.OptionalReal(4);
    for (std::size_t q = 0; q < row.durations.size(); ++q) row.durations[q] = rows.Integer(static_cast<int>(5 + q));
    out.push_back(BucketOf(row, c, end));
  }
}

}  // namespace

std::vector<Sample> ReadSamples(Database& db, std::int64_t layout, std::int64_t session, int c, Nanoseconds from,
                                Nanoseconds to) {
  const std::string device = ChannelName(c);
  std::vector<Sample> samples;
  const auto add = [&](const Statement& row) {
    Sample s;
    s.t = TimeOf(row, 0);
    s.quality = QualityOf(row.Integer(1));
    const std::optional<double> value = row.OptionalReal(2);
    if (s.quality == Quality::Valid && value) s.value = *value;
    if (s.quality == Quality::Valid && !value) s.quality = Quality::NoData;
    if (s.quality == Quality::BelowRange) s.value = BelowBound(c);
    samples.push_back(s);
  };
  Statement before = db.Prepare(
      "SELECT t_ns, quality, value FROM device_state WHERE session = ?1 AND device = ?2 AND t_ns < ?3"
      " ORDER BY t_ns DESC LIMIT 1");
  before.Bind(1, session).Bind(2, device).Bind(3, from);
  if (before.Step()) add(before);
  Statement rows = db.Prepare(
      "SELECT t_ns, quality, value FROM device_state WHERE session = ?1 AND device = ?2 AND t_ns >= ?3"
      " AND t_ns < ?4 ORDER BY t_ns");
  rows.Bind(1, session).Bind(2, device).Bind(3, from).Bind(4, to);
  while (rows.Step()) add(rows);
  if (samples.empty()) return {};
  const std::size_t read = samples.size();
  for (const Nanoseconds gap : GapsBetween(db, layout, session, samples.front().t, to)) {
    Sample s;
    s.t = gap;
    s.gap = true;
    samples.push_back(s);
  }
  // A gap row goes before the rows of its instant: the device's row there
  // is the first kept again.
  std::inplace_merge(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(read), samples.end(),
                     [](const Sample& a, const Sample& b) { return a.t < b.t || (a.t == b.t && a.gap && !b.gap); });
  return samples;
}

Nanoseconds NewestReading(Database& db, std::int64_t session) {
  // Per device, so that each is one step down its index.
  Statement newest = db.Prepare("SELECT max(t_ns) FROM device_state WHERE session = ?1 AND device = ?2");
  Nanoseconds t = 0;
  for (int c = 0; c < kChannelCount; ++c) {
    newest.Reset();
    newest.Bind(1, session).Bind(2, ChannelName(c));
    if (newest.Step() && !newest.IsNull(0)) t = std::max(t, TimeOf(newest, 0));
  }
  return t;
}

std::string ChannelName(int c) {
  return c < kGaugeCount ? "G" + std::to_string(c + 1) : "MFC" + std::to_string(c - kGaugeCount + 1);
}

RangeData ReadRange(Database& db, std::int64_t layout, const RangeRequest& request) {
  RangeData data;
  data.request = request;
  const int columns = std::max(request.columns, 1);
  {
    Statement session =
        db.Prepare(layout >= 4 ? "SELECT last_t_ns, summarised_t_ns, raw_from_t_ns FROM session WHERE id = ?1"
                               : "SELECT last_t_ns, 0, 0 FROM session WHERE id = ?1");
    session.Bind(1, request.session);
    if (session.Step()) {
      data.end = TimeOf(session, 0);
      data.summarisedUntil = TimeOf(session, 1);
      data.rawFrom = TimeOf(session, 2);
    }
  }
  // A session row that lags behind its rows (a record not closed) ends at
  // its newest reading.
  data.end = std::max(data.end, NewestReading(db, request.session));
  const Nanoseconds width = std::max<Nanoseconds>(SaturatingSub(request.to, request.from), 1);
  data.from = std::max<Nanoseconds>(SaturatingSub(request.from, width / 2), 0);
  data.to = std::max(std::min(SaturatingAdd(request.to, width / 2), data.end), data.from);
  if (data.to <= data.from) return data;
  // As many columns over what is read as the screen has over its range.
  const int readColumns = static_cast<int>(std::clamp<long double>(
      static_cast<long double>(columns) * static_cast<long double>(data.to - data.from) / width, 1, 1 << 24));
  const std::int64_t bound = RawRowsBound(readColumns);
  // A row at the session's very end is part of it.
  const Nanoseconds rawTo = data.to >= data.end ? SaturatingAdd(data.to, 1) : data.to;

  // The level of each channel; the summaries of those read from summaries.
  std::array<Nanoseconds, kChannelCount> periods{};
  for (int c = 0; c < kChannelCount; ++c) {
    ChannelRange& channel = data.channels[static_cast<std::size_t>(c)];
    Holdings holdings;
    holdings.rawFrom = data.rawFrom;
    holdings.rawRows =
        data.from >= data.rawFrom ? CountRaw(db, request.session, ChannelName(c), data.from, rawTo, bound) : bound;
    channel.detail = ChooseDetail(data.from, data.to, readColumns, holdings);
    if (channel.detail == Detail::Raw) {
      channel.buckets = ReadRaw(db, layout, request.session, c, data.from, rawTo, data.end);
    } else {
      periods[static_cast<std::size_t>(c)] = PeriodOf(channel.detail);
    }
  }
  auto summaries = SummaryBuckets(db, layout, request.session, periods, data.from, data.to);
  for (int c = 0; c < kChannelCount; ++c)
    if (periods[static_cast<std::size_t>(c)] != 0)
      data.channels[static_cast<std::size_t>(c)].buckets = std::move(summaries[static_cast<std::size_t>(c)]);
  return data;
}

std::array<std::vector<Bucket>, kChannelCount> SummaryBuckets(Database& db, std::int64_t layout, std::int64_t session,
                                                              const std::array<Nanoseconds, kChannelCount>& periods,
                                                              Nanoseconds from, Nanoseconds to) {
  std::array<std::vector<Bucket>, kChannelCount> out;
  Nanoseconds end = 0;
  Nanoseconds summarisedUntil = 0;
  {
    Statement row = db.Prepare(layout >= 4 ? "SELECT last_t_ns, summarised_t_ns FROM session WHERE id = ?1"
                                           : "SELECT last_t_ns, 0 FROM session WHERE id = ?1");
    row.Bind(1, session);
    if (row.Step()) {
      end = TimeOf(row, 0);
      summarisedUntil = TimeOf(row, 1);
    }
  }
  end = std::max(end, NewestReading(db, session));
  to = std::min(to, end);
  bool anyComputed = false;
  Nanoseconds computeFrom = to;
  for (int c = 0; c < kChannelCount; ++c) {
    const Nanoseconds period = periods[static_cast<std::size_t>(c)];
    if (period <= 0) continue;
    const Nanoseconds first = FloorTo(from, period);
    const Nanoseconds stored = layout >= 4 ? std::min(summarisedUntil, to) : first;
    if (layout >= 4 && stored > first)
      ReadSummaries(db, session, c, period, first, stored, end, out[static_cast<std::size_t>(c)]);
    if (stored < to) {
      anyComputed = true;
      computeFrom = std::min(computeFrom, std::max(stored, first));
    }
  }
  if (!anyComputed || to <= from) return out;
  // What the record has not summarised yet is summarised here, from the
  // whole hour it lies in; only the rows of the range are kept.
  const Nanoseconds storedUntil = layout >= 4 ? summarisedUntil : std::numeric_limits<Nanoseconds>::min();
  record::SummariseFromRaw(db, session, FloorTo(computeFrom, record::kHourNs), to, [&](const record::SummaryRow& row) {
    const int c = ChannelOf(row.device);
    if (c < 0 || row.period_ns != periods[static_cast<std::size_t>(c)] || row.t_ns < storedUntil ||
        SaturatingAdd(row.t_ns, row.period_ns) <= from || row.t_ns >= to)
      return;
    out[static_cast<std::size_t>(c)].push_back(BucketOf(row, c, end));
  });
  return out;
}

}  // namespace halvorn::history
