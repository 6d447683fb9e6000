#include "publish/SparkplugNode.h"

#include <sparkplug_b.pb.h>

#include <algorithm>
#include <utility>

#include "publish/HostState.h"
#include "publish/LineBytes.h"

namespace halvorn::publish {
namespace {

namespace pb = org::eclipse::tahu::protobuf;

constexpr std::string_view kNamespace = "spBv1.0";
constexpr std::string_view kRebirth = "Node Control/Rebirth";
// The names a refusal lists at the most, and how much of each.
constexpr std::size_t kNamesTold = 8;
constexpr std::size_t kNameBytesTold = 80;

void AddProperty(pb::Payload_PropertySet& set, std::string_view key, DataType type) {
  set.add_keys(std::string(key));
  set.add_values()->set_type(static_cast<std::uint32_t>(type));
}

void AddText(pb::Payload_PropertySet& set, std::string_view key, std::string_view value) {
  AddProperty(set, key, DataType::String);
  set.mutable_values(set.values_size() - 1)->set_string_value(std::string(value));
}

void AddNumber(pb::Payload_PropertySet& set, std::string_view key, double value) {
  AddProperty(set, key, DataType::Double);
  set.mutable_values(set.values_size() - 1)->set_double_value(value);
}

void AddQuality(pb::Payload_PropertySet& set, std::int32_t quality) {
  AddProperty(set, "Quality", DataType::Int32);
  set.mutable_values(set.values_size() - 1)->set_int_value(static_cast<std::uint32_t>(quality));
}

void SetValue(pb::Payload_Metric& metric, DataType type, const MetricValue& value) {
  metric.set_datatype(static_cast<std::uint32_t>(type));
  switch (value.kind) {
    case MetricValue::Kind::Null: metric.set_is_null(true); return;
    case MetricValue::Kind::Number:
      if (type == DataType::Double) {
        metric.set_double_value(value.number);
      } else {
        metric.set_long_value(static_cast<std::uint64_t>(static_cast<std::int64_t>(value.number)));
      }
      return;
    case MetricValue::Kind::Integer:
      if (type == DataType::Double) {
        metric.set_double_value(static_cast<double>(value.integer));
      } else {
        metric.set_long_value(static_cast<std::uint64_t>(value.integer));
      }
      return;
    case MetricValue::Kind::Text:
      metric.set_string_value(Utf8FromLineBytes(value.textView()));
      return;
  }
}

// One sample as a metric of a birth (with its range and unit) or of data.
void AddSample(pb::Payload& payload, const MetricDefinition& definition, const MetricSample& sample,
               bool birth) {
  pb::Payload_Metric& metric = *payload.add_metrics();
  metric.set_name(definition.name);
  if (sample.timestampMs > 0) metric.set_timestamp(static_cast<std::uint64_t>(sample.timestampMs));
  SetValue(metric, definition.type, sample.value);
  pb::Payload_PropertySet& properties = *metric.mutable_properties();
  if (birth) {
    if (!definition.engUnit.empty()) AddText(properties, "engUnit", definition.engUnit);
    if (definition.engLow) AddNumber(properties, "engLow", *definition.engLow);
    if (definition.engHigh) AddNumber(properties, "engHigh", *definition.engHigh);
  }
  AddQuality(properties, sample.quality);
}

pb::Payload_Metric& AddNodeMetric(pb::Payload& payload, std::string_view name, DataType type) {
  pb::Payload_Metric& metric = *payload.add_metrics();
  metric.set_name(std::string(name));
  metric.set_datatype(static_cast<std::uint32_t>(type));
  return metric;
}

// Text from the network, fit for one line of standard error and the record:
// printable ASCII only, cut to `most` bytes.
std::string Printable(std::string_view text, std::size_t most = kNameBytesTold) {
  std::string line;
  for (const char c : text.substr(0, most)) line += c >= 0x20 && c < 0x7F ? c : '?';
  if (text.size() > most) line += "...";
  return line;
}

// The metrics a command names, as a refusal or a reason lists them.
std::string NamesOf(const pb::Payload& payload) {
  std::string names;
  const int count = payload.metrics_size();
  for (int i = 0; i < count && static_cast<std::size_t>(i) < kNamesTold; ++i) {
    if (i > 0) names += ", ";
    const pb::Payload_Metric& metric = payload.metrics(i);
    if (metric.has_name()) {
      names += Printable(metric.name());
    } else {
      names += "alias " + std::to_string(metric.alias());
    }
  }
  if (static_cast<std::size_t>(count) > kNamesTold)
    names += " and " + std::to_string(static_cast<std::size_t>(count) - kNamesTold) + " more";
  return count == 0 ? "no metric" : names;
}

std::optional<pb::Payload> Parsed(std::string_view bytes) {
  pb::Payload payload;
  if (!payload.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()))) return std::nullopt;
  return payload;
}

