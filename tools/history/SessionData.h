// What the history viewer keeps of one session of a record: the readings of
// the gauges and flow controllers, the states of the valves and pumps, the
// operator's commands and the events, each in time order.
//
// Times are nanoseconds on the session's monotonic clock (`t_ns`). A stored
// state holds from its time until the next row of the same device: the panel
// stores changes only, so a steady pressure may be one row for hours. Where
// the record lost items (a gap), every series gets a gap row at the first
// item lost: nothing is known from there until the device's next row, which
// the panel writes for every device as soon as it records again.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "panel/Devices.h"
#include "record/Schema.h"

namespace halvorn::history {

using Nanoseconds = std::int64_t;
constexpr Nanoseconds kNanosecondsPerSecond = 1'000'000'000;
// No session lasts a century: a row's time beyond this, before or after its
// session's start, is read as this (only a damaged or made-up file has one),
// so that the difference of any two times of a session is a number.
constexpr Nanoseconds kLongestSession = 100LL * 365 * 86400 * kNanosecondsPerSecond;

struct Session {
  std::int64_t id = 0;
  Nanoseconds startedWallNs = 0;  // wall clock at t = 0
  Nanoseconds lastTNs = 0;        // newest item committed so far
  bool ended = false;
  std::string version;
};

// One gauge or flow row. `value` is the reading for a valid row and the
// range's bound for a reading below range ("<1.000E-4" gives 1e-4); NaN
// otherwise.
struct Sample {
  Nanoseconds t = 0;
  double value = std::numeric_limits<double>::quiet_NaN();
  record::Quality quality = record::Quality::NoData;
  bool gap = false;  // nothing is known from here on
};

// One change of a valve or pump as the panel showed it.
struct DeviceState {
  Nanoseconds t = 0;
  std::optional<std::uint32_t> colour;  // 0x00BBGGRR or 0x800000nn, as stored
  record::Quality quality = record::Quality::NotANumber;
  std::string text;
  bool gap = false;  // nothing is known from here on
};

// What the operator did (one `action` row).
struct Command {
  Nanoseconds t = 0;
  std::string procedure;
  std::string device;  // empty for none
  std::string argument;
};

// One `event` row.
struct Event {
  Nanoseconds t = 0;
  std::string kind;
  std::optional<std::int64_t> number;
  std::string text;
};

// One `alarm` row: a transition of an alarm point, in the journal's words.
struct AlarmRow {
  Nanoseconds t = 0;
  std::string point;       // "V7", "PORT", "G6-ABOVE"
  std::string transition;  // "raised", "returned", "acknowledged", "shelved", "unshelved", "cleared"
  std::string priority;    // "high", "medium", "low"
  std::string text;
  std::optional<std::string> reason;  // shelved: why
  std::optional<Nanoseconds> until;   // shelved: when the shelf expires
  std::optional<std::string> user;    // what an operator did: who
};

// A flow setpoint the panel sent: a flow setpoint frame that went out on
// the line (a text rejected, or typed while the port was closed, is none).
struct Setpoint {
  Nanoseconds t = 0;
  int percent = 0;
  bool gap = false;  // a setpoint sent from here on may be lost
};

constexpr int kGaugeCount = 8;
constexpr int kFlowCount = 4;
// Full scale of MFC1 to MFC4 in sccm; the controller reports percent of it.
constexpr auto kFlowFullScaleSccm = [] {
  std::array<double, kFlows.size()> sccm{};
  for (std::size_t i = 0; i < kFlows.size(); ++i) sccm[i] = kFlows[i].fullScaleSccm;
  return sccm;
}();

// The valves and pumps that the timeline shows, top to bottom, as the record
// names them.
constexpr auto kTimelineDevices = [] {
  constexpr auto banded = [](const Device& device) { return device.band; };
  std::array<std::string_view, std::ranges::count_if(kDevices, banded)> names{};
  std::size_t i = 0;
  for (const Device& device : kDevices) {
    if (device.band) names[i++] = device.name;
  }
  return names;
}();

struct SessionData {
  Session session;
  std::array<std::vector<Sample>, kGaugeCount> gauges;
  std::array<std::vector<Sample>, kFlowCount> flows;
  std::array<std::vector<Setpoint>, kFlowCount> setpoints;
  std::array<std::vector<DeviceState>, kTimelineDevices.size()> devices;
  // Rows of the other devices with quality "fault", for the event log.
  std::vector<std::pair<std::string, DeviceState>> faults;
  std::vector<Command> commands;
  std::vector<Event> events;  // without the counters, which no view shows
  // The alarm journal; empty for a record of a layout before it.
  std::vector<AlarmRow> alarms;

  // Where reading has got to, so that following a growing record reads
  // only what is new.
  std::int64_t lastStateRow = 0;
  std::int64_t lastActionRow = 0;
  std::int64_t lastEventRow = 0;
  std::int64_t lastCommandRow = 0;  // of the command table, or of the traffic of a layout-1 record
  std::int64_t lastAlarmRow = 0;
  // Without the readings: the faults of gauges and flows are looked for in
  // the summaries up to this time, then among the rows after this one.
  Nanoseconds readingFaultsFrom = 0;
  std::int64_t lastReadingRow = 0;
  // The newest reading's time, where the readings themselves are not read.
  Nanoseconds newestReading = 0;

  // The end of what is known: the session's last item, or the newest row
  // read when the session row lags behind.
  Nanoseconds end() const;
};

// "G1".."G8" -> 0..7, "MFC1".."MFC4" -> 0..3, a timeline device -> its
// band; -1 for any other name.
int GaugeIndex(std::string_view device);
int FlowIndex(std::string_view device);
int TimelineIndex(std::string_view device);

// Marks every series with a gap that began at `began`.
void MarkGap(SessionData& data, Nanoseconds began);

// The last sample (state) at or before `t`, or nullptr when nothing is
// known there: the series starts later, or a gap began since.
const Sample* StateAt(const std::vector<Sample>& samples, Nanoseconds t);
const DeviceState* StateAt(const std::vector<DeviceState>& states, Nanoseconds t);

}  // namespace halvorn::history
