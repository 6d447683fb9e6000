// The simulator's command line. Parsing is a pure function over the
// arguments; main() prints and exits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halvorn::sim {

// A console line to run `seconds` after start (0: at once, before the first
// poll is answered).
struct ScheduledLine {
  double seconds = 0.0;
  std::string line;
};

struct SimOptions {
  enum class Outcome { Run, ShowHelp, Fail };
  Outcome outcome = Outcome::Run;

  std::string device;  // empty: create a pseudo-terminal
  std::string link;    // a symbolic link to the line, made at start, removed at exit
  int baud = 115200;
  char parity = 'n';
  bool console = false;  // read console lines from standard input even when it is no terminal
  bool verbose = false;  // log every poll as well as every command
  bool quiet = false;    // log nothing to standard error
  std::vector<ScheduledLine> lines;  // in the order given
  // Replay: the controller's side of a recorded session instead of the
  // plant model.
  std::string replay;                  // the record file; empty: simulate
  bool list = false;                   // print the record's sessions and exit
  std::optional<std::int64_t> session; // which session; default the newest
  double speed = 1.0;                  // 2 plays twice as fast
  double from = 0.0;                   // seconds from the session's start
  std::optional<double> to;            // seconds from the session's start; default its end
  std::string error;                 // for Fail: one line without a newline
};

constexpr int kCommandLineExitStatus = 2;

// Reads the arguments that follow the program's name; every console line
// they name is checked here, so a bad fault fails the start.
SimOptions ParseSimCommandLine(std::span<const std::string_view> arguments);
SimOptions ParseSimCommandLine(int argc, const char* const* argv);

// What --help prints, ending in a newline.
std::string SimHelpText();

}  // namespace halvorn::sim
