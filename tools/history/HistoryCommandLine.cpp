#include "HistoryCommandLine.h"

#include <charconv>
#include <vector>

namespace halvorn::history {

namespace {

HistoryOptions Failed(std::string error) {
  HistoryOptions options;
  options.outcome = HistoryOptions::Outcome::Fail;
  options.error = std::move(error);
  return options;
}

}  // namespace

HistoryOptions ParseHistoryCommandLine(std::span<const std::string_view> arguments) {
  HistoryOptions options;
  struct Valued {
    std::string_view name;
    std::string* into;
  };
  std::string session;
  const Valued valued[] = {{"--session", &session}, {"--from", &options.from}, {"--to", &options.to},
                           {"--csv", &options.csv}, {"--png", &options.png},   {"--resolution", &options.resolution}};
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    if (arg == "--help" || arg == "-h") {
      options.outcome = HistoryOptions::Outcome::ShowHelp;
      return options;
    }
    if (arg == "--alarm-report") {
      options.alarmReport = true;
      continue;
    }
    if (!arg.starts_with("-") || arg == "-") {
      if (!options.file.empty())
        return Failed("more than one record given: " + options.file + " and " + std::string(arg));
      options.file = arg;
      continue;
    }
    const Valued* option = nullptr;
    std::string_view value;
    for (const Valued& v : valued) {
      if (arg == v.name) {
        if (i + 1 >= arguments.size()) return Failed(std::string(arg) + " needs a value");
        option = &v;
        value = arguments[++i];
      } else if (arg.starts_with(v.name) && arg.size() > v.name.size() && arg[v.name.size()] == '=') {
        option = &v;
        value = arg.substr(v.name.size() + 1);
      }
    }
    if (!option) return Failed("unknown option " + std::string(arg) + " (see --help)");
    if (value.empty()) return Failed(std::string(option->name) + " needs a value");
    *option->into = value;
  }
  if (options.file.empty()) return Failed("no record given: halvorn-history FILE (see --help)");
  if (options.alarmReport && !options.png.empty()) return Failed("--png does not go with --alarm-report (see --help)");
  if (!options.resolution.empty()) {
    if (options.resolution != "1m" && options.resolution != "1h")
      return Failed("--resolution is 1m (per minute) or 1h (per hour), not " + options.resolution);
    if (options.csv.empty() || options.alarmReport)
      return Failed("--resolution goes with --csv, for the readings (see --help)");
  }
  if (!session.empty()) {
    const auto [end, error] = std::from_chars(session.data(), session.data() + session.size(), options.session);
    if (error != std::errc() || end != session.data() + session.size() || options.session < 1)
      return Failed("--session needs a session number 1, 2, ..., not " + session);
  }
  return options;
}

HistoryOptions ParseHistoryCommandLine(int argc, const char* const* argv) {
  std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return ParseHistoryCommandLine(arguments);
}

std::string HistoryHelpText() {
  return "usage: halvorn-history FILE [--session N] [--from T] [--to T] [--csv OUT [--resolution 1m|1h]] [--png OUT]\n"
         "       halvorn-history FILE --alarm-report [--session N] [--from T] [--to T] [--csv OUT]\n"
         "\n"
         "Shows a session record written by halvorn-panel --record FILE: pressure trends, flows,\n"
         "the valves and pumps on a timeline, and the event log. The record is opened read-only;\n"
         "while a panel is still writing it, the window follows its end.\n"
         "\n"
         "  --session N   the session to show (1, 2, ... in the order they were started);\n"
         "                the newest one when not given\n"
         "  --from T      start of the range shown or exported\n"
         "  --to T        end of the range; the whole session when neither is given\n"
         "                T is either seconds from the session's start (90, 90.5) or a local\n"
         "                time in ISO 8601: 2026-12-07T10:31:02, 2026-12-07 10:31, with fractions\n"
         "                of a second or an explicit offset (+01:00, Z) as the CSV writes them\n"
         "  --csv OUT     write the range as CSV and exit without a window: time (ISO 8601, local),\n"
         "                G1..G8 in mBar, MFC1..MFC4 in percent; an empty cell had no valid value\n"
         "  --resolution R\n"
         "                with --csv: instead of every reading, the record's summary per minute\n"
         "                (R = 1m) or per hour (1h): a row per interval, time its start, and per\n"
         "                gauge and flow the lowest, the mean (weighted by time) and the highest\n"
         "                valid reading in it, in columns named 'G1 min 1m', 'G1 mean 1m',\n"
         "                'G1 max 1m', ...; where the record holds no summaries yet (an older\n"
         "                record, the hour a panel is still writing) they are computed from its\n"
         "                readings\n"
         "  --png OUT     draw the charts of the range into a PNG and exit without a window\n"
         "  --alarm-report\n"
         "                print EEMUA 191's alarm figures of the range beside the guide's targets\n"
         "                (alarms per 10 minutes, hour and day, floods, standing and chattering\n"
         "                alarms, the most frequent points, the priority split, the median time to\n"
         "                acknowledge) and exit without a window; with --csv OUT, OUT gets the alarm\n"
         "                journal's rows of the range instead of the readings: time, point,\n"
         "                transition, priority, text, reason, until, user. A record written without\n"
         "                alarms reports none\n"
         "  -h, --help    this text\n"
         "\n"
         "An OUT that is FILE or one of the files beside it (FILE-wal, FILE-shm, FILE-journal) is\n"
         "refused; an export that fails leaves no half file.\n"
         "\n"
         "Exit status 2 for a wrong argument, a missing file, a file that is not a record or not one\n"
         "this viewer reads safely (views or virtual tables for its tables, oversized values, a read\n"
         "over 30 s), a refused OUT, or an export that could not be written.\n";
}

}  // namespace halvorn::history
