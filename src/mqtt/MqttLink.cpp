#include "mqtt/MqttLink.h"

#include <arpa/inet.h>
#include <mosquitto.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "mqtt/MosquittoLibrary.h"

namespace halvorn::mqtt {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long one turn of the network loop may sleep in select(): the longest
// a stop waits to be noticed.
constexpr int kLoopMilliseconds = 100;

// The operator's words for a CONNACK refusal (MQTT 3.1.1 return codes).
std::string RefusalText(int code) {
  switch (code) {
    case 1: return "connection refused: the broker does not speak MQTT 3.1.1";
    case 2: return "connection refused: client identifier rejected";
    case 3: return "connection refused: broker unavailable";
    case 4: return "connection refused: bad user name or password";
    case 5: return "connection refused: not authorised";
    default: return "connection refused: code " + std::to_string(code);
  }
}

// The reason OpenSSL gives in a line libmosquitto logs, e.g. "OpenSSL
// Error[0]: error:0A000086:SSL routines::certificate verify failed":
// the text after the last colon.
std::string OpenSslReason(const std::string& line) {
  const auto colon = line.rfind(':');
  std::string reason = colon == std::string::npos ? line : line.substr(colon + 1);
  while (!reason.empty() && reason.front() == ' ') reason.erase(0, 1);
  return reason;
}

bool NumericAddress(const std::string& host) {
  unsigned char buffer[sizeof(in6_addr)];
  return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// A name lookup on a thread of its own that the network thread can walk
// away from: getaddrinfo cannot be interrupted, and a stop must not wait
// for a slow resolver. The lookup keeps its state alive until it ends.
struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  int error = 0;
  std::string address;  // the first address, numeric
};

std::shared_ptr<Lookup> StartLookup(const std::string& host) {
  auto lookup = std::make_shared<Lookup>();
  std::thread([lookup, host] {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    std::string address;
    if (error == 0 && found != nullptr) {
      char text[INET6_ADDRSTRLEN] = {};
      const void* raw =
          found->ai_family == AF_INET6
              ? static_cast<const void*>(
                    &reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr)
              : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr);
      if (::inet_ntop(found->ai_family, raw, text, sizeof text) != nullptr) address = text;
    }
    if (found != nullptr) ::freeaddrinfo(found);
    const std::lock_guard lock(lookup->mutex);
    lookup->error = error;
    lookup->address = std::move(address);
    lookup->finished = true;
    lookup->done.notify_all();
  }).detach();
  return lookup;
}

struct ClientDeleter {
  void operator()(mosquitto* client) const { mosquitto_destroy(client); }
};
using Client = std::unique_ptr<mosquitto, ClientDeleter>;

}  // namespace

struct MqttLink::Network {
  Network(LinkSettings s, LinkOwner& o) : settings(std::move(s)), owner(o) {
    UseMosquittoLibrary();
    status = "not publishing: connecting to " + settings.broker.host;
  }

  // --- shared with the owner's threads ---
  const LinkSettings settings;
  LinkOwner& owner;
  std::thread thread;
  std::atomic<bool> stopping{false};
  std::atomic<bool> up{false};
  // Messages accepted on the current client, and those of them written
  // (QoS 0) or acknowledged (QoS 1): their difference is what waits.
  std::atomic<int> accepted{0};
  std::atomic<int> published{0};
  // The current client, for Publish: set and cleared under `clientMutex`,
  // which the network thread never holds while it waits for the network.
  mutable std::mutex clientMutex;
  mosquitto* current = nullptr;
  // Backoff waits, the clean end.
  std::mutex wakeMutex;
  std::condition_variable wake;
  bool ending = false;      // PublishAndDisconnect asked for the end
  bool ended = false;       // the network thread is done with connecting
  bool endedClean = false;  // DISCONNECT went out and the connection closed
  Clock::time_point endingDeadline;
  mutable std::mutex statusMutex;
  std::string status;

  // --- the network thread's own, also written by libmosquitto's callbacks
  // (which run on it) ---
  std::string refusal;     // a CONNACK's refusal
  std::string tlsProblem;  // what OpenSSL said
  bool accepting = false;  // CONNACK came, subscriptions pending
  std::set<int> pendingSubscriptions;
  int lostErrno = 0;
  bool subscribed = false;  // CONNACK and every SUBACK came
  bool toldConnected = false;
  bool closedClean = false;  // the connection closed after our DISCONNECT
  std::vector<std::pair<std::string, std::string>> arrivals;

