#include "record/Summary.h"

#include <algorithm>
#include <string>
#include <vector>

namespace halvorn::record {
namespace {

constexpr std::size_t kMinute = 0;
constexpr std::size_t kHour = 1;

// Rows read from the record at a time: a year of readings is summarised
// in the memory of a few thousand.
constexpr int kRawBatch = 10'000;

[[nodiscard]] bool IsReading(Quality quality, const std::optional<double>& value) {
  if (quality == Quality::Valid) return value.has_value();
  return quality >= Quality::BelowRange && quality <= Quality::NoData;
}

[[nodiscard]] std::int64_t FloorTo(std::int64_t t, std::int64_t period) {
  const std::int64_t q = t / period;
  return (t % period < 0 ? q - 1 : q) * period;
}

}  // namespace

int SummarisedIndex(std::string_view device) {
  for (std::size_t i = 0; i < kSummarisedDevices.size(); ++i) {
    if (kSummarisedDevices[i] == device) return static_cast<int>(i);
  }
  return -1;
}

void Summariser::TakeOffset(std::int64_t t, std::int64_t wall) {
  if (m_offsetAt && t < *m_offsetAt) return;
  m_offsetAt = t;
  m_wallOffset = wall - t;
}

void Summariser::Accrue(Device& device, std::size_t period, std::int64_t t) {
  const std::int64_t from = std::max(device.since, m_start[period]);
  if (!device.quality || t <= from) return;
  Running& running = device.running[period];
  const std::int64_t held = t - from;
  running.durations[static_cast<std::size_t>(*device.quality)] += held;
  running.touched = true;
  if (*device.quality != Quality::Valid) return;
  running.weighted += device.value * static_cast<double>(held);
  running.min = std::min(running.min.value_or(device.value), device.value);
  running.max = std::max(running.max.value_or(device.value), device.value);
  running.last = device.value;
}

void Summariser::Close(std::size_t period, std::int64_t end, const Sink& out) {
  const std::int64_t start = m_start[period];
  for (std::size_t i = 0; i < m_devices.size(); ++i) {
    Device& device = m_devices[i];
    Accrue(device, period, end);
    Running& running = device.running[period];
    if (running.touched) {
      SummaryRow row;
      row.device = kSummarisedDevices[i];
      row.period_ns = kSummaryPeriods[period];
      row.t_ns = start;
      row.wall_ns = start + m_wallOffset;
      row.min = running.min;
      row.max = running.max;
      row.last = running.last;
      row.durations = running.durations;
      row.changes = running.changes;
      const std::int64_t valid = running.durations[static_cast<std::size_t>(Quality::Valid)];
      // A valid reading that held for no time has no weight in a mean.
      if (valid > 0) row.mean = running.weighted / static_cast<double>(valid);
      out(row);
    }
    running = Running{};
  }
  m_start[period] = end;
}

void Summariser::HoldUntil(std::int64_t t, const Sink& out) {
  while (m_start[kMinute] + kMinuteNs <= t) {
    const bool idle = std::all_of(m_devices.begin(), m_devices.end(), [](const Device& device) {
      return !device.quality && !device.running[kMinute].touched && !device.running[kHour].touched;
    });
    if (idle) {
      // Nothing known and nothing open: no interval up to `t` has a row.
      m_start = {FloorTo(t, kMinuteNs), FloorTo(t, kHourNs)};
      break;
    }
    const std::int64_t end = m_start[kMinute] + kMinuteNs;
    Close(kMinute, end, out);
    if (m_start[kHour] + kHourNs == end) Close(kHour, end, out);
  }
  m_now = std::max(m_now, t);
}

void Summariser::Reading(std::string_view device, std::int64_t t, std::int64_t wall,
                         Quality quality, std::optional<double> value, const Sink& out) {
  const int index = SummarisedIndex(device);
  if (index < 0) return;
  const std::int64_t at = std::max(t, m_now);
  // Intervals that ended before this row close with the clocks' offset
  // they were in.
  HoldUntil(at, out);
  TakeOffset(t, wall);
  Device& held = m_devices[static_cast<std::size_t>(index)];
  for (std::size_t period = 0; period < kSummaryPeriods.size(); ++period) Accrue(held, period, at);
  held.since = at;
  const bool reading = IsReading(quality, value);
  if (reading) {
    held.quality = quality;
    held.value = quality == Quality::Valid ? *value : 0;
  } else {
    held.quality.reset();
  }
  for (Running& running : held.running) {
    ++running.changes;
    running.touched = true;
    if (reading && quality == Quality::Valid) {
      // Counted at once, so that a reading replaced at the same instant
      // still shows in the minimum and maximum.
      running.min = std::min(running.min.value_or(*value), *value);
      running.max = std::max(running.max.value_or(*value), *value);
      running.last = *value;
    }
  }
}

void Summariser::Gap(std::int64_t t, std::int64_t wall, const Sink& out) {
  const std::int64_t at = std::max(t, m_now);
  HoldUntil(at, out);
  TakeOffset(t, wall);
  for (Device& device : m_devices) {
    for (std::size_t period = 0; period < kSummaryPeriods.size(); ++period)
      Accrue(device, period, at);
    device.since = at;
    device.quality.reset();
  }
}

void Summariser::Advance(std::int64_t t, std::int64_t wall, const Sink& out) {
  if (!m_offsetAt) m_wallOffset = wall - t;
  HoldUntil(std::max(t, m_now), out);
}

void Summariser::Finish(std::int64_t t, std::int64_t wall, const Sink& out) {
  Advance(t, wall, out);
  Close(kMinute, m_now, out);
  Close(kHour, m_now, out);
  *this = Summariser{};
}

void Summariser::StartAt(std::int64_t t) {
  *this = Summariser{};
  m_now = t;
  m_start = {t, t};
}

void Summariser::Carry(std::string_view device, std::int64_t t, std::int64_t wall, Quality quality,
                       std::optional<double> value) {
  const int index = SummarisedIndex(device);
  if (index < 0) return;
  TakeOffset(t, wall);
  Device& held = m_devices[static_cast<std::size_t>(index)];
  held.since = m_now;
  if (IsReading(quality, value)) {
    held.quality = quality;
    held.value = quality == Quality::Valid ? *value : 0;
  } else {
    held.quality.reset();
  }
}

namespace {

// The gaps of a range in time order: those the range holds, then the one
// that goes on past its end, if any.
class GapSource {
 public:
  struct Gap {
    std::int64_t t = 0;     // when nothing was known any more
    std::int64_t wall = 0;  // the wall clock at `t`
    bool first = false;     // before rows of the same instant
  };

