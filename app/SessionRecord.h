// The session record of one run of the panel (--record FILE): the file,
// its writer thread, and the recorder the window feeds. Made before the
// window opens, so that a file that cannot be a record stops the start.
#pragma once

#include <optional>
#include <string>

#include "record/Clock.h"
#include "record/ItemQueue.h"
#include "record/RecordWriter.h"
#include "record/Recorder.h"

namespace halvorn::shell {

// The machine's clocks: steady for order and spacing, real time for people.
class SystemClock : public record::Clock {
 public:
  record::Stamp Now() const override;
};

class SessionRecord {
 public:
  // Opens or creates `path` and starts a session in it. Throws
  // record::DatabaseError with a message for the operator.
  SessionRecord(const std::string& path, const record::SessionInfo& info);
  SessionRecord(const SessionRecord&) = delete;
  SessionRecord& operator=(const SessionRecord&) = delete;
  // Commits the rest and closes the session cleanly.
  ~SessionRecord() = default;

  record::Recorder& recorder() { return m_recorder; }
  const std::string& path() const { return m_writer.path(); }
  // Why recording stopped during the run; empty while it works.
  std::optional<std::string> Failure() const { return m_writer.Failure(); }

 private:
  // About a minute of flood in each of the two buffers.
  static constexpr std::size_t kQueueBytes = 4 * 1024 * 1024;

  SystemClock m_clock;
  record::ItemQueue m_queue{kQueueBytes};
  record::Recorder m_recorder{m_queue, m_clock};
  record::RecordWriter m_writer;
};

}  // namespace halvorn::shell
