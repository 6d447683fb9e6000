// The plant published while the panel runs (--publish): the metrics the
// feed fills on the window's thread, the board they are handed over on, and
// the publisher's thread that sends them to the broker. What the publisher
// says (its status, a write refused) reaches the window as queued signals.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "PublishOptions.h"
#include "link/Feed.h"
#include "mqtt/Publisher.h"
#include "publish/MetricBoard.h"
#include "publish/MetricTable.h"
#include "publish/PlantMetrics.h"

namespace halvorn::shell {

class PlantPublishing : public QObject, private mqtt::PublisherWatcher {
  Q_OBJECT

 public:
  // `alarmPoints`: none when the alarms are off. Nothing is sent until
  // Start().
  PlantPublishing(PublishOptions options, std::vector<publish::AlarmPointMetric> alarmPoints,
                  std::string version);
  // Publishes the NDEATH and disconnects.
  ~PlantPublishing() override;

  // What the window's feed is to tell, from before its start picture.
  FeedListener& listener() { return m_metrics; }
  // Connects once the window has its start picture; `port`: the serial
  // device and its line settings, as the node's birth tells them.
  void Start(std::string port);
  // Why bdSeq is not kept across runs; empty when it is. Once started.
  [[nodiscard]] std::string sequenceProblem() const;

 signals:
  // "publishing to HOST", "not publishing: why".
  void statusChanged(const QString& status);
  // A write that came from the network, refused; one line.
  void refused(const QString& text);

 private:
  class SystemWallClock : public publish::WallClock {
   public:
    std::int64_t NowMs() const override;
  };
  // From the publisher's thread: signals to the window's are queued.
  void StatusChanged(const std::string& status) override;
  void Refused(const std::string& text) override;

  PublishOptions m_options;
  std::string m_version;
  SystemWallClock m_clock;
  publish::MetricTable m_table;
  publish::MetricBoard m_board{m_table.size()};
  publish::PlantMetrics m_metrics{m_table, m_board, m_clock};
  std::string m_sequencePathProblem;
  std::unique_ptr<mqtt::Publisher> m_publisher;  // goes first
};

}  // namespace halvorn::shell
