// Keeping a record bounded over a year (halvorn-panel --record-keep DAYS):
// what crossed the line (traffic) and the gauges' and flows' raw readings
// (device_state of G1..G8 and MFC1..MFC4) older than the kept days go, once
// the summaries of that time are complete (t_ns < session.summarised_t_ns);
// everything else stays: the summaries, every row where a reading's quality
// changed (a fault, a grey, a return to valid: what the event log and the
// viewer's quality bands are made of), the switched devices' states, the
// operator's actions and commands, events and alarms. A session's
// raw_from_t_ns says from where its raw rows are whole.
//
// The writer's thread runs a step between two commits: a step removes at
// most `batchRows` rows from each of the two tables in one transaction, or,
// once nothing is left to remove, gives at most `vacuumPages` free pages
// back to the file system (PRAGMA incremental_vacuum), so that the live
// items' commit every 200 ms is never held for long. A step keeps no state
// of its own: where a session stands is in the file (raw_from_t_ns), so a
// panel started again goes on where the last one stopped.
//
// Age is told by the wall clock: a row goes when its wall_ns is older than
// `now` less the kept days. The rows are walked on their session's own
// clock (t_ns) up to where the wall clock, counted from the session's start,
// reaches that age; a row whose wall_ns is younger all the same (the clock
// was set back during the run) is kept.
#pragma once

#include <cstdint>

#include "record/Database.h"

namespace halvorn::record {

constexpr std::int64_t kDayNs = 86'400'000'000'000;
// The longest retention taken: a century, far inside 64-bit nanoseconds.
constexpr std::int64_t kMostKeepDays = 36'500;

struct RetentionLimits {
  std::int64_t keepDays = 0;       // 1 to kMostKeepDays
  std::int64_t batchRows = 1000;   // removed from each table in one step, at most
  std::int64_t vacuumPages = 256;  // given back in one step, at most (1 MiB of 4 KiB pages)
};

// What one step did.
struct RetentionStep {
  std::int64_t session = 0;  // the session whose rows it removed; 0: none
  std::int64_t trafficRemoved = 0;
  std::int64_t readingsRemoved = 0;
  std::int64_t pagesVacuumed = 0;
  bool more = false;  // there is more to do now
};

// One bounded step of retention at wall clock `nowWallNs` (the writer's
// clock; never read here). Throws DatabaseError (SQLITE_BUSY when another
// program holds the file: the step is simply tried again later).
[[nodiscard]] RetentionStep StepRetention(Database& db, const RetentionLimits& limits,
                                          std::int64_t nowWallNs);

}  // namespace halvorn::record
