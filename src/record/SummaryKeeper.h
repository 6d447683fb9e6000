// The writer's side of the summaries: the live session's, made as its
// readings are committed, and those of older sessions that lack theirs (a
// record of an older layout, a session that a crash ended part-way), made
// from their rows an hour at a time between the live commits.
//
// Everything here runs on the writer thread, inside or between its
// transactions; the window's thread never sees it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "record/Database.h"
#include "record/ItemQueue.h"
#include "record/Summary.h"

namespace halvorn::record {

// How long the older sessions' summaries may take after a live commit
// before the writer goes back to waiting; an hour of them is done whole
// once begun, in a transaction of its own.
constexpr std::chrono::milliseconds kCatchUpBudget{50};

class SummaryKeeper {
 public:
  explicit SummaryKeeper(std::int64_t session) : m_session(session) {}

  // One batch of the writer's: what the summaries were is kept, and gone
  // back to unless Committed() is called (the batch will be offered again).
  class Batch {
   public:
    explicit Batch(SummaryKeeper& keeper) : m_keeper(keeper) { keeper.BeginBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch() {
      if (!m_committed) m_keeper.RolledBack();
    }
    void Committed() {
      m_committed = true;
      m_keeper.Committed();
    }

   private:
    SummaryKeeper& m_keeper;
    bool m_committed = false;
  };

  // A batch begins: what the summaries were is kept until Committed() or
  // RolledBack().
  void BeginBatch() { m_beforeBatch = m_summariser; }
  // An item of the batch, inside its transaction: the readings of gauges
  // and flows and the record's gaps count, and closed intervals are stored.
  void Take(Database& db, const Item& item);
  // After the batch's items, inside its transaction: time has reached
  // `newest` (`wall` on the wall clock); closed intervals are stored and
  // session.summarised_t_ns moves to the last whole hour.
  void EndBatch(Database& db, std::int64_t newest, std::int64_t wall);
  void Committed();
  // The batch will be offered again: the summaries go back to what they
  // were before it.
  void RolledBack();

  // The session ends cleanly at `last`, inside the transaction that marks
  // it ended: the cut intervals are stored and summarised_t_ns = `last`.
  void Finish(Database& db, std::int64_t last);

  // Summarises older sessions that lack their summaries, an hour per
  // transaction, until `budget` has passed; a lock held by another program
  // leaves the rest for the next time. True while some remain.
  bool CatchUp(Database& db, std::chrono::milliseconds budget);

 private:
  // The sink that stores closed intervals in `db`.
  [[nodiscard]] Summariser::Sink Storing(Database& db);
  void Release();

  std::int64_t m_session;
  Summariser m_summariser;
  Summariser m_beforeBatch;
  std::int64_t m_summarisedT = 0;  // as committed
  std::int64_t m_pendingSummarisedT = 0;
  std::optional<Statement> m_insert;
  // Set once no older session lacks its summaries.
  bool m_caughtUp = false;
};

// Summarises the next hour of session `session` from its rows, in one
// transaction, from summarised_t_ns rounded down to a whole hour (rows
// from there on are made again). False when the session has all its
// summaries (summarised_t_ns = last_t_ns).
bool SummariseNextHour(Database& db, std::int64_t session);

}  // namespace halvorn::record
