#include "PlantPublishing.h"

#include <chrono>
#include <utility>

#include "mqtt/BirthSequence.h"

namespace halvorn::shell {

std::int64_t PlantPublishing::SystemWallClock::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

PlantPublishing::PlantPublishing(PublishOptions options,
                                 std::vector<publish::AlarmPointMetric> alarmPoints,
                                 std::string version)
    : m_options(std::move(options)),
      m_version(std::move(version)),
      m_table(std::move(alarmPoints)) {}

void PlantPublishing::Start(std::string port) {
  if (m_publisher) return;
  mqtt::PublisherSettings settings;
  settings.link.broker = m_options.broker;
  settings.link.clientId = m_options.ClientId();
  settings.link.caFile = m_options.caFile;
  settings.link.certFile = m_options.certFile;
  settings.link.keyFile = m_options.keyFile;
  settings.link.userName = m_options.user;
  settings.link.password = m_options.password;
  settings.identity.group = m_options.group;
  settings.identity.node = m_options.node;
  settings.identity.version = m_version;
  settings.identity.port = std::move(port);
  if (!m_options.primaryHost.empty()) settings.identity.primaryHost = m_options.primaryHost;
  const mqtt::SequenceFile file = mqtt::BirthSequencePath(m_options.group, m_options.node);
  m_sequencePathProblem = file.problem;
  settings.sequenceFile = file.path;
  mqtt::PublisherWatcher& watcher = *this;
  m_publisher = std::make_unique<mqtt::Publisher>(std::move(settings), m_table, m_board, m_clock, watcher);
}

std::string PlantPublishing::sequenceProblem() const {
  if (!m_sequencePathProblem.empty()) return m_sequencePathProblem;
  return m_publisher ? m_publisher->sequenceProblem() : std::string();
}

PlantPublishing::~PlantPublishing() = default;

void PlantPublishing::StatusChanged(const std::string& status) {
  emit statusChanged(QString::fromStdString(status));
}

void PlantPublishing::Refused(const std::string& text) {
  emit refused(QString::fromStdString(text));
}

}  // namespace halvorn::shell
