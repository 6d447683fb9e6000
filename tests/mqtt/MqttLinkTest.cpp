#include "mqtt/MqttLink.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "support/Broker.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::mqtt {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::Broker;
using testing::BrokerOptions;
using testing::BrokerWatcher;
using testing::Delivered;
using testing::Delivery;

// Bounds only a fault breaks: a busy machine is far quicker than these.
constexpr auto kPatience = 15s;

#define SKIP_WITHOUT_MOSQUITTO()      \
  if (!testing::MosquittoInstalled()) \
  GTEST_SKIP() << testing::kMosquittoProgram << " is not installed (scripts/deps installs it)"

// The owner as a test sees it: what it was asked and told, and a will
// whose payload counts the times it was asked.
class RecordingOwner : public LinkOwner {
 public:
  struct Seen {
    int wills = 0;
    int connections = 0;
    std::vector<std::string> reasons;
    std::vector<std::pair<std::string, std::string>> arrivals;
  };

  publish::Message Will() override {
    const int n = Change([](Seen& s) { return ++s.wills; });
    return {"test/death", "will " + std::to_string(n), 1, false};
  }
  void Connected() override {
    Change([](Seen& s) { return ++s.connections; });
  }
  void Disconnected(const std::string& reason) override {
    Change([&](Seen& s) {
      s.reasons.push_back(reason);
      return 0;
    });
  }
  void Arrived(const std::string& topic, const std::string& payload) override {
    Change([&](Seen& s) {
      s.arrivals.emplace_back(topic, payload);
      return 0;
    });
  }

  bool WaitFor(const std::function<bool(const Seen&)>& done,
               std::chrono::milliseconds limit = kPatience) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] { return done(m_seen); });
  }
  Seen seen() {
    const std::lock_guard lock(m_mutex);
    return m_seen;
  }

 private:
  int Change(const std::function<int(Seen&)>& change) {
    const std::lock_guard lock(m_mutex);
    const int result = change(m_seen);
    m_changed.notify_all();
    return result;
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  Seen m_seen;
};

LinkSettings PlainSettings(std::uint16_t port, const std::string& clientId) {
  LinkSettings settings;
  settings.broker.host = "127.0.0.1";
  settings.broker.port = port;
  settings.clientId = clientId;
  return settings;
}

std::string LastReason(RecordingOwner& owner) {
  const auto reasons = owner.seen().reasons;
  return reasons.empty() ? "" : reasons.back();
}

TEST(MqttLinkTest, PublishesOnceConnectedAndHearsItsSubscriptions) {
  SKIP_WITHOUT_MOSQUITTO();
  Broker broker;
  ASSERT_TRUE(broker.ok()) << broker.Log();
  BrokerWatcher watcher(broker.port(), "spBv1.0/#");
  ASSERT_TRUE(watcher.subscribed());

  RecordingOwner owner;
  LinkSettings settings = PlainSettings(broker.port(), "panel-publish");
  settings.subscriptions = {"spBv1.0/Plant/NCMD/panel", "spBv1.0/STATE/+"};
  MqttLink link(settings, owner);
  EXPECT_FALSE(link.Publish({"spBv1.0/Plant/NDATA/panel", "early", 0, false}))
      << "not connected yet";
  EXPECT_EQ(link.Status().rfind("not publishing: ", 0), 0u) << link.Status();
  link.Start();
  ASSERT_TRUE(owner.WaitFor([](const auto& s) { return s.connections == 1; })) << LastReason(owner);
  EXPECT_TRUE(link.connected());
  EXPECT_EQ(link.Status(), "publishing to 127.0.0.1");
  EXPECT_EQ(owner.seen().wills, 1);

  // Payload bytes arrive as they were: a zero byte, 140, 255.
  const std::string bytes("\x08\x00\x8c\xff", 4);
  EXPECT_TRUE(link.Publish({"spBv1.0/Plant/NBIRTH/panel", bytes, 0, false}));
  EXPECT_TRUE(link.Publish({"spBv1.0/Plant/NDATA/panel", "qos1", 1, false}));
  EXPECT_TRUE(watcher.WaitFor(
      [&](const auto& d) {
        return Delivered(d, "spBv1.0/Plant/NBIRTH/panel", bytes) &&
               Delivered(d, "spBv1.0/Plant/NDATA/panel", "qos1");
      },
      kPatience));
  EXPECT_FALSE(Delivered(watcher.deliveries(), "spBv1.0/Plant/NDATA/panel", "early"));

  // The subscriptions stood before the owner heard it was connected.
  ASSERT_TRUE(watcher.Publish("spBv1.0/STATE/host", std::string("{\"online\":true}\0", 16)));
  ASSERT_TRUE(owner.WaitFor([](const auto& s) { return !s.arrivals.empty(); }));
  EXPECT_EQ(owner.seen().arrivals.front().first, "spBv1.0/STATE/host");
  EXPECT_EQ(owner.seen().arrivals.front().second, std::string("{\"online\":true}\0", 16));
}