  void SetStatus(std::string text) {
    const std::lock_guard lock(statusMutex);
    status = std::move(text);
  }

  // --- libmosquitto's callbacks ---
  static Network& Of(void* user) { return *static_cast<Network*>(user); }

  static void OnConnect(mosquitto* client, void* user, int code) {
    Network& n = Of(user);
    if (code != 0) {
      n.refusal = RefusalText(code);
      return;
    }
    n.accepting = true;
    for (const std::string& filter : n.settings.subscriptions) {
      int mid = 0;
      if (mosquitto_subscribe(client, &mid, filter.c_str(), 1) == MOSQ_ERR_SUCCESS)
        n.pendingSubscriptions.insert(mid);
    }
    if (n.pendingSubscriptions.empty()) n.BecomeUp();
  }

  static void OnSubscribe(mosquitto*, void* user, int mid, int, const int*) {
    Network& n = Of(user);
    n.pendingSubscriptions.erase(mid);
    if (n.accepting && n.pendingSubscriptions.empty() && !n.subscribed) n.BecomeUp();
  }

  static void OnDisconnect(mosquitto*, void* user, int code) {
    Network& n = Of(user);
    n.lostErrno = errno;
    n.closedClean = code == MOSQ_ERR_SUCCESS;
    n.up = false;
  }

  static void OnPublish(mosquitto*, void* user, int) { ++Of(user).published; }

  static void OnMessage(mosquitto*, void* user, const mosquitto_message* message) {
    Network& n = Of(user);
    std::string payload;
    if (message->payload != nullptr && message->payloadlen > 0)
      payload.assign(static_cast<const char*>(message->payload),
                     static_cast<std::size_t>(message->payloadlen));
    n.arrivals.emplace_back(message->topic != nullptr ? message->topic : "", std::move(payload));
  }

  static void OnLog(mosquitto*, void* user, int level, const char* line) {
    if (line == nullptr || (level & MOSQ_LOG_ERR) == 0) return;
    Network& n = Of(user);
    const std::string text(line);
    if (text.find("host name verification failed") != std::string::npos) {
      n.tlsProblem = "the broker's certificate is not for " + n.settings.broker.host;
    } else if (text.starts_with("OpenSSL Error") && n.tlsProblem.empty()) {
      n.tlsProblem = OpenSslReason(text);
    }
  }

  void BecomeUp() { subscribed = true; }

  // --- the network thread ---
  void Run() {
    std::chrono::milliseconds backoff = settings.firstBackoff;
    while (!stopping) {
      bool wasUp = false;
      const std::string reason = Attempt(wasUp);
      if (stopping || EndingNow()) break;
      SetStatus("not publishing: " + reason);
      owner.Disconnected(reason);
      if (wasUp) backoff = settings.firstBackoff;
      std::unique_lock lock(wakeMutex);
      wake.wait_for(lock, backoff, [&] { return stopping.load() || ending; });
      if (ending) break;
      lock.unlock();
      backoff = std::min(backoff * 2, settings.longestBackoff);
    }
    const std::lock_guard lock(wakeMutex);
    ended = true;
    wake.notify_all();
  }

  bool EndingNow() {
    const std::lock_guard lock(wakeMutex);
    return ending;
  }

  // One connection from the will to its end; why it ended.
  std::string Attempt(bool& wasUp) {
    refusal.clear();
    tlsProblem.clear();
    accepting = false;
    pendingSubscriptions.clear();
    lostErrno = 0;
    subscribed = false;
    toldConnected = false;
    closedClean = false;
    arrivals.clear();

    const publish::Message will = owner.Will();
    Client client(mosquitto_new(settings.clientId.empty() ? nullptr : settings.clientId.c_str(),
                                settings.cleanSession, this));
    if (!client) return "cannot make an MQTT client: " + std::string(std::strerror(errno));
    if (const std::string problem = Configure(client.get(), will); !problem.empty()) return problem;

    std::string host = settings.broker.host;
    if (!NumericAddress(host)) {
      std::string address;
      if (const std::string problem = Resolve(host, address); !problem.empty()) return problem;
      // A plain connection goes to the address found, so libmosquitto does
      // not look the name up again on this thread; TLS needs the name
      // itself, for the certificate's check and the server name indication.
      if (!settings.broker.tls) host = address;
    }
    if (stopping) return "stopped";

    errno = 0;
    const int rc = mosquitto_connect_async(client.get(), host.c_str(), settings.broker.port,
                                           static_cast<int>(settings.keepAlive.count()));
    if (rc != MOSQ_ERR_SUCCESS) return Reason(rc, errno, false);
    {
      const std::lock_guard lock(clientMutex);
      accepted = 0;
      published = 0;
      current = client.get();
    }
    std::string reason = Serve(client.get(), wasUp);
    {
      const std::lock_guard lock(clientMutex);
      up = false;
      current = nullptr;
    }
    return reason;  // the client goes here: a socket still open closes without DISCONNECT
  }

