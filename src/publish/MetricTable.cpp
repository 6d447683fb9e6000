#include "publish/MetricTable.h"

#include <array>
#include <utility>

namespace halvorn::publish {
namespace {

// The electrode's readouts by their order in kElectrodeReadouts.
constexpr std::array<std::string_view, 2> kElectrodeMetrics = {"Electrode/Position",
                                                               "Electrode/Cooling"};
static_assert(kElectrodeReadouts.size() == kElectrodeMetrics.size());
static_assert(kElectrodeReadouts[0].name == "ELECTRODE" && kElectrodeReadouts[1].name == "COOLING");

std::string Joined(std::string_view group, std::string_view device, std::string_view what) {
  std::string name(group);
  name += '/';
  name += device;
  name += '/';
  name += what;
  return name;
}

const GaugeDevice& GaugeOf(const Device& device) { return *DeviceByNumber(kGauges, device.number); }
const FlowDevice& FlowOf(const Device& device) { return *DeviceByNumber(kFlows, device.number); }

}  // namespace

std::size_t MetricTable::Add(MetricDefinition definition) {
  m_metrics.push_back(std::move(definition));
  return m_metrics.size() - 1;
}

MetricTable::MetricTable(std::vector<AlarmPointMetric> alarmPoints)
    : m_alarmPoints(std::move(alarmPoints)), m_devices(kDevices.size()) {
  // The window's order of the groups: valves, pumps, gauges, flows, electrode.
  for (const SwitchedDevice& valve : kValves)
    m_devices.at(FirstSlot(DeviceKind::Valve) + static_cast<std::size_t>(valve.number - 1)).state =
        Add({Joined("Valves", valve.name, "State"), DataType::String, {}, {}, {}});
  for (const SwitchedDevice& pump : kPumps)
    m_devices.at(FirstSlot(DeviceKind::Pump) + static_cast<std::size_t>(pump.number - 1)).state =
        Add({Joined("Pumps", pump.name, "State"), DataType::String, {}, {}, {}});
  for (const Device& device : kDevices) {
    if (device.kind != DeviceKind::Gauge) continue;
    // No top of range is known: the controller says "over range" without
    // saying where that begins.
    DeviceMetrics& metrics = m_devices.at(device.slot);
    metrics.value = Add({Joined("Gauges", device.name, "Pressure"), DataType::Double, "mBar",
                         GaugeOf(device).lowestMbar, std::nullopt});
    metrics.state = Add({Joined("Gauges", device.name, "State"), DataType::String, {}, {}, {}});
  }
  m_setpoints.resize(kFlows.size());
  for (const Device& device : kDevices) {
    if (device.kind != DeviceKind::Flow) continue;
    const FlowDevice& flow = FlowOf(device);
    DeviceMetrics& metrics = m_devices.at(device.slot);
    metrics.fullScaleSccm = flow.fullScaleSccm;
    metrics.value =
        Add({Joined("Flows", flow.name, "Flow"), DataType::Double, "percent", 0.0, 100.0});
    metrics.sccm = Add({Joined("Flows", flow.name, "Flow sccm"), DataType::Double, "sccm", 0.0,
                        flow.fullScaleSccm});
    m_setpoints.at(static_cast<std::size_t>(flow.number - 1)) =
        Add({Joined("Flows", flow.name, "Setpoint"), DataType::Double, "percent", 0.0, 100.0});
  }
  for (std::size_t i = 0; i < kElectrodeReadouts.size(); ++i)
    m_devices.at(FirstSlot(DeviceKind::Electrode) + i).state =
        Add({std::string(kElectrodeMetrics[i]), DataType::String, {}, {}, {}});
  m_uptime = Add({"Controller/Uptime", DataType::Double, "s", {}, {}, true});
  m_goodMessages = Add({"Link/Good messages", DataType::Int64, {}, {}, {}, true});
  m_crcErrors = Add({"Link/CRC errors", DataType::Int64, {}, {}, {}, true});
  for (const AlarmPointMetric& point : m_alarmPoints) {
    AlarmMetrics metrics;
    metrics.state = Add({Joined("Alarms", point.name, "State"), DataType::String, {}, {}, {}});
    metrics.priority =
        Add({Joined("Alarms", point.name, "Priority"), DataType::String, {}, {}, {}});
    m_alarms.push_back(metrics);
  }
}

std::optional<std::size_t> MetricTable::Find(std::string_view name) const {
  for (std::size_t i = 0; i < m_metrics.size(); ++i)
    if (m_metrics[i].name == name) return i;
  return std::nullopt;
}

std::optional<std::size_t> MetricTable::SetpointOf(int mfc) const {
  if (mfc < 1 || static_cast<std::size_t>(mfc) > m_setpoints.size()) return std::nullopt;
  return m_setpoints[static_cast<std::size_t>(mfc - 1)];
}

std::optional<AlarmMetrics> MetricTable::OfAlarm(std::string_view point) const {
  for (std::size_t i = 0; i < m_alarmPoints.size(); ++i)
    if (m_alarmPoints[i].name == point) return m_alarms[i];
  return std::nullopt;
}

std::vector<AlarmPointMetric> AlarmPointsOf(const std::vector<alarms::AlarmPoint>& points) {
  std::vector<AlarmPointMetric> named;
  named.reserve(points.size());
  for (const alarms::AlarmPoint& point : points) named.push_back({point.name, point.priority});
  return named;
}

}  // namespace halvorn::publish
