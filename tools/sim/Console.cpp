#include "Console.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "Flood.h"

namespace halvorn::sim {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  if (const auto comment = line.find('#'); comment != std::string_view::npos) line = line.substr(0, comment);
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const std::size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

std::string Lower(std::string_view word) {
  std::string out(word);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<int> Integer(std::string_view word) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  int value = 0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  if (word.empty() || error != std::errc{} || stop != end) return {};
  return value;
}

std::optional<double> Decimal(std::string_view word) {
  double value = 0.0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  if (word.empty() || error != std::errc{} || stop != end || !std::isfinite(value)) return {};
  return value;
}

ParsedLine Error(std::string text) { return {std::nullopt, std::move(text)}; }
ParsedLine Ok(ConsoleCommand command) { return {std::move(command), {}}; }

std::string GroupNames() {
  std::string names;
  for (const GroupInfo& info : kGroups) names += (names.empty() ? "" : " ") + std::string(info.name);
  return names;
}

// A group name, or "all" for every group.
std::optional<std::vector<Group>> Groups(std::string_view word) {
  if (Lower(word) == "all") {
    std::vector<Group> all;
    for (const GroupInfo& info : kGroups) all.push_back(info.group);
    return all;
  }
  if (const std::optional<Group> group = GroupByName(word)) return std::vector<Group>{*group};
  return {};
}

ParsedLine ParseFault(const std::vector<std::string_view>& w) {
  if (w.size() != 3) return Error("usage: fault <device|all> <code 0-255|clear>");
  console::Fault fault;
  if (Lower(w[1]) == "all") {
    for (int d = 0; d < kDeviceCount; ++d) fault.devices.push_back(d);
  } else if (const std::optional<int> device = DeviceByName(w[1])) {
    fault.devices.push_back(*device);
  } else {
    return Error("unknown device '" + std::string(w[1]) +
                 "' (V1..V14 CV1 CV2 rotary1 rotary2 tmp G1..G8 MFC1..MFC4 electrode cooling all)");
  }
  if (Lower(w[2]) == "clear") return Ok(fault);
  const std::optional<int> code = Integer(w[2]);
  if (!code || *code < 0 || *code > 255) return Error("status code must be 0 to 255 or clear");
  // Byte 13 ends a message on the line: it would cut the answer in two.
  if (*code == 13) return Error("code 13 is the carriage return and would cut the answer; use badlen or nocr");
  fault.code = static_cast<unsigned char>(*code);
  return Ok(fault);
}

ParsedLine ParseWarn(const std::vector<std::string_view>& w) {
  if (w.size() < 2 || w.size() > 3) return Error("usage: warn <100|105|106> [count]");
  const std::optional<int> type = Integer(w[1]);
  if (!type || (*type != 100 && *type != 105 && *type != 106)) return Error("warning must be 100, 105 or 106");
  console::Warn warn{*type, 1};
  if (w.size() == 3) {
    const std::optional<int> count = Integer(w[2]);
    if (!count || *count < 1 || *count > kMostWarnings) return Error("count must be 1 to 100");
    warn.count = *count;
  }
  return Ok(warn);
}

ParsedLine ParseBadLength(const std::vector<std::string_view>& w) {
  if (w.size() < 2 || w.size() > 3) return Error("usage: badlen <group|all|none> [delta]");
  console::BadLength bad;
  if (Lower(w[1]) == "none") {
    if (w.size() == 3) return Error("none takes no delta");
    bad.groups = *Groups("all");
    bad.delta = 0;
    return Ok(bad);
  }
  const auto groups = Groups(w[1]);
  if (!groups) return Error("unknown group '" + std::string(w[1]) + "' (" + GroupNames() + " all none)");
  bad.groups = *groups;
  if (w.size() == 3) {
    const std::optional<int> delta = Integer(w[2]);
    if (!delta || *delta < -9 || *delta > 99) return Error("delta must be -9 to 99 (0 restores)");
    bad.delta = *delta;
  }
  return Ok(bad);
}

ParsedLine ParseSilence(const std::vector<std::string_view>& w, bool silent) {
  const char* usage = silent ? "usage: silence <group|all|none>" : "usage: unsilence <group|all>";
  if (w.size() != 2) return Error(usage);
  if (silent && Lower(w[1]) == "none") return Ok(console::Silence{*Groups("all"), false});
  const auto groups = Groups(w[1]);
  if (!groups) return Error("unknown group '" + std::string(w[1]) + "' (" + GroupNames() + " all)");
  return Ok(console::Silence{*groups, silent});
}

ParsedLine ParseFlood(const std::vector<std::string_view>& w) {
  constexpr const char* usage =
      "usage: flood <bytes per second 1-1000000> [crc fraction 0 to 1 [slice ms 1-20]] | flood stop";
  if (w.size() == 2 && Lower(w[1]) == "stop") return Ok(console::Flood{});
  if (w.size() < 2 || w.size() > 4) return Error(usage);
  const std::optional<double> rate = Decimal(w[1]);
  if (!rate || *rate < 1.0 || *rate > kFastestFloodBytesPerSecond) return Error(usage);
  console::Flood flood{*rate, 0.0, kFinestFloodSliceMs};
  if (w.size() >= 3) {
    const std::optional<double> fraction = Decimal(w[2]);
    if (!fraction || *fraction < 0.0 || *fraction > 1.0) return Error(usage);
    flood.crcFraction = *fraction;
  }
  if (w.size() == 4) {
    const std::optional<int> slice = Integer(w[3]);
    if (!slice || *slice < kFinestFloodSliceMs || *slice > kCoarsestFloodSliceMs) return Error(usage);
    flood.sliceMs = *slice;
  }
  return Ok(flood);
}

}  // namespace