Message Sent(std::string topic, const pb::Payload& payload, int qos = 0) {
  return {std::move(topic), payload.SerializeAsString(), qos, false};
}

}  // namespace

SparkplugNode::SparkplugNode(NodeIdentity identity, const MetricTable& table)
    : m_identity(std::move(identity)),
      m_table(table),
      m_latest(table.size()),
      m_unpublished(table.size(), 0),
      m_publishedAt(table.size()) {}

std::string SparkplugNode::NodeTopic(std::string_view type) const {
  std::string topic(kNamespace);
  topic += '/';
  topic += m_identity.group;
  topic += '/';
  topic += type;
  topic += '/';
  topic += m_identity.node;
  return topic;
}

std::string SparkplugNode::DeviceTopic(std::string_view type) const {
  return NodeTopic(type) + "/" + std::string(kDeviceId);
}

std::string SparkplugNode::HostTopic() const {
  if (!m_identity.primaryHost) return {};
  return std::string(kNamespace) + "/STATE/" + *m_identity.primaryHost;
}

std::vector<std::string> SparkplugNode::Subscriptions() const {
  std::vector<std::string> topics{NodeTopic("NCMD"), DeviceTopic("DCMD")};
  if (m_identity.primaryHost) topics.push_back(HostTopic());
  return topics;
}

std::uint64_t SparkplugNode::NextSeq() {
  const std::uint64_t seq = m_seq;
  m_seq = (m_seq + 1) % 256;
  return seq;
}

Message SparkplugNode::Death(std::uint64_t bdSeq, std::optional<std::int64_t> nowMs) const {
  pb::Payload payload;
  if (nowMs) payload.set_timestamp(static_cast<std::uint64_t>(*nowMs));
  AddNodeMetric(payload, "bdSeq", DataType::UInt64).set_long_value(bdSeq);
  return Sent(NodeTopic("NDEATH"), payload, 1);
}

Message SparkplugNode::NodeBirth(std::int64_t nowMs) {
  m_seq = 0;
  pb::Payload payload;
  payload.set_timestamp(static_cast<std::uint64_t>(nowMs));
  payload.set_seq(NextSeq());
  AddNodeMetric(payload, "bdSeq", DataType::UInt64).set_long_value(m_bdSeq);
  AddNodeMetric(payload, kRebirth, DataType::Boolean).set_boolean_value(false);
  AddNodeMetric(payload, "Properties/Version", DataType::String)
      .set_string_value(m_identity.version);
  AddNodeMetric(payload, "Properties/Port", DataType::String).set_string_value(m_identity.port);
  return Sent(NodeTopic("NBIRTH"), payload);
}