  std::string Configure(mosquitto* client, const publish::Message& will) {
    mosquitto_threaded_set(client, true);
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(client,
                                        static_cast<unsigned>(std::max(1, settings.maxInflight)));
    mosquitto_connect_callback_set(client, &OnConnect);
    mosquitto_disconnect_callback_set(client, &OnDisconnect);
    mosquitto_publish_callback_set(client, &OnPublish);
    mosquitto_message_callback_set(client, &OnMessage);
    mosquitto_subscribe_callback_set(client, &OnSubscribe);
    mosquitto_log_callback_set(client, &OnLog);
    if (!will.topic.empty()) {
      const int rc =
          mosquitto_will_set(client, will.topic.c_str(), static_cast<int>(will.payload.size()),
                             will.payload.data(), will.qos, will.retain);
      if (rc != MOSQ_ERR_SUCCESS)
        return "the will cannot be set: " + std::string(mosquitto_strerror(rc));
    }
    if (!settings.userName.empty()) {
      const int rc =
          mosquitto_username_pw_set(client, settings.userName.c_str(), settings.password.c_str());
      if (rc != MOSQ_ERR_SUCCESS)
        return "the user name cannot be set: " + std::string(mosquitto_strerror(rc));
    }
    if (settings.broker.tls) {
      // libmosquitto says only "invalid arguments" of a file it cannot read.
      for (const std::string* file : {&settings.caFile, &settings.certFile, &settings.keyFile})
        if (!file->empty() && ::access(file->c_str(), R_OK) != 0)
          return "TLS cannot be set up: cannot read " + *file + ": " + std::strerror(errno);
      if (settings.certFile.empty() != settings.keyFile.empty())
        return "TLS cannot be set up: a client certificate needs its key, and a key its "
               "certificate";
      const char* caFile = settings.caFile.empty() ? nullptr : settings.caFile.c_str();
      const char* caPath = caFile == nullptr ? "/etc/ssl/certs" : nullptr;
      const char* cert = settings.certFile.empty() ? nullptr : settings.certFile.c_str();
      const char* key = settings.keyFile.empty() ? nullptr : settings.keyFile.c_str();
      int rc = mosquitto_tls_set(client, caFile, caPath, cert, key, nullptr);
      if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_tls_opts_set(client, 1, nullptr, nullptr);  // verify the peer
      if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_insecure_set(client, false);
      if (rc != MOSQ_ERR_SUCCESS)
        return "TLS cannot be set up: " + std::string(mosquitto_strerror(rc));
    }
    return {};
  }

  std::string Resolve(const std::string& host, std::string& address) {
    const std::shared_ptr<Lookup> lookup = StartLookup(host);
    std::unique_lock lock(lookup->mutex);
    while (!lookup->finished) {
      if (stopping) return "stopped";
      lookup->done.wait_for(lock, 50ms);
    }
    if (lookup->error != 0)
      return "broker unreachable: cannot find " + host + ": " + ::gai_strerror(lookup->error);
    if (lookup->address.empty()) return "broker unreachable: no address for " + host;
    address = lookup->address;
    return {};
  }

  // Runs the connection until it ends, is stopped or ended cleanly.
  std::string Serve(mosquitto* client, bool& wasUp) {
    const Clock::time_point giveUp = Clock::now() + settings.connectTimeout;
    bool disconnectSent = false;
    while (true) {
      if (stopping) return "stopped";
      errno = 0;
      const int rc = mosquitto_loop(client, kLoopMilliseconds, 1);
      const int error = errno;
      Dispatch();
      wasUp = wasUp || toldConnected;
      if (!disconnectSent && Ending(client)) {
        disconnectSent = mosquitto_disconnect(client) == MOSQ_ERR_SUCCESS;
        if (!disconnectSent) return "disconnected";
      }
      if (rc != MOSQ_ERR_SUCCESS) {
        if (disconnectSent) {
          const std::lock_guard lock(wakeMutex);
          endedClean = closedClean;
          return "disconnected";
        }
        return Reason(rc, error != 0 ? error : lostErrno, wasUp);
      }
      if (!accepting && Clock::now() > giveUp)
        return "broker unreachable: no answer within " +
               std::to_string(settings.connectTimeout.count()) + " s";
    }
  }

