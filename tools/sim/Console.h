// The simulator's console: one command per line on standard input (the same
// lines that --do and --at take on the command line), parsed into a value.
// Parsing is pure; the simulator acts on the result.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Devices.h"

namespace halvorn::sim {

namespace console {

struct Help {};
struct Status {};
// Status byte for one device, or back to its own state when `code` is empty.
struct Fault {
  std::vector<int> devices;  // indexes into kDevices
  std::optional<unsigned char> code;
};
struct Warn {
  int type = 100;  // 100, 105 or 106
  int count = 1;
};
struct Crc {
  double fraction = 0.0;
};
struct BadLength {
  std::vector<Group> groups;
  int delta = 1;
};
// Without `bytes`: the next frame loses its carriage return. With it: that
// many bytes without one, sent after the next poll answer.
struct NoCr {
  int bytes = 0;
};
struct Silence {
  std::vector<Group> groups;
  bool silent = true;
};
struct Stop {
  bool stop = true;  // false: resume
};
struct Hangup {
  std::optional<double> reopenAfterSeconds;
};
struct Reopen {};
struct Acks {
  bool on = true;
};
struct Clear {};
// Answers back-to-back at `bytesPerSecond` with `crcFraction` of them
// spoiled, handed to the line every `sliceMs` milliseconds; without a rate:
// stop the flood and report its counts.
struct Flood {
  std::optional<double> bytesPerSecond;
  double crcFraction = 0.0;
  int sliceMs = 1;
};
struct Quit {};
// The plant acts on a command text as if the panel had sent it ("040_1":
// ROTARY1 on), so that a test can drive the plant without the panel.
struct Act {
  std::string text;
};

}  // namespace console

using ConsoleCommand =
    std::variant<console::Help, console::Status, console::Fault, console::Warn, console::Crc,
                 console::BadLength, console::NoCr, console::Silence, console::Stop,
                 console::Hangup, console::Reopen, console::Acks, console::Clear, console::Flood, console::Quit,
                 console::Act>;

struct ParsedLine {
  std::optional<ConsoleCommand> command;  // empty for a blank line or an error
  std::string error;                      // one line, empty when parsed or blank
};

// Reads one console line; words are separated by blanks, the command word
// and names in either case; a "#" starts a comment.
ParsedLine ParseConsoleLine(std::string_view line);

// One line per console command, ending in a newline.
std::string ConsoleHelp();

// Longest burst of bytes without a carriage return, and most warnings at once.
constexpr int kLongestBurst = 4096;
constexpr int kMostWarnings = 100;
// Longest wait before a hung-up line opens again.
constexpr double kLongestHangupSeconds = 3600.0;

}  // namespace halvorn::sim
