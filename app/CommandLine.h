// The front panel's command line. Without arguments (and without a settings
// file, see SettingsFile.h) every start is the same and nothing is written
// to disk:
//   --port N=DEVICE   (N from 1 to 10, repeatable, also --port=N=DEVICE)
//   --record FILE     keep a record of the run (also --record=FILE)
//   --reconnect       try a lost port again every two seconds
//   --alarms          announce alarms: banner, frames, summary, horn
//   --config FILE     read the settings from FILE (also --config=FILE)
//   --list-ports      print the machine's serial devices and exit
//   --help, -h
// Parsing is a pure function over the arguments; main() prints and exits.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "alarms/AlarmSettings.h"
#include "serial/PortMap.h"

namespace halvorn::shell {

struct CommandLine {
  enum class Outcome {
    Run,       // start the panel with `ports`
    ShowHelp,  // print HelpText() to standard output, exit 0
    ListPorts, // print the serial devices to standard output, exit 0
    Fail,      // print `error` to standard error, exit 2, open no window
  };

  Outcome outcome = Outcome::Run;
  PortMap ports{};
  // The session record's file; empty: nothing is recorded.
  std::string recordPath;
  // Whether a lost port is tried again every two seconds.
  bool reconnect = false;
  // Whether alarms are announced (banner, frames, summary, horn), and the
  // settings file's alarm lines.
  bool alarms = false;
  halvorn::alarms::AlarmSettings alarmSettings;
  // The horn's command, split at blanks and run without a shell; empty: the
  // display's bell.
  std::string alarmSound;
  // The settings file named by --config; empty: the default one, if any.
  std::string configPath;
  std::string error;  // one or two lines, without a final newline
};

// The exit status for a command line (or settings file) that cannot be used.
constexpr int kCommandLineExitStatus = 2;

// The program's name in its messages.
constexpr std::string_view kProgramName = "halvorn-panel";

// Reads the arguments that follow the program's name over `base` (the
// settings file's choices): what the arguments give wins. The first fault or
// request for help ends the reading; a port given twice is a fault.
CommandLine ParseCommandLine(std::span<const std::string_view> arguments, CommandLine base = {});
// The same over main()'s argc and argv (argv[0] is the program's name).
CommandLine ParseCommandLine(int argc, const char* const* argv);

// What --help prints, ending in a newline.
std::string HelpText();

}  // namespace halvorn::shell
