#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace halvorn::process {

PseudoTerminal::PseudoTerminal() {
  char name[PATH_MAX] = {};
  if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
  m_path = name;
  ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
  ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
  ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
  termios attributes{};
  ::tcgetattr(m_slave, &attributes);
  ::cfmakeraw(&attributes);
  ::tcsetattr(m_slave, TCSANOW, &attributes);
}

PseudoTerminal::~PseudoTerminal() {
  CloseMaster();
  CloseSlave();
}

void PseudoTerminal::CloseMaster() {
  if (m_master >= 0) ::close(m_master);
  m_master = -1;
}

void PseudoTerminal::CloseSlave() {
  if (m_slave >= 0) ::close(m_slave);
  m_slave = -1;
}

bool PseudoTerminal::Send(const std::string& bytes) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
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

std::string PseudoTerminal::Receive(std::size_t count, std::chrono::milliseconds limit) const {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + limit;
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

termios PseudoTerminal::SlaveAttributes() const {
  termios attributes{};
  ::tcgetattr(m_slave, &attributes);
  return attributes;
}

}  // namespace halvorn::process