Message SparkplugNode::DeviceBirth(std::int64_t nowMs) {
  pb::Payload payload;
  payload.set_timestamp(static_cast<std::uint64_t>(nowMs));
  payload.set_seq(NextSeq());
  const std::vector<MetricDefinition>& metrics = m_table.metrics();
  for (std::size_t i = 0; i < metrics.size(); ++i) {
    AddSample(payload, metrics[i], m_latest[i], true);
    m_unpublished[i] = 0;
    m_publishedAt[i] = nowMs;
  }
  m_deviceBorn = true;
  return Sent(DeviceTopic("DBIRTH"), payload);
}

Message SparkplugNode::DeviceDeath(std::int64_t nowMs) {
  pb::Payload payload;
  payload.set_timestamp(static_cast<std::uint64_t>(nowMs));
  payload.set_seq(NextSeq());
  m_deviceBorn = false;
  return Sent(DeviceTopic("DDEATH"), payload);
}

bool SparkplugNode::Held(std::size_t metric, std::int64_t nowMs) const {
  if (!m_table.metrics()[metric].slow || !m_publishedAt[metric]) return false;
  // A wall clock set back does not hold a metric for as long as it went back.
  const std::int64_t at = *m_publishedAt[metric];
  return nowMs >= at && nowMs - at < kSlowPeriodMs;
}

std::optional<Message> SparkplugNode::DeviceData(std::int64_t nowMs) {
  pb::Payload payload;
  const std::vector<MetricDefinition>& metrics = m_table.metrics();
  for (std::size_t i = 0; i < metrics.size(); ++i) {
    if (!m_unpublished[i] || Held(i, nowMs)) continue;
    AddSample(payload, metrics[i], m_latest[i], false);
    m_unpublished[i] = 0;
    m_publishedAt[i] = nowMs;
  }
  if (payload.metrics_size() == 0) return std::nullopt;
  payload.set_timestamp(static_cast<std::uint64_t>(nowMs));
  payload.set_seq(NextSeq());
  return Sent(DeviceTopic("DDATA"), payload);
}

std::vector<Message> SparkplugNode::Births(std::int64_t nowMs) {
  std::vector<Message> messages;
  messages.push_back(NodeBirth(nowMs));
  m_born = true;
  m_deviceBorn = false;
  if (m_controllerOnline) messages.push_back(DeviceBirth(nowMs));
  return messages;
}

std::vector<Message> SparkplugNode::Connected(std::uint64_t bdSeq, std::int64_t nowMs) {
  Disconnected();
  m_connected = true;
  m_bdSeq = bdSeq;
  if (m_identity.primaryHost) return {};  // the host's state comes first
  return Births(nowMs);
}

void SparkplugNode::Disconnected() {
  m_connected = false;
  m_born = false;
  m_deviceBorn = false;
  m_hostOnline = false;
  m_hostSaidAt.reset();
  std::fill(m_unpublished.begin(), m_unpublished.end(), 0);
  std::fill(m_publishedAt.begin(), m_publishedAt.end(), std::nullopt);
}

std::vector<Message> SparkplugNode::Update(const BoardChanges& changes, std::int64_t nowMs) {
  for (const auto& [metric, sample] : changes.changed) {
    if (metric >= m_latest.size()) continue;
    m_latest[metric] = sample;
    m_unpublished[metric] = 1;
  }
  m_controllerOnline = changes.online;
  std::vector<Message> messages;
  if (!m_born) return messages;
  if (m_deviceBorn && (changes.dropped || !changes.online)) messages.push_back(DeviceDeath(nowMs));
  if (!m_deviceBorn) {
    if (changes.online) messages.push_back(DeviceBirth(nowMs));
    return messages;
  }
  if (std::optional<Message> data = DeviceData(nowMs)) messages.push_back(std::move(*data));
  return messages;
}

std::optional<std::int64_t> SparkplugNode::NextDueMs() const {
  if (!m_deviceBorn) return std::nullopt;
  std::optional<std::int64_t> due;
  for (std::size_t i = 0; i < m_latest.size(); ++i) {
    if (!m_unpublished[i] || !m_table.metrics()[i].slow || !m_publishedAt[i]) continue;
    const std::int64_t at = *m_publishedAt[i] + kSlowPeriodMs;
    due = due ? std::min(*due, at) : at;
  }
  return due;
}