ParsedLine ParseConsoleLine(std::string_view line) {
  const std::vector<std::string_view> w = Words(line);
  if (w.empty()) return {};
  const std::string verb = Lower(w[0]);
  const auto bare = [&w, &verb](ConsoleCommand command) {
    return w.size() == 1 ? Ok(std::move(command)) : Error(verb + " takes no argument");
  };

  if (verb == "help" || verb == "?") return bare(console::Help{});
  if (verb == "status") return bare(console::Status{});
  if (verb == "fault") return ParseFault(w);
  if (verb == "warn") return ParseWarn(w);
  if (verb == "crc") {
    const std::optional<double> fraction = w.size() == 2 ? Decimal(w[1]) : std::nullopt;
    if (!fraction || *fraction < 0.0 || *fraction > 1.0) return Error("usage: crc <fraction 0 to 1>");
    return Ok(console::Crc{*fraction});
  }
  if (verb == "badlen") return ParseBadLength(w);
  if (verb == "nocr") {
    if (w.size() == 1) return Ok(console::NoCr{0});
    const std::optional<int> bytes = w.size() == 2 ? Integer(w[1]) : std::nullopt;
    if (!bytes || *bytes < 1 || *bytes > kLongestBurst) return Error("usage: nocr [bytes 1-4096]");
    return Ok(console::NoCr{*bytes});
  }
  if (verb == "silence") return ParseSilence(w, true);
  if (verb == "unsilence") return ParseSilence(w, false);
  if (verb == "stop") return bare(console::Stop{true});
  if (verb == "resume") return bare(console::Stop{false});
  if (verb == "hangup") {
    if (w.size() == 1) return Ok(console::Hangup{});
    const std::optional<double> seconds = w.size() == 2 ? Decimal(w[1]) : std::nullopt;
    if (!seconds || *seconds < 0.0 || *seconds > kLongestHangupSeconds) {
      return Error("usage: hangup [seconds 0-3600 until the line opens again]");
    }
    return Ok(console::Hangup{*seconds});
  }
  if (verb == "reopen") return bare(console::Reopen{});
  if (verb == "acks") {
    const std::string state = w.size() == 2 ? Lower(w[1]) : "";
    if (state != "on" && state != "off") return Error("usage: acks <on|off>");
    return Ok(console::Acks{state == "on"});
  }
  if (verb == "clear") return bare(console::Clear{});
  if (verb == "flood") return ParseFlood(w);
  if (verb == "quit" || verb == "exit") return bare(console::Quit{});
  if (verb == "act") {
    if (w.size() != 2) return Error("usage: act <command text, e.g. 040_1 or 020_03>");
    return Ok(console::Act{std::string(w[1])});
  }
  return Error("unknown command '" + std::string(w[0]) + "' (help lists them)");
}

std::string ConsoleHelp() {
  return "help                         list these commands\n"
         "status                       show the plant, the faults and the line counters\n"
         "fault <device|all> <code>    report status byte 0-255 (not 13) or 'clear': V1..V14 CV1 CV2 rotary1 rotary2 tmp "
         "G1..G8 MFC1..MFC4 electrode cooling\n"
         "warn <100|105|106> [n]       send that controller warning (n times) after the next poll answer\n"
         "crc <fraction>               send this share (0 to 1) of frames with a wrong checksum\n"
         "badlen <group|all|none> [d]  make a group's answers d bytes longer (negative: shorter; default 1)\n"
         "nocr [bytes]                 next frame without its carriage return; with bytes: that many bytes without one\n"
         "silence <group|all|none>     stop answering a group's polls: valves pumps gauges flows uptime electrode cooling\n"
         "unsilence <group|all>        answer a group's polls again\n"
         "stop                         send nothing at all until resume\n"
         "resume                       send again after stop\n"
         "hangup [seconds]             close the line; open a new one (path printed again) after that many seconds\n"
         "reopen                       open the line again after a hangup\n"
         "acks <on|off>                answer every command with a message of its own type\n"
         "clear                        remove every fault (status codes, crc, badlen, silence, stop, pending sends)\n"
         "flood <bytes/s> [f [ms]]     send answers back-to-back at that rate (92160 is a 921600-baud line), share f "
         "with a wrong checksum, handed to the line every ms milliseconds (1-20, default 1); 'flood stop' ends it and "
         "reports the frames sent\n"
         "act <command>                act on a command as if the panel had sent it: 040_1 switches rotary1 on, "
         "020_03 opens V3\n"
         "quit                         end the simulator\n";
}

}  // namespace halvorn::sim
