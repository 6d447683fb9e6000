// The session record of one run of the panel (--record FILE): the file,
// its writer thread, and the recorder the window feeds. Made before the
// window opens, so that a name or file that can never be a record stops the
// start; a record that fails for the moment (another panel records into
// the file, a lock, the disk, a read-only folder) does not keep the panel
// from the operator: the window then says why it is not recording.
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
  // Opens or creates `path` and starts a session in it; with `keepDays`
  // the raw traffic and readings older than that are removed as it runs
  // (record/Retention.h), else nothing ever is. Throws
  // record::RecordRefused, with a message for the operator, when `path`
  // cannot be a record; any other failure leaves it not recording, and
  // Failure() says why from the start.
  SessionRecord(const std::string& path, const record::SessionInfo& info,
                std::optional<int> keepDays = std::nullopt);
  SessionRecord(const SessionRecord&) = delete;
  SessionRecord& operator=(const SessionRecord&) = delete;
  // Commits the rest and closes the session cleanly.
  ~SessionRecord() {
    if (m_writer) m_recorder.Finish();
  }

  // What the window feeds; nullptr when recording could not start.
  record::Recorder* recorder() { return m_writer ? &m_recorder : nullptr; }
  const std::string& path() const { return m_path; }
  // This run's session number in the file; none when recording never began.
  std::optional<std::int64_t> session() const {
    return m_writer ? std::optional<std::int64_t>(m_writer->session()) : std::nullopt;
  }
  // Why it is not recording: the start failed, or recording stopped during
  // the run; empty while it works.
  std::optional<std::string> Failure() const {
    return m_writer ? m_writer->Failure() : m_startFailure;
  }

 private:
  // About a minute of flood in each of the two buffers.
  static constexpr std::size_t kQueueBytes = 4 * 1024 * 1024;

  std::string m_path;
  std::optional<std::string> m_startFailure;
  SystemClock m_clock;
  record::ItemQueue m_queue{kQueueBytes};
  record::Recorder m_recorder{m_queue, m_clock};
  std::optional<record::RecordWriter> m_writer;  // goes before the queue it takes from
};

}  // namespace halvorn::shell