CommandOutcome SparkplugNode::Command(std::string_view topic, std::string_view payload,
                                      std::int64_t nowMs) {
  if (payload.size() > kMaxCommandBytes)
    return {CommandOutcome::Kind::Ignored,
            "a message of " + std::to_string(payload.size()) + " bytes on " + Printable(topic) +
                ": ignored",
            {}};
  if (m_identity.primaryHost && topic == HostTopic()) return HostSaid(payload, nowMs);
  if (topic == NodeTopic("NCMD")) return NodeCommand(payload, nowMs);
  if (topic == DeviceTopic("DCMD")) return DeviceCommand(payload);
  return {CommandOutcome::Kind::Ignored,
          "a message on " + Printable(topic) + ", not for this node: ignored",
          {}};
}

CommandOutcome SparkplugNode::HostSaid(std::string_view payload, std::int64_t nowMs) {
  const std::string host = Printable(*m_identity.primaryHost);
  const std::optional<HostState> state = ParseHostState(payload);
  if (!state)
    return {CommandOutcome::Kind::Ignored,
            "the state of primary host " + host + " is unreadable: ignored",
            {}};
  // A host's states are ordered by their time; an older one is stale.
  if (state->timestampMs && m_hostSaidAt && *state->timestampMs < *m_hostSaidAt)
    return {
        CommandOutcome::Kind::Ignored, "an older state of primary host " + host + ": ignored", {}};
  if (state->timestampMs) m_hostSaidAt = state->timestampMs;
  if (state->online) {
    const bool wasOnline = m_hostOnline;
    m_hostOnline = true;
    if (m_connected && !m_born)
      return {CommandOutcome::Kind::Acted, "primary host " + host + " is online", Births(nowMs)};
    return {CommandOutcome::Kind::Ignored,
            "primary host " + host + (wasOnline ? " is still online" : " is online") +
                ": nothing to do",
            {}};
  }
  m_hostOnline = false;
  if (m_connected && m_born)
    return {CommandOutcome::Kind::Reconnect,
            "primary host " + host + " went offline: connecting again",
            {}};
  return {CommandOutcome::Kind::Ignored,
          "primary host " + host + " is offline: births wait for it",
          {}};
}

CommandOutcome SparkplugNode::NodeCommand(std::string_view bytes, std::int64_t nowMs) {
  const std::optional<pb::Payload> payload = Parsed(bytes);
  if (!payload)
    return {CommandOutcome::Kind::Ignored, "an NCMD that is no Sparkplug payload: ignored", {}};
  bool rebirth = false;
  for (const pb::Payload_Metric& metric : payload->metrics())
    if (metric.name() == kRebirth && metric.value_case() == pb::Payload_Metric::kBooleanValue &&
        metric.boolean_value())
      rebirth = true;
  if (!rebirth)
    return {CommandOutcome::Kind::Ignored,
            "an NCMD that asks for no rebirth (" + NamesOf(*payload) + "): ignored",
            {}};
  if (!m_born)
    return {CommandOutcome::Kind::Ignored, "a rebirth asked before the node was born: ignored", {}};
  return {CommandOutcome::Kind::Acted, "rebirth asked from the network", Births(nowMs)};
}

CommandOutcome SparkplugNode::DeviceCommand(std::string_view bytes) const {
  const std::optional<pb::Payload> payload = Parsed(bytes);
  if (!payload)
    return {CommandOutcome::Kind::Ignored, "a DCMD that is no Sparkplug payload: ignored", {}};
  return {CommandOutcome::Kind::Refused,
          "refused a write from the network to " + NamesOf(*payload) + ": the panel publishes only",
          {}};
}

}  // namespace halvorn::publish