TEST(MqttLinkTest, AKilledNodeLeavesTheWillOfItsCurrentConnection) {
  SKIP_WITHOUT_MOSQUITTO();
  Broker broker;
  ASSERT_TRUE(broker.ok()) << broker.Log();
  testing::TemporaryDirectory state;
  const std::string stateFile = (state / "node.bdseq").string();
  std::ofstream(stateFile) << "41\n";  // an earlier run ended at 41

  process::ChildProcess node(
      {HALVORN_LINK_NODE_PROGRAM,
       {std::to_string(broker.port()), "killed-node", "spBv1.0/Plant/NDEATH/node", stateFile},
       {},
       (state / "node.err").string()});
  ASSERT_TRUE(node.started());
  ASSERT_EQ(node.ReadLineStartingWith("will ", kPatience).value_or("none"), "will 42");
  ASSERT_TRUE(node.ReadLineStartingWith("connected", kPatience)) << node.transcript();

  // An outage: the node connects again with the next bdSeq in its will.
  broker.Stop();
  ASSERT_TRUE(node.ReadLineStartingWith("disconnected ", kPatience)) << node.transcript();
  ASSERT_TRUE(broker.Start()) << broker.Log();
  ASSERT_TRUE(node.ReadLineStartingWith("connected", 40s)) << node.transcript();
  const std::string lastWill = node.transcript().substr(node.transcript().rfind("will "));
  ASSERT_EQ(lastWill.rfind("will ", 0), 0u);
  const std::string bdSeq = lastWill.substr(5, lastWill.find('\n') - 5);
  EXPECT_NE(bdSeq, "42");

  BrokerWatcher watcher(broker.port(), "spBv1.0/#");
  ASSERT_TRUE(watcher.subscribed());
  node.Signal(SIGKILL);
  ASSERT_TRUE(node.Wait(kPatience));
  EXPECT_TRUE(watcher.WaitFor(
      [&](const auto& d) { return Delivered(d, "spBv1.0/Plant/NDEATH/node", "bdSeq=" + bdSeq); },
      kPatience))
      << broker.Log();
  EXPECT_EQ(watcher.deliveries().size(), 1u) << "only the will of the connection that died";
}

TEST(MqttLinkTest, ACleanEndSendsTheDeathAndNoWill) {
  SKIP_WITHOUT_MOSQUITTO();
  Broker broker;
  ASSERT_TRUE(broker.ok()) << broker.Log();
  BrokerWatcher watcher(broker.port(), "test/#");
  ASSERT_TRUE(watcher.subscribed());
  RecordingOwner owner;
  MqttLink link(PlainSettings(broker.port(), "clean-node"), owner);
  link.Start();
  ASSERT_TRUE(owner.WaitFor([](const auto& s) { return s.connections == 1; })) << LastReason(owner);
  for (int i = 0; i < 50; ++i)
    ASSERT_TRUE(link.Publish({"test/data", std::to_string(i), 1, false}));

  EXPECT_TRUE(link.PublishAndDisconnect({"test/death", "clean death", 1, false}));
  EXPECT_FALSE(link.connected());
  EXPECT_EQ(link.Status(), "not publishing: disconnected");
  EXPECT_FALSE(link.Publish({"test/data", "after the end", 0, false}));

  // The broker took it as a DISCONNECT; a will would have reached the
  // watcher before a message the watcher sends after that.
  const auto deadline = Clock::now() + kPatience;
  while (broker.Log().find("Client clean-node disconnected.") == std::string::npos &&
         Clock::now() < deadline)
    std::this_thread::sleep_for(20ms);  // the broker's log file has no notification to wait on
  EXPECT_NE(broker.Log().find("Client clean-node disconnected."), std::string::npos)
      << broker.Log();
  ASSERT_TRUE(watcher.Publish("test/marker", "after"));
  ASSERT_TRUE(watcher.WaitFor([](const auto& d) { return Delivered(d, "test/marker", "after"); },
                              kPatience));
  const std::vector<Delivery> seen = watcher.deliveries();
  EXPECT_TRUE(Delivered(seen, "test/data", "49"));
  EXPECT_TRUE(Delivered(seen, "test/death", "clean death"));
  EXPECT_FALSE(Delivered(seen, "test/death", "will 1"));
  EXPECT_EQ(owner.seen().wills, 1) << "no new connection after the end";
}

