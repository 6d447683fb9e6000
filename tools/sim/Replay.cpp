#include "Replay.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "record/Schema.h"

namespace halvorn::sim {
namespace {

// A time in nanoseconds, held at the ends of 64-bit nanoseconds rather than
// overflowing (a conversion out of range is undefined).
std::int64_t SaturatedNanoseconds(double ns) {
  if (std::isnan(ns) || ns <= 0.0) return 0;
  if (ns >= 9.2e18) return INT64_MAX;
  return std::llround(ns);
}

// A wall-clock time as --list shows it, in UTC.
std::string UtcText(std::int64_t wallNs) {
  const time_t seconds = static_cast<time_t>(wallNs / 1'000'000'000);
  tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return text;
}

}  // namespace

std::vector<SessionSummary> ListSessions(record::Database& db) {
  // Records before layout 4 never removed anything.
  const bool retained = record::LayoutOf(db) >= 4;
  record::Statement rows = db.Prepare(
      std::string("SELECT s.id, s.started_wall_ns, s.last_t_ns, s.ended, ") + (retained ? "s.raw_from_t_ns," : "0,") +
      " (SELECT coalesce(sum(length(bytes)), 0) FROM traffic WHERE session = s.id AND direction = 0),"
      " (SELECT count(*) FROM traffic WHERE session = s.id AND direction = 1)"
      " FROM session s ORDER BY s.id");
  std::vector<SessionSummary> sessions;
  while (rows.Step()) {
    sessions.push_back({rows.Integer(0), rows.Integer(1), rows.Integer(2), rows.Integer(5), rows.Integer(6),
                        rows.Integer(3) != 0, rows.Integer(4)});
  }
  return sessions;
}

std::string FormatSessions(const std::vector<SessionSummary>& sessions) {
  std::string text = "session  started (UTC)         length s  bytes received  frames sent\n";
  for (const SessionSummary& s : sessions) {
    char line[200];
    std::snprintf(line, sizeof line, "%7lld  %s  %8.1f  %14lld  %11lld", static_cast<long long>(s.number),
                  UtcText(s.startedWallNs).c_str(), static_cast<double>(s.lengthNs) / 1e9,
                  static_cast<long long>(s.bytesReceived), static_cast<long long>(s.framesSent));
    text += line;
    if (!s.ended) text += "  (not closed cleanly)";
    if (s.rawFromNs > 0 && s.rawFromNs >= s.lengthNs) {
      text += "  (its traffic was removed: it cannot be replayed)";
    } else if (s.rawFromNs > 0) {
      // The wall clock as the session's start and its own clock give it.
      std::snprintf(line, sizeof line, "  (its traffic before %s was removed: it replays only from there, --from %.0f)",
                    UtcText(s.startedWallNs + s.rawFromNs).c_str(), std::ceil(static_cast<double>(s.rawFromNs) / 1e9));
      text += line;
    }
    text += '\n';
  }
  return text;
}

std::int64_t NewestSession(record::Database& db) {
  record::Statement newest = db.Prepare("SELECT max(id) FROM session");
  if (!newest.Step() || newest.IsNull(0)) throw record::DatabaseError(SQLITE_NOTFOUND, "the record holds no session");
  return newest.Integer(0);
}

std::int64_t ReplayableFromNs(record::Database& db, std::int64_t session) {
  if (record::LayoutOf(db) < 4) return 0;
  record::Statement from = db.Prepare("SELECT raw_from_t_ns FROM session WHERE id = ?1");
  from.Bind(1, session);
  return from.Step() ? from.Integer(0) : 0;
}

std::vector<ReplayChunk> LoadReplay(record::Database& db, std::int64_t session, double fromSeconds,
                                    std::optional<double> toSeconds) {
  record::Statement exists = db.Prepare("SELECT count(*) FROM session WHERE id = ?1");
  exists.Bind(1, session);
  if (!exists.Step() || exists.Integer(0) == 0) {
    throw record::DatabaseError(SQLITE_NOTFOUND, "the record has no session " + std::to_string(session));
  }
  // Played from where the traffic is whole: nothing waits out the time
  // whose traffic was removed.
  const std::int64_t from = std::max(SaturatedNanoseconds(fromSeconds * 1e9), ReplayableFromNs(db, session));
  const std::int64_t to = toSeconds ? SaturatedNanoseconds(*toSeconds * 1e9) : INT64_MAX;
  record::Statement rows = db.Prepare(
      "SELECT t_ns, bytes FROM traffic WHERE session = ?1 AND direction = ?2 AND t_ns >= ?3 AND t_ns <= ?4"
      " ORDER BY t_ns, rowid");
  rows.Bind(1, session).Bind(2, static_cast<int>(record::Direction::Received)).Bind(3, from).Bind(4, to);
  std::vector<ReplayChunk> chunks;
  while (rows.Step()) chunks.push_back({std::chrono::nanoseconds(rows.Integer(0) - from), rows.Text(1)});
  return chunks;
}

ReplayPlayer::ReplayPlayer(std::vector<ReplayChunk> chunks, double speed)
    : m_chunks(std::move(chunks)), m_speed(std::isfinite(speed) && speed > 0.0 ? speed : 1.0) {}

std::optional<std::chrono::nanoseconds> ReplayPlayer::NextDue() const {
  if (Done()) return std::nullopt;
  return std::chrono::nanoseconds(SaturatedNanoseconds(static_cast<double>(m_chunks[m_next].at.count()) / m_speed));
}

std::string ReplayPlayer::TakeDue(std::chrono::nanoseconds elapsed) {
  std::string due;
  while (!Done() && *NextDue() <= elapsed) due += m_chunks[m_next++].bytes;
  return due;
}

}  // namespace halvorn::sim
