#include "RecordReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "RecordLayout.h"
#include "Saturating.h"
#include "link/SetpointFrame.h"
#include "panel/Devices.h"
#include "record/Summary.h"

namespace halvorn::history {

namespace {

using record::Database;
using record::DatabaseError;
using record::Quality;
using record::Statement;

// A row's time, within a century of its session's start.
Nanoseconds TimeOf(const Statement& row, int column) {
  return std::clamp<Nanoseconds>(row.Integer(column), -kLongestSession, kLongestSession);
}

Quality QualityOf(std::int64_t stored) {
  return stored >= 0 && stored <= static_cast<std::int64_t>(Quality::NotANumber) ? static_cast<Quality>(stored)
                                                                                 : Quality::Fault;
}

// `lowest`: the bound a reading below range stands at (the gauge's lowest
// pressure), NaN for a device that has none.
Sample ReadingSample(const Statement& row, Nanoseconds t, Quality quality, double lowest) {
  Sample s;
  s.t = t;
  s.quality = quality;
  const std::optional<double> value = row.OptionalReal(7);
  if (quality == Quality::Valid && value) s.value = *value;
  if (quality == Quality::BelowRange) s.value = lowest;
  if (quality == Quality::Valid && !value) s.quality = Quality::NoData;  // a valid row without a value says nothing
  return s;
}

// Rows arrive in commit order, which is time order within a session; a row
// older than the last one kept still goes to its place in time, after the
// rows of the same time. Rows are appended as they come and put in order
// once per read, so that however a file orders its rows, a read costs a
// sort and a merge, never an insertion per row.
class TimeOrder {
 public:
  explicit TimeOrder(SessionData& data) : m_data(data) {
    ForEach([this](const auto& rows) { m_sizes.push_back(rows.size()); });
  }
  TimeOrder(const TimeOrder&) = delete;
  TimeOrder& operator=(const TimeOrder&) = delete;
  // Also when a read fails half-way: what it added is kept, in order.
  ~TimeOrder() {
    std::size_t i = 0;
    ForEach([this, &i](auto& rows) { Merge(rows, m_sizes[i++]); });
  }

 private:
  template <typename F>
  void ForEach(F f) {
    for (auto& rows : m_data.gauges) f(rows);
    for (auto& rows : m_data.flows) f(rows);
    for (auto& rows : m_data.setpoints) f(rows);
    for (auto& rows : m_data.devices) f(rows);
    f(m_data.commands);
    f(m_data.events);
    f(m_data.alarms);
  }
  template <typename Row>
  static void Merge(std::vector<Row>& rows, std::size_t kept) {
    const auto byTime = [](const Row& a, const Row& b) { return a.t < b.t; };
    const auto added = rows.begin() + static_cast<std::ptrdiff_t>(std::min(kept, rows.size()));
    if (std::is_sorted(added == rows.begin() ? added : added - 1, rows.end(), byTime)) return;
    std::stable_sort(added, rows.end(), byTime);
    std::inplace_merge(rows.begin(), added, rows.end(), byTime);
  }

