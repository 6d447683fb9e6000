// Which names may be a session record. A record is a regular file, or a new
// name in a folder that exists, opened by that name alone: a FIFO, a folder
// or a device would take SQLite's journal beside it (`/dev/zero-journal`),
// and an SQLite URI ("file:x?mode=memory", "?nolock=1") or ":memory:" would
// record into memory or let two panels write one file.
#pragma once

#include <optional>
#include <string>

#include "record/Database.h"

namespace halvorn::record {

// The file cannot be a record, whatever the moment: a wrong kind of name or
// file, a file that is not a record or was written by a newer panel. The
// operator has to change the command or the settings; anything else that
// fails (a lock, the disk) is of the moment.
class RecordRefused : public DatabaseError {
 public:
  explicit RecordRefused(const std::string& what) : DatabaseError(SQLITE_MISUSE, what) {}
};

// Why `path` cannot name a record, for the operator; nullopt when it can.
// Looks at the name and the file's kind only, never opens it. A folder that
// cannot be searched is left to the open, whose failure is of the moment.
[[nodiscard]] std::optional<std::string> RecordPathProblem(const std::string& path);

// Whether SQLite's `code` says the file itself is wrong (not a database,
// damaged) rather than the moment (busy, full, read-only, I/O).
[[nodiscard]] bool IsWrongFile(int code);

}  // namespace halvorn::record
