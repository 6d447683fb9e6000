#include "SimCommandLine.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "Console.h"

namespace halvorn::sim {
namespace {

constexpr int kBaudRates[] = {2400, 9600, 38400, 115200, 460800, 921600};
constexpr std::string_view kParities = "neoms";
// A replay's stretch and pace, bounded so that every time the player works
// out stays within 64-bit nanoseconds: a billion seconds is 31 years of
// record, and a millionfold speed-up already plays a day in a tenth of a
// second.
constexpr double kLatestReplaySeconds = 1e9;
constexpr double kSlowestReplay = 1e-3;
constexpr double kFastestReplay = 1e6;

SimOptions Failed(std::string error) {
  SimOptions options;
  options.outcome = SimOptions::Outcome::Fail;
  options.error = std::move(error);
  return options;
}

std::optional<double> Seconds(std::string_view word) {
  double value = 0.0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  if (word.empty() || error != std::errc{} || stop != end || !std::isfinite(value) || value < 0.0) return {};
  return value;
}

// "NAME=VALUE" as "NAME VALUE", for the options that carry a console line's
// two words in one argument.
std::string SplitAtEquals(std::string_view value) {
  std::string out(value);
  if (const auto equals = out.find('='); equals != std::string::npos) out[equals] = ' ';
  return out;
}

}  // namespace

SimOptions ParseSimCommandLine(std::span<const std::string_view> arguments) {
  SimOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view name = arguments[i];
    std::optional<std::string_view> inlineValue;
    if (name.starts_with("--")) {
      if (const auto equals = name.find('='); equals != std::string_view::npos) {
        inlineValue = name.substr(equals + 1);
        name = name.substr(0, equals);
      }
    }
    const auto value = [&](std::string_view& out) {
      if (inlineValue) {
        out = *inlineValue;
        return true;
      }
      if (i + 1 >= arguments.size()) return false;
      out = arguments[++i];
      return true;
    };
    const auto flag = [&](bool& out) {
      if (inlineValue) return false;
      out = true;
      return true;
    };
    // A console line given on the command line, run at `seconds`.
    const auto schedule = [&](double seconds, std::string line) -> std::optional<SimOptions> {
      const ParsedLine parsed = ParseConsoleLine(line);
      if (!parsed.error.empty()) return Failed(std::string(name) + ": " + parsed.error);
      if (!parsed.command) return Failed(std::string(name) + ": empty console line");
      options.lines.push_back({seconds, std::move(line)});
      return {};
    };

    std::string_view v;
    if (name == "--help" || name == "-h") {
      options.outcome = SimOptions::Outcome::ShowHelp;
      return options;
    } else if (name == "--device") {
      if (!value(v) || v.empty()) return Failed("--device needs a path");
      options.device = v;
    } else if (name == "--link") {
      if (!value(v) || v.empty()) return Failed("--link needs a path");
      options.link = v;
    } else if (name == "--baud") {
      if (!value(v)) return Failed("--baud needs a rate");
      int baud = 0;
      const auto [stop, error] = std::from_chars(v.data(), v.data() + v.size(), baud);
      bool listed = false;
      for (const int rate : kBaudRates) listed = listed || rate == baud;
      if (error != std::errc{} || stop != v.data() + v.size() || !listed) {
        return Failed("--baud must be 2400, 9600, 38400, 115200, 460800 or 921600");
      }
      options.baud = baud;
    } else if (name == "--parity") {
      if (!value(v) || v.size() != 1 || kParities.find(static_cast<char>(v[0] | 0x20)) == std::string_view::npos) {
        return Failed("--parity must be one of n e o m s");
      }
      options.parity = static_cast<char>(v[0] | 0x20);
    } else if (name == "--console") {
      if (!flag(options.console)) return Failed("--console takes no value");
    } else if (name == "--verbose" || name == "-v") {
      if (!flag(options.verbose)) return Failed("--verbose takes no value");
    } else if (name == "--quiet" || name == "-q") {
      if (!flag(options.quiet)) return Failed("--quiet takes no value");
    } else if (name == "--fault") {
      if (!value(v)) return Failed("--fault needs DEVICE=CODE");
      if (auto failed = schedule(0.0, "fault " + SplitAtEquals(v))) return *failed;
    } else if (name == "--warn") {
      if (!value(v)) return Failed("--warn needs 100, 105 or 106");
      if (auto failed = schedule(0.0, "warn " + std::string(v))) return *failed;
    } else if (name == "--crc") {
      if (!value(v)) return Failed("--crc needs a fraction");
      if (auto failed = schedule(0.0, "crc " + std::string(v))) return *failed;
    } else if (name == "--badlen") {
      if (!value(v)) return Failed("--badlen needs GROUP[=DELTA]");
      if (auto failed = schedule(0.0, "badlen " + SplitAtEquals(v))) return *failed;
    } else if (name == "--nocr") {
      if (inlineValue) return Failed("--nocr takes no value (use --nocr-bytes N)");
      if (auto failed = schedule(0.0, "nocr")) return *failed;
    } else if (name == "--nocr-bytes") {
      if (!value(v)) return Failed("--nocr-bytes needs a count");
      if (auto failed = schedule(0.0, "nocr " + std::string(v))) return *failed;
    } else if (name == "--silence") {
      if (!value(v)) return Failed("--silence needs a group");
      if (auto failed = schedule(0.0, "silence " + std::string(v))) return *failed;
    } else if (name == "--stop") {
      if (inlineValue) return Failed("--stop takes no value");
      if (auto failed = schedule(0.0, "stop")) return *failed;
    } else if (name == "--acks") {
      if (inlineValue) return Failed("--acks takes no value");
      if (auto failed = schedule(0.0, "acks on")) return *failed;
    } else if (name == "--flood") {
      if (!value(v)) return Failed("--flood needs BYTES_PER_SECOND[=FRACTION]");
      if (auto failed = schedule(0.0, "flood " + SplitAtEquals(v))) return *failed;
    } else if (name == "--do") {
      if (!value(v)) return Failed("--do needs a console line");
      if (auto failed = schedule(0.0, std::string(v))) return *failed;
    } else if (name == "--at") {
      std::string_view when;
      if (!value(when) || i + 1 >= arguments.size()) return Failed("--at needs SECONDS and a console line");
      const std::optional<double> seconds = Seconds(when);
      if (!seconds) return Failed("--at needs a number of seconds, 0 or more");
      if (auto failed = schedule(*seconds, std::string(arguments[++i]))) return *failed;
    } else if (name == "--replay") {
      if (!value(v) || v.empty()) return Failed("--replay needs a record file");
      options.replay = v;
    } else if (name == "--list") {
      if (!value(v) || v.empty()) return Failed("--list needs a record file");
      options.replay = v;
      options.list = true;
    } else if (name == "--session") {
      std::int64_t number = 0;
      if (!value(v)) return Failed("--session needs a number");
      const auto [stop, error] = std::from_chars(v.data(), v.data() + v.size(), number);
      if (v.empty() || error != std::errc{} || stop != v.data() + v.size() || number < 1) {
        return Failed("--session needs a session number, 1 or more (--list shows them)");
      }
      options.session = number;
    } else if (name == "--speed") {
      if (!value(v)) return Failed("--speed needs a factor");
      const std::optional<double> speed = Seconds(v);
      if (!speed || *speed < kSlowestReplay || *speed > kFastestReplay) {
        return Failed("--speed needs a factor from 0.001 to 1000000, e.g. 2 for twice as fast");
      }
      options.speed = *speed;
    } else if (name == "--from" || name == "--to") {
      if (!value(v)) return Failed(std::string(name) + " needs seconds from the session's start");
      const std::optional<double> seconds = Seconds(v);
      if (!seconds || *seconds > kLatestReplaySeconds) {
        return Failed(std::string(name) + " needs a number of seconds from 0 to 1000000000");
      }
      (name == "--from" ? options.from : options.to.emplace()) = *seconds;
    } else {
      return Failed("unknown argument '" + std::string(arguments[i]) + "' (--help lists the options)");
    }
  }
  if (options.verbose && options.quiet) return Failed("--verbose and --quiet exclude each other");
  const bool replayOnly = options.session || options.speed != 1.0 || options.from != 0.0 || options.to;
  if (options.replay.empty() && replayOnly) return Failed("--session, --speed, --from and --to need --replay FILE");
  if (!options.replay.empty() && !options.lines.empty()) {
    return Failed("a replay plays what was recorded: faults and console lines do not apply");
  }
  if (options.to && *options.to <= options.from) return Failed("--to must come after --from");
  return options;
}

