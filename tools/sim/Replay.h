// Replay of a recorded session: what the controller sent, chunk by chunk,
// with the spacing it had, so a panel connected to the simulator shows what
// was shown then. Reads the record made by halvorn-panel --record.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "record/Database.h"

namespace halvorn::sim {

struct SessionSummary {
  std::int64_t number = 0;
  std::int64_t startedWallNs = 0;
  std::int64_t lengthNs = 0;       // to the newest item committed
  std::int64_t bytesReceived = 0;  // from the controller
  std::int64_t framesSent = 0;     // by the panel
  bool ended = false;              // closed cleanly
  // The traffic before this was removed by the panel's retention
  // (--record-keep): the session replays only from here; 0 when whole.
  std::int64_t rawFromNs = 0;
};

// Every session of the record, oldest first.
std::vector<SessionSummary> ListSessions(record::Database& db);
// The table --list prints, one line per session under a heading; a
// session whose older traffic was removed says from where it can still be
// replayed, or that it cannot be at all.
std::string FormatSessions(const std::vector<SessionSummary>& sessions);

struct ReplayChunk {
  std::chrono::nanoseconds at{};  // from the start of the part played
  std::string bytes;
};

// Where the traffic of `session` is whole from (session.raw_from_t_ns): the
// panel's retention removed what came before; 0 for a whole session.
[[nodiscard]] std::int64_t ReplayableFromNs(record::Database& db, std::int64_t session);

// The chunks the controller sent in `session` from `fromSeconds` up to
// `toSeconds` (the end if none), timed from `fromSeconds`, or from where
// the traffic is whole when that is later (ReplayableFromNs). Throws
// record::DatabaseError when there is no such session.
std::vector<ReplayChunk> LoadReplay(record::Database& db, std::int64_t session, double fromSeconds,
                                    std::optional<double> toSeconds);

// The newest session's number; throws record::DatabaseError when the file
// holds none.
std::int64_t NewestSession(record::Database& db);

// Hands out the chunks as their time comes, `speed` times as fast as they
// were recorded.
class ReplayPlayer {
 public:
  ReplayPlayer(std::vector<ReplayChunk> chunks, double speed);

  // Every chunk due `elapsed` after the start and not yet taken, in order,
  // as one string.
  std::string TakeDue(std::chrono::nanoseconds elapsed);
  // When the next chunk is due, from the start; none once all are taken.
  std::optional<std::chrono::nanoseconds> NextDue() const;
  bool Done() const { return m_next == m_chunks.size(); }
  std::size_t ChunkCount() const { return m_chunks.size(); }

 private:
  std::vector<ReplayChunk> m_chunks;
  double m_speed;
  std::size_t m_next = 0;
};

}  // namespace halvorn::sim
