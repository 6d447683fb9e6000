// The real controller simulator (halvorn-sim) as a child of an end-to-end
// test: its console on a connection that stays open, its standard output read line
// by line while the test's Qt event loop keeps the panel running, and the
// process ended, and waited for, when the object goes. A test that dies
// early takes the simulator with it: the child asks the kernel to stop it
// when the test process ends.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "support/EventLoop.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::testing {

class SimulatorProcess {
 public:
  // Starts `program --console --link <linkPath> -q` and any `extra`
  // arguments. started() tells whether the process is there; its line is
  // ready once AwaitLine("halvorn-sim: link ") has seen the link made.
  SimulatorProcess(const std::string& program, const std::string& linkPath,
                   const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments{program, "--console", "--link", linkPath, "-q"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The console is a socket pair rather than a pipe, so that typing to a
    // simulator that has gone fails instead of raising SIGPIPE in the test.
    int console[2] = {-1, -1};
    int output[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, console) != 0) return;
    if (::pipe2(output, O_CLOEXEC) != 0) {
      ::close(console[0]);
      ::close(console[1]);
      return;
    }
    const pid_t parent = ::getpid();
    // fork rather than posix_spawn: only the child itself can ask to be
    // stopped when its parent dies. Between fork and exec only
    // async-signal-safe calls, as the test process has Qt's threads.
    m_pid = ::fork();
    if (m_pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (::getppid() != parent) ::_exit(127);
      ::dup2(console[0], STDIN_FILENO);
      ::dup2(output[1], STDOUT_FILENO);
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) ::dup2(null, STDERR_FILENO);
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(console[0]);
    ::close(output[1]);
    if (m_pid < 0) {
      ::close(console[1]);
      ::close(output[0]);
      return;
    }
    m_console = console[1];
    m_output = output[0];
    ::fcntl(m_output, F_SETFL, ::fcntl(m_output, F_GETFL) | O_NONBLOCK);
    // Through the system call: some C libraries declare pidfd_open without
    // C linkage for C++.
    m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
  }

  ~SimulatorProcess() { Terminate(); }
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  bool started() const { return m_pid > 0; }

  // Writes one console line; the newline is added. False when the console
  // is gone.
  bool Type(std::string_view line) {
    if (m_console < 0) return false;
    const std::string text = std::string(line) + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::send(m_console, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        return false;
      }
    }
    return true;
  }

  // The next complete line the program printed, without its newline, if
  // one is there; never waits.
  std::optional<std::string> TakeLine() {
    ReadWaiting();
    const std::size_t newline = m_pending.find('\n');
    if (newline == std::string::npos) return {};
    std::string line = m_pending.substr(0, newline);
    m_pending.erase(0, newline + 1);
    m_transcript += line + "\n";
    return line;
  }

  // Runs the event loop until the program prints a line starting with
  // `prefix`, or `limit` passed; earlier lines are skipped (they stay in
  // the transcript).
  std::optional<std::string> AwaitLine(std::string_view prefix, std::chrono::milliseconds limit) {
    return AwaitLineStartingWith({prefix}, limit);
  }

  // Types a console line and waits for its answer ("ok: ..." or
  // "error: ..."); nothing when none came within `limit`.
  std::optional<std::string> Command(std::string_view line,
                                     std::chrono::milliseconds limit = std::chrono::seconds(2)) {
    if (!Type(line)) return {};
    return AwaitLineStartingWith({"ok: ", "error: "}, limit);
  }

  // Everything the program printed so far, for failure messages.
  const std::string& transcript() const { return m_transcript; }

  // Ends the program: SIGTERM, at most two seconds to go (it removes its
  // link on the way out), then SIGKILL. Safe to call more than once.
  void Terminate() {
    if (m_console >= 0) ::close(m_console);
    m_console = -1;
    if (m_pid > 0 && !m_ended) {
      ::kill(m_pid, SIGTERM);
      if (!Reap(std::chrono::seconds(2))) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_ended = true;
      }
    }
    if (m_output >= 0) ::close(m_output);
    m_output = -1;
    if (m_pidfd >= 0) ::close(m_pidfd);
    m_pidfd = -1;
  }

 private:
  std::optional<std::string> AwaitLineStartingWith(const std::vector<std::string_view>& prefixes,
                                                   std::chrono::milliseconds limit) {
    std::optional<std::string> found;
    RunEventsUntil(
        [&] {
          // Asked once more after the loop ends: keep what was found.
          if (found) return true;
          while (std::optional<std::string> line = TakeLine()) {
            for (const std::string_view prefix : prefixes) {
              if (line->rfind(prefix, 0) == 0) {
                found = std::move(line);
                return true;
              }
            }
          }
          return false;
        },
        limit);
    return found;
  }

  // Collects the child once it has ended, waiting at most `limit` on its
  // process descriptor (no polling loop).
  bool Reap(std::chrono::milliseconds limit) {
    if (m_pid <= 0 || m_ended) return m_ended;
    if (m_pidfd >= 0 && limit.count() > 0) {
      pollfd gone{m_pidfd, POLLIN, 0};
      ::poll(&gone, 1, static_cast<int>(limit.count()));
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) m_ended = true;
    return m_ended;
  }

  void ReadWaiting() {
    if (m_output < 0) return;
    char buffer[1024];
    while (true) {
      const ssize_t n = ::read(m_output, buffer, sizeof buffer);
      if (n > 0) {
        m_pending.append(buffer, static_cast<std::size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        return;  // drained (EAGAIN) or the program closed its output
      }
    }
  }

  pid_t m_pid = -1;
  int m_pidfd = -1;
  int m_console = -1;
  int m_output = -1;
  bool m_ended = false;
  std::string m_pending;
  std::string m_transcript;
};

}  // namespace halvorn::testing