  // `began`: the column of a gap's beginning, or NULL in a layout-1 record.
  GapSource(Database& db, std::int64_t session, std::int64_t from, std::int64_t to, bool throughTo,
            const std::string& began)
      : m_from(from),
        m_inRange(db.Prepare("SELECT " + began +
                             ", t_ns, wall_ns FROM event WHERE session = ?1 AND kind = 'gap' "
                             "AND t_ns >= ?2 AND t_ns < ?3 ORDER BY t_ns, rowid")) {
    m_inRange.Bind(1, session).Bind(2, from).Bind(3, throughTo ? to + 1 : to);
    if (!throughTo) {
      // No item is kept while one is lost, and the gap goes in before the
      // first item kept again: a gap that began before `to` and ended after
      // it is the first event from `to` on.
      Statement next = db.Prepare("SELECT kind, " + began +
                                  ", t_ns, wall_ns FROM event WHERE session = ?1 AND t_ns >= ?2 "
                                  "ORDER BY t_ns, rowid LIMIT 1");
      next.Bind(1, session).Bind(2, to);
      if (next.Step() && next.Text(0) == "gap" && next.OptionalInteger(1).value_or(to) < to)
        m_across = Make(next.OptionalInteger(1), next.Integer(2), next.Integer(3));
    }
    Step();
  }

  [[nodiscard]] const std::optional<Gap>& next() const { return m_next; }

  void Step() {
    if (!m_rangeDone && m_inRange.Step()) {
      m_next = Make(m_inRange.OptionalInteger(0), m_inRange.Integer(1), m_inRange.Integer(2));
      return;
    }
    m_rangeDone = true;
    m_next = m_across;
    m_across.reset();
  }

 private:
  [[nodiscard]] Gap Make(std::optional<std::int64_t> began, std::int64_t t,
                         std::int64_t wall) const {
    // A layout-1 gap has no beginning: nothing is known from its own row on.
    // One that began before the range leaves nothing known at its start.
    const std::int64_t start = began.value_or(t);
    Gap gap;
    gap.t = std::max(start, m_from);
    gap.wall = wall - (t - gap.t);
    gap.first = !began || start < m_from;
    return gap;
  }

