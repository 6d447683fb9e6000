// A pseudo-terminal pair for tests that play the process controller on the
// master side while the panel's port opens the slave by its path. No real
// device is touched.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <string>

namespace halvorn::testing {

// A pseudo-terminal pair. The slave starts in raw mode so that nothing the
// test sends is echoed back before the port under test takes the line over.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    char name[PATH_MAX] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
    m_path = name;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    termios attributes{};
    ::tcgetattr(m_slave, &attributes);
    ::cfmakeraw(&attributes);
    ::tcsetattr(m_slave, TCSANOW, &attributes);
  }
  ~PseudoTerminal() {
    CloseMaster();
    CloseSlave();
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return m_master >= 0 && m_slave >= 0 && !m_path.empty(); }
  const std::string& path() const { return m_path; }
  int master() const { return m_master; }
  // The test's own descriptor on the slave, kept for reading the line
  // settings back; it never reads bytes.
  int slave() const { return m_slave; }

  // The controller's end goes away.
  void CloseMaster() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
  }
  void CloseSlave() {
    if (m_slave >= 0) ::close(m_slave);
    m_slave = -1;
  }

  // The controller sends bytes; false when the line did not take them
  // within a second (a port that reads nothing must fail a test, not hang it).
  bool Send(const std::string& bytes) const {
    const std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t count = ::write(m_master, bytes.data() + sent, bytes.size() - sent);
      if (count > 0) {
        sent += static_cast<std::size_t>(count);
      } else if (count < 0 && errno == EAGAIN && std::chrono::steady_clock::now() < deadline) {
        pollfd writable{m_master, POLLOUT, 0};
        ::poll(&writable, 1, 10);
      } else {
        return false;
      }
    }
    return true;
  }

  // What the controller receives: reads until `count` bytes came or the
  // time ran out.
  std::string Receive(std::size_t count, std::chrono::milliseconds limit) const {
    std::string bytes;
    const std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + limit;
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd readable{m_master, POLLIN, 0};
      if (::poll(&readable, 1, 10) <= 0) continue;
      char chunk[4096];
      const ssize_t got = ::read(m_master, chunk, sizeof chunk);
      if (got <= 0) break;
      bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
  }

  termios SlaveAttributes() const {
    termios attributes{};
    ::tcgetattr(m_slave, &attributes);
    return attributes;
  }

 private:
  int m_master = -1;
  int m_slave = -1;
  std::string m_path;
};

}  // namespace halvorn::testing