  // True once the clean end may send its DISCONNECT: everything accepted
  // is out, or the time for it is up.
  bool Ending(mosquitto*) {
    const std::lock_guard lock(wakeMutex);
    if (!ending) return false;
    return published.load() >= accepted.load() || Clock::now() >= endingDeadline;
  }

  // Tells the owner, outside libmosquitto's callbacks and locks, what they
  // saw.
  void Dispatch() {
    // Publish opens only here, so nothing the owner sends can come before
    // what it sends on hearing of the connection (the NBIRTH).
    if (subscribed && !toldConnected) {
      toldConnected = true;
      up = true;
      SetStatus("publishing to " + settings.broker.host);
      owner.Connected();
    }
    std::vector<std::pair<std::string, std::string>> taken;
    taken.swap(arrivals);
    for (const auto& [topic, payload] : taken) owner.Arrived(topic, payload);
  }

  std::string Reason(int rc, int error, bool wasUp) const {
    const std::string lost = wasUp ? "connection lost: " : "broker unreachable: ";
    switch (rc) {
      case MOSQ_ERR_CONN_REFUSED: return refusal.empty() ? "connection refused" : refusal;
      case MOSQ_ERR_TLS:
      case MOSQ_ERR_TLS_HANDSHAKE:
        return "TLS failed: " + (tlsProblem.empty() ? std::string("handshake failed") : tlsProblem);
      case MOSQ_ERR_ERRNO: return lost + (error != 0 ? std::strerror(error) : "the socket failed");
      case MOSQ_ERR_CONN_LOST:
      case MOSQ_ERR_NO_CONN:
        if (!tlsProblem.empty()) return "TLS failed: " + tlsProblem;
        return lost + "the broker closed the connection";
      case MOSQ_ERR_KEEPALIVE:
        return "connection lost: no word from the broker within the keep-alive";
      case MOSQ_ERR_EAI: return "broker unreachable: cannot find " + settings.broker.host;
      default:
        if (!tlsProblem.empty()) return "TLS failed: " + tlsProblem;
        return lost + mosquitto_strerror(rc);
    }
  }
};

MqttLink::MqttLink(LinkSettings settings, LinkOwner& owner)
    : m_network(std::make_unique<Network>(std::move(settings), owner)) {}

MqttLink::~MqttLink() { Stop(); }

void MqttLink::Start() {
  Network& n = *m_network;
  if (n.thread.joinable() || n.stopping) return;
  n.thread = std::thread([&n] { n.Run(); });
}

void MqttLink::Stop() {
  Network& n = *m_network;
  {
    const std::lock_guard lock(n.wakeMutex);
    n.stopping = true;
    n.wake.notify_all();
  }
  if (n.thread.joinable()) n.thread.join();
  bool clean = false;
  {
    const std::lock_guard lock(n.wakeMutex);
    clean = n.endedClean;
  }
  n.SetStatus(clean ? "not publishing: disconnected" : "not publishing: stopped");
}

bool MqttLink::Publish(const publish::Message& message) {
  Network& n = *m_network;
  const std::lock_guard lock(n.clientMutex);
  if (n.current == nullptr || !n.up) return false;
  if (n.accepted.load() - n.published.load() >= n.settings.maxPending) return false;
  ++n.accepted;
  const int rc = mosquitto_publish(n.current, nullptr, message.topic.c_str(),
                                   static_cast<int>(message.payload.size()), message.payload.data(),
                                   message.qos, message.retain);
  if (rc != MOSQ_ERR_SUCCESS) --n.accepted;
  return rc == MOSQ_ERR_SUCCESS;
}

bool MqttLink::PublishAndDisconnect(const publish::Message& message) {
  Network& n = *m_network;
  const bool sentOut = Publish(message);
  std::unique_lock lock(n.wakeMutex);
  n.ending = true;
  n.endingDeadline = Clock::now() + 1s;
  n.wake.notify_all();
  n.wake.wait_for(lock, 2500ms, [&] { return n.ended || !n.thread.joinable(); });
  const bool clean = n.endedClean;
  lock.unlock();
  if (n.thread.joinable() && n.ended) n.thread.join();
  n.SetStatus("not publishing: disconnected");
  return sentOut && clean;
}

std::string MqttLink::Status() const {
  const std::lock_guard lock(m_network->statusMutex);
  return m_network->status;
}

bool MqttLink::connected() const { return m_network->up; }

}  // namespace halvorn::mqtt
