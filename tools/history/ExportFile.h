// Where an export goes, and how it gets there: never over the record it
// was read from, and never as half a file.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace halvorn::history {

// Why `output` must not be written while `record` is read (it is the
// record, under any name or link, or one of the files SQLite keeps beside
// it: its write-ahead log, shared memory or journal); nullopt when it may.
[[nodiscard]] std::optional<std::string> RefusedOutput(const std::string& output, const std::string& record);

// Writes what `write` puts into the stream to `path`. A regular file (or a
// new name) is written as a new file in the same folder that then takes the
// name, so that an export that fails half-way (a full disk) leaves what
// was there before and no half file; through a link, the file it names is
// replaced. Anything else (a pipe, /dev/stdout) is written directly. False,
// with `error` saying why, when anything failed, `write` throwing included
// (a read of the record that failed under way).
[[nodiscard]] bool WriteExport(const std::string& path, const std::function<void(std::ostream&)>& write,
                               std::string& error);

}  // namespace halvorn::history
