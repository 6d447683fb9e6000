// Reading a session record for the history viewer: read-only, never a
// write, and incremental so that a record the panel is still writing can be
// followed from its end.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "RangeRead.h"
#include "ReadLimits.h"
#include "SessionData.h"
#include "record/Database.h"

namespace halvorn::history {

class RecordReader {
 public:
  // Opens `path` read-only and checks that it is a record whose tables are
  // as its layout has them; throws record::DatabaseError with a message for
  // people otherwise (a missing file included). Every read is bounded by
  // `limits`; one that is not within them throws too, naming the file.
  explicit RecordReader(const std::string& path, const ReadLimits& limits = {});

  // The sessions of the file in the order they were started (re-read on
  // every call: a following panel adds to them).
  std::vector<Session> sessions();

  // Which rows loadMore reads: all, or all but the readings of the gauges
  // and flows (a window reads those by range, see RangeRead.h); their
  // faults are still read, for the event log.
  enum class Rows : std::uint8_t { All, WithoutReadings };

  // Reads the rows of `data.session.id` added since the last call into
  // `data` (everything on the first call) and refreshes the session row.
  // Returns whether anything new arrived. One `data` is always read with
  // the same `rows`.
  bool loadMore(SessionData& data, Rows rows = Rows::All);

  // The gauges and flows of `request` at the resolution its width needs
  // (see RangeRead.h), in one read transaction.
  [[nodiscard]] RangeData readRange(const RangeRequest& request);
  // Every reading of the gauges and flows of `data.session` in [from, to]
  // and the one in force at `from`, into `data.gauges` and `data.flows`
  // (replacing what they held), in one read: what a CSV of a range needs,
  // without the rest of the session.
  void loadReadings(SessionData& data, Nanoseconds from, Nanoseconds to);
  // The summaries of [from, to) of session `session` at `period` (a minute
  // or an hour) for every channel (see SummaryBuckets), in one read.
  [[nodiscard]] std::array<std::vector<Bucket>, kChannelCount> readSummaries(std::int64_t session, Nanoseconds period,
                                                                             Nanoseconds from, Nanoseconds to);

  const std::string& path() const { return m_path; }

  // While `flag` is set (from any thread), every read of this reader ends
  // at its next thousand steps of SQLite with record::DatabaseError
  // SQLITE_INTERRUPT: set before a read begins, between two of its
  // statements or during one, it is never missed. `flag` outlives the
  // reader.
  void cancelWhen(const std::atomic<bool>& flag) { m_budget->cancelWith(&flag); }

 private:
  // `e` with the file's name, and why when the read ran out of time.
  record::DatabaseError Explained(const record::DatabaseError& e) const;
  // Runs `read` in one read transaction under the read's budget.
  template <typename Read>
  auto InOneRead(Read read);

  std::string m_path;
  std::unique_ptr<ReadBudget> m_budget;  // before m_db: the connection holds its address
  record::Database m_db;
  std::int64_t m_layout = 0;
};

// The session with number `id`, or the newest when `id` is 0; nullopt when
// there is none.
std::optional<Session> ChooseSession(const std::vector<Session>& sessions, std::int64_t id);

}  // namespace halvorn::history
