// A pseudo-terminal pair for tests and measurements that play the process
// controller on the master side while the panel's port opens the slave by
// its path. No real device is touched.
#pragma once

#include <termios.h>

#include <chrono>
#include <string>

namespace halvorn::process {

// The slave starts in raw mode so that nothing sent is echoed back before
// the port under test takes the line over; it stays open here too, so the
// panel's closing it never hangs up the controller's end.
class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  [[nodiscard]] bool ok() const { return m_master >= 0 && m_slave >= 0 && !m_path.empty(); }
  [[nodiscard]] const std::string& path() const { return m_path; }
  // The controller's end, non-blocking.
  [[nodiscard]] int master() const { return m_master; }
  // Our own descriptor on the slave, kept for reading the line settings
  // back; it never reads bytes.
  [[nodiscard]] int slave() const { return m_slave; }

  // The controller's end goes away.
  void CloseMaster();
  void CloseSlave();

  // The controller sends bytes; false when the line did not take them
  // within a second (a port that reads nothing must fail a test, not hang it).
  bool Send(const std::string& bytes) const;

  // What the controller receives: reads until `count` bytes came or the
  // time ran out.
  [[nodiscard]] std::string Receive(std::size_t count, std::chrono::milliseconds limit) const;

  [[nodiscard]] termios SlaveAttributes() const;

 private:
  int m_master = -1;
  int m_slave = -1;
  std::string m_path;
};

}  // namespace halvorn::process
