#include "Replay.h"

#include <time.h>

#include <cmath>
#include <cstdio>

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

}  // namespace

std::vector<SessionSummary> ListSessions(record::Database& db) {
  record::Statement rows = db.Prepare(
      "SELECT s.id, s.started_wall_ns, s.last_t_ns, s.ended,"
      " (SELECT coalesce(sum(length(bytes)), 0) FROM traffic WHERE session = s.id AND direction = 0),"
      " (SELECT count(*) FROM traffic WHERE session = s.id AND direction = 1)"
      " FROM session s ORDER BY s.id");
  std::vector<SessionSummary> sessions;
  while (rows.Step()) {
    sessions.push_back({rows.Integer(0), rows.Integer(1), rows.Integer(2), rows.Integer(4), rows.Integer(5),
                        rows.Integer(3) != 0});
  }
  return sessions;
}

std::string FormatSessions(const std::vector<SessionSummary>& sessions) {
  std::string text = "session  started (UTC)         length s  bytes received  frames sent\n";
  for (const SessionSummary& s : sessions) {
    const time_t seconds = static_cast<time_t>(s.startedWallNs / 1'000'000'000);
    tm utc{};
    ::gmtime_r(&seconds, &utc);
    char started[32];
    std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", &utc);
    char line[160];
    std::snprintf(line, sizeof line, "%7lld  %s  %8.1f  %14lld  %11lld%s\n", static_cast<long long>(s.number),
                  started, static_cast<double>(s.lengthNs) / 1e9, static_cast<long long>(s.bytesReceived),
                  static_cast<long long>(s.framesSent), s.ended ? "" : "  (not closed cleanly)");
    text += line;
  }
  return text;
}

std::int64_t NewestSession(record::Database& db) {
  record::Statement newest = db.Prepare("SELECT max(id) FROM session");
  if (!newest.Step() || newest.IsNull(0)) throw record::DatabaseError(SQLITE_NOTFOUND, "the record holds no session");
  return newest.Integer(0);
}

std::vector<ReplayChunk> LoadReplay(record::Database& db, std::int64_t session, double fromSeconds,
                                    std::optional<double> toSeconds) {
  record::Statement exists = db.Prepare("SELECT count(*) FROM session WHERE id = ?1");
  exists.Bind(1, session);
  if (!exists.Step() || exists.Integer(0) == 0) {
    throw record::DatabaseError(SQLITE_NOTFOUND, "the record has no session " + std::to_string(session));
  }
  const std::int64_t from = SaturatedNanoseconds(fromSeconds * 1e9);
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
