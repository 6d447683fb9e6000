#include "record/Retention.h"

#include <algorithm>
#include <optional>
#include <string>

#include "record/Summary.h"

namespace halvorn::record {
namespace {

// The summarised devices as an SQL list: ('G1', 'G2', ...).
std::string SummarisedDeviceList() {
  std::string list = "(";
  for (const std::string_view device : kSummarisedDevices) {
    if (list.size() > 1) list += ", ";
    list += "'" + std::string(device) + "'";
  }
  return list + ")";
}

// The session that has raw rows to lose: its raw rows are whole from
// raw_from_t_ns, and may go up to `cut` (summaries complete, old enough).
struct Due {
  std::int64_t session = 0;
  std::int64_t from = 0;
  std::int64_t cut = 0;
};

std::optional<Due> OldestDue(Database& db, std::int64_t limitWallNs) {
  Statement due = db.Prepare(
      "SELECT id, raw_from_t_ns, min(summarised_t_ns, ?1 - started_wall_ns) AS cut FROM session"
      " WHERE raw_from_t_ns < min(summarised_t_ns, ?1 - started_wall_ns) ORDER BY id LIMIT 1");
  due.Bind(1, limitWallNs);
  if (!due.Step()) return std::nullopt;
  return Due{due.Integer(0), due.Integer(1), due.Integer(2)};
}

// The time below which `table` holds at most `rows` rows of [from, cut):
// the t_ns of the next row past them, or `cut`.
std::int64_t BatchEnd(Database& db, const char* table, const Due& due, std::int64_t rows) {
  Statement next = db.Prepare(std::string("SELECT t_ns FROM ") + table +
                              " WHERE session = ?1 AND t_ns >= ?2 AND t_ns < ?3"
                              " ORDER BY t_ns LIMIT 1 OFFSET ?4");
  next.Bind(1, due.session).Bind(2, due.from).Bind(3, due.cut).Bind(4, rows);
  return next.Step() ? next.Integer(0) : due.cut;
}

std::int64_t Changes(Database& db) { return sqlite3_changes64(db.handle()); }

RetentionStep RemoveBatch(Database& db, const Due& due, std::int64_t limitWallNs,
                          std::int64_t batchRows) {
  Transaction transaction(db);
  std::int64_t end = std::min(BatchEnd(db, "traffic", due, batchRows),
                              BatchEnd(db, "device_state", due, batchRows));
  // More than a batch at one instant: that instant alone, a batch at a time.
  if (end <= due.from) end = due.from + 1;

  RetentionStep step;
  step.session = due.session;
  Statement traffic = db.Prepare(
      "DELETE FROM traffic WHERE rowid IN (SELECT rowid FROM traffic"
      " WHERE session = ?1 AND t_ns >= ?2 AND t_ns < ?3 AND wall_ns < ?4 LIMIT ?5)");
  traffic.Bind(1, due.session).Bind(2, due.from).Bind(3, end).Bind(4, limitWallNs);
  traffic.Bind(5, batchRows).Step();
  step.trafficRemoved = Changes(db);

  // A reading goes when its quality is its device's previous row's: the
  // rows where the quality changed stay, and since only rows equal to
  // their predecessor go, every later row keeps a predecessor of the same
  // quality, so what is a change stays one. A device's first row stays.
  Statement readings = db.Prepare(
      "DELETE FROM device_state WHERE rowid IN (SELECT d.rowid FROM device_state d"
      " WHERE d.session = ?1 AND d.t_ns >= ?2 AND d.t_ns < ?3 AND d.wall_ns < ?4"
      " AND d.device IN " +
      SummarisedDeviceList() +
      " AND d.quality IS (SELECT p.quality FROM device_state p"
      "   WHERE p.session = d.session AND p.device = d.device AND p.t_ns <= d.t_ns"
      "   AND (p.t_ns < d.t_ns OR p.rowid < d.rowid) ORDER BY p.t_ns DESC, p.rowid DESC LIMIT 1)"
      " LIMIT ?5)");
  readings.Bind(1, due.session).Bind(2, due.from).Bind(3, end).Bind(4, limitWallNs);
  readings.Bind(5, batchRows).Step();
  step.readingsRemoved = Changes(db);

  // A batch cut short by its limit leaves rows of [from, end): from stays.
  const bool whole = step.trafficRemoved < batchRows && step.readingsRemoved < batchRows;
  if (whole) {
    Statement from = db.Prepare("UPDATE session SET raw_from_t_ns = ?1 WHERE id = ?2");
    from.Bind(1, end).Bind(2, due.session).Step();
  }
  transaction.Commit();
  step.more = true;  // this session's rest, or the next one's, or the space
  return step;
}

}  // namespace

RetentionStep StepRetention(Database& db, const RetentionLimits& limits, std::int64_t nowWallNs) {
  const std::int64_t keepDays = std::clamp<std::int64_t>(limits.keepDays, 1, kMostKeepDays);
  const std::int64_t limitWallNs = nowWallNs - keepDays * kDayNs;
  const std::int64_t batchRows = std::max<std::int64_t>(limits.batchRows, 1);
  if (const std::optional<Due> due = OldestDue(db, limitWallNs))
    return RemoveBatch(db, *due, limitWallNs, batchRows);

  // Nothing left to remove: the space goes back, a little at a time. A
  // record made before incremental auto-vacuum reuses it, never shrinks.
  RetentionStep step;
  if (db.PragmaInteger("auto_vacuum") != 2) return step;
  const std::int64_t free = db.PragmaInteger("freelist_count");
  if (free == 0) return step;
  db.Exec("PRAGMA incremental_vacuum(" +
          std::to_string(std::max<std::int64_t>(limits.vacuumPages, 1)) + ")");
  const std::int64_t left = db.PragmaInteger("freelist_count");
  step.pagesVacuumed = free - left;
  step.more = left > 0;
  return step;
}

}  // namespace halvorn::record
