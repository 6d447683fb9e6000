// The panel as a Sparkplug B edge node (Eclipse Sparkplug 3.0) with one
// device, the controller: what the publisher's thread sends when the broker
// connects, when the metric board has changes, when a held-back metric falls
// due and when a command or a host's state arrives. Read-only: no write from
// the network ever reaches the plant; a device command is refused and said.
//
// Pure: no input or output, the time handed in (wall clock, milliseconds
// since 1970). Every payload is built with the Sparkplug protobuf classes.
//
// Sequence: NBIRTH carries seq 0; every later message of the node (DBIRTH,
// DDATA, DDEATH, a rebirth's NBIRTH restarts at 0) the next, 255 wrapping to
// 0. NDEATH carries none, only bdSeq, the connection's birth-death number
// that the caller counts and hands to Death() for the will and to
// Connected().
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "publish/Message.h"
#include "publish/MetricBoard.h"
#include "publish/MetricTable.h"

namespace halvorn::publish {

struct NodeIdentity {
  std::string group = "halvorn";
  std::string node;
  std::string version;  // the panel's version text
  std::string port;     // the serial device and its line settings
  // When set, births wait until this host said it is online.
  std::optional<std::string> primaryHost;
};

// What a message from the network came to.
struct CommandOutcome {
  enum class Kind : std::uint8_t {
    Acted,      // a rebirth, or the primary host online: `messages` go out
    Refused,    // a write from the network: `text` says to what
    Ignored,    // not for us, unreadable, or nothing to do: `text` says why
    Reconnect,  // the primary host went offline: disconnect (NDEATH) and connect again
  };
  Kind kind = Kind::Ignored;
  std::string text;  // one line, for standard error and the record
  std::vector<Message> messages;
};

class SparkplugNode {
 public:
  static constexpr std::string_view kDeviceId = "controller";
  // Uptime and counters go out at most this often.
  static constexpr std::int64_t kSlowPeriodMs = 1000;
  // A command longer than this is not read.
  static constexpr std::size_t kMaxCommandBytes = 65536;

  // `table` must outlive the node.
  SparkplugNode(NodeIdentity identity, const MetricTable& table);

  [[nodiscard]] const NodeIdentity& identity() const { return m_identity; }
  // spBv1.0/<group>/<type>/<node>, and .../<node>/controller.
  [[nodiscard]] std::string NodeTopic(std::string_view type) const;
  [[nodiscard]] std::string DeviceTopic(std::string_view type) const;
  // spBv1.0/STATE/<primary host>; empty without one.
  [[nodiscard]] std::string HostTopic() const;
  // NCMD, the controller's DCMD, and the primary host's STATE when set.
  [[nodiscard]] std::vector<std::string> Subscriptions() const;

  // NDEATH with metric bdSeq: QoS 1, not retained. As the will it carries no
  // time; the clean one at the end its `nowMs`.
  [[nodiscard]] Message Death(std::uint64_t bdSeq,
                              std::optional<std::int64_t> nowMs = std::nullopt) const;

  // The broker took the connection whose will carries `bdSeq`: NBIRTH and,
  // with the controller online, DBIRTH; nothing yet while a primary host is
  // awaited.
  [[nodiscard]] std::vector<Message> Connected(std::uint64_t bdSeq, std::int64_t nowMs);
  // The connection is gone: everything is born afresh on the next one.
  void Disconnected();

  // Takes the board's changes (always, connected or not, so that births
  // carry the latest values) and says what goes out: DDEATH when the
  // controller went offline, DBIRTH when it is online again, else one DDATA
  // with what changed and is due. Call it also at NextDueMs() with no
  // changes.
  [[nodiscard]] std::vector<Message> Update(const BoardChanges& changes, std::int64_t nowMs);
  // When the first held-back metric falls due, if any waits.
  [[nodiscard]] std::optional<std::int64_t> NextDueMs() const;

  // A message from the network on `topic`.
  [[nodiscard]] CommandOutcome Command(std::string_view topic, std::string_view payload,
                                       std::int64_t nowMs);

  [[nodiscard]] bool connected() const { return m_connected; }
  // NBIRTH went out on this connection.
  [[nodiscard]] bool born() const { return m_born; }
  [[nodiscard]] std::uint64_t bdSeq() const { return m_bdSeq; }

 private:
  [[nodiscard]] std::uint64_t NextSeq();
  [[nodiscard]] std::vector<Message> Births(std::int64_t nowMs);
  [[nodiscard]] Message NodeBirth(std::int64_t nowMs);
  [[nodiscard]] Message DeviceBirth(std::int64_t nowMs);
  [[nodiscard]] Message DeviceDeath(std::int64_t nowMs);
  [[nodiscard]] std::optional<Message> DeviceData(std::int64_t nowMs);
  [[nodiscard]] bool Held(std::size_t metric, std::int64_t nowMs) const;
  [[nodiscard]] CommandOutcome HostSaid(std::string_view payload, std::int64_t nowMs);
  [[nodiscard]] CommandOutcome NodeCommand(std::string_view payload, std::int64_t nowMs);
  [[nodiscard]] CommandOutcome DeviceCommand(std::string_view payload) const;

  NodeIdentity m_identity;
  const MetricTable& m_table;
  // The latest of every metric, whether published yet or not.
  std::vector<MetricSample> m_latest;
  std::vector<std::uint8_t> m_unpublished;
  std::vector<std::optional<std::int64_t>> m_publishedAt;
  bool m_controllerOnline = false;
  bool m_connected = false;
  bool m_born = false;
  bool m_deviceBorn = false;  // DBIRTH out, no DDEATH since
  std::uint64_t m_bdSeq = 0;
  std::uint64_t m_seq = 0;  // the next one
  bool m_hostOnline = false;
  std::optional<std::int64_t> m_hostSaidAt;
};

}  // namespace halvorn::publish
