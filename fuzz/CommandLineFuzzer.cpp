// Fuzz target of the panel's start: its arguments and, after the first pair
// of NUL bytes, the text of the settings file that the start would read
// (given to it for whichever file it reads; without the pair there is none).
// Whatever the arguments:
// - --help and --list-ports are answered, and a wrong argument refused,
//   without reading any settings file, and the file is read at most once;
// - a refusal is a message for the operator, "halvorn-panel: ...";
// - a start, written out again as arguments alone, starts the same way;
// - the command line wins: every --port it gives is what the start uses.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "SettingsFile.h"
#include "TextInput.h"

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
      });
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
  std::vector<std::string_view> again(written.begin(), written.end());
  const CommandLine reparsed = halvorn::shell::ParseCommandLine(again);
  Check(reparsed.outcome == CommandLine::Outcome::Run && reparsed.ports == start.ports &&
            reparsed.recordPath == start.recordPath && reparsed.reconnect == start.reconnect &&
            reparsed.configPath == start.configPath,
        "written out again the start reads otherwise", reparsed.error);
  return 0;
}
