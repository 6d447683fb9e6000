#include "SettingsFile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

namespace halvorn::shell {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

CommandLine Failed(const std::string& fileName, int lineNumber, const std::string& what) {
  CommandLine result;
  result.outcome = CommandLine::Outcome::Fail;
  result.error = std::string(kProgramName) + ": " + fileName +
                 (lineNumber > 0 ? ":" + std::to_string(lineNumber) : std::string()) + ": " + what;
  return result;
}

std::optional<bool> ParseYesNo(std::string_view value) {
  for (const std::string_view yes : {"yes", "true", "on", "1"})
    if (value == yes) return true;
  for (const std::string_view no : {"no", "false", "off", "0"})
    if (value == no) return false;
  return std::nullopt;
}

// The number N of a key "port N", or nothing for another key.
std::optional<std::string_view> PortNumberOfKey(std::string_view key) {
  constexpr std::string_view kPort = "port";
  if (!key.starts_with(kPort) || key.size() == kPort.size()) return std::nullopt;
  const std::string_view rest = key.substr(kPort.size());
  if (rest.front() != ' ' && rest.front() != '\t') return std::nullopt;
  return Trimmed(rest);
}

}  // namespace

std::string DefaultSettingsPath(const char* xdgConfigHome, const char* home) {
  if (xdgConfigHome && xdgConfigHome[0] == '/') return std::string(xdgConfigHome) + "/halvorn/panel.conf";
  if (home && home[0] == '/') return std::string(home) + "/.config/halvorn/panel.conf";
  return {};
}

CommandLine ApplySettings(std::string_view text, const std::string& fileName, CommandLine base) {
  CommandLine result = std::move(base);
  // The line on which each key was given, 0 while not given: ports 1 to
  // 10, then record and reconnect.
  std::array<int, PortMap::kLastPort + 3> givenOn{};
  const std::size_t recordSlot = PortMap::kLastPort + 1;
  const std::size_t reconnectSlot = PortMap::kLastPort + 2;

  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;

    const auto fail = [&](const std::string& what) { return Failed(fileName, lineNumber, what); };
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return fail("expected 'key = value', not " + Quoted(line));
    }
    const std::string_view key = Trimmed(line.substr(0, equals));
    const std::string_view value = Trimmed(line.substr(equals + 1));
    std::size_t slot = 0;
    if (const std::optional<std::string_view> number = PortNumberOfKey(key)) {
      const std::optional<int> port = ParsePortNumber(*number);
      if (!port) return fail("port number " + Quoted(*number) + " is not a number from 1 to 10");
      if (value.empty()) return fail(Quoted(key) + " names no device");
      slot = static_cast<std::size_t>(*port);
      result.ports.SetDevice(*port, std::string(value));
    } else if (key == "record") {
      if (value.empty()) return fail("'record' names no file");
      slot = recordSlot;
      result.recordPath = std::string(value);
    } else if (key == "reconnect") {
      const std::optional<bool> on = ParseYesNo(value);
      if (!on) return fail("'reconnect' must be yes or no, not " + Quoted(value));
      slot = reconnectSlot;
      result.reconnect = *on;
    } else {
      return fail("unknown setting " + Quoted(key) + " (known: port N, record, reconnect)");
    }
    if (givenOn[slot] != 0) {
      return fail(Quoted(key) + " is already given on line " + std::to_string(givenOn[slot]));
    }
    givenOn[slot] = lineNumber;
  }
  return result;
}

CommandLine ReadStartOptions(std::span<const std::string_view> arguments,
                             const std::string& defaultPath) {
  CommandLine first = ParseCommandLine(arguments);
  if (first.outcome != CommandLine::Outcome::Run) return first;
  const bool named = !first.configPath.empty();
  const std::string path = named ? first.configPath : defaultPath;
  if (path.empty()) return first;

  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return Failed(path, 0, "cannot read the settings file: it is a directory");
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    const int failure = errno;
    // No file, no change; but a file the operator named must be there.
    if (!named && (failure == ENOENT || failure == ENOTDIR)) return first;
    return Failed(path, 0, std::string("cannot read the settings file: ") + std::strerror(failure));
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return Failed(path, 0, "cannot read the settings file");
  CommandLine base = ApplySettings(text.str(), path);
  if (base.outcome != CommandLine::Outcome::Run) return base;
  base.configPath = first.configPath;
  return ParseCommandLine(arguments, std::move(base));
}

}  // namespace halvorn::shell
