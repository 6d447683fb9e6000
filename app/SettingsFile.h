// The panel's settings file, for a plant whose panel always starts the same
// way: ~/.config/halvorn/panel.conf (or the file --config names), read only
// when it is there. Plain "key = value" lines; blank lines and lines whose
// first non-blank character is '#' are ignored:
//   port N = DEVICE      ComN opens DEVICE (N from 1 to 10), as --port N=DEVICE
//   record = FILE        the session record's file
//   reconnect = yes|no   as --reconnect (also true/false, on/off, 1/0)
// Each key at most once. Options on the command line win over the file.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "CommandLine.h"

namespace halvorn::shell {

// Where the settings file is looked for when --config names none:
// $XDG_CONFIG_HOME/halvorn/panel.conf, else $HOME/.config/halvorn/panel.conf.
// Empty (no file) when neither variable is set or they are not absolute.
std::string DefaultSettingsPath(const char* xdgConfigHome, const char* home);

// Applies the text of a settings file over `base`. A bad line makes the
// outcome Fail, with an error naming `fileName` and the line's number.
CommandLine ApplySettings(std::string_view text, const std::string& fileName, CommandLine base = {});

// The whole start: the arguments, the settings file (the one they name, or
// `defaultPath` when that file exists), and the arguments again over it.
// --help, --list-ports and a wrong argument are answered before any file is
// read; a file named by --config must exist.
CommandLine ReadStartOptions(std::span<const std::string_view> arguments,
                             const std::string& defaultPath);

}  // namespace halvorn::shell
