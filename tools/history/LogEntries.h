// The rows of the viewer's event log: the operator's commands, the
// controller's warnings, device faults, link events and the record's own
// gaps, and the alarm journal's transitions, on one time line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "SessionData.h"

namespace halvorn::history {

enum class LogKind { Command, Warning, Fault, Link, Gap, Record, Alarm };
constexpr LogKind kLogKinds[] = {LogKind::Command, LogKind::Warning, LogKind::Fault, LogKind::Link,
                                 LogKind::Gap,     LogKind::Record,  LogKind::Alarm};

// "operator command", "warning", "fault", "link event", "gap", "recording",
// "alarm".
std::string_view KindName(LogKind kind);

struct LogEntry {
  Nanoseconds t = 0;
  LogKind kind = LogKind::Command;
  std::string device;  // "V5", "G3", "port 1", an alarm point; empty for none
  std::string text;
};

// Every entry of `data` in time order. The counters the panel records now
// and then are left out: they are not events.
std::vector<LogEntry> LogEntries(const SessionData& data);

}  // namespace halvorn::history
