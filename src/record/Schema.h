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
constexpr std::int32_t kSchemaVersion = 1;

// The tables, as `sqlite3 FILE .schema` shows them (comments included).
extern const char* const kSchemaSql;

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

// Whether the database has no tables at all (a new or empty file).
bool IsEmpty(Database& db);

}  // namespace halvorn::record
