// The end of a recorded run: the record's last commit and the session
// marked as ended, in a bounded time once the operator insists.
#pragma once

#include <optional>
#include <string>

#include "QuitSignals.h"
#include "SessionRecord.h"

namespace halvorn::shell {

// Closes the record (commits what is queued, marks the session ended).
// Should a further quit signal come while that runs, makes one more short
// try to mark the session ended and ends the process as the signal would.
void CloseRecord(std::optional<SessionRecord>& record, QuitSignals& quitSignals);

// The last word on a record whose writer is stuck: marks the newest
// session of `path` ended through a connection of its own, waiting at most
// `busyMilliseconds` for the writer's lock. The newest session is this
// panel's: the record's lock keeps any other panel from adding one. Returns
// why it failed; empty when it worked.
[[nodiscard]] std::string MarkNewestSessionEnded(const std::string& path, int busyMilliseconds);

}  // namespace halvorn::shell
