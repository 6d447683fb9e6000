// What a session record holds: the tables of the SQLite file that
// `halvorn-panel --record FILE` writes and `halvorn-history` and
// `halvorn-sim --replay` read.
//
// Times: every row carries `t_ns`, nanoseconds on a monotonic clock from
// its session's start (orders rows, never jumps), and `wall_ns`,
// nanoseconds since 1970-01-01 UTC on the wall clock (for people; may jump).
// Bytes that crossed the serial line are stored as blobs, byte for byte.
#pragma once

#include <cstdint>
#include <string>

#include "record/Database.h"

namespace halvorn::record {

// Marks the file as a Halvorn record ("HALV"), so that another program's
// database is refused rather than written into.
constexpr std::int32_t kApplicationId = 0x48414C56;
// The layout below; a file with a higher number was written by a newer panel.
// Layout 1 had neither the command table nor event.began_t_ns; layouts 1
// and 2 had no alarm table; layouts 1 to 3 had no summary table and no
// session.summarised_t_ns or session.raw_from_t_ns.
constexpr std::int32_t kSchemaVersion = 4;

// The tables, as `sqlite3 FILE .schema` shows them (comments included).
extern const char* const kSchemaSql;
// The command table of layout 2, after kSchemaSql; apart, so that the
// upgrade of a layout-1 record makes it from the same statement.
extern const char* const kCommandTableSql;
// The alarm journal of layout 3, after the command table.
extern const char* const kAlarmTableSql;
// The per-minute and per-hour summaries of layout 4.
extern const char* const kSummaryTableSql;

// What `device_state.quality` says of the reading it holds.
enum class Quality : std::int8_t {
  Valid = 0,       // `value` holds the reading (mBar or percent)
  BelowRange = 1,  // the gauge reads below its range ("<1", "<1.000E-4")
  OverRange = 2,   // "over range"
  Fault = 3,       // the device reports a fault; `text` or `detail` says which
  NoData = 4,      // greyed: the group stopped answering
  NotANumber = 5,  // a state (open, closed, started...) rather than a reading
};

// What `traffic.direction` says.
enum class Direction : std::int8_t { Received = 0, Sent = 1 };

// Creates the tables in an empty database and marks it as a record, in one
// transaction. Puts the file in write-ahead-log mode.
void CreateSchema(Database& db);

// Throws DatabaseError with a message for people ("FILE is not a Halvorn
// record: ...") unless `db` is a record this program can read: an empty
// file is not a record either.
void CheckIsRecord(Database& db, const std::string& path);

// The record's layout number (`user_version`).
[[nodiscard]] std::int64_t LayoutOf(Database& db);

// Brings a record of layout 1 to 3 to this layout in one transaction:
// to a layout-1 record adds event.began_t_ns and the command table, filled
// from the sessions' traffic (see CommandsFromTrafficSql); to layouts 1 and
// 2 an empty alarm table; to all the session's summarised_t_ns and
// raw_from_t_ns and an empty summary table (the old sessions' summaries
// are made afterwards, see Summary.h). Does nothing to a record of this
// layout.
void UpgradeSchema(Database& db);

// A SELECT of what the command table holds for a layout-1 record, from its
// traffic: every frame sent (direction 1) that is not a poll request, with
// the newest action of its session at or before it. Columns: session, t_ns,
// wall_ns, action, bytes, then the traffic row's rowid; `condition` is
// ANDed onto the traffic rows, which are named `t`.
[[nodiscard]] std::string CommandsFromTrafficSql(const std::string& condition = "1");

// Whether the database has no tables at all (a new or empty file).
bool IsEmpty(Database& db);

}  // namespace halvorn::record