  SessionData& m_data;
  std::vector<std::size_t> m_sizes;
};

// One device_state row (rowid, device, t_ns, text, detail, colour,
// quality, value) into `data`.
// `readings`: whether the gauges' and flows' series are read (not only
// their faults).
void TakeState(const Statement& rows, SessionData& data, bool readings = true) {
  const std::string device = rows.Text(1);
  const Nanoseconds t = TimeOf(rows, 2);
  const Quality quality = QualityOf(rows.Integer(6));
  if (!readings) {
    // Only faults come here.
  } else if (const int g = GaugeIndex(device); g >= 0) {
    data.gauges[g].push_back(ReadingSample(rows, t, quality, kGauges[static_cast<std::size_t>(g)].lowestMbar));
  } else if (const int f = FlowIndex(device); f >= 0) {
    data.flows[f].push_back(ReadingSample(rows, t, quality, std::nan("")));
  }
  if (quality != Quality::Fault && TimelineIndex(device) < 0) return;
  DeviceState state;
  state.t = t;
  const auto colour = rows.OptionalInteger(5);
  if (colour) state.colour = static_cast<std::uint32_t>(*colour);
  state.quality = quality;
  // A gauge's fault text is its state caption; its value caption is "---".
  state.text = rows.IsNull(4) || quality != Quality::Fault ? rows.Text(3) : rows.Text(4);
  if (const int band = TimelineIndex(device); band >= 0) data.devices[band].push_back(state);
  if (quality == Quality::Fault) data.faults.emplace_back(device, std::move(state));
}

constexpr const char* kStateColumns =
    "SELECT rowid, device, t_ns, text, detail, colour, quality, value FROM device_state";

bool LoadStates(Database& db, SessionData& data) {
  // "+session" keeps SQLite on the rowid: following the end of a growing
  // record then reads only the new rows. The controller's uptime is no
  // part of any view.
  Statement rows = db.Prepare(std::string(kStateColumns) +
                              " WHERE +session = ?1 AND rowid > ?2 AND device <> 'UPTIME' ORDER BY rowid");
  rows.Bind(1, data.session.id).Bind(2, data.lastStateRow);
  bool any = false;
  while (rows.Step()) {
    any = true;
    data.lastStateRow = rows.Integer(0);
    TakeState(rows, data);
  }
  return any;
}

// `names` as an SQL list: ('V1', 'V2', ...). The names are the panel's own.
template <typename Names>
std::string SqlList(const Names& names) {
  std::string list = "(";
  for (const auto& name : names) list += (list.size() > 1 ? ",'" : "'") + std::string(name) + "'";
  return list + ")";
}

std::string ReadingDevices() {
  std::vector<std::string> names;
  for (int c = 0; c < kChannelCount; ++c) names.push_back(ChannelName(c));
  return SqlList(names);
}

std::string OtherDevices() {
  std::vector<std::string_view> names;
  for (const Device& device : kDevices)
    if (GaugeIndex(device.name) < 0 && FlowIndex(device.name) < 0) names.push_back(device.name);
  return SqlList(names);
}

// The rowid before the session's first row at or after `t` (the last row
// of the table when there is none): where a scan in rowid order begins.
std::int64_t FirstRowFrom(Database& db, std::int64_t session, Nanoseconds t) {
  if (t <= 0) return 0;
  Statement first = db.Prepare("SELECT min(rowid) FROM device_state WHERE session = ?1 AND t_ns >= ?2");
  first.Bind(1, session).Bind(2, t);
  if (first.Step() && !first.IsNull(0)) return first.Integer(0) - 1;
  Statement last = db.Prepare("SELECT max(rowid) FROM device_state");
  return last.Step() && !last.IsNull(0) ? last.Integer(0) : 0;
}

// Where a minute's summary says a gauge or flow was in fault but its raw
// rows are gone, the minute itself stands for the fault in the log.
DeviceState RemovedFault(Nanoseconds t, std::int64_t faultNs) {
  DeviceState state;
  state.t = t;
  state.quality = Quality::Fault;
  state.text = "fault for " + std::to_string((faultNs + kNanosecondsPerSecond - 1) / kNanosecondsPerSecond) +
               " s of this minute (its readings are no longer kept)";
  return state;
}

// Everything but the readings of gauges and flows, by device through its
// index; of the readings only the faults. Those are found where the
// record's minute summaries say a fault was, and beyond its summaries
// among the raw rows, so that a year of record is not read for a few faults.
bool LoadStatesWithoutReadings(Database& db, SessionData& data, std::int64_t layout) {
  Statement rows = db.Prepare(std::string(kStateColumns) + " WHERE session = ?1 AND device IN " + OtherDevices() +
                              " AND rowid > ?2 ORDER BY rowid");
  rows.Bind(1, data.session.id).Bind(2, data.lastStateRow);
  bool any = false;
  while (rows.Step()) {
    any = true;
    data.lastStateRow = std::max(data.lastStateRow, rows.Integer(0));
    TakeState(rows, data);
  }
  if (layout >= 4 && data.lastReadingRow == 0 && data.readingFaultsFrom == 0) {
    Statement bounds = db.Prepare("SELECT summarised_t_ns, raw_from_t_ns FROM session WHERE id = ?1");
    bounds.Bind(1, data.session.id);
    const bool known = bounds.Step();
    const Nanoseconds summarised = known ? TimeOf(bounds, 0) : 0;
    const Nanoseconds rawFrom = known ? TimeOf(bounds, 1) : 0;
    Statement minutes = db.Prepare(
        "SELECT device, t_ns, fault_ns FROM summary WHERE session = ?1 AND period_ns = ?2 AND fault_ns > 0"
        " AND t_ns < ?3 ORDER BY t_ns");
    minutes.Bind(1, data.session.id).Bind(2, record::kMinuteNs).Bind(3, summarised);
    Statement faults = db.Prepare(std::string(kStateColumns) +
                                  " WHERE session = ?1 AND device = ?2 AND t_ns >= ?3 AND t_ns < ?4 AND quality = 3"
                                  " ORDER BY t_ns");
    while (minutes.Step()) {
      const std::string device = minutes.Text(0);
      const Nanoseconds t = TimeOf(minutes, 1);
      if (t < rawFrom) {
        data.faults.emplace_back(device, RemovedFault(t, minutes.Integer(2)));
        continue;
      }
      faults.Reset();
      faults.Bind(1, data.session.id).Bind(2, device).Bind(3, t).Bind(4, SaturatingAdd(t, record::kMinuteNs));
      while (faults.Step()) TakeState(faults, data, false);
    }
    data.readingFaultsFrom = summarised;
  }
  // Beyond the summaries: the raw rows in the order they were written,
  // which reads the file front to back instead of hopping through an
  // index, and on following reads only what is new.
  if (data.lastReadingRow == 0) data.lastReadingRow = FirstRowFrom(db, data.session.id, data.readingFaultsFrom);
  Statement newestRow = db.Prepare("SELECT max(rowid) FROM device_state");
  const std::int64_t through = newestRow.Step() && !newestRow.IsNull(0) ? newestRow.Integer(0) : 0;
  Statement tail = db.Prepare(std::string(kStateColumns) + " WHERE +session = ?1 AND rowid > ?2 AND rowid <= ?3" +
                              " AND t_ns >= ?4 AND quality = 3 AND device IN " + ReadingDevices() + " ORDER BY rowid");
  tail.Bind(1, data.session.id).Bind(2, data.lastReadingRow).Bind(3, through).Bind(4, data.readingFaultsFrom);
  while (tail.Step()) {
    any = true;
    TakeState(tail, data, false);
  }
  data.lastReadingRow = std::max(data.lastReadingRow, through);
  const Nanoseconds newestReading = NewestReading(db, data.session.id);
  any = any || newestReading != data.newestReading;
  data.newestReading = newestReading;
  return any;
}

bool LoadCommands(Database& db, SessionData& data) {
  Statement rows = db.Prepare(
      "SELECT rowid, t_ns, procedure, device, argument FROM action"
      " WHERE +session = ?1 AND rowid > ?2 ORDER BY rowid");
  rows.Bind(1, data.session.id).Bind(2, data.lastActionRow);
  bool any = false;
  while (rows.Step()) {
    any = true;
    data.lastActionRow = rows.Integer(0);
    data.commands.push_back(Command{TimeOf(rows, 1), rows.Text(2), rows.Text(3), rows.Text(4)});
  }
  return any;
}

// The setpoints are what went out on the line, never what was typed: a
// text typed while the port was closed sent nothing. A layout-1 record has
// no command rows; they are derived from its traffic as the upgrade does.
bool LoadSetpoints(Database& db, SessionData& data, std::int64_t layout) {
  Statement rows = db.Prepare(
      layout >= 2 ? std::string("SELECT session, t_ns, wall_ns, action, bytes, rowid FROM command"
                                " WHERE +session = ?1 AND rowid > ?2 ORDER BY rowid")
                  : record::CommandsFromTrafficSql("+t.session = ?1 AND t.rowid > ?2") + " ORDER BY t.rowid");
  rows.Bind(1, data.session.id).Bind(2, data.lastCommandRow);
  bool any = false;
  while (rows.Step()) {
    any = true;
    data.lastCommandRow = rows.Integer(5);
    if (const auto setpoint = FlowSetpointOf(rows.Text(4)))
      data.setpoints[static_cast<std::size_t>(setpoint->mfc - 1)].push_back(
          Setpoint{TimeOf(rows, 1), setpoint->percent});
  }
  return any;
}

// A gap holds from the first item lost to when items were kept again; a
// layout-1 record knows only the second, and nothing is carried across
// either.
bool LoadEvents(Database& db, SessionData& data, std::int64_t layout) {
  Statement rows =
      db.Prepare(std::string("SELECT rowid, t_ns, kind, number, text, ") + (layout >= 2 ? "began_t_ns" : "NULL") +
                 " FROM event WHERE +session = ?1 AND rowid > ?2 ORDER BY rowid");
  rows.Bind(1, data.session.id).Bind(2, data.lastEventRow);
  bool any = false;
  while (rows.Step()) {
    any = true;
    data.lastEventRow = rows.Integer(0);
    // The counters, once a minute, are half a million rows a year and no
    // entry of the log: a year's record would be read for nothing.
    std::string kind = rows.Text(2);
    if (kind == "counters") continue;
    data.events.push_back(Event{TimeOf(rows, 1), std::move(kind), rows.OptionalInteger(3), rows.Text(4)});
    if (data.events.back().kind == "gap")
      MarkGap(data, rows.IsNull(5) ? data.events.back().t : std::min(TimeOf(rows, 5), data.events.back().t));
  }
  return any;
}

// The journal of a layout-3 record; an older one ran without alarms.
bool LoadAlarms(Database& db, SessionData& data, std::int64_t layout) {
  if (layout < 3) return false;
  Statement rows = db.Prepare(
      "SELECT rowid, t_ns, point, transition, priority, text, reason, until_t_ns, user FROM alarm"
      " WHERE +session = ?1 AND rowid > ?2 ORDER BY rowid");
  rows.Bind(1, data.session.id).Bind(2, data.lastAlarmRow);
  bool any = false;
  while (rows.Step()) {
    any = true;
    data.lastAlarmRow = rows.Integer(0);
    AlarmRow row{TimeOf(rows, 1), rows.Text(2), rows.Text(3), rows.Text(4), rows.Text(5), {}, {}, {}};
    if (!rows.IsNull(6)) row.reason = rows.Text(6);
    if (!rows.IsNull(7)) row.until = TimeOf(rows, 7);
    if (!rows.IsNull(8)) row.user = rows.Text(8);
    data.alarms.push_back(std::move(row));
  }
  return any;
}

}  // namespace

namespace {

// Opens a record for reading only, under `limits` from its first query on.
// Reading a write-ahead log needs its shared-memory file; in a folder the
// reader cannot write to, SQLite cannot create one, and the file is then
// opened as immutable, which is safe exactly then: without a log file
// beside it no panel is writing it.
Database OpenRecord(const std::string& path, const ReadLimits& limits, ReadBudget& budget) {
  // SQLite's own message for a missing file is "unable to open database
  // file"; say which file and why.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    throw DatabaseError(SQLITE_CANTOPEN, "cannot open " + path + ": no such file");
  // A name is a name: "file:..." is never read as a URI with parameters.
  const std::string name = path.starts_with("file:") ? "./" + path : path;
  const auto open = [&](Database::Mode mode) {
    Database db(name, mode);
    Restrict(db, limits, budget);
    budget.start();
    record::CheckIsRecord(db, path);
    CheckRecordLayout(db, path);
    budget.stop();
    return db;
  };
  try {
    return open(Database::Mode::ReadOnly);
  } catch (const DatabaseError& e) {
    const bool noShm = e.code() == SQLITE_READONLY || e.code() == SQLITE_CANTOPEN;
    if (!noShm || std::filesystem::exists(path + "-wal", error)) throw;
  }
  return open(Database::Mode::Immutable);
}

}  // namespace

RecordReader::RecordReader(const std::string& path, const ReadLimits& limits)
    : m_path(path), m_budget(std::make_unique<ReadBudget>(limits.perRead)), m_db([&] {
        try {
          return OpenRecord(path, limits, *m_budget);
        } catch (const DatabaseError& e) {
          throw Explained(e);
        }
      }()) {
  // A reader in write-ahead-log mode never waits for the panel's writer;
  // the short wait covers only the moment a checkpoint resets the log.
  m_db.SetBusyTimeout(250);
  m_layout = record::LayoutOf(m_db);
}

record::DatabaseError RecordReader::Explained(const DatabaseError& e) const {
  if (e.code() == SQLITE_INTERRUPT && m_budget->expired())
    return DatabaseError(e.code(), m_path + ": reading took longer than " +
                                       std::to_string(m_budget->perRead().count()) +
                                       " ms, more than any record needs (" + e.what() + ")");
  const std::string what = e.what();
  if (what.find(m_path) != std::string::npos) return e;
  return DatabaseError(e.code(), m_path + ": " + what);
}

std::vector<Session> RecordReader::sessions() {
  std::vector<Session> all;
  try {
    m_budget->start();
    Statement rows = m_db.Prepare("SELECT id, started_wall_ns, last_t_ns, ended, version FROM session ORDER BY id");
    while (rows.Step())
      all.push_back(Session{rows.Integer(0), rows.Integer(1), TimeOf(rows, 2), rows.Integer(3) != 0, rows.Text(4)});
  } catch (const DatabaseError& e) {
    m_budget->stop();
    throw Explained(e);
  }
  m_budget->stop();
  return all;
}

template <typename Read>
auto RecordReader::InOneRead(Read read) {
  // One read transaction: the summaries and the session's bounds agree.
  m_db.Exec("BEGIN");
  try {
    m_budget->start();
    auto result = read();
    m_budget->stop();
    m_db.Exec("COMMIT");
    return result;
  } catch (const DatabaseError& e) {
    m_budget->stop();
    m_db.Exec("COMMIT");
    throw Explained(e);
  } catch (...) {
    m_budget->stop();
    m_db.Exec("COMMIT");
    throw;
  }
}

bool RecordReader::loadMore(SessionData& data, Rows rows) {
  // One read: the session row and the rows agree with each other even
  // while the panel commits.
  return InOneRead([&] {
    bool any = false;
    const TimeOrder inOrder(data);
    Statement session = m_db.Prepare("SELECT last_t_ns, ended FROM session WHERE id = ?1");
    session.Bind(1, data.session.id);
    if (session.Step()) {
      const Nanoseconds last = TimeOf(session, 0);
      any = last != data.session.lastTNs || (session.Integer(1) != 0) != data.session.ended;
      data.session.lastTNs = last;
      data.session.ended = session.Integer(1) != 0;
    }
    any = (rows == Rows::All ? LoadStates(m_db, data) : LoadStatesWithoutReadings(m_db, data, m_layout)) || any;
    any = LoadCommands(m_db, data) || any;
    any = LoadSetpoints(m_db, data, m_layout) || any;
    any = LoadEvents(m_db, data, m_layout) || any;
    any = LoadAlarms(m_db, data, m_layout) || any;
    return any;
  });
}

RangeData RecordReader::readRange(const RangeRequest& request) {
  return InOneRead([&] { return ReadRange(m_db, m_layout, request); });
}

void RecordReader::loadReadings(SessionData& data, Nanoseconds from, Nanoseconds to) {
  InOneRead([&] {
    const Nanoseconds through = SaturatingAdd(to, 1);
    for (int c = 0; c < kChannelCount; ++c) {
      auto samples = ReadSamples(m_db, m_layout, data.session.id, c, from, through);
      if (c < kGaugeCount) {
        data.gauges[static_cast<std::size_t>(c)] = std::move(samples);
      } else {
        data.flows[static_cast<std::size_t>(c - kGaugeCount)] = std::move(samples);
      }
    }
    return 0;
  });
}

std::array<std::vector<Bucket>, kChannelCount> RecordReader::readSummaries(std::int64_t session, Nanoseconds period,
                                                                           Nanoseconds from, Nanoseconds to) {
  std::array<Nanoseconds, kChannelCount> periods;
  periods.fill(period);
  return InOneRead([&] { return SummaryBuckets(m_db, m_layout, session, periods, from, to); });
}

std::optional<Session> ChooseSession(const std::vector<Session>& sessions, std::int64_t id) {
  if (sessions.empty()) return std::nullopt;
  if (id == 0) return sessions.back();
  for (const Session& s : sessions)
    if (s.id == id) return s;
  return std::nullopt;
}

}  // namespace halvorn::history
