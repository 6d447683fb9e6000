#include "LogEntries.h"

#include <algorithm>

namespace halvorn::history {

std::string_view KindName(LogKind kind) {
  switch (kind) {
    case LogKind::Command:
      return "operator command";
    case LogKind::Warning:
      return "warning";
    case LogKind::Fault:
      return "fault";
    case LogKind::Link:
      return "link event";
    case LogKind::Gap:
      return "gap";
    case LogKind::Alarm:
      return "alarm";
    case LogKind::Record:
      break;
  }
  return "recording";
}

std::vector<LogEntry> LogEntries(const SessionData& data) {
  std::vector<LogEntry> entries;
  for (const Command& c : data.commands)
    entries.push_back({c.t, LogKind::Command, c.device, c.procedure + " " + c.argument});
  for (const auto& [device, state] : data.faults) entries.push_back({state.t, LogKind::Fault, device, state.text});
  for (const Event& e : data.events) {
    LogEntry entry{e.t, LogKind::Link, "", e.text};
    if (e.kind == "counters") continue;
    if (e.kind == "warning") {
      entry.kind = LogKind::Warning;
    } else if (e.kind == "gap") {
      entry.kind = LogKind::Gap;
      if (e.number) entry.text += " (" + std::to_string(*e.number) + " items lost)";
    } else if (e.kind == "recording") {
      entry.kind = LogKind::Record;
    } else if (e.number) {  // the link: opened, closed, lost, open failed
      entry.device = e.kind == "open failed" ? "" : "port " + std::to_string(*e.number);
    }
    entries.push_back(std::move(entry));
  }
  // "raised (high): Port 1 lost", "acknowledged (high) by jdoe",
  // "shelved (low): pump hot, for maintenance".
  for (const AlarmRow& a : data.alarms) {
    std::string text = a.transition + " (" + a.priority + ")";
    if (a.transition == "raised" || a.transition == "returned") text += ": " + a.text;
    if (a.reason) text += ", " + *a.reason;
    if (a.user) text += " by " + *a.user;
    entries.push_back({a.t, LogKind::Alarm, a.point, std::move(text)});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const LogEntry& a, const LogEntry& b) { return a.t < b.t; });
  return entries;
}

}  // namespace halvorn::history
