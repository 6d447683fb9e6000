// The front panel's command line. Without arguments (and without a settings
// file, see SettingsFile.h) every start is the same and nothing is written
// to disk:
//   --port N=DEVICE   (N from 1 to 10, repeatable, also --port=N=DEVICE)
//   --record FILE     keep a record of the run (also --record=FILE)
//   --record-keep DAYS  keep its raw traffic and readings DAYS days (needs
//                     --record; see record/Retention.h)
//   --reconnect       try a lost port again every two seconds
//   --alarms          announce alarms: banner, frames, summary, horn
//   --publish URL     publish the plant as Sparkplug B over MQTT, with
//                     --sparkplug-group, --sparkplug-node, --sparkplug-host,
//                     --mqtt-ca, --mqtt-cert, --mqtt-key, --mqtt-user and
//                     --mqtt-password-file (see PublishOptions.h)
//   --config FILE     read the settings from FILE (also --config=FILE)
//   --list-ports      print the machine's serial devices and exit
//   --help, -h
// Parsing is a pure function over the arguments; main() prints and exits.
// The publishing keys are only gathered there: CheckPublishing() checks
// them as a whole, once the settings file has been read too.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "PublishOptions.h"
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
  // How many days of raw traffic and readings the record keeps, and where
  // that was given; none: everything is kept.
  struct RecordKeep {
    int days = 0;
    SettingOrigin origin;
  };
  std::optional<RecordKeep> recordKeep;
  // Whether a lost port is tried again every two seconds.
  bool reconnect = false;
  // Whether alarms are announced (banner, frames, summary, horn), and the
  // settings file's alarm lines.
  bool alarms = false;
  halvorn::alarms::AlarmSettings alarmSettings;
  // The horn's command, split at blanks and run without a shell; empty: the
  // display's bell.
  std::string alarmSound;
  // The publishing keys as given (the command line's over the file's), and
  // once CheckPublishing() found them fit, where and as whom the plant is
  // published (nothing: it is not) and the line to tell the operator about
  // it on standard error (empty: none).
  PublishSettings publishSettings;
  std::optional<PublishOptions> publish;
  std::string publishWarning;
  // The settings file named by --config; empty: the default one, if any.
  std::string configPath;
  std::string error;  // one or two lines, without a final newline
};

// The exit status for a command line (or settings file) that cannot be used.
constexpr int kCommandLineExitStatus = 2;

// The program's name in its messages.
constexpr std::string_view kProgramName = "halvorn-panel";

// The days of --record-keep or 'record-keep': a whole number from 1 to
// record::kMostKeepDays, digits only.
[[nodiscard]] std::optional<int> ParseKeepDays(std::string_view text);
// What --record-keep and 'record-keep' want: "a whole number of days from 1 to ...".
[[nodiscard]] std::string KeepDaysWanted();

// Refuses a Run whose record-keep was given without a record (on the
// command line or in the settings file, naming where).
[[nodiscard]] CommandLine CheckRecordKeep(CommandLine line);

// Reads the arguments that follow the program's name over `base` (the
// settings file's choices): what the arguments give wins. The first fault or
// request for help ends the reading; a port given twice is a fault.
CommandLine ParseCommandLine(std::span<const std::string_view> arguments, CommandLine base = {});
// The same over main()'s argc and argv (argv[0] is the program's name).
CommandLine ParseCommandLine(int argc, const char* const* argv);

// Checks the publishing keys of a Run as a whole (PublishOptions.h) and
// fills `publish` and `publishWarning`; a fault makes the outcome Fail with
// the message naming the option, or the settings file and line, at fault.
// The default node id is `hostName` up to its first '.'.
[[nodiscard]] CommandLine CheckPublishing(CommandLine line, std::string_view hostName);

// What --help prints, ending in a newline.
std::string HelpText();

}  // namespace halvorn::shell
