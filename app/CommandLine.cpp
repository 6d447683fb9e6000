#include "CommandLine.h"

#include <array>
#include <charconv>
#include <optional>
#include <variant>
#include <vector>

#include "record/Retention.h"

namespace halvorn::shell {
namespace {

constexpr std::string_view kProgram = kProgramName;

CommandLine Failure(const std::string& what) {
  CommandLine result;
  result.outcome = CommandLine::Outcome::Fail;
  result.error = std::string(kProgram) + ": " + what + "\nTry '" + std::string(kProgram) +
                 " --help' for more information.";
  return result;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The value of an option written "--name VALUE" or "--name=VALUE"; moves
// `index` past a separate value. Nothing when `argument` is another option;
// an empty value when the separate value is missing.
std::optional<std::string_view> OptionValue(std::span<const std::string_view> arguments,
                                            std::size_t& index, std::string_view name,
                                            bool& missing) {
  const std::string_view argument = arguments[index];
  missing = false;
  if (argument == name) {
    if (index + 1 == arguments.size()) {
      missing = true;
      return std::string_view{};
    }
    return arguments[++index];
  }
  if (argument.size() > name.size() && argument.starts_with(name) && argument[name.size()] == '=') {
    return argument.substr(name.size() + 1);
  }
  return std::nullopt;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> arguments, CommandLine base) {
  CommandLine result = std::move(base);
  std::vector<bool> given(PortMap::kLastPort + 1, false);
  bool recordGiven = false;
  bool keepGiven = false;
  std::array<bool, kPublishKeyCount> publishGiven{};
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    if (argument == "--help" || argument == "-h") {
      CommandLine help;
      help.outcome = CommandLine::Outcome::ShowHelp;
      return help;
    }
    if (argument == "--list-ports") {
      CommandLine list;
      list.outcome = CommandLine::Outcome::ListPorts;
      return list;
    }
    if (argument == "--reconnect") {
      result.reconnect = true;
      continue;
    }
    if (argument == "--alarms") {
      result.alarms = true;
      continue;
    }
    // Arguments are seen by every user of the machine (ps, /proc) and kept
    // in the shell's history.
    if (argument == "--mqtt-password" || argument.starts_with("--mqtt-password=")) {
      return Failure(
          "a password is never taken on the command line, where other users can see it: "
          "write it in a file only you can read and give --mqtt-password-file FILE");
    }
    bool missing = false;
    std::optional<PublishKey> publishKey;
    std::optional<std::string_view> publishValue;
    for (std::size_t key = 0; key < kPublishKeyCount && !publishValue; ++key) {
      publishKey = static_cast<PublishKey>(key);
      publishValue =
          OptionValue(arguments, index, "--" + std::string(PublishKeyName(*publishKey)), missing);
    }
    if (publishValue) {
      // Given twice here is a fault; a value from the settings is replaced.
      if (publishGiven[static_cast<std::size_t>(*publishKey)]) {
        return Failure("option --" + std::string(PublishKeyName(*publishKey)) +
                       " is given more than once");
      }
      publishGiven[static_cast<std::size_t>(*publishKey)] = true;
      if (const auto wrong =
              TakePublishSetting(result.publishSettings, *publishKey, *publishValue, {})) {
        return Failure(*wrong);
      }
      continue;
    }
    if (const auto file = OptionValue(arguments, index, "--config", missing)) {
      if (missing || file->empty()) return Failure("option --config needs a file name");
      result.configPath = std::string(*file);
      continue;
    }
    if (const auto file = OptionValue(arguments, index, "--record", missing)) {
      if (missing) {
        return Failure("option --record needs a file, e.g. --record /var/log/halvorn/panel.halvorn");
      }
      if (file->empty()) return Failure("option --record names no file");
      // Given twice here is a fault; a file from the settings is replaced.
      if (recordGiven) return Failure("option --record is given more than once");
      recordGiven = true;
      result.recordPath = std::string(*file);
      continue;
    }
    if (const auto days = OptionValue(arguments, index, "--record-keep", missing)) {
      if (missing)
        return Failure("option --record-keep needs a number of days, e.g. --record-keep 365");
      if (keepGiven) return Failure("option --record-keep is given more than once");
      keepGiven = true;
      const std::optional<int> parsed = ParseKeepDays(*days);
      if (!parsed)
        return Failure("option --record-keep needs " + KeepDaysWanted() + ", not " + Quoted(*days));
      result.recordKeep = CommandLine::RecordKeep{*parsed, {}};
      continue;
    }
    const std::optional<std::string_view> portValue = OptionValue(arguments, index, "--port", missing);
    if (!portValue) {
      if (argument.starts_with("-")) return Failure("unknown option " + Quoted(argument));
      return Failure("unexpected argument " + Quoted(argument));
    }
    if (missing) {
      return Failure("option --port needs a value N=DEVICE, e.g. --port 1=/dev/ttyUSB0");
    }
    const std::string_view value = *portValue;
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

std::optional<int> ParseKeepDays(std::string_view text) {
  int days = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
  // from_chars takes a '-' too; digits only here.
  if (text.empty() || text.front() < '0' || text.front() > '9' || error != std::errc{} ||
      end != text.data() + text.size() || days < 1 || days > record::kMostKeepDays)
    return std::nullopt;
  return days;
}

std::string KeepDaysWanted() {
  return "a whole number of days from 1 to " + std::to_string(record::kMostKeepDays);
}

CommandLine CheckRecordKeep(CommandLine line) {
  if (line.outcome != CommandLine::Outcome::Run || !line.recordKeep || !line.recordPath.empty())
    return line;
  const SettingOrigin& origin = line.recordKeep->origin;
  if (origin.commandLine())
    return Failure(
        "option --record-keep is given but --record is missing: without a record nothing is kept");
  CommandLine failed;
  failed.outcome = CommandLine::Outcome::Fail;
  failed.error =
      std::string(kProgram) + ": " + origin.file + ":" + std::to_string(origin.line) +
      ": 'record-keep' is given but 'record' is missing: without a record nothing is kept";
  return failed;
}

CommandLine CheckPublishing(CommandLine line, std::string_view hostName) {
  if (line.outcome != CommandLine::Outcome::Run) return line;
  auto checked = CheckPublishSettings(line.publishSettings, hostName);
  if (const auto* fault = std::get_if<PublishFault>(&checked)) {
    if (fault->origin.commandLine()) return Failure(fault->what);
    CommandLine failed;
    failed.outcome = CommandLine::Outcome::Fail;
    failed.error = std::string(kProgram) + ": " + fault->origin.file + ":" +
                   std::to_string(fault->origin.line) + ": " + fault->what;
    return failed;
  }
  PublishCheck& check = std::get<PublishCheck>(checked);
  line.publish = std::move(check.options);
  line.publishWarning =
      check.warning.empty() ? std::string() : std::string(kProgram) + ": " + check.warning;
  return line;
}

std::string HelpText() {
  return "Usage: halvorn-panel [--port N=DEVICE]... [--record FILE [--record-keep DAYS]]\n"
         "                     [--reconnect] [--alarms]\n"
         "                     [--publish URL [publishing options]]\n"
         "                     [--config FILE]\n"
         "       halvorn-panel --list-ports\n"
         "\n"
         "The operator's front panel of the Halvorn gas-injection installation.\n"
         "Without arguments and without a settings file every start is the same\n"
         "and nothing is written to disk.\n"
         "\n"
         "The panel's port list offers Com1 to Com10. By default ComN opens the\n"
         "serial device /dev/ttyS<N-1>: Com1 is /dev/ttyS0, Com10 is /dev/ttyS9.\n"
         "\n"
         "Options:\n"
         "  --port N=DEVICE   let ComN (N from 1 to 10) open DEVICE instead, for\n"
         "                    example a USB serial adapter by its stable name in\n"
         "                    /dev/serial/by-id/, or the pseudo-terminal of a\n"
         "                    controller simulator. May be given once per port.\n"
         "                    Also written --port=N=DEVICE.\n"
         "  --reconnect       after \"Port n lost\" (adapter pulled), try the same\n"
         "                    port every 2 s and open it again once it is back;\n"
         "                    \"Disconnect\" or another port gives up. Only the\n"
         "                    adapter that was connected is opened again (USB\n"
         "                    vendor, product, serial number); give the port by\n"
         "                    its /dev/serial/by-id/ name, the safe choice here:\n"
         "                    ttyUSB numbers can change places.\n"
         "  --alarms          announce alarms: a banner below the picture (F8\n"
         "                    acknowledges the first), a frame round each device\n"
         "                    in alarm, the alarm summary (F9), and a horn. With a\n"
         "                    record, every alarm's transitions are journalled.\n"
         "  --publish URL     publish the plant, read-only, as Sparkplug B to the\n"
         "                    MQTT broker at URL: mqtt://HOST[:PORT] (port 1883)\n"
         "                    or mqtts://HOST[:PORT] (TLS, port 8883). The panel\n"
         "                    only connects out; nothing from the network reaches\n"
         "                    the serial line. Plain mqtt:// to another machine\n"
         "                    is allowed, with a warning: it is not encrypted.\n"
         "                    Without --publish nothing is opened, and the\n"
         "                    options below are refused.\n"
         "  --sparkplug-group GROUP\n"
         "                    the Sparkplug group id (default: halvorn).\n"
         "  --sparkplug-node NODE\n"
         "                    the edge node id (default: the host name up to its\n"
         "                    first '.'); two panels on one broker need two.\n"
         "  --sparkplug-host HOST_ID\n"
         "                    the primary host application the panel follows by\n"
         "                    its STATE. Sparkplug ids are not empty and hold no\n"
         "                    '/', '+' or '#'.\n"
         "  --mqtt-ca FILE    check the broker's certificate against FILE.\n"
         "  --mqtt-cert FILE, --mqtt-key FILE\n"
         "                    the panel's own certificate and its private key,\n"
         "                    both or neither. TLS files need mqtts://.\n"
         "  --mqtt-user NAME  log in to the broker as NAME.\n"
         "  --mqtt-password-file FILE\n"
         "                    the password is FILE's first line (needs\n"
         "                    --mqtt-user). A password is never taken on the\n"
         "                    command line, where other users can see it. Every\n"
         "                    file named must be readable at the start. Also\n"
         "                    --OPTION=VALUE for each of these.\n"
         "  --config FILE     read the settings from FILE instead of\n"
         "                    ~/.config/halvorn/panel.conf. Also --config=FILE.\n"
         "  --list-ports      list the machine's serial devices (driver, USB\n"
         "                    vendor and product, stable names, whether you may\n"
         "                    open them) and exit.\n"
         "  --record FILE     keep a record of this run in FILE, an SQLite database\n"
         "                    made if missing: every byte on the line, every\n"
         "                    operator action, every change on the picture. One\n"
         "                    file holds any number of runs. FILE is a regular\n"
         "                    file or a new name in a folder that exists, taken\n"
         "                    as that name alone (never an SQLite URI). When it\n"
         "                    cannot be written for the moment (another panel\n"
         "                    records into it, a lock, a full disk) the panel\n"
         "                    starts all the same and its title says \"not\n"
         "                    recording: \" and why. Also --record=FILE.\n"
         "  --record-keep DAYS\n"
         "                    keep the record bounded: the bytes on the line and\n"
         "                    the gauges' and flows' readings older than DAYS\n"
         "                    days are removed while the panel runs, once their\n"
         "                    per-minute and per-hour summaries are in the file.\n"
         "                    Kept for ever: the summaries, every change of a\n"
         "                    reading's quality (faults, grey), valve and pump\n"
         "                    states, actions, commands, events, alarms. Needs\n"
         "                    --record; without it nothing is ever removed.\n"
         "                    Also --record-keep=DAYS.\n"
         "  -h, --help        show this text and exit.\n"
         "\n"
         "Settings file (only read when it exists; options given here win):\n"
         "  # a comment\n"
         "  port 1 = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
         "  record = /var/tmp/halvorn-session.db   # a comment after a value\n"
         "  record-keep = 365\n"
         "  reconnect = yes\n"
         "  alarms = yes\n"
         "  alarm-sound = /usr/bin/paplay /usr/share/sounds/alarm.oga\n"
         "  alarm G6 = above 1e-3 mbar for 5 s priority high deadband 20 %\n"
         "  alarm MFC1 = deviation 10 for 30 s\n"
         "  priority V5 = high\n"
         "  guidance V5 = Check the pneumatic supply of the valve block\n"
         "  latch V5 = yes\n"
         "  publish = mqtts://broker.plant.example\n"
         "  sparkplug-node = chamber-2\n"
         "  mqtt-user = panel\n"
         "  mqtt-password-file = /etc/halvorn/mqtt-password\n"
         "\n"
         "Examples:\n"
         "  halvorn-panel --port 1=/dev/ttyUSB0\n"
         "  halvorn-panel --port 2=/dev/pts/7 --port 3=/dev/serial/by-id/usb-FTDI-if00\n"
         "  halvorn-panel --port 1=/dev/ttyUSB0 --record ~/pump-down.halvorn\n"
         "  halvorn-panel --port 1=/dev/ttyUSB0 --record ~/plant.halvorn --record-keep 30\n"
         "  halvorn-panel --port 1=/dev/ttyUSB0 --publish mqtt://127.0.0.1\n"
         "\n"
         "A wrong or unknown argument, a bad line in the settings file, a\n"
         "record that can never be one (a FIFO, a folder, a device, a URI, a\n"
         "file that is not a Halvorn record or is of a newer layout), or\n"
         "publishing options that do not fit together or name a file that\n"
         "cannot be read, is reported on standard error and the program exits\n"
         "with status 2 without opening its window; so does a start without a\n"
         "display.\n";
}

}  // namespace halvorn::shell
