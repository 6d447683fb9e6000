#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

namespace halvorn::shell {
namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A part of the file as the error message shows it: control bytes as \xNN,
// so that a file from elsewhere cannot send escape sequences to the
// operator's terminal.
std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string quoted = "'";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xf];
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

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

// The line without its comment: a '#' that begins a word (at the start,
// after a blank or right after the '=') starts one, so "record = x  # daily"
// is "record = x", but "run#3.halvorn" keeps its '#'. No value can then
// begin with a '#' or hold one after a blank.
std::string_view WithoutComment(std::string_view line) {
  for (std::size_t at = line.find('#'); at != std::string_view::npos; at = line.find('#', at + 1)) {
    if (at == 0 || kBlanks.find(line[at - 1]) != std::string_view::npos || line[at - 1] == '=') {
      return line.substr(0, at);
    }
  }
  return line;
}

// What a file that is there but is no regular file is, for the message.
const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

SettingsText ReadFailure(const std::string& why) {
  SettingsText result;
  result.state = SettingsText::State::Failed;
  result.error = why;
  return result;
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
  // 10, then record, reconnect, alarms, alarm-sound, record-keep and the
  // publishing keys.
  std::array<int, PortMap::kLastPort + 6 + kPublishKeyCount> givenOn{};
  const std::size_t recordSlot = PortMap::kLastPort + 1;
  const std::size_t reconnectSlot = PortMap::kLastPort + 2;
  const std::size_t alarmsSlot = PortMap::kLastPort + 3;
  const std::size_t soundSlot = PortMap::kLastPort + 4;
  const std::size_t keepSlot = PortMap::kLastPort + 5;
  const std::size_t firstPublishSlot = PortMap::kLastPort + 6;
  // And of each alarm key ("priority V5"), blanks made one.
  std::map<std::string, int, std::less<>> alarmKeysOn;

  // Editors on other systems start a UTF-8 file with a byte-order mark.
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    const std::string_view whole = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    const auto fail = [&](const std::string& what) { return Failed(fileName, lineNumber, what); };
    // A path would end at the NUL when the file is opened: another file
    // than the one written here.
    if (whole.find('\0') != std::string_view::npos) return fail("a NUL byte: this is not a text file");
    const std::string_view line = Trimmed(WithoutComment(whole));
    if (line.empty() || line.front() == '#') continue;
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
    } else if (key == "record-keep") {
      const std::optional<int> days = ParseKeepDays(value);
      if (!days) return fail("'record-keep' needs " + KeepDaysWanted() + ", not " + Quoted(value));
      slot = keepSlot;
      result.recordKeep = CommandLine::RecordKeep{*days, {fileName, lineNumber}};
    } else if (key == "reconnect" || key == "alarms") {
      const std::optional<bool> on = ParseYesNo(value);
      if (!on) return fail(Quoted(key) + " must be yes or no, not " + Quoted(value));
      slot = key == "alarms" ? alarmsSlot : reconnectSlot;
      (key == "alarms" ? result.alarms : result.reconnect) = *on;
    } else if (key == "alarm-sound") {
      if (value.empty()) return fail("'alarm-sound' names no command");
      slot = soundSlot;
      result.alarmSound = std::string(value);
    } else if (const std::optional<PublishKey> publishKey = FindPublishKey(key)) {
      if (const std::optional<std::string> wrong = TakePublishSetting(
              result.publishSettings, *publishKey, value, {fileName, lineNumber}))
        return fail(*wrong);
      slot = firstPublishSlot + static_cast<std::size_t>(*publishKey);
    } else if (key == "mqtt-password") {
      // A settings file is often readable by others and copied from panel
      // to panel; the password stays in a file of its own.
      return fail(
          "'mqtt-password': a password is never kept in the settings file: write it in a file "
          "only the panel's user can read and name that with 'mqtt-password-file'");
    } else if (alarms::IsAlarmKey(key)) {
      if (const std::optional<std::string> wrong = alarms::TakeAlarmSetting(result.alarmSettings, key, value))
        return fail(*wrong);
      const std::size_t blank = key.find_first_of(kBlanks);
      const std::string named = std::string(key.substr(0, blank)) + " " + std::string(Trimmed(key.substr(blank)));
      const auto [at, added] = alarmKeysOn.emplace(named, lineNumber);
      if (!added) return fail(Quoted(named) + " is already given on line " + std::to_string(at->second));
      continue;
    } else {
      std::string known =
          "port N, record, record-keep, reconnect, alarms, alarm-sound, alarm P, priority P, "
          "guidance P, latch P";
      for (std::size_t index = 0; index < kPublishKeyCount; ++index)
        known += ", " + std::string(PublishKeyName(static_cast<PublishKey>(index)));
      return fail("unknown setting " + Quoted(key) + " (known: " + known + ")");
    }
    if (givenOn[slot] != 0) {
      return fail(Quoted(key) + " is already given on line " + std::to_string(givenOn[slot]));
    }
    givenOn[slot] = lineNumber;
  }
  return result;
}

SettingsText ReadSettingsFile(const std::string& path) {
  // Looked at before it is opened: opening a FIFO for reading waits for a
  // writer, and opening some devices does something.
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0) {
    const int failure = errno;
    if (failure == ENOENT || failure == ENOTDIR) return {};
    return ReadFailure(std::strerror(failure));
  }
  if (!S_ISREG(named.st_mode)) return ReadFailure(std::string("it is ") + KindOfFile(named.st_mode));
  // Non-blocking in case a FIFO took the name since; checked again on what
  // was opened.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return ReadFailure(std::strerror(errno));
  SettingsText result;
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    result = ReadFailure(std::string("it is ") + KindOfFile(opened.st_mode));
  } else {
    result.state = SettingsText::State::Read;
    char buffer[16384];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        result = ReadFailure(std::strerror(errno));
        break;
      }
      if (n == 0) break;
      result.text.append(buffer, static_cast<std::size_t>(n));
      if (result.text.size() > kMostSettingsBytes) {
        result = ReadFailure("it is longer than " + std::to_string(kMostSettingsBytes / 1024) + " KiB");
        break;
      }
    }
  }
  ::close(fd);
  return result;
}

CommandLine ReadStartOptions(std::span<const std::string_view> arguments,
                             const std::string& defaultPath,
                             const std::function<SettingsText(const std::string&)>& read,
                             const std::function<std::string()>& hostName) {
  CommandLine first = ParseCommandLine(arguments);
  if (first.outcome != CommandLine::Outcome::Run) return first;
  const bool named = !first.configPath.empty();
  const std::string path = named ? first.configPath : defaultPath;
  if (path.empty()) return CheckPublishing(CheckRecordKeep(std::move(first)), hostName());

  const SettingsText file = read(path);
  switch (file.state) {
    case SettingsText::State::Missing:
      // No file, no change; but a file the operator named must be there.
      if (!named) return CheckPublishing(CheckRecordKeep(std::move(first)), hostName());
      return Failed(path, 0, std::string("cannot read the settings file: ") + std::strerror(ENOENT));
    case SettingsText::State::Failed:
      return Failed(path, 0, "cannot read the settings file: " + file.error);
    case SettingsText::State::Read:
      break;
  }
  CommandLine base = ApplySettings(file.text, path);
  if (base.outcome != CommandLine::Outcome::Run) return base;
  base.configPath = first.configPath;
  return CheckPublishing(CheckRecordKeep(ParseCommandLine(arguments, std::move(base))), hostName());
}

}  // namespace halvorn::shell
