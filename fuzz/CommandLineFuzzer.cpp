// Fuzz target of the panel's start: its arguments and, after the first pair
// of NUL bytes, the text of the settings file that the start would read
// (given to it for whichever file it reads; without the pair there is none).
// Whatever the arguments:
// - --help and --list-ports are answered, and a wrong argument refused,
//   without reading any settings file, and the file is read at most once;
// - a refusal is a message for the operator, "halvorn-panel: ...";
// - a start, written out again as arguments alone, starts the same way;
// - the command line wins: every --port it gives is what the start uses,
//   and so is every publishing option;
// - publishing is on exactly when a broker is named, with ids that are one
//   topic level, and the warning exactly for a plain broker off the machine.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "PublishOptions.h"
#include "SettingsFile.h"
#include "TextInput.h"

namespace {

constexpr std::string_view kHostName = "fuzz-host.example";

// Whether two checked starts publish the same way (the origins of the
// values aside).
bool SamePublishing(const halvorn::shell::CommandLine& a, const halvorn::shell::CommandLine& b) {
  if (a.publishWarning != b.publishWarning || a.publish.has_value() != b.publish.has_value())
    return false;
  for (std::size_t key = 0; key < halvorn::shell::kPublishKeyCount; ++key) {
    const auto& x = a.publishSettings.given[key];
    const auto& y = b.publishSettings.given[key];
    if (x.has_value() != y.has_value() || (x && x->value != y->value)) return false;
  }
  if (!a.publish) return true;
  const halvorn::shell::PublishOptions& x = *a.publish;
  const halvorn::shell::PublishOptions& y = *b.publish;
  return x.broker.host == y.broker.host && x.broker.port == y.broker.port &&
         x.broker.tls == y.broker.tls && x.ClientId() == y.ClientId() &&
         x.primaryHost == y.primaryHost && x.caFile == y.caFile && x.certFile == y.certFile &&
         x.keyFile == y.keyFile && x.user == y.user && x.password == y.password;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvorn::fuzz;
  using halvorn::shell::CommandLine;
  using halvorn::shell::SettingsText;
  std::string_view text = InputText(data, size);
  std::optional<std::string_view> settings;
  if (const std::size_t pair = text.find(std::string_view("\0\0", 2));
      pair != std::string_view::npos) {
    settings = text.substr(pair + 2);
    text = text.substr(0, pair);
  }
  const std::vector<std::string_view> arguments = SplitArguments(text);
  int reads = 0;
  const CommandLine start =
      halvorn::shell::ReadStartOptions(arguments, "panel.conf", [&](const std::string&) {
        ++reads;
        SettingsText file;
        if (settings) {
          file.state = SettingsText::State::Read;
          file.text = std::string(*settings);
        }
        return file;
      },
      [] { return std::string(kHostName); });
  Check(reads <= 1, "the settings file was read more than once");
  const CommandLine alone = halvorn::shell::ParseCommandLine(arguments);
  if (alone.outcome != CommandLine::Outcome::Run) {
    Check(reads == 0, "a settings file was read for help, a listing or a wrong argument");
    Check(start.outcome == alone.outcome && start.error == alone.error,
          "the settings file changed an answer");
  }
  if (start.outcome == CommandLine::Outcome::Fail) {
    Check(start.error.starts_with("halvorn-panel: "), "a refusal is not the panel's message",
          start.error);
    return 0;
  }
  if (start.outcome != CommandLine::Outcome::Run) return 0;

  const halvorn::shell::PortMap defaults;
  std::vector<std::string> written;
  for (int port = halvorn::shell::PortMap::kFirstPort; port <= halvorn::shell::PortMap::kLastPort;
       ++port) {
    const std::optional<std::string> device = start.ports.Device(port);
    Check(device && !device->empty(), "a port opens no device");
    if (device != defaults.Device(port)) {
      written.push_back("--port=" + std::to_string(port) + "=" + *device);
      // Given on the command line, the file's device lost.
      if (alone.ports.Device(port) != defaults.Device(port))
        Check(device == alone.ports.Device(port), "the settings file won over --port", *device);
    }
  }
  if (!start.recordPath.empty()) written.push_back("--record=" + start.recordPath);
  if (start.reconnect) written.push_back("--reconnect");
  if (!start.configPath.empty()) written.push_back("--config=" + start.configPath);

  using halvorn::shell::PublishKey;
  for (std::size_t key = 0; key < halvorn::shell::kPublishKeyCount; ++key) {
    const auto& given = start.publishSettings.given[key];
    if (!given) continue;
    const std::string_view name = halvorn::shell::PublishKeyName(static_cast<PublishKey>(key));
    written.push_back("--" + std::string(name) + "=" + given->value);
    if (const auto& argument = alone.publishSettings.given[key])
      Check(given->value == argument->value, "the settings file won over a publishing option",
            given->value);
  }
  Check(start.publish.has_value() == start.publishSettings[PublishKey::Publish].has_value(),
        "publishing is on without a broker, or off with one");
  if (start.publish) {
    for (const std::string& id : {start.publish->group, start.publish->node})
      Check(!halvorn::shell::SparkplugIdProblem(id), "a Sparkplug id is no topic level", id);
    const bool plainOffTheMachine = !start.publish->broker.tls && !start.publish->broker.Loopback();
    Check(start.publishWarning.empty() != plainOffTheMachine,
          "the warning of a plain broker off the machine is missing or misplaced",
          start.publishWarning);
  } else {
    Check(start.publishWarning.empty(), "a warning without publishing", start.publishWarning);
  }

  std::vector<std::string_view> again(written.begin(), written.end());
  const CommandLine reparsed =
      halvorn::shell::CheckPublishing(halvorn::shell::ParseCommandLine(again), kHostName);
  Check(reparsed.outcome == CommandLine::Outcome::Run && reparsed.ports == start.ports &&
            reparsed.recordPath == start.recordPath && reparsed.reconnect == start.reconnect &&
            reparsed.configPath == start.configPath && SamePublishing(reparsed, start),
        "written out again the start reads otherwise", reparsed.error);
  return 0;
}
