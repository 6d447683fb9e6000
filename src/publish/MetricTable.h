// The controller's metrics as the plant's publisher names them on the
// network, derived from the device tables (panel/Devices.h) so that a new
// device is published without a second list: each valve's and pump's state
// text, each gauge's pressure and state, each flow controller's reading in
// percent and in sccm and its last setpoint sent, the electrode's readouts,
// the controller's uptime, the link's counters and, when alarms are on, the
// state and priority of every alarm point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alarms/Alarm.h"
#include "alarms/AlarmBoard.h"
#include "panel/Devices.h"

namespace halvorn::publish {

// Sparkplug B's numbers for the data types the panel publishes.
enum class DataType : std::uint32_t {
  Int32 = 3,
  Int64 = 4,
  UInt64 = 8,
  Double = 10,
  Boolean = 11,
  String = 12
};

struct MetricDefinition {
  std::string name;  // "Gauges/G1/Pressure"
  DataType type = DataType::String;
  std::string_view engUnit;  // empty: none
  std::optional<double> engLow;
  std::optional<double> engHigh;
  // Changes with every answer (uptime, counters): published at most once a
  // second.
  bool slow = false;
};

// An alarm point as the publisher names it, with its priority at the start.
struct AlarmPointMetric {
  std::string name;  // "V7", "PORT", "G6-ABOVE"
  alarms::Priority priority = alarms::Priority::Low;
};

// The metrics a device of kDevices fills, by index into the table.
struct DeviceMetrics {
  std::optional<std::size_t> value;  // a gauge's pressure, a flow's percent
  std::optional<std::size_t> sccm;   // a flow's reading in sccm
  std::optional<std::size_t> state;  // a state text; a gauge's state beside its reading
  double fullScaleSccm = 0.0;        // a flow's
};

struct AlarmMetrics {
  std::size_t state = 0;
  std::size_t priority = 0;
};

class MetricTable {
 public:
  // Every device metric, then one pair per alarm point (none: alarms off).
  explicit MetricTable(std::vector<AlarmPointMetric> alarmPoints = {});

  [[nodiscard]] const std::vector<MetricDefinition>& metrics() const { return m_metrics; }
  [[nodiscard]] std::size_t size() const { return m_metrics.size(); }
  [[nodiscard]] const std::vector<AlarmPointMetric>& alarmPoints() const { return m_alarmPoints; }

  // The index of the metric named `name`, if any.
  [[nodiscard]] std::optional<std::size_t> Find(std::string_view name) const;
  // What device `slot` of kDevices fills (nothing for the unswitched valves).
  [[nodiscard]] const DeviceMetrics& OfDevice(std::size_t slot) const { return m_devices.at(slot); }
  // Flow controller `mfc`'s last setpoint sent (1 to 4), if it has one.
  [[nodiscard]] std::optional<std::size_t> SetpointOf(int mfc) const;
  // The metrics of alarm point `point`; looks without allocating.
  [[nodiscard]] std::optional<AlarmMetrics> OfAlarm(std::string_view point) const;
  [[nodiscard]] std::size_t uptime() const { return m_uptime; }
  [[nodiscard]] std::size_t goodMessages() const { return m_goodMessages; }
  [[nodiscard]] std::size_t crcErrors() const { return m_crcErrors; }

 private:
  std::size_t Add(MetricDefinition definition);

  std::vector<MetricDefinition> m_metrics;
  std::vector<AlarmPointMetric> m_alarmPoints;
  std::vector<DeviceMetrics> m_devices;
  std::vector<std::size_t> m_setpoints;  // by MFC number - 1
  std::vector<AlarmMetrics> m_alarms;    // by alarm point
  std::size_t m_uptime = 0;
  std::size_t m_goodMessages = 0;
  std::size_t m_crcErrors = 0;
};

// The alarm points of a board, as the publisher names them.
[[nodiscard]] std::vector<AlarmPointMetric> AlarmPointsOf(
    const std::vector<alarms::AlarmPoint>& points);

}  // namespace halvorn::publish