  std::int64_t m_from;
  Statement m_inRange;
  bool m_rangeDone = false;
  std::optional<Gap> m_across;
  std::optional<Gap> m_next;
};

struct RawRow {
  std::int64_t rowid = 0;
  std::int64_t t = 0;
  std::int64_t wall = 0;
  int device = 0;
  Quality quality = Quality::NoData;
  std::optional<double> value;
};

}  // namespace

void SummariseFromRaw(Database& db, std::int64_t session, std::int64_t from, std::int64_t to,
                      const Summariser::Sink& out) {
  Summariser summariser;
  summariser.StartAt(from);

  // A record of layout 1, read as it is, has no event.began_t_ns: its gaps
  // leave nothing known from their own row on.
  const std::string began = LayoutOf(db) < 2 ? "NULL" : "began_t_ns";
  Statement end = db.Prepare("SELECT last_t_ns FROM session WHERE id = ?1");
  end.Bind(1, session);
  const bool throughTo = !end.Step() || to >= end.Integer(0);

  // What holds at `from`: each device's last row before it, unless a gap
  // came after that row.
  Statement before = db.Prepare(
      "SELECT t_ns, wall_ns, quality, value FROM device_state WHERE session = ?1 AND device = ?2 "
      "AND t_ns < ?3 ORDER BY t_ns DESC, rowid DESC LIMIT 1");
  std::array<std::optional<RawRow>, kSummarisedDevices.size()> carried{};
  std::optional<std::int64_t> oldest;
  for (std::size_t i = 0; i < kSummarisedDevices.size(); ++i) {
    before.Reset();
    before.Bind(1, session).Bind(2, kSummarisedDevices[i]).Bind(3, from);
    if (!before.Step()) continue;
    RawRow row;
    row.t = before.Integer(0);
    row.wall = before.Integer(1);
    row.quality = static_cast<Quality>(before.Integer(2));
    row.value = before.OptionalReal(3);
    carried[i] = row;
    oldest = std::min(oldest.value_or(row.t), row.t);
  }
  std::optional<std::int64_t> lastGap;
  if (oldest) {
    Statement gaps = db.Prepare("SELECT max(coalesce(" + began +
                                ", t_ns)) FROM event WHERE session = ?1 AND kind = 'gap' "
                                "AND t_ns >= ?2 AND t_ns < ?3");
    gaps.Bind(1, session).Bind(2, *oldest).Bind(3, from);
    if (gaps.Step()) lastGap = gaps.OptionalInteger(0);
  }
  for (std::size_t i = 0; i < carried.size(); ++i) {
    // A row at the instant a gap began went in before the items lost.
    if (carried[i] && (!lastGap || carried[i]->t > *lastGap))
      summariser.Carry(kSummarisedDevices[i], carried[i]->t, carried[i]->wall, carried[i]->quality,
                       carried[i]->value);
  }

  GapSource gaps(db, session, from, to, throughTo, began);
  std::string devices;
  for (const std::string_view device : kSummarisedDevices) {
    devices += devices.empty() ? "'" : ", '";
    devices += device;
    devices += "'";
  }
  Statement rows = db.Prepare(
      "SELECT rowid, t_ns, wall_ns, device, quality, value FROM device_state WHERE session = ?1 "
      "AND t_ns >= ?2 AND t_ns < ?3 AND (t_ns > ?2 OR rowid > ?4) "
      "AND device IN (" +
      devices + ") ORDER BY t_ns, rowid LIMIT " + std::to_string(kRawBatch));
  std::vector<RawRow> batch;
  batch.reserve(kRawBatch);
  std::int64_t afterT = from;
  std::int64_t afterRowid = -1;
  const auto gapsUntil = [&](std::int64_t t, bool inclusive) {
    while (gaps.next() &&
           (gaps.next()->t < t || (inclusive && gaps.next()->t == t && gaps.next()->first))) {
      summariser.Gap(gaps.next()->t, gaps.next()->wall, out);
      gaps.Step();
    }
  };
  for (;;) {
    batch.clear();
    rows.Reset();
    rows.Bind(1, session).Bind(2, afterT).Bind(3, throughTo ? to + 1 : to).Bind(4, afterRowid);
    while (rows.Step()) {
      RawRow row;
      row.rowid = rows.Integer(0);
      row.t = rows.Integer(1);
      row.wall = rows.Integer(2);
      row.device = SummarisedIndex(rows.Text(3));
      row.quality = static_cast<Quality>(rows.Integer(4));
      row.value = rows.OptionalReal(5);
      batch.push_back(row);
    }
    for (const RawRow& row : batch) {
      gapsUntil(row.t, true);
      summariser.Reading(kSummarisedDevices[static_cast<std::size_t>(row.device)], row.t, row.wall,
                         row.quality, row.value, out);
    }
    if (batch.size() < static_cast<std::size_t>(kRawBatch)) break;
    afterT = batch.back().t;
    afterRowid = batch.back().rowid;
  }
  gapsUntil(to, true);
  // Rows at `to` itself are the session's last: gaps there came after them.
  while (gaps.next()) {
    summariser.Gap(gaps.next()->t, gaps.next()->wall, out);
    gaps.Step();
  }
  summariser.Finish(to, 0, out);
}

Statement PrepareSummaryInsert(Database& db) {
  return db.Prepare(
      "INSERT OR REPLACE INTO summary(session, device, period_ns, t_ns, wall_ns, min, max, mean, "
      "last, "
      "valid_ns, below_ns, over_ns, fault_ns, nodata_ns, changes) "
      "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
}

void StoreSummary(Statement& insert, std::int64_t session, const SummaryRow& row) {
  insert.Bind(1, session)
      .Bind(2, row.device)
      .Bind(3, row.period_ns)
      .Bind(4, row.t_ns)
      .Bind(5, row.wall_ns)
      .Bind(6, row.min)
      .Bind(7, row.max)
      .Bind(8, row.mean)
      .Bind(9, row.last);
  for (std::size_t quality = 0; quality < row.durations.size(); ++quality)
    insert.Bind(10 + static_cast<int>(quality), row.durations[quality]);
  insert.Bind(15, row.changes);
  insert.Step();
  insert.Reset();
}

}  // namespace halvorn::record