TEST(MqttLinkTest, ABrokerThatTakesNothingIsGivenNoMoreThanTheBound) {
  SKIP_WITHOUT_MOSQUITTO();
  Broker broker;
  ASSERT_TRUE(broker.ok()) << broker.Log();
  BrokerWatcher watcher(broker.port(), "test/#");
  RecordingOwner owner;
  LinkSettings settings = PlainSettings(broker.port(), "slow-node");
  settings.maxPending = 40;
  MqttLink link(settings, owner);
  link.Start();
  ASSERT_TRUE(owner.WaitFor([](const auto& s) { return s.connections == 1; })) << LastReason(owner);

  broker.Pause();
  int taken = 0;
  for (int i = 0; i < 2000; ++i)
    taken += link.Publish({"test/data", std::to_string(i), 1, false}) ? 1 : 0;
  EXPECT_EQ(taken, 40) << "QoS 1 messages wait until acknowledged";
  EXPECT_TRUE(link.connected());

  broker.Resume();
  ASSERT_TRUE(
      watcher.WaitFor([](const auto& d) { return Delivered(d, "test/data", "39"); }, kPatience));
  // Acknowledged, so there is room again.
  const auto deadline = Clock::now() + kPatience;
  bool sent = false;
  while (!sent && Clock::now() < deadline) {
    sent = link.Publish({"test/data", "after", 1, false});
    if (!sent) std::this_thread::sleep_for(10ms);  // the acknowledgements are the link's own to see
  }
  EXPECT_TRUE(sent);
  EXPECT_TRUE(
      watcher.WaitFor([](const auto& d) { return Delivered(d, "test/data", "after"); }, kPatience));
  EXPECT_FALSE(Delivered(watcher.deliveries(), "test/data", "40"));
}

TEST(MqttLinkTest, ABrokerOutageIsToldAndTheLinkComesBackWithANewWill) {
  SKIP_WITHOUT_MOSQUITTO();
  Broker broker;
  ASSERT_TRUE(broker.ok()) << broker.Log();
  RecordingOwner owner;
  MqttLink link(PlainSettings(broker.port(), "outage-node"), owner);
  link.Start();
  ASSERT_TRUE(owner.WaitFor([](const auto& s) { return s.connections == 1; })) << LastReason(owner);

  broker.Stop();
  // Lost, then refused by a port nobody listens on, attempt after attempt.
  ASSERT_TRUE(owner.WaitFor([](const auto& s) { return s.reasons.size() >= 2; }))
      << LastReason(owner);
  const RecordingOwner::Seen down = owner.seen();
  EXPECT_EQ(down.reasons.front().rfind("connection lost: ", 0), 0u) << down.reasons.front();
  EXPECT_EQ(down.reasons.back(), "broker unreachable: Connection refused");
  EXPECT_EQ(link.Status(), "not publishing: broker unreachable: Connection refused");
  EXPECT_FALSE(link.connected());
  EXPECT_FALSE(link.Publish({"test/data", "lost", 0, false}));
  EXPECT_GE(down.wills, 2) << "asked before every attempt";

  ASSERT_TRUE(broker.Start()) << broker.Log();
  // Within the backoff (1 s, 2 s, 4 s, ... by now at most 8 s).
  ASSERT_TRUE(owner.WaitFor([](const auto& s) { return s.connections == 2; }, 30s))
      << LastReason(owner);
  EXPECT_GT(owner.seen().wills, down.wills);
  EXPECT_EQ(link.Status(), "publishing to 127.0.0.1");
}

