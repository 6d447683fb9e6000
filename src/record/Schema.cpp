#include "record/Schema.h"

#include "link/PollFrame.h"
#include "record/RecordPath.h"

namespace halvorn::record {

const char* const kSchemaSql = R"sql(
-- One run of the panel. A file holds any number of them.
CREATE TABLE session (
  id INTEGER PRIMARY KEY,       -- session number: 1, 2, ... in the order they were started
  started_wall_ns INTEGER NOT NULL, -- wall-clock time of the start, ns since 1970 UTC
  version TEXT NOT NULL,        -- the panel's version
  command_line TEXT NOT NULL,   -- the arguments the panel was started with, one space between
  port_map TEXT NOT NULL,       -- port number to device: '1=/dev/ttyUSB0 2=/dev/pts/3', '' for the defaults
  last_t_ns INTEGER NOT NULL DEFAULT 0, -- t_ns of the newest item committed so far
  ended INTEGER NOT NULL DEFAULT 0,     -- 1 once the panel closed the record cleanly
  summarised_t_ns INTEGER NOT NULL DEFAULT 0, -- the summary rows are complete up to here (a whole hour, or the end)
  raw_from_t_ns INTEGER NOT NULL DEFAULT 0    -- raw traffic and readings are kept from here on; older ones were removed
);

-- Every chunk the serial port gave and every frame the panel wrote, byte for byte.
CREATE TABLE traffic (
  session INTEGER NOT NULL REFERENCES session(id),
  t_ns INTEGER NOT NULL,        -- monotonic ns from the session's start
  wall_ns INTEGER NOT NULL,     -- wall clock, ns since 1970 UTC
  direction INTEGER NOT NULL,   -- 0 received from the controller, 1 sent to it
  bytes BLOB NOT NULL           -- the bytes as they crossed the line, checksum and carriage return included
);
CREATE INDEX traffic_by_time ON traffic(session, t_ns);

-- What the operator did: the event procedure that ran, and with what.
CREATE TABLE action (
  session INTEGER NOT NULL REFERENCES session(id),
  t_ns INTEGER NOT NULL,        -- monotonic ns from the session's start
  wall_ns INTEGER NOT NULL,     -- wall clock, ns since 1970 UTC
  procedure TEXT NOT NULL,      -- e.g. 'mnuV6Open_Click', 'cmdMFC2_send_Click', 'cmdConnect_Click', 'Combo1_Click'
  device TEXT,                  -- the device it concerns ('V6', 'TMP', 'MFC2'), NULL for none
  argument TEXT NOT NULL        -- menu item caption, setpoint as typed, list choice, button caption
);
CREATE INDEX action_by_time ON action(session, t_ns);

-- Each change of what the operator sees on a device; repeats are not stored.
CREATE TABLE device_state (
  session INTEGER NOT NULL REFERENCES session(id),
  t_ns INTEGER NOT NULL,        -- monotonic ns from the session's start
  wall_ns INTEGER NOT NULL,     -- wall clock, ns since 1970 UTC
  device TEXT NOT NULL,         -- 'V1'..'V14', 'CV1', 'CV2', 'MECH1'..'MECH3', 'TMP', 'ROTARY1', 'ROTARY2', 'G1'..'G8', 'MFC1'..'MFC4', 'ELECTRODE', 'COOLING', 'UPTIME'
  text TEXT NOT NULL,           -- the caption as shown: 'open', 'started', '1.234E-3', '045.5%', a fault text
  detail TEXT,                  -- a gauge's state caption ('ok' or a fault text); NULL for other devices
  colour INTEGER,               -- fill colour of the device's shape: 0x00BBGGRR, or 0x800000nn for a system colour (0x80000011 is the no-data grey); NULL where the device has no shape
  quality INTEGER NOT NULL,     -- 0 valid reading, 1 below range, 2 over range, 3 fault, 4 no data (grey), 5 a state, not a reading
  value REAL                    -- gauges: mBar; flows: percent of full scale; UPTIME: seconds; NULL unless quality is 0
);
CREATE INDEX device_state_by_device ON device_state(session, device, t_ns);
CREATE INDEX device_state_by_time ON device_state(session, t_ns);

-- The link, the controller's warnings, the counters, and the record's own gaps.
CREATE TABLE event (
  session INTEGER NOT NULL REFERENCES session(id),
  t_ns INTEGER NOT NULL,        -- monotonic ns from the session's start
  wall_ns INTEGER NOT NULL,     -- wall clock, ns since 1970 UTC
  kind TEXT NOT NULL,           -- 'opened', 'closed', 'lost', 'open failed', 'warning', 'counters', 'gap', 'recording' (the session's first row: where it is recorded)
  number INTEGER,               -- port number (link), error number (open failed), warning number, items lost (gap)
  text TEXT NOT NULL,           -- what the panel showed ('Port 1 lost', the warning line), or the counters 'good 1234 crc 5'; for a gap why
  began_t_ns INTEGER            -- for a gap: t_ns of the first item lost (t_ns is when items were kept again); NULL otherwise
);
CREATE INDEX event_by_time ON event(session, t_ns);
)sql";

const char* const kCommandTableSql = R"sql(
-- Every frame an operator's action put on the line (every sent frame that is not a poll).
CREATE TABLE command (
  session INTEGER NOT NULL REFERENCES session(id),
  t_ns INTEGER NOT NULL,        -- monotonic ns from the session's start
  wall_ns INTEGER NOT NULL,     -- wall clock, ns since 1970 UTC
  action INTEGER,               -- rowid of the action row that sent it; NULL when not known
  bytes BLOB NOT NULL           -- the frame as written, checksum and carriage return included
);
CREATE INDEX command_by_time ON command(session, t_ns);
)sql";

