// The alarm journal of a session read back: each alarm's life as a span
// (raised to cleared), and EEMUA 191's figures for a time range, each beside
// the guide's target, as the operators' manager reads them.
//
// A raise is every `raised` row: each one announced the point to the
// operator, also when a returned, unacknowledged alarm came back (which is
// still the same alarm, the same span).
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "SessionData.h"

namespace halvorn::history {

enum class AlarmPriority { High, Medium, Low, Other };

// "high" -> High, ...; any other word -> Other.
[[nodiscard]] AlarmPriority PriorityOf(std::string_view word);

// One alarm from its first raise to its clearing.
struct AlarmSpan {
  std::string point;
  AlarmPriority priority = AlarmPriority::Other;  // of the first raise
  std::string text;                               // of the first raise
  Nanoseconds raised = 0;
  Nanoseconds end = 0;   // cleared, or the session's end
  bool cleared = false;  // false: still standing when the record ends
  std::optional<Nanoseconds> acknowledged;  // the first acknowledgement
  // Stretches in which the condition was there: each raise to the next
  // return (or the end).
  std::vector<std::pair<Nanoseconds, Nanoseconds>> active;
};

// Every alarm of `rows` (in time order) in order of its first raise;
// `sessionEnd` ends what was never cleared. Rows of a point without a
// raise before them (a journal cut off at its start) open no span.
[[nodiscard]] std::vector<AlarmSpan> AlarmSpans(const std::vector<AlarmRow>& rows, Nanoseconds sessionEnd);

struct PointCount {
  std::string point;
  int count = 0;
};

constexpr Nanoseconds kTenMinutes = 600 * kNanosecondsPerSecond;
constexpr Nanoseconds kStandingAfter = 24 * 3600 * kNanosecondsPerSecond;
constexpr Nanoseconds kChatterWindow = 60 * kNanosecondsPerSecond;
constexpr int kChatterRaises = 3;
constexpr int kFloodRaises = 10;  // more than this in ten minutes is a flood
constexpr Nanoseconds kAcknowledgeTarget = 300 * kNanosecondsPerSecond;

struct AlarmFigures {
  Nanoseconds from = 0;
  Nanoseconds to = 0;
  int raises = 0;
  // Ten-minute periods from `from` on; a last, shorter one counts as one.
  int periods = 0;
  double per10MinAverage = 0;  // raises per ten minutes of the range
  int per10MinPeak = 0;        // the most raises in one period
  double perHour = 0;
  double perDay = 0;
  int floodPeriods = 0;  // periods with more than kFloodRaises
  double floodPercent = 0;
  // Points active without a break for more than 24 h within the range.
  std::vector<std::string> standing;
  // Points raised kChatterRaises times or more within a minute, with the
  // most raises of one minute.
  std::vector<PointCount> chattering;
  std::vector<PointCount> mostFrequent;  // up to ten, most raises first
  std::array<int, 4> byPriority{};       // raises, indexed by AlarmPriority
  // Of the alarms first raised in the range: how many were acknowledged,
  // and the median time from the first raise to the acknowledgement.
  int acknowledged = 0;
  int neverAcknowledged = 0;
  std::optional<Nanoseconds> medianAcknowledge;
};

// The figures of [from, to] (session clock); `sessionEnd` as for AlarmSpans.
[[nodiscard]] AlarmFigures ComputeAlarmFigures(const std::vector<AlarmRow>& rows, Nanoseconds from, Nanoseconds to,
                                               Nanoseconds sessionEnd);

// The figures as text, one per line with its target and "ok" or "over",
// under `title` (which names the session and range).
[[nodiscard]] std::string FormatAlarmFigures(const AlarmFigures& figures, const std::string& title);

// The report of a session's range as the command line and the window show
// it: the title with the session and its local times, then the figures.
[[nodiscard]] std::string AlarmReportText(const SessionData& data, Nanoseconds from, Nanoseconds to);

// The journal's rows of [from, to] as CSV: time (ISO 8601, local), point,
// transition, priority, text, reason, until (ISO 8601, local), user.
void WriteAlarmCsv(std::ostream& out, const SessionData& data, Nanoseconds from, Nanoseconds to);

}  // namespace halvorn::history
