// A program run as a child of a test or of a measurement: the simulator,
// the panel itself, an X server, a record maker. Its standard input is a
// socket (typing to a child that has gone fails instead of raising SIGPIPE),
// its standard output is read line by line without ever blocking the
// caller, its standard error goes to a file or nowhere. The child leads a
// process group of its own, so that whatever it starts ends with it, and
// the kernel stops it when the thread that started it ends (a test that
// dies early takes its children with it). Ended and collected when the
// object goes: SIGTERM to the group, SIGKILL if it has not gone within two
// seconds; no child is left a zombie.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvorn::process {

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
  // Starts the program; started() is false when it could not be.
  explicit ChildProcess(const ChildOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] bool started() const { return m_pid > 0; }
  [[nodiscard]] pid_t pid() const { return m_pid; }
  [[nodiscard]] bool running() const { return m_pid > 0 && !m_exit; }

  // Writes to its standard input; false when that failed.
  bool Type(std::string_view text);
  // Its standard input ends.
  void CloseInput();

  // A whole line it printed, without its newline, if one is there now;
  // never waits.
  [[nodiscard]] std::optional<std::string> TakeLine();
  // The next line within `patience`, sleeping in poll() meanwhile; for
  // callers without an event loop to keep running.
  [[nodiscard]] std::optional<std::string> ReadLine(std::chrono::milliseconds patience);
  // The next line starting with `prefix` within `patience`, skipping others.
  [[nodiscard]] std::optional<std::string> ReadLineStartingWith(std::string_view prefix,
                                                                std::chrono::milliseconds patience);
  // Every line taken so far, for failure messages.
  [[nodiscard]] const std::string& transcript() const { return m_transcript; }

  // Sends `signal` to the program itself (not its group).
  void Signal(int signal);
  // Waits for it to end; true when it did within `patience`.
  bool Wait(std::chrono::milliseconds patience);
  // Its wait status once it ended.
  [[nodiscard]] std::optional<int> exitStatus() const { return m_exit; }
  // Ends it and its group as the destructor does. Safe to call more than
  // once.
  void Stop();

 private:
  // Reads what waits on the output pipe.
  void ReadAvailable();

  pid_t m_pid = -1;
  int m_pidfd = -1;
  int m_input = -1;
  int m_output = -1;
  std::string m_pending;
  std::string m_transcript;
  std::optional<int> m_exit;
};

}  // namespace halvorn::process