const char* const kSummaryTableSql = R"sql(
-- Per minute and per hour, for every gauge and flow: what its reading did in the interval.
CREATE TABLE summary (
  session INTEGER NOT NULL REFERENCES session(id),
  device TEXT NOT NULL,         -- 'G1'..'G8', 'MFC1'..'MFC4'
  period_ns INTEGER NOT NULL,   -- the interval's length: 60000000000 (a minute) or 3600000000000 (an hour)
  t_ns INTEGER NOT NULL,        -- the interval's start: monotonic ns from the session's start, a multiple of period_ns
  wall_ns INTEGER NOT NULL,     -- wall clock at t_ns, ns since 1970 UTC
  min REAL,                     -- the lowest valid reading in the interval (mBar or percent); NULL when none was valid
  max REAL,                     -- the highest valid reading
  mean REAL,                    -- the mean of the valid readings, each weighted by how long it held
  last REAL,                    -- the last valid reading
  valid_ns INTEGER NOT NULL,    -- how long within the interval the reading was valid,
  below_ns INTEGER NOT NULL,    --   below range,
  over_ns INTEGER NOT NULL,     --   over range,
  fault_ns INTEGER NOT NULL,    --   in fault,
  nodata_ns INTEGER NOT NULL,   --   without data (grey); the rest is not known (before the first reading, across a gap, after the end)
  changes INTEGER NOT NULL,     -- device_state rows of the device within the interval
  PRIMARY KEY (session, period_ns, device, t_ns)
) WITHOUT ROWID;                -- stored in key order: a device's hours lie together, apart from the minutes
CREATE INDEX summary_faults ON summary(session, period_ns, t_ns) WHERE fault_ns > 0; -- the intervals with a fault, for the event log
)sql";

const char* const kAlarmTableSql = R"sql(
-- Every transition of an alarm, when the panel ran with its alarms on.
CREATE TABLE alarm (
  session INTEGER NOT NULL REFERENCES session(id),
  t_ns INTEGER NOT NULL,        -- monotonic ns from the session's start
  wall_ns INTEGER NOT NULL,     -- wall clock, ns since 1970 UTC
  point TEXT NOT NULL,          -- the alarm point: 'V7', 'G3', 'PORT', 'ANSWERS-GAUGES', 'WARNING-100', 'G6-ABOVE', 'MFC1-DEVIATION'
  transition TEXT NOT NULL,     -- 'raised', 'returned', 'acknowledged', 'shelved', 'unshelved', 'cleared'
  priority TEXT NOT NULL,       -- 'high', 'medium', 'low': the point's priority at the time
  text TEXT NOT NULL,           -- the condition as shown: a fault text, 'Port 1 lost', 'no answers: gauges'
  reason TEXT,                  -- shelved: why, as the operator gave it; NULL otherwise
  until_t_ns INTEGER,           -- shelved: t_ns at which the shelf expires; NULL otherwise
  user TEXT                     -- acknowledged, shelved, unshelved by an operator: the login name; NULL otherwise
);
CREATE INDEX alarm_by_time ON alarm(session, t_ns);
)sql";

