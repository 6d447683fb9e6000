// The panel's settings file, for a plant whose panel always starts the same
// way: ~/.config/halvorn/panel.conf (or the file --config names), read only
// when it is there. Plain "key = value" lines; blank lines and lines whose
// first non-blank character is '#' are ignored, and so is a '#' that begins
// a word (after a blank or the '=') with the rest of its line; a '#' inside
// a word, as in run#3.halvorn, stays part of the value. A UTF-8 byte-order mark at the start is skipped;
// a NUL byte is refused. At most kMostSettingsBytes are read.
//   port N = DEVICE      ComN opens DEVICE (N from 1 to 10), as --port N=DEVICE
//   record = FILE        the session record's file
//   record-keep = DAYS   as --record-keep DAYS (needs a record)
//   reconnect = yes|no   as --reconnect (also true/false, on/off, 1/0)
//   alarms = yes|no, alarm-sound = COMMAND, alarm P = ..., priority P = ...,
//   guidance P = ..., latch P = ...   the alarms (see AlarmSettings.h)
//   publish = URL, sparkplug-group = GROUP, ..., mqtt-password-file = FILE
//                        as the publishing options (see PublishOptions.h);
//                        never the password itself
// Each key at most once. Options on the command line win over the file.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "CommandLine.h"

namespace halvorn::shell {

// Where the settings file is looked for when --config names none:
// $XDG_CONFIG_HOME/halvorn/panel.conf, else $HOME/.config/halvorn/panel.conf.
// Empty (no file) when neither variable is set or they are not absolute.
std::string DefaultSettingsPath(const char* xdgConfigHome, const char* home);

// The longest settings file read: a few lines are expected, and a file that
// never ends (a device, a FIFO, a runaway log) must not hold up the start.
constexpr std::size_t kMostSettingsBytes = 1024 * 1024;

// What reading the settings file at a path found.
struct SettingsText {
  enum class State {
    Missing,  // no such file (or a folder on the way is missing)
    Read,     // `text` holds the whole file
    Failed,   // `error` says why, e.g. "it is a FIFO, not a file"
  };
  State state = State::Missing;
  std::string text;
  std::string error;
};

// Reads the settings file at `path`: only a regular file, opened so that a
// FIFO put there meanwhile cannot block the start, and at most
// kMostSettingsBytes of it.
[[nodiscard]] SettingsText ReadSettingsFile(const std::string& path);

// Applies the text of a settings file over `base`. A bad line makes the
// outcome Fail, with an error naming `fileName` and the line's number.
[[nodiscard]] CommandLine ApplySettings(std::string_view text, const std::string& fileName, CommandLine base = {});

// The whole start: the arguments, the settings file (the one they name, or
// `defaultPath` when that file exists), the arguments again over it, and
// the record's keep checked against its file (CheckRecordKeep) and the
// publishing keys checked as a whole (CheckPublishing, the default node
// id from `hostName`). --help, --list-ports and a wrong argument are
// answered before any file is read; a file named by --config must exist.
// `read` reads a file (tests and the fuzz target give the text without a
// file).
[[nodiscard]] CommandLine ReadStartOptions(
    std::span<const std::string_view> arguments, const std::string& defaultPath,
    const std::function<SettingsText(const std::string&)>& read = ReadSettingsFile,
    const std::function<std::string()>& hostName = MachineHostName);

}  // namespace halvorn::shell
