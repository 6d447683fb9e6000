// A program run as a child for a measurement or a test: the simulator or the
// panel itself. Its standard input is a pipe (the simulator's console), its
// standard output is read line by line without ever blocking the caller's
// event loop, its standard error goes to a file or nowhere. Ended when the
// object goes: SIGTERM, then SIGKILL if it has not gone within two seconds.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvorn::perf {

struct ChildOptions {
  std::string program;
  std::vector<std::string> arguments;
  // "NAME=VALUE" entries added to (or replacing in) the caller's environment.
  std::vector<std::string> environment;
  // Where standard error goes; empty: /dev/null.
  std::string errorFile;
};

class ChildProcess {
 public:
  // Starts the program; pid() is -1 when it could not be started.
  explicit ChildProcess(const ChildOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return m_pid; }
  bool running() const { return m_pid > 0 && !m_exit; }

  // Writes to its standard input; false when that failed.
  bool Type(std::string_view text);

  // A whole line it printed, without its newline, if one is there now;
  // never waits.
  std::optional<std::string> TakeLine();
  // The next line within `patience`, sleeping in poll() meanwhile; for
  // callers without an event loop to keep running.
  std::optional<std::string> ReadLine(std::chrono::milliseconds patience);
  // The next line starting with `prefix` within `patience`, skipping others.
  std::optional<std::string> ReadLineStartingWith(std::string_view prefix, std::chrono::milliseconds patience);

  // Sends `signal` (SIGTERM by default).
  void Signal(int signal);
  // Waits for it to end; true when it did within `patience`.
  bool Wait(std::chrono::milliseconds patience);
  // Its wait status once it ended.
  std::optional<int> exitStatus() const { return m_exit; }

 private:
  // Reads what waits on the output pipe; false at its end.
  bool ReadAvailable();

  pid_t m_pid = -1;
  int m_input = -1;
  int m_output = -1;
  std::string m_pending;
  std::optional<int> m_exit;
};

}  // namespace halvorn::perf