std::string CommandsFromTrafficSql(const std::string& condition) {
  std::string polls;
  for (const std::string& frame : PollFrames()) {
    polls += polls.empty() ? "X'" : ", X'";
    for (const unsigned char byte : frame) {
      constexpr char kHex[] = "0123456789ABCDEF";
      polls += kHex[byte >> 4];
      polls += kHex[byte & 15];
    }
    polls += "'";
  }
  // action_by_time finds the newest action at or before each frame.
  return "SELECT t.session, t.t_ns, t.wall_ns,"
         " (SELECT a.rowid FROM action a WHERE a.session = t.session AND a.t_ns <= t.t_ns"
         "  ORDER BY a.t_ns DESC, a.rowid DESC LIMIT 1) AS action,"
         " t.bytes, t.rowid FROM traffic t"
         " WHERE t.direction = 1 AND t.bytes NOT IN (" +
         polls + ") AND (" + condition + ")";
}

void CreateSchema(Database& db) {
  // WAL must be chosen outside a transaction; it lets a viewer read while
  // the panel writes, and a crash loses at most the uncommitted tail.
  // Incremental auto-vacuum can only be chosen before the first table: it
  // lets the space of removed rows go back to the disk (see Retention.h).
  db.Exec("PRAGMA auto_vacuum=INCREMENTAL");
  db.Exec("PRAGMA journal_mode=WAL");
  Transaction create(db);
  db.Exec(kSchemaSql);
  db.Exec(kCommandTableSql);
  db.Exec(kAlarmTableSql);
  db.Exec(kSummaryTableSql);
  db.Exec("PRAGMA application_id=" + std::to_string(kApplicationId));
  db.Exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
  create.Commit();
}

std::int64_t LayoutOf(Database& db) { return db.PragmaInteger("user_version"); }

void UpgradeSchema(Database& db) {
  // Asked first: a record of this layout is not locked for nothing.
  if (LayoutOf(db) >= kSchemaVersion) return;
  Transaction upgrade(db);
  // Read inside the transaction: a second panel cannot upgrade it meanwhile.
  if (LayoutOf(db) >= kSchemaVersion) return;
  if (LayoutOf(db) < 2) {
    db.Exec("ALTER TABLE event ADD COLUMN began_t_ns INTEGER");
    db.Exec(kCommandTableSql);
    db.Exec("INSERT INTO command SELECT session, t_ns, wall_ns, action, bytes FROM (" +
            CommandsFromTrafficSql() + ") ORDER BY session, t_ns");
  }
  // Older sessions ran without alarms: the table starts empty.
  if (LayoutOf(db) < 3) db.Exec(kAlarmTableSql);
  // The old sessions' summaries are computed afterwards, an hour at a time
  // (summarised_t_ns 0: none yet), so that an upgrade never holds the start.
  db.Exec("ALTER TABLE session ADD COLUMN summarised_t_ns INTEGER NOT NULL DEFAULT 0");
  db.Exec("ALTER TABLE session ADD COLUMN raw_from_t_ns INTEGER NOT NULL DEFAULT 0");
  db.Exec(kSummaryTableSql);
  db.Exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
  upgrade.Commit();
}

bool IsEmpty(Database& db) {
  Statement count = db.Prepare("SELECT count(*) FROM sqlite_master");
  return count.Step() && count.Integer(0) == 0;
}

void CheckIsRecord(Database& db, const std::string& path) {
  std::int64_t id = 0;
  std::int64_t version = 0;
  try {
    id = db.PragmaInteger("application_id");
    version = db.PragmaInteger("user_version");
  } catch (const DatabaseError& e) {
    // SQLite reads the header only now: a text file fails here. A lock
    // held elsewhere or the disk fails here too, and says so itself.
    if (!IsWrongFile(e.code())) throw;
    throw DatabaseError(e.code(), path + " is not a Halvorn record: " + e.what());
  }
  if (id != kApplicationId)
    throw DatabaseError(SQLITE_MISMATCH, path +
                                             " is not a Halvorn record (another program's database"
                                             " or an empty file)");
  if (version > kSchemaVersion)
    throw DatabaseError(SQLITE_MISMATCH, path + " was written by a newer panel (record layout " +
                                             std::to_string(version) +
                                             ", this program reads up to " +
                                             std::to_string(kSchemaVersion) + ")");
}

}  // namespace halvorn::record
