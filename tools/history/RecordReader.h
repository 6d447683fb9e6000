// Reading a session record for the history viewer: read-only, never a
// write, and incremental so that a record the panel is still writing can be
// followed from its end.
#pragma once

#include <string>
#include <vector>

#include "SessionData.h"
#include "record/Database.h"

namespace halvorn::history {

class RecordReader {
 public:
  // Opens `path` read-only and checks that it is a record; throws
  // record::DatabaseError with a message for people otherwise (a missing
  // file included).
  explicit RecordReader(const std::string& path);

  // The sessions of the file in the order they were started (re-read on
  // every call: a following panel adds to them).
  std::vector<Session> sessions();

  // Reads the rows of `data.session.id` added since the last call into
  // `data` (everything on the first call) and refreshes the session row.
  // Returns whether anything new arrived.
  bool loadMore(SessionData& data);

 private:
  std::string m_path;
  record::Database m_db;
};

// The session with number `id`, or the newest when `id` is 0; nullopt when
// there is none.
std::optional<Session> ChooseSession(const std::vector<Session>& sessions, std::int64_t id);

}  // namespace halvorn::history
