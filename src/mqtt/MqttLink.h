// One MQTT connection of the plant's publisher, over libmosquitto, on a
// network thread of its own: the owner (the Sparkplug node) hands it opaque
// messages and hears from it what became of the connection. The link keeps
// connecting: before each attempt it asks the owner for the will (the
// node's NDEATH with the bdSeq of that connection), so a will left by an
// earlier connection never names the current one; after a failed attempt or
// a lost connection it waits 1 s, doubling up to 30 s, and again 1 s once a
// connection succeeded. Nothing the link does waits on the owner's threads:
// name lookups, connects and TLS handshakes run on the network thread, and
// Stop() returns within about a second whatever it is doing.
//
// Each attempt uses a fresh libmosquitto client: nothing of a lost
// connection (messages still in flight, a will) is sent again on the next
// one, where the node begins anew with its NBIRTH.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mqtt/BrokerAddress.h"
#include "publish/Message.h"

namespace halvorn::mqtt {

struct LinkSettings {
  BrokerAddress broker;
  // The MQTT client identifier; empty: one the broker gives (clean sessions
  // only).
  std::string clientId;
  std::chrono::seconds keepAlive{30};
  bool cleanSession = true;
  // TLS (mqtts://): the certificate authority that signed the broker's
  // certificate (--mqtt-ca); empty: the system's authorities. The broker's
  // certificate and its host name are verified either way.
  std::string caFile;
  // A client certificate and its key, both or neither.
  std::string certFile;
  std::string keyFile;
  // No user name: none sent. The password is the text itself (read from
  // its file by the caller).
  std::string userName;
  std::string password;
  // Topic filters subscribed (QoS 1) on every connection before the owner
  // hears that it is connected.
  std::vector<std::string> subscriptions;
  // QoS 1 messages sent and not yet acknowledged by the broker.
  int maxInflight = 16;
  // Messages accepted by Publish and not yet written (QoS 0) or
  // acknowledged (QoS 1): beyond this a slow broker gets no more, and
  // memory stays bounded.
  int maxPending = 256;
  std::chrono::milliseconds firstBackoff{1000};
  std::chrono::milliseconds longestBackoff{30000};
  // An attempt with no CONNACK after this long is given up.
  std::chrono::seconds connectTimeout{10};
};

// What the link asks and tells its owner. Every call comes from the link's
// network thread, one at a time, never while the link holds a lock: the
// owner may call Publish from inside them. The owner outlives the link.
class LinkOwner {
 public:
  virtual ~LinkOwner() = default;
  // Before every connection attempt: the will the broker is to publish if
  // this connection ends without a DISCONNECT. An empty topic: no will.
  virtual publish::Message Will() = 0;
  // The broker accepted the connection and every subscription of the
  // settings is acknowledged: publishing may begin (the NBIRTH first).
  virtual void Connected() = 0;
  // An attempt failed or the connection was lost; `reason` is one line for
  // the operator ("connection refused: not authorised", "TLS failed:
  // certificate verify failed", "broker unreachable: Connection refused").
  virtual void Disconnected(const std::string& reason) = 0;
  // A message arrived on one of the subscriptions; payload bytes as sent.
  virtual void Arrived(const std::string& topic, const std::string& payload) = 0;
};

class MqttLink {
 public:
  MqttLink(LinkSettings settings, LinkOwner& owner);
  // Stop().
  ~MqttLink();
  MqttLink(const MqttLink&) = delete;
  MqttLink& operator=(const MqttLink&) = delete;

  // Starts the network thread and with it the first connection attempt.
  // Once; later calls do nothing.
  void Start();
  // Ends the network thread within about a second. A connection still up
  // is dropped without DISCONNECT, so the broker publishes the will: the
  // node is gone. For a clean end call PublishAndDisconnect first. Safe to
  // call more than once.
  void Stop();

  // Hands a message to the connection; false (and nothing sent) when not
  // connected or when maxPending messages wait already. Any thread; never
  // waits for the network.
  bool Publish(const publish::Message& message);
  // The clean end: publishes `message` (the NDEATH: a DISCONNECT makes the
  // broker discard the will, so the death is told explicitly), waits at
  // most about a second until it and everything before it is sent, then
  // sends DISCONNECT and waits at most about a second more for the
  // connection to close. The link does not connect again. True when the
  // message was sent and the connection closed cleanly. Not from the
  // owner's callbacks.
  bool PublishAndDisconnect(const publish::Message& message);

  // One line for the window's title: "publishing to HOST" while connected,
  // "not publishing: REASON" otherwise. Any thread.
  [[nodiscard]] std::string Status() const;
  // Connected and subscribed. Any thread.
  [[nodiscard]] bool connected() const;

 private:
  struct Network;
  std::unique_ptr<Network> m_network;
};

}  // namespace halvorn::mqtt
