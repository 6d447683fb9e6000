#include "CommandLine.h"

#include <charconv>
#include <optional>
#include <vector>

namespace halvorn::shell {
namespace {

constexpr std::string_view kProgram = "halvorn-panel";
constexpr std::string_view kPortOption = "--port";
constexpr std::string_view kRecordOption = "--record";

CommandLine Failure(const std::string& what) {
  CommandLine result;
  result.outcome = CommandLine::Outcome::Fail;
  result.error = std::string(kProgram) + ": " + what + "\nTry '" + std::string(kProgram) +
                 " --help' for more information.";
  return result;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A port number written as plain decimal digits, 1 to 10.
std::optional<int> ParsePortNumber(std::string_view text) {
  if (text.empty() || text.front() < '0' || text.front() > '9') return {};
  int number = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc{} || stop != end) return {};
  if (number < PortMap::kFirstPort || number > PortMap::kLastPort) return {};
  return number;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine result;
  std::vector<bool> given(PortMap::kLastPort + 1, false);
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    if (argument == "--help" || argument == "-h") {
      CommandLine help;
      help.outcome = CommandLine::Outcome::ShowHelp;
      return help;
    }
    if (argument == kRecordOption || argument.starts_with("--record=")) {
      if (!result.recordPath.empty()) return Failure("option --record is given more than once");
      std::string_view path;
      if (argument == kRecordOption) {
        if (index + 1 == arguments.size()) {
          return Failure("option --record needs a file, e.g. --record /var/log/halvorn/panel.halvorn");
        }
        path = arguments[++index];
      } else {
        path = argument.substr(kRecordOption.size() + 1);
      }
      if (path.empty()) return Failure("option --record names no file");
      result.recordPath = std::string(path);
      continue;
    }
    std::string_view value;
    if (argument == kPortOption) {
      if (index + 1 == arguments.size()) {
        return Failure("option --port needs a value N=DEVICE, e.g. --port 1=/dev/ttyUSB0");
      }
      value = arguments[++index];
    } else if (argument.starts_with("--port=")) {
      value = argument.substr(kPortOption.size() + 1);
    } else if (argument.starts_with("-")) {
      return Failure("unknown option " + Quoted(argument));
    } else {
      return Failure("unexpected argument " + Quoted(argument));
    }

    const std::size_t equals = value.find('=');
    if (equals == std::string_view::npos) {
      return Failure("option --port needs N=DEVICE, e.g. --port 1=/dev/ttyUSB0, not " +
                     Quoted(value));
    }
    const std::string_view numberText = value.substr(0, equals);
    const std::string_view device = value.substr(equals + 1);
    const std::optional<int> port = ParsePortNumber(numberText);
    if (!port) {
      return Failure("port number " + Quoted(numberText) + " in --port " + Quoted(value) +
                     " is not a number from 1 to 10");
    }
    if (device.empty()) {
      return Failure("option --port " + Quoted(value) + " names no device");
    }
    if (given[static_cast<std::size_t>(*port)]) {
      return Failure("port " + std::to_string(*port) + " is given more than once");
    }
    given[static_cast<std::size_t>(*port)] = true;
    result.ports.SetDevice(*port, std::string(device));
  }
  return result;
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  std::vector<std::string_view> arguments;
  for (int index = 1; index < argc; ++index) arguments.emplace_back(argv[index]);
  return ParseCommandLine(arguments);
}

std::string HelpText() {
  return "Usage: halvorn-panel [--port N=DEVICE]... [--record FILE]\n"
         "\n"
         "The operator's front panel of the Halvorn gas-injection installation.\n"
         "Without arguments every start is the same and nothing is written to disk.\n"
         "\n"
         "The panel's port list offers Com1 to Com10. By default ComN opens the\n"
         "serial device /dev/ttyS<N-1>: Com1 is /dev/ttyS0, Com10 is /dev/ttyS9.\n"
         "\n"
         "Options:\n"
         "  --port N=DEVICE   let ComN (N from 1 to 10) open DEVICE instead, for\n"
         "                    example a USB serial adapter or the pseudo-terminal\n"
         "                    of a controller simulator. May be given once per\n"
         "                    port. Also written --port=N=DEVICE.\n"
         "  --record FILE     keep a record of this run in FILE, an SQLite database\n"
         "                    made if missing: every byte on the line, every\n"
         "                    operator action, every change on the picture. One\n"
         "                    file holds any number of runs. Also --record=FILE.\n"
         "  -h, --help        show this text and exit.\n"
         "\n"
         "Examples:\n"
         "  halvorn-panel --port 1=/dev/ttyUSB0\n"
         "  halvorn-panel --port 2=/dev/pts/7 --port 3=/dev/serial/by-id/usb-FTDI-if00\n"
         "  halvorn-panel --port 1=/dev/ttyUSB0 --record ~/pump-down.halvorn\n"
         "\n"
         "A wrong or unknown argument, or a record file that cannot be opened or\n"
         "is not a Halvorn record, is reported on standard error and the program\n"
         "exits with status 2 without opening its window.\n";
}

}  // namespace halvorn::shell