SimOptions ParseSimCommandLine(int argc, const char* const* argv) {
  std::vector<std::string_view> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return ParseSimCommandLine(arguments);
}

std::string SimHelpText() {
  return "usage: halvorn-sim [options]\n"
         "Plays the gas-injection installation's process controller on a serial line, for the\n"
         "front panel: answers every poll request from a small plant model, acts on every command,\n"
         "and shows faults on demand.\n"
         "\n"
         "Line:\n"
         "  (default)              create a pseudo-terminal and print its path:\n"
         "                         \"halvorn-sim: controller on /dev/pts/N\"\n"
         "  --device PATH          use that serial device instead, raw, 8 data bits, 1 stop bit\n"
         "  --baud RATE            2400 9600 38400 115200 (default) 460800 921600\n"
         "  --parity P             n (default) e o m s\n"
         "  --link PATH            make PATH a symbolic link to the line (replacing a link there),\n"
         "                         removed at exit; e.g. for the panel's --port 1=PATH\n"
         "Console and log:\n"
         "  --console              read console commands from standard input even when it is not a\n"
         "                         terminal (a terminal is always read); at its end the simulator runs on\n"
         "  --verbose, -v          log every poll request to standard error, not only commands\n"
         "  --quiet, -q            log nothing to standard error\n"
         "Faults at start (the console commands of the same name; see 'help' on the console):\n"
         "  --fault DEVICE=CODE    status byte CODE (0-255 but 13) for DEVICE, e.g. --fault V3=160\n"
         "  --warn 100|105|106     send that warning after the first poll answer\n"
         "  --crc FRACTION         send that share of frames (0 to 1) with a wrong checksum\n"
         "  --badlen GROUP[=D]     make that group's answers D bytes longer (default 1, negative: shorter)\n"
         "  --nocr                 send the first frame without its carriage return\n"
         "  --nocr-bytes N         send N bytes without a carriage return after the first poll answer\n"
         "  --silence GROUP        never answer that group (valves pumps gauges flows uptime electrode\n"
         "                         cooling all)\n"
         "  --stop                 send nothing until the console says resume\n"
         "  --acks                 answer every command with a message of its own type\n"
         "  --flood RATE[=F]       send answers back-to-back at RATE bytes a second (92160 fills a\n"
         "                         921600-baud line), share F with a wrong checksum, from the first\n"
         "                         request a panel sends; the counts are printed at 'flood stop' and\n"
         "                         at exit\n"
         "  --do LINE              run a console line at start, e.g. --do 'fault tmp 159'\n"
         "  --at SECONDS LINE      run a console line that many seconds after start,\n"
         "                         e.g. --at 5 'hangup 2' or --at 3 'silence gauges'\n"
         "Replay of a session recorded by halvorn-panel --record FILE:\n"
         "  --replay FILE          send what the controller sent in that session, with its recorded\n"
         "                         timing, from the first request a panel sends; what the panel sends is\n"
         "                         read and ignored. The line stays open after the end until stopped\n"
         "  --session N            the session to play (default: the newest)\n"
         "  --speed X              play X times as fast (default 1; 0.001 to 1000000)\n"
         "  --from T, --to T       play only from T to T seconds after the session's start\n"
         "  --list FILE            print the sessions of FILE (number, start, length, bytes received,\n"
         "                         frames sent, from when a session whose older traffic was removed\n"
         "                         still replays) and exit\n"
         "  --help, -h             print this and exit\n"
         "\n"
         "Ends on SIGINT, SIGTERM, SIGHUP or the console's quit.\n";
}

}  // namespace halvorn::sim
