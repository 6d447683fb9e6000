// The end of a recorded run: the record's last commit and the session
// marked as ended, in a bounded time once the operator insists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "QuitSignals.h"
#include "SessionRecord.h"

namespace halvorn::shell {

// Closes the record (commits what is queued, marks the session ended).
// Should a further quit signal come while that runs, makes one more short
// try to mark the session ended and ends the process as the signal would.
void CloseRecord(std::optional<SessionRecord>& record, QuitSignals& quitSignals);

// The last word on a record whose writer is stuck: marks session `session`
// of `path` ended through a connection of its own, waiting at most
// `busyMilliseconds` for the writer's lock. By its number, not as the
// newest: a panel whose record stopped during the run may no longer hold
// the file, and another panel's session must stay as it is. Returns why it
// failed; empty when it worked.
[[nodiscard]] std::string MarkSessionEnded(const std::string& path, std::int64_t session, int busyMilliseconds);

}  // namespace halvorn::shell
