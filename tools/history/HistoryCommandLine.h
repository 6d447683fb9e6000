// The history viewer's command line. Parsing is a pure function over the
// arguments; main() prints and exits.
//   halvorn-history FILE [--session N] [--from T] [--to T] [--csv OUT [--resolution 1m|1h]] [--png OUT]
//   halvorn-history FILE --alarm-report [--session N] [--from T] [--to T] [--csv OUT]
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace halvorn::history {

struct HistoryOptions {
  enum class Outcome { Run, ShowHelp, Fail };
  Outcome outcome = Outcome::Run;
  std::string file;
  std::int64_t session = 0;  // 0: the newest session of the file
  std::string from;          // as typed; read against the session once it is open
  std::string to;
  std::string csv;  // export and exit, no window
  // The CSV's rows: empty for every reading, "1m" or "1h" for the record's
  // summaries per minute or per hour.
  std::string resolution;
  std::string png;
  // Print the alarm figures of the range and exit; --csv then writes the
  // alarm journal's rows instead of the readings.
  bool alarmReport = false;
  std::string error;  // for Fail: one line without a newline

  bool headless() const { return alarmReport || !csv.empty() || !png.empty(); }
};

constexpr int kHistoryFailureStatus = 2;

HistoryOptions ParseHistoryCommandLine(std::span<const std::string_view> arguments);
HistoryOptions ParseHistoryCommandLine(int argc, const char* const* argv);

std::string HistoryHelpText();

}  // namespace halvorn::history
