// A session's summary rows as a record holds them, and as its rows say
// they should be, in one comparable form: a line per row, sorted, every
// field to the last bit.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "record/Database.h"
#include "record/Summary.h"

namespace halvorn::testing {

inline std::string DescribeSummary(const record::SummaryRow& row) {
  char text[400];
  std::snprintf(text, sizeof text, "%s %lld@%lld wall=%lld min=%a max=%a mean=%a last=%a %lld/%lld/%lld/%lld/%lld %lld",
                std::string(row.device).c_str(), static_cast<long long>(row.period_ns),
                static_cast<long long>(row.t_ns), static_cast<long long>(row.wall_ns), row.min.value_or(-1),
                row.max.value_or(-1), row.mean.value_or(-1), row.last.value_or(-1),
                static_cast<long long>(row.durations[0]), static_cast<long long>(row.durations[1]),
                static_cast<long long>(row.durations[2]), static_cast<long long>(row.durations[3]),
                static_cast<long long>(row.durations[4]), static_cast<long long>(row.changes));
  return text;
}

// The summary rows of `session` as the file holds them.
inline std::vector<std::string> StoredSummaries(record::Database& db, std::int64_t session) {
  record::Statement rows = db.Prepare(
      "SELECT device, period_ns, t_ns, wall_ns, min, max, mean, last, valid_ns, below_ns, over_ns, fault_ns, "
      "nodata_ns, changes FROM summary WHERE session = ?1");
  rows.Bind(1, session);
  std::vector<std::string> out;
  while (rows.Step()) {
    const std::string device = rows.Text(0);
    record::SummaryRow row;
    row.device = device;
    row.period_ns = rows.Integer(1);
    row.t_ns = rows.Integer(2);
    row.wall_ns = rows.Integer(3);
    row.min = rows.OptionalReal(4);
    row.max = rows.OptionalReal(5);
    row.mean = rows.OptionalReal(6);
    row.last = rows.OptionalReal(7);
    for (int q = 0; q < 5; ++q) row.durations[static_cast<std::size_t>(q)] = rows.Integer(8 + q);
    row.changes = rows.Integer(13);
    out.push_back(DescribeSummary(row));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// What the rows of `session` say, an hour at a time up to its last_t_ns.
inline std::vector<std::string> SummariesFromRaw(record::Database& db, std::int64_t session) {
  record::Statement last = db.Prepare("SELECT last_t_ns FROM session WHERE id = ?1");
  last.Bind(1, session);
  const std::int64_t end = last.Step() ? last.Integer(0) : 0;
  std::vector<std::string> out;
  for (std::int64_t from = 0; from < end; from += record::kHourNs)
    record::SummariseFromRaw(db, session, from, std::min(from + record::kHourNs, end),
                             [&](const record::SummaryRow& row) { out.push_back(DescribeSummary(row)); });
  std::sort(out.begin(), out.end());
  return out;
}

// One line each, for a readable difference.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace halvorn::testing
