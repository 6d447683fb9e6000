// The front panel's command line. Without arguments every start is the
// same and nothing is written to disk. One option points a port at another
// device, so that a USB adapter or a controller simulator can be reached;
// the other keeps a record of the run:
//   --port N=DEVICE   (N from 1 to 10, repeatable, also --port=N=DEVICE)
//   --record FILE     (also --record=FILE)
//   --help, -h
// Parsing is a pure function over the arguments; main() prints and exits.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "serial/PortMap.h"

namespace halvorn::shell {

struct CommandLine {
  enum class Outcome {
    Run,       // start the panel with `ports`
    ShowHelp,  // print HelpText() to standard output, exit 0
    Fail,      // print `error` to standard error, exit 2, open no window
  };

  Outcome outcome = Outcome::Run;
  PortMap ports{};
  // The session record's file; empty: nothing is recorded.
  std::string recordPath;
  std::string error;  // one or two lines, without a final newline
};

// The exit status for a command line that cannot be used.
constexpr int kCommandLineExitStatus = 2;

// Reads the arguments that follow the program's name. The first fault or
// request for help ends the reading; a port given twice is a fault.
CommandLine ParseCommandLine(std::span<const std::string_view> arguments);
// The same over main()'s argc and argv (argv[0] is the program's name).
CommandLine ParseCommandLine(int argc, const char* const* argv);

// What --help prints, ending in a newline.
std::string HelpText();

}  // namespace halvorn::shell
