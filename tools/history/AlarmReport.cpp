#include "AlarmReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "Saturating.h"
#include "TimeText.h"

namespace halvorn::history {

AlarmPriority PriorityOf(std::string_view word) {
  if (word == "high") return AlarmPriority::High;
  if (word == "medium") return AlarmPriority::Medium;
  if (word == "low") return AlarmPriority::Low;
  return AlarmPriority::Other;
}

std::vector<AlarmSpan> AlarmSpans(const std::vector<AlarmRow>& rows, Nanoseconds sessionEnd) {
  struct Open {
    std::size_t span = 0;
    bool active = false;  // the last stretch of `active` has not returned yet
  };
  std::vector<AlarmSpan> spans;
  std::map<std::string, Open, std::less<>> open;
  for (const AlarmRow& row : rows) {
    const auto found = open.find(row.point);
    if (row.transition == "raised") {
      if (found == open.end()) {
        open[row.point] = Open{spans.size(), true};
        spans.push_back(AlarmSpan{row.point, PriorityOf(row.priority), row.text, row.t, row.t, false, {}, {{row.t, row.t}}});
      } else if (!found->second.active) {  // returned, not yet acknowledged: the same alarm again
        found->second.active = true;
        spans[found->second.span].active.emplace_back(row.t, row.t);
      }
      continue;
    }
    if (found == open.end()) continue;
    AlarmSpan& span = spans[found->second.span];
    if ((row.transition == "returned" || row.transition == "cleared") && found->second.active) {
      span.active.back().second = row.t;
      found->second.active = false;
    }
    if (row.transition == "acknowledged" && !span.acknowledged) span.acknowledged = row.t;
    if (row.transition == "cleared") {
      span.end = row.t;
      span.cleared = true;
      open.erase(found);
    }
  }
  for (const auto& [point, still] : open) {
    AlarmSpan& span = spans[still.span];
    span.end = std::max(sessionEnd, span.active.back().first);
    if (still.active) span.active.back().second = span.end;
  }
  return spans;
}

namespace {

bool IsRaise(const AlarmRow& row, Nanoseconds from, Nanoseconds to) {
  return row.transition == "raised" && row.t >= from && row.t <= to;
}

// The most raises of one point within any kChatterWindow (times in order).
int MostInAMinute(const std::vector<Nanoseconds>& times) {
  int most = 0;
  std::size_t first = 0;
  for (std::size_t last = 0; last < times.size(); ++last) {
    while (times[last] - times[first] > kChatterWindow) ++first;
    most = std::max(most, static_cast<int>(last - first + 1));
  }
  return most;
}

std::optional<Nanoseconds> Median(std::vector<Nanoseconds> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  if (values.size() % 2 == 1) return values[middle];
  return values[middle - 1] + (values[middle] - values[middle - 1]) / 2;
}

}  // namespace

AlarmFigures ComputeAlarmFigures(const std::vector<AlarmRow>& rows, Nanoseconds from, Nanoseconds to,
                                 Nanoseconds sessionEnd) {
  AlarmFigures f;
  f.from = from;
  f.to = std::max(to, from);
  const Nanoseconds length = std::max<Nanoseconds>(f.to - f.from, 1);
  f.periods = static_cast<int>(std::max<Nanoseconds>(1, (length + kTenMinutes - 1) / kTenMinutes));
  std::vector<int> perPeriod(static_cast<std::size_t>(f.periods), 0);
  std::map<std::string, std::vector<Nanoseconds>, std::less<>> raisesOf;
  for (const AlarmRow& row : rows) {
    if (!IsRaise(row, f.from, f.to)) continue;
    ++f.raises;
    ++perPeriod[static_cast<std::size_t>(std::min<Nanoseconds>((row.t - f.from) / kTenMinutes, f.periods - 1))];
    ++f.byPriority[static_cast<std::size_t>(PriorityOf(row.priority))];
    raisesOf[row.point].push_back(row.t);
  }
  const double raises = f.raises;
  f.per10MinAverage = raises * static_cast<double>(kTenMinutes) / static_cast<double>(length);
  f.perHour = f.per10MinAverage * 6;
  f.perDay = f.per10MinAverage * 6 * 24;
  f.per10MinPeak = *std::max_element(perPeriod.begin(), perPeriod.end());
  f.floodPeriods = static_cast<int>(std::count_if(perPeriod.begin(), perPeriod.end(), [](int n) { return n > kFloodRaises; }));
  f.floodPercent = 100.0 * f.floodPeriods / f.periods;

  for (const auto& [point, times] : raisesOf) {
    f.mostFrequent.push_back({point, static_cast<int>(times.size())});
    if (const int most = MostInAMinute(times); most >= kChatterRaises) f.chattering.push_back({point, most});
  }
  std::stable_sort(f.mostFrequent.begin(), f.mostFrequent.end(),
                   [](const PointCount& a, const PointCount& b) { return a.count > b.count; });
  if (f.mostFrequent.size() > 10) f.mostFrequent.resize(10);

  std::vector<Nanoseconds> toAcknowledge;
  for (const AlarmSpan& span : AlarmSpans(rows, sessionEnd)) {
    for (const auto& [began, returned] : span.active) {
      // Within the range: how long it had stood by the range's end.
      const Nanoseconds until = std::min(returned, f.to);
      const bool standing = returned >= f.from && began <= f.to && until - began > kStandingAfter;
      if (standing && std::find(f.standing.begin(), f.standing.end(), span.point) == f.standing.end())
        f.standing.push_back(span.point);
    }
    if (span.raised < f.from || span.raised > f.to) continue;
    if (span.acknowledged) {
      toAcknowledge.push_back(*span.acknowledged - span.raised);
    } else {
      ++f.neverAcknowledged;
    }
  }
  f.acknowledged = static_cast<int>(toAcknowledge.size());
  f.medianAcknowledge = Median(std::move(toAcknowledge));
  return f;
}

namespace {

std::string Printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// "42 s", "4 min 10 s", "26 h 5 min".
std::string Duration(Nanoseconds ns) {
  const std::int64_t s = (ns + kNanosecondsPerSecond / 2) / kNanosecondsPerSecond;
  if (s < 60) return std::to_string(s) + " s";
  if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
  return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

// One figure: what, the value, EEMUA 191's target, and whether it is met.
void Line(std::string& out, const std::string& what, const std::string& value, const std::string& target,
          const std::string& verdict) {
  char text[200];
  std::snprintf(text, sizeof text, "%-42s %-18s %-30s %s", what.c_str(), value.c_str(), target.c_str(), verdict.c_str());
  std::string line = text;
  line.erase(line.find_last_not_of(' ') + 1);
  out += line + "\n";
}

std::string Verdict(bool met) { return met ? "ok" : "over"; }

std::string Points(const std::vector<PointCount>& points, const char* unit) {
  std::string text;
  for (const PointCount& p : points)
    text += (text.empty() ? "" : ", ") + p.point + " (" + std::to_string(p.count) + unit + ")";
  return text;
}

}  // namespace

std::string FormatAlarmFigures(const AlarmFigures& f, const std::string& title) {
  std::string out = title + "\n\n";
  Line(out, "", "value", "EEMUA 191 target", "");
  Line(out, "alarms raised", std::to_string(f.raises), "", "");
  Line(out, "alarms per 10 min, average", Printed("%.2f", f.per10MinAverage), "<= 1 (very likely acceptable)",
       Verdict(f.per10MinAverage <= 1.0));
  Line(out, "alarms per 10 min, peak", std::to_string(f.per10MinPeak), "<= 10", Verdict(f.per10MinPeak <= kFloodRaises));
  Line(out, "alarms per hour", Printed("%.1f", f.perHour), "<= 6", Verdict(f.perHour <= 6.0));
  Line(out, "alarms per day", Printed("%.0f", f.perDay), "<= 144", Verdict(f.perDay <= 144.0));
  Line(out, "10-min periods in flood (> 10 raises)",
       Printed("%.1f %%", f.floodPercent) + " (" + std::to_string(f.floodPeriods) + " of " + std::to_string(f.periods) + ")",
       "< 1 %", Verdict(f.floodPercent < 1.0));
  Line(out, "standing alarms (active > 24 h)", std::to_string(f.standing.size()), "0 (fewer than 10)",
       Verdict(f.standing.empty()));
  Line(out, "chattering points (>= 3 raises in 1 min)", std::to_string(f.chattering.size()), "0",
       Verdict(f.chattering.empty()));
  Line(out, "median time to acknowledge", f.medianAcknowledge ? Duration(*f.medianAcknowledge) : "-", "<= 5 min",
       f.medianAcknowledge ? Verdict(*f.medianAcknowledge <= kAcknowledgeTarget) : "");
  out += "  of " + std::to_string(f.acknowledged + f.neverAcknowledged) + " alarms first raised in the range, " +
         std::to_string(f.acknowledged) + " acknowledged\n";
  if (!f.standing.empty()) {
    std::string points;
    for (const std::string& p : f.standing) points += (points.empty() ? "" : ", ") + p;
    out += "  standing: " + points + "\n";
  }
  if (!f.chattering.empty()) out += "  chattering: " + Points(f.chattering, " raises in a minute") + "\n";

  out += "\npriority split of the raises, against 80 / 15 / 5 % (low / medium / high)\n";
  struct Share {
    AlarmPriority priority;
    const char* name;
    double target;
  };
  for (const Share& s : {Share{AlarmPriority::Low, "low", 80}, Share{AlarmPriority::Medium, "medium", 15},
                         Share{AlarmPriority::High, "high", 5}, Share{AlarmPriority::Other, "other", 0}}) {
    const int n = f.byPriority[static_cast<std::size_t>(s.priority)];
    if (s.priority == AlarmPriority::Other && n == 0) continue;
    const double percent = f.raises ? 100.0 * n / f.raises : 0.0;
    const std::string value = f.raises ? Printed("%.1f %%", percent) + " (" + std::to_string(n) + ")" : "-";
    std::string verdict;
    if (f.raises && s.priority == AlarmPriority::Low) verdict = percent >= s.target ? "ok" : "under";
    if (f.raises && s.priority != AlarmPriority::Low) verdict = Verdict(percent <= s.target);
    Line(out, std::string("  ") + s.name, value, s.priority == AlarmPriority::Other ? "" : Printed("%.0f %%", s.target),
         verdict);
  }

  out += "\nmost frequent points\n";
  if (f.mostFrequent.empty()) out += "  none\n";
  for (std::size_t i = 0; i < f.mostFrequent.size(); ++i) {
    const PointCount& p = f.mostFrequent[i];
    Line(out, Printed("%3.0f. ", static_cast<double>(i + 1)) + p.point, std::to_string(p.count),
         Printed("%.1f %% of the raises", 100.0 * p.count / std::max(f.raises, 1)), "");
  }
  return out;
}

std::string AlarmReportText(const SessionData& data, Nanoseconds from, Nanoseconds to) {
  const Nanoseconds start = data.session.startedWallNs;
  const std::string title = "Alarm report of session " + std::to_string(data.session.id) + ", " +
                            FormatLocalIso(SaturatingAdd(start, from)) + " to " +
                            FormatLocalIso(SaturatingAdd(start, to)) + " (" + Duration(std::max<Nanoseconds>(to - from, 0)) +
                            ")";
  return FormatAlarmFigures(ComputeAlarmFigures(data.alarms, from, to, data.end()), title);
}

namespace {

// A cell as RFC 4180 has it: quoted when it holds a comma, a quote or a
// line break, with its quotes doubled.
void Cell(std::ostream& out, const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    out << text;
    return;
  }
  out << '"';
  for (const char c : text) {
    if (c == '"') out << '"';
    out << c;
  }
  out << '"';
}

}  // namespace

void WriteAlarmCsv(std::ostream& out, const SessionData& data, Nanoseconds from, Nanoseconds to) {
  out << "time,point,transition,priority,text,reason,until,user\n";
  const Nanoseconds start = data.session.startedWallNs;
  for (const AlarmRow& row : data.alarms) {
    if (row.t < from || row.t > to) continue;
    out << FormatLocalIso(SaturatingAdd(start, row.t)) << ',';
    for (const std::string* cell : {&row.point, &row.transition, &row.priority, &row.text}) {
      Cell(out, *cell);
      out << ',';
    }
    if (row.reason) Cell(out, *row.reason);
    out << ',';
    if (row.until) out << FormatLocalIso(SaturatingAdd(start, *row.until));
    out << ',';
    if (row.user) Cell(out, *row.user);
    out << '\n';
  }
}

}  // namespace halvorn::history
