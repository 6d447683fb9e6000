#include "SessionRecord.h"

#include <time.h>

namespace halvorn::shell {
namespace {

std::int64_t Nanoseconds(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

record::Stamp SystemClock::Now() const { return {Nanoseconds(CLOCK_MONOTONIC), Nanoseconds(CLOCK_REALTIME)}; }

SessionRecord::SessionRecord(const std::string& path, const record::SessionInfo& info,
                             std::optional<int> keepDays)
    : m_path(path) {
  std::optional<record::KeepDays> keep;
  if (keepDays) keep = record::KeepDays{*keepDays, &m_clock};
  try {
    m_writer.emplace(record::RecordFile(path), m_queue, info, record::kBusyPatience, keep);
  } catch (const record::RecordRefused&) {
    throw;
  } catch (const record::DatabaseError& e) {
    m_startFailure = e.what();
    return;
  }
  m_recorder.Recording(
      "recording to " + path +
      (keepDays ? ", keeping raw traffic and readings " + std::to_string(*keepDays) +
                      (*keepDays == 1 ? " day" : " days")
                : std::string()));
}

}  // namespace halvorn::shell
