// A real MQTT broker for the publisher's tests: /usr/sbin/mosquitto as a
// child of the test, on 127.0.0.1 at a port nobody used, with a
// configuration, a log and (for TLS) a certificate authority, a server
// certificate and a password file of its own in a temporary directory.
// Stop() and Start() again keep the port, for outages. And BrokerWatcher: a
// plain subscriber that collects what the broker delivers.
#pragma once

#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "mqtt/MosquittoLibrary.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::testing {

inline constexpr const char* kMosquittoProgram = "/usr/sbin/mosquitto";

inline bool MosquittoInstalled() { return ::access(kMosquittoProgram, X_OK) == 0; }

// Runs a tool to its end (a minute at most); true when it exited with 0.
inline bool RunTool(const std::string& program, const std::vector<std::string>& arguments,
                    const std::string& errorFile = {}) {
  process::ChildProcess tool({program, arguments, {}, errorFile});
  if (!tool.started() || !tool.Wait(std::chrono::seconds(60))) return false;
  const int status = tool.exitStatus().value_or(-1);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A certificate authority made with the openssl tool: NAME.crt, NAME.key in
// `directory`. Elliptic-curve keys: made in milliseconds.
struct Authority {
  std::string certificate;
  std::string key;
};
inline std::optional<Authority> MakeAuthority(const std::string& directory, const std::string& name) {
  Authority made{directory + "/" + name + ".crt", directory + "/" + name + ".key"};
  if (!RunTool("/usr/bin/openssl",
               {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                made.key, "-out", made.certificate, "-days", "2", "-subj", "/CN=" + name},
               directory + "/" + name + ".err"))
    return {};
  return made;
}

// A free TCP port on the loopback at the moment of asking.
inline std::uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

inline bool PortAccepts(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool accepted = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return accepted;
}

struct BrokerOptions {
  // TLS with a certificate for localhost and 127.0.0.1 signed by the
  // broker's own authority (caFile()), and no anonymous clients.
  bool tls = false;
  std::string user = "panel";
  std::string password = "vacuum-pump-7";
};

class Broker {
 public:
  explicit Broker(BrokerOptions options = {}) : m_options(std::move(options)), m_port(FreePort()) {
    m_ok = m_directory.ok() && m_port != 0 && MosquittoInstalled() && Prepare() && Start();
  }
  ~Broker() { Stop(); }
  Broker(const Broker&) = delete;
  Broker& operator=(const Broker&) = delete;

  [[nodiscard]] bool ok() const { return m_ok; }
  [[nodiscard]] std::uint16_t port() const { return m_port; }
  [[nodiscard]] const BrokerOptions& options() const { return m_options; }
  // The authority that signed the broker's certificate (TLS only).
  [[nodiscard]] const std::string& caFile() const { return m_authority.certificate; }
  [[nodiscard]] const TemporaryDirectory& directory() const { return m_directory; }
  // Its log so far, for failure messages.
  [[nodiscard]] std::string Log() const {
    std::ifstream in(m_directory / "mosquitto.log");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Starts it (again, on the same port) and waits until the port accepts.
  bool Start() {
    if (m_process && m_process->running()) return true;
    m_process.reset();
    m_process =
        std::make_unique<process::ChildProcess>(process::ChildOptions{kMosquittoProgram,
                                                                      {"-c", (m_directory / "mosquitto.conf").string()},
                                                                      {},
                                                                      (m_directory / "mosquitto.err").string()});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_process->started() && m_process->running() && std::chrono::steady_clock::now() < deadline) {
      if (PortAccepts(m_port)) return true;
      // Nothing to wait on for a port that will listen: look every 10 ms.
      m_process->Wait(std::chrono::milliseconds(10));
    }
    return false;
  }

  // A broker that is there and answers nothing (SIGSTOP), and again
  // itself (SIGCONT).
  void Pause() {
    if (m_process) m_process->Signal(SIGSTOP);
  }
  void Resume() {
    if (m_process) m_process->Signal(SIGCONT);
  }

  // Ends it (SIGTERM; SIGKILL after two seconds).
  void Stop() {
    Resume();
    if (m_process) m_process->Stop();
  }

 private:
  bool Prepare() {
    std::ofstream config(m_directory / "mosquitto.conf");
    config << "listener " << m_port << " 127.0.0.1\n"
           << "persistence false\n"
           << "log_dest file " << (m_directory / "mosquitto.log").string() << "\n"
           << "log_type all\n"
           // Run by root (a container), it would change to a user that
           // cannot read the temporary directory.
           << "user " << (::geteuid() == 0 ? "root" : "mosquitto") << "\n";
    if (!m_options.tls) {
      config << "allow_anonymous true\n";
      return config.good();
    }
    const std::string dir = m_directory.path();
    std::optional<Authority> authority = MakeAuthority(dir, "broker-ca");
    if (!authority) return false;
    m_authority = *authority;
    {
      std::ofstream names(m_directory / "server.ext");
      names << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    }
    const std::string err = dir + "/openssl.err";
    if (!RunTool("/usr/bin/openssl",
                 {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                  dir + "/server.key", "-out", dir + "/server.csr", "-subj", "/CN=localhost"},
                 err) ||
        !RunTool("/usr/bin/openssl",
                 {"x509", "-req", "-in", dir + "/server.csr", "-CA", m_authority.certificate, "-CAkey", m_authority.key,
                  "-CAcreateserial", "-out", dir + "/server.crt", "-days", "2", "-extfile", dir + "/server.ext"},
                 err) ||
        !RunTool("/usr/bin/mosquitto_passwd", {"-b", "-c", dir + "/passwords", m_options.user, m_options.password},
                 err))
      return false;
    config << "cafile " << m_authority.certificate << "\n"
           << "certfile " << dir << "/server.crt\n"
           << "keyfile " << dir << "/server.key\n"
           << "allow_anonymous false\n"
           << "password_file " << dir << "/passwords\n";
    return config.good();
  }

  TemporaryDirectory m_directory;
  BrokerOptions m_options;
  std::uint16_t m_port = 0;
  Authority m_authority;
  std::unique_ptr<process::ChildProcess> m_process;
  bool m_ok = false;
};

// A subscriber on a plain broker: what arrives under `filter`, in order.
struct Delivery {
  std::string topic;
  std::string payload;
  bool retained = false;
};

class BrokerWatcher {
 public:
  BrokerWatcher(std::uint16_t port, const std::string& filter) : m_filter(filter) {
    mqtt::UseMosquittoLibrary();
    m_client.reset(mosquitto_new(nullptr, true, this));
    if (!m_client) return;
    mosquitto_connect_callback_set(m_client.get(), [](mosquitto* client, void* self, int code) {
      if (code == 0) mosquitto_subscribe(client, nullptr, static_cast<BrokerWatcher*>(self)->m_filter.c_str(), 1);
    });
    mosquitto_subscribe_callback_set(m_client.get(), [](mosquitto*, void* self, int, int, const int*) {
      static_cast<BrokerWatcher*>(self)->Note([](BrokerWatcher& w) { w.m_subscribed = true; });
    });
    mosquitto_message_callback_set(m_client.get(), [](mosquitto*, void* self, const mosquitto_message* m) {
      Delivery d{m->topic, std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
                 m->retain};
      static_cast<BrokerWatcher*>(self)->Note([&](BrokerWatcher& w) { w.m_deliveries.push_back(std::move(d)); });
    });
    if (mosquitto_connect(m_client.get(), "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return;
    if (mosquitto_loop_start(m_client.get()) != MOSQ_ERR_SUCCESS) return;
    m_looping = true;
    WaitFor([](const std::vector<Delivery>&) { return true; }, std::chrono::seconds(10));
  }
  ~BrokerWatcher() {
    if (m_looping) {
      mosquitto_disconnect(m_client.get());
      mosquitto_loop_stop(m_client.get(), false);
    }
  }
  BrokerWatcher(const BrokerWatcher&) = delete;
  BrokerWatcher& operator=(const BrokerWatcher&) = delete;

  [[nodiscard]] bool subscribed() const {
    const std::lock_guard lock(m_mutex);
    return m_subscribed;
  }

  // Waits (at most `limit`) until the subscription stands and `done` holds
  // for what arrived; true when it did.
  bool WaitFor(const std::function<bool(const std::vector<Delivery>&)>& done, std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] { return m_subscribed && done(m_deliveries); });
  }

  // Publishes on the broker (QoS 1); false when it could not be queued.
  bool Publish(const std::string& topic, const std::string& payload) {
    return m_looping && mosquitto_publish(m_client.get(), nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                          payload.data(), 1, false) == MOSQ_ERR_SUCCESS;
  }

  // Everything that arrived so far.
  [[nodiscard]] std::vector<Delivery> deliveries() const {
    const std::lock_guard lock(m_mutex);
    return m_deliveries;
  }

 private:
  struct Deleter {
    void operator()(mosquitto* client) const { mosquitto_destroy(client); }
  };

  template <typename F>
  void Note(F&& change) {
    const std::lock_guard lock(m_mutex);
    change(*this);
    m_changed.notify_all();
  }

  std::string m_filter;
  std::unique_ptr<mosquitto, Deleter> m_client;
  bool m_looping = false;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_subscribed = false;
  std::vector<Delivery> m_deliveries;
};

// Any of `deliveries` on `topic` with `payload`.
inline bool Delivered(const std::vector<Delivery>& deliveries, const std::string& topic, const std::string& payload) {
  for (const Delivery& d : deliveries)
    if (d.topic == topic && d.payload == payload) return true;
  return false;
}

}  // namespace halvorn::testing