TEST(MqttLinkTest, TlsVerifiesTheBrokerAndItsUsersAndSaysWhyNot) {
  SKIP_WITHOUT_MOSQUITTO();
  Broker broker(BrokerOptions{true});
  ASSERT_TRUE(broker.ok()) << broker.Log();
  const std::optional<testing::Authority> stranger =
      testing::MakeAuthority(broker.directory().path(), "stranger");
  ASSERT_TRUE(stranger);

  struct Case {
    const char* name;
    std::string host;
    std::string caFile;
    std::string password;
    std::string reason;  // empty: connects
  };
  const Case cases[] = {
      {"by name", "localhost", broker.caFile(), broker.options().password, ""},
      {"by address", "127.0.0.1", broker.caFile(), broker.options().password, ""},
      {"wrong authority", "127.0.0.1", stranger->certificate, broker.options().password,
       "TLS failed: certificate verify failed"},
      {"wrong password", "127.0.0.1", broker.caFile(), "not-the-password",
       "connection refused: not authorised"},
      {"no such authority", "127.0.0.1", broker.caFile() + ".gone", broker.options().password,
       "TLS cannot be set up: cannot read " + broker.caFile() + ".gone: No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingOwner owner;
    LinkSettings settings = PlainSettings(broker.port(), std::string("tls-") + c.name);
    settings.broker.host = c.host;
    settings.broker.tls = true;
    settings.caFile = c.caFile;
    settings.userName = broker.options().user;
    settings.password = c.password;
    MqttLink link(settings, owner);
    link.Start();
    if (c.reason.empty()) {
      EXPECT_TRUE(owner.WaitFor([](const auto& s) { return s.connections == 1; }))
          << LastReason(owner);
      EXPECT_EQ(link.Status(), "publishing to " + c.host);
    } else {
      EXPECT_TRUE(owner.WaitFor([](const auto& s) { return !s.reasons.empty(); }));
      EXPECT_EQ(LastReason(owner), c.reason) << broker.Log();
      EXPECT_EQ(link.Status(), "not publishing: " + c.reason);
      EXPECT_EQ(owner.seen().connections, 0);
    }
  }
}

// A listener that completes TCP's handshake and then says nothing: an
// MQTT connection attempt to it hangs until given up.
class SilentListener {
 public:
  SilentListener() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(m_fd, 8) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      m_port = ntohs(address.sin_port);
  }
  ~SilentListener() { ::close(m_fd); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  [[nodiscard]] std::uint16_t port() const { return m_port; }
  // True once a caller waits in the backlog.
  bool AwaitCaller(std::chrono::milliseconds limit) const {
    pollfd listening{m_fd, POLLIN, 0};
    return ::poll(&listening, 1, static_cast<int>(limit.count())) == 1;
  }

 private:
  int m_fd = -1;
  std::uint16_t m_port = 0;
};

TEST(MqttLinkTest, StopReturnsPromptlyDuringABackoffAndDuringAnAttempt) {
  // Stop within about a second: generous here, a hang is what it catches.
  constexpr auto kPrompt = 2s;
  {
    RecordingOwner owner;
    LinkSettings settings = PlainSettings(testing::FreePort(), "backoff-node");
    settings.firstBackoff = 20s;
    MqttLink link(settings, owner);
    link.Start();
    ASSERT_TRUE(owner.WaitFor([](const auto& s) { return !s.reasons.empty(); }));
    EXPECT_EQ(LastReason(owner), "broker unreachable: Connection refused");
    const auto before = Clock::now();
    link.Stop();
    EXPECT_LT(Clock::now() - before, kPrompt);
    EXPECT_EQ(link.Status(), "not publishing: stopped");
  }
  {
    SilentListener silent;
    ASSERT_NE(silent.port(), 0);
    RecordingOwner owner;
    MqttLink link(PlainSettings(silent.port(), "hanging-node"), owner);
    link.Start();
    ASSERT_TRUE(silent.AwaitCaller(kPatience));
    const auto before = Clock::now();
    link.Stop();
    EXPECT_LT(Clock::now() - before, kPrompt);
    EXPECT_TRUE(owner.seen().reasons.empty());
  }
}

}  // namespace
}  // namespace halvorn::mqtt
