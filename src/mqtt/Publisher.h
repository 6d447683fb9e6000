// The plant's publisher: a thread of its own that drives the Sparkplug node
// over the MQTT link. It wakes when the window commits changes to the metric
// board, when a held-back metric falls due, and when the link connects,
// drops or brings a message; the window's thread only writes the board.
//
// bdSeq: the first connection carries the value taken from the state file
// at the start; after any connection that the broker accepted, the next
// attempt takes the next value, so that each NBIRTH and the will of its
// connection match, and no will of an earlier connection (or run) does.
//
// Read-only: a device command from the network is refused and told to the
// watcher; nothing the network sends reaches the board or the plant.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "mqtt/BirthSequence.h"
#include "mqtt/MqttLink.h"
#include "publish/MetricBoard.h"
#include "publish/MetricTable.h"
#include "publish/PlantMetrics.h"
#include "publish/SparkplugNode.h"

namespace halvorn::mqtt {

struct PublisherSettings {
  LinkSettings link;  // its subscriptions are the node's own
  publish::NodeIdentity identity;
  // Where bdSeq is kept across runs; empty: in memory only.
  std::string sequenceFile;
};

// What the publisher tells the window, from the publisher's thread.
class PublisherWatcher {
 public:
  virtual ~PublisherWatcher() = default;
  // "publishing to HOST" or "not publishing: why", each time it changes.
  virtual void StatusChanged(const std::string& status) = 0;
  // A write from the network was refused; one line.
  virtual void Refused(const std::string& text) = 0;
};

class Publisher : private LinkOwner {
 public:
  // Starts the link and the thread; `table`, `board`, `clock` and `watcher`
  // outlive the publisher.
  Publisher(PublisherSettings settings, const publish::MetricTable& table,
            publish::MetricBoard& board, const publish::WallClock& clock,
            PublisherWatcher& watcher);
  // The clean end: the thread stops, then the NDEATH is published and the
  // connection closed (the broker drops the will).
  ~Publisher() override;
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;

  [[nodiscard]] std::string Status() const { return m_link.Status(); }
  // Why bdSeq could not be kept in its file (it is then kept for this run
  // only); empty when it was.
  [[nodiscard]] const std::string& sequenceProblem() const { return m_sequenceProblem; }

 private:
  // From the link's network thread.
  publish::Message Will() override;
  void Connected() override;
  void Disconnected(const std::string& reason) override;
  void Arrived(const std::string& topic, const std::string& payload) override;

  struct LinkEvent {
    enum class Kind : std::uint8_t { Connected, Disconnected, Arrived };
    Kind kind = Kind::Arrived;
    std::uint64_t bdSeq = 0;
    std::string topic;
    std::string payload;
  };
  void Tell(LinkEvent event);
  void Run();
  void Handle(const LinkEvent& event, std::int64_t nowMs);
  void Send(const std::vector<publish::Message>& messages);
  void TellStatus();

  // Commands from the network that may wait for the thread; more are
  // dropped (a host flooding commands does not grow the panel).
  static constexpr std::size_t kMostArrivals = 64;

  publish::MetricBoard& m_board;
  const publish::WallClock& m_clock;
  PublisherWatcher& m_watcher;
  publish::SparkplugNode m_node;       // the publisher's thread's
  publish::SparkplugNode m_willMaker;  // the network thread's: deaths only
  BirthSequence m_sequence;
  std::string m_sequenceProblem;

  std::mutex m_mutex;  // guards what follows, up to the link
  std::uint64_t m_bdSeq = 0;
  bool m_connectionUsed = false;
  std::deque<LinkEvent> m_events;
  std::size_t m_arrivals = 0;

  std::atomic<bool> m_stop{false};
  std::string m_toldStatus;  // the publisher's thread's
  publish::BoardChanges m_changes;
  MqttLink m_link;
  std::thread m_thread;
};

}  // namespace halvorn::mqtt
