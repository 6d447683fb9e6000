// Fuzz target of the panel's settings file: any bytes as the file's text.
// Whatever the file holds:
// - a refusal names the file and a line of it, in one line;
// - an accepted value (a publishing key's too) is never empty, has no blank
//   at either end, no NUL (the path would end there) and no comment;
// - what was accepted, written out again as a settings file, reads the same;
// - a byte-order mark in front, or CRLF line ends, change nothing.
#include <cstdint>
#include <string>
#include <string_view>

#include "SettingsFile.h"
#include "TextInput.h"

namespace halvorn::fuzz {
namespace {

using shell::CommandLine;

constexpr std::string_view kFileName = "panel.conf";

void CheckValue(std::string_view value) {
  Check(!value.empty(), "an accepted value is empty");
  Check(value.find('\0') == std::string_view::npos, "an accepted value holds a NUL", value);
  for (const char end : {value.front(), value.back()})
    Check(end != ' ' && end != '\t' && end != '\r', "an accepted value has a blank at an end",
          value);
  Check(value.front() != '#', "an accepted value begins with a comment", value);
  for (const std::string_view blank : {" #", "\t#", "\r#"})
    Check(value.find(blank) == std::string_view::npos, "an accepted value holds a comment", value);
}

std::string WrittenOut(const CommandLine& read) {
  const shell::PortMap defaults;
  std::string text;
  for (int port = shell::PortMap::kFirstPort; port <= shell::PortMap::kLastPort; ++port) {
    if (read.ports.Device(port) != defaults.Device(port))
      text += "port " + std::to_string(port) + " = " + read.ports.Device(port).value_or("") + "\n";
  }
  if (!read.recordPath.empty()) text += "record = " + read.recordPath + "\n";
  if (read.reconnect) text += "reconnect = yes\n";
  if (read.recordKeep) text += "record-keep = " + std::to_string(read.recordKeep->days) + "\n";
  for (std::size_t key = 0; key < shell::kPublishKeyCount; ++key) {
    if (const auto& given = read.publishSettings.given[key])
      text += std::string(shell::PublishKeyName(static_cast<shell::PublishKey>(key))) + " = " +
              given->value + "\n";
  }
  return text;
}

bool SamePublishValues(const CommandLine& a, const CommandLine& b) {
  for (std::size_t key = 0; key < shell::kPublishKeyCount; ++key) {
    const auto& x = a.publishSettings.given[key];
    const auto& y = b.publishSettings.given[key];
    if (x.has_value() != y.has_value() || (x && x->value != y->value)) return false;
  }
  return true;
}

void CheckSame(const CommandLine& a, const CommandLine& b, const char* what) {
  Check(a.outcome == b.outcome && a.error == b.error && a.ports == b.ports &&
            a.recordPath == b.recordPath && a.reconnect == b.reconnect &&
            a.recordKeep.has_value() == b.recordKeep.has_value() &&
            (!a.recordKeep || a.recordKeep->days == b.recordKeep->days) && SamePublishValues(a, b),
        what, a.error + " / " + b.error);
}

}  // namespace
}  // namespace halvorn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvorn::fuzz;
  const std::string_view text = InputText(data, size);
  const CommandLine read = halvorn::shell::ApplySettings(text, std::string(kFileName));
  if (read.outcome == CommandLine::Outcome::Fail) {
    const std::string prefix = "halvorn-panel: " + std::string(kFileName) + ":";
    Check(read.error.starts_with(prefix), "a refusal does not name the file", read.error);
    const std::size_t digits = read.error.find_first_not_of("0123456789", prefix.size());
    Check(digits != prefix.size() && digits != std::string::npos &&
              read.error.compare(digits, 2, ": ") == 0,
          "a refusal does not name the line", read.error);
    const long line = std::stol(read.error.substr(prefix.size(), digits - prefix.size()));
    long lines = 1;
    for (const char c : text) lines += c == '\n';
    Check(line >= 1 && line <= lines, "a refusal names a line the file does not have", read.error);
  } else {
    Check(read.outcome == CommandLine::Outcome::Run, "a settings file asked for another outcome");
    const halvorn::shell::PortMap defaults;
    for (int port = halvorn::shell::PortMap::kFirstPort; port <= halvorn::shell::PortMap::kLastPort;
         ++port) {
      if (read.ports.Device(port) != defaults.Device(port))
        CheckValue(read.ports.Device(port).value_or(""));
    }
    if (!read.recordPath.empty()) CheckValue(read.recordPath);
    for (const auto& given : read.publishSettings.given)
      if (given) CheckValue(given->value);
    CheckSame(halvorn::shell::ApplySettings(WrittenOut(read), std::string(kFileName)), read,
              "written out again it reads otherwise");
  }
  if (!text.starts_with("\xEF\xBB\xBF")) {
    CheckSame(
        halvorn::shell::ApplySettings("\xEF\xBB\xBF" + std::string(text), std::string(kFileName)),
        read, "a byte-order mark changed the reading");
  }
  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  CheckSame(halvorn::shell::ApplySettings(crlf, std::string(kFileName)), read,
            "CRLF line ends changed the reading");
  return 0;
}
