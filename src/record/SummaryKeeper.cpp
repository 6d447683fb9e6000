#include "record/SummaryKeeper.h"

#include <algorithm>
#include <string>

namespace halvorn::record {

Summariser::Sink SummaryKeeper::Storing(Database& db) {
  return [this, &db](const SummaryRow& row) {
    if (!m_insert) m_insert.emplace(PrepareSummaryInsert(db));
    StoreSummary(*m_insert, m_session, row);
  };
}

void SummaryKeeper::Take(Database& db, const Item& item) {
  if (item.kind == Item::Kind::DeviceState && item.text[0] && SummarisedIndex(*item.text[0]) >= 0) {
    m_summariser.Reading(*item.text[0], item.t_ns, item.wall_ns, static_cast<Quality>(item.code),
                         item.value, Storing(db));
  } else if (item.kind == Item::Kind::Event && item.text[0] == "gap") {
    // Nothing was kept from the first item lost on; the gap's own row is
    // stamped when items were kept again.
    const std::int64_t began = item.began_ns.value_or(item.t_ns);
    m_summariser.Gap(began, item.wall_ns - (item.t_ns - began), Storing(db));
  }
}

void SummaryKeeper::EndBatch(Database& db, std::int64_t newest, std::int64_t wall) {
  m_summariser.Advance(newest, wall, Storing(db));
  // Every hour that ended by now was handed out, with rows or without.
  const std::int64_t complete = m_summariser.now() / kHourNs * kHourNs;
  m_pendingSummarisedT = m_summarisedT;
  if (complete <= m_summarisedT) return;
  Statement update = db.Prepare("UPDATE session SET summarised_t_ns = ?1 WHERE id = ?2");
  update.Bind(1, complete).Bind(2, m_session).Step();
  m_pendingSummarisedT = complete;
}

void SummaryKeeper::Committed() {
  m_summarisedT = m_pendingSummarisedT;
  Release();
}

void SummaryKeeper::RolledBack() {
  m_summariser = m_beforeBatch;
  Release();
}

void SummaryKeeper::Release() { m_insert.reset(); }

void SummaryKeeper::Finish(Database& db, std::int64_t last) {
  m_summariser.Finish(last, 0, Storing(db));
  Statement update = db.Prepare("UPDATE session SET summarised_t_ns = ?1 WHERE id = ?2");
  update.Bind(1, last).Bind(2, m_session).Step();
  Release();
}

bool SummaryKeeper::CatchUp(Database& db, std::chrono::milliseconds budget) {
  if (m_caughtUp) return false;
  const auto deadline = std::chrono::steady_clock::now() + budget;
  try {
    do {
      std::optional<std::int64_t> older;
      {
        Statement next = db.Prepare(
            "SELECT id FROM session WHERE id <> ?1 AND summarised_t_ns < last_t_ns ORDER BY id "
            "LIMIT 1");
        next.Bind(1, m_session);
        if (next.Step()) older = next.Integer(0);
      }
      // No other panel appends to this record while we do: once none
      // lacks its summaries, none will.
      if (!older) {
        m_caughtUp = true;
        return false;
      }
      SummariseNextHour(db, *older);
    } while (std::chrono::steady_clock::now() < deadline);
  } catch (const DatabaseError& e) {
    if (e.code() == SQLITE_BUSY || e.code() == SQLITE_LOCKED) return true;
    // Anything else (the disk) the live commits meet and tell themselves;
    // the older summaries wait for another run.
    m_caughtUp = true;
    return false;
  }
  return true;
}

bool SummariseNextHour(Database& db, std::int64_t session) {
  Transaction transaction(db);
  std::int64_t summarised = 0;
  std::int64_t last = 0;
  {
    Statement read = db.Prepare("SELECT summarised_t_ns, last_t_ns FROM session WHERE id = ?1");
    read.Bind(1, session);
    if (!read.Step()) return false;
    summarised = read.Integer(0);
    last = read.Integer(1);
  }
  if (summarised >= last) return false;
  // The hour a run was in when it stopped may have its first minutes only.
  const std::int64_t from = std::max<std::int64_t>(0, summarised) / kHourNs * kHourNs;
  const std::int64_t to = std::min(from + kHourNs, last);
  {
    // Named in full so that the index finds them, however long the session.
    std::string devices;
    for (const std::string_view device : kSummarisedDevices) {
      devices += devices.empty() ? "'" : ", '";
      devices += device;
      devices += "'";
    }
    Statement stale = db.Prepare("DELETE FROM summary WHERE session = ?1 AND period_ns IN (" +
                                 std::to_string(kMinuteNs) + ", " + std::to_string(kHourNs) +
                                 ") AND device IN (" + devices + ") AND t_ns >= ?2");
    stale.Bind(1, session).Bind(2, from).Step();
    Statement insert = PrepareSummaryInsert(db);
    SummariseFromRaw(db, session, from, to,
                     [&](const SummaryRow& row) { StoreSummary(insert, session, row); });
    Statement update = db.Prepare("UPDATE session SET summarised_t_ns = ?1 WHERE id = ?2");
    update.Bind(1, to).Bind(2, session).Step();
  }
  transaction.Commit();
  return true;
}

}  // namespace halvorn::record
