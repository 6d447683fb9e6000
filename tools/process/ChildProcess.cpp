#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace halvorn::process {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The caller's environment with `additions` put in, replacing entries of
// the same name.
std::vector<std::string> Environment(const std::vector<std::string>& additions) {
  std::vector<std::string> entries;
  const auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; e && *e; ++e) {
    const std::string_view entry(*e);
    bool replaced = false;
    for (const std::string& a : additions) replaced = replaced || nameOf(a) == nameOf(entry);
    if (!replaced) entries.emplace_back(entry);
  }
  entries.insert(entries.end(), additions.begin(), additions.end());
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

}  // namespace

ChildProcess::ChildProcess(const ChildOptions& options) {
  int input[2] = {-1, -1};
  int output[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) return;
  if (::pipe2(output, O_CLOEXEC) != 0) {
    ::close(input[0]);
    ::close(input[1]);
    return;
  }
  // Everything the child needs is prepared before the fork: the caller may
  // have threads (Qt's), so after it only async-signal-safe calls.
  std::vector<std::string> arguments{options.program};
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv = Pointers(arguments);
  std::vector<std::string> environment = Environment(options.environment);
  std::vector<char*> envp = Pointers(environment);
  const std::string errorPath = options.errorFile.empty() ? "/dev/null" : options.errorFile;
  const pid_t parent = ::getpid();

  // fork rather than posix_spawn: only the child itself can ask to be
  // stopped when its parent goes.
  m_pid = ::fork();
  if (m_pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(input[0], STDIN_FILENO);
    ::dup2(output[1], STDOUT_FILENO);
    const int error = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (error >= 0) ::dup2(error, STDERR_FILENO);
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(input[0]);
  ::close(output[1]);
  if (m_pid < 0) {
    ::close(input[1]);
    ::close(output[0]);
    return;
  }
  // Also here, so that the group is there before the first signal to it.
  ::setpgid(m_pid, m_pid);
  m_input = input[1];
  m_output = output[0];
  ::fcntl(m_output, F_SETFL, ::fcntl(m_output, F_GETFL) | O_NONBLOCK);
  // Through the system call: some C libraries declare pidfd_open without C
  // linkage for C++.
  m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
}

ChildProcess::~ChildProcess() {
  Stop();
  if (m_output >= 0) ::close(m_output);
  if (m_pidfd >= 0) ::close(m_pidfd);
}

void ChildProcess::Stop() {
  CloseInput();
  if (!running()) return;
  ::kill(-m_pid, SIGTERM);
  if (Wait(2s)) return;
  ::kill(-m_pid, SIGKILL);
  int status = 0;
  while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_exit = status;
}

bool ChildProcess::Type(std::string_view text) {
  if (m_input < 0) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::send(m_input, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void ChildProcess::CloseInput() {
  if (m_input >= 0) ::close(m_input);
  m_input = -1;
}

void ChildProcess::ReadAvailable() {
  if (m_output < 0) return;
  char buffer[4096];
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

std::optional<std::string> ChildProcess::TakeLine() {
  if (m_pending.find('\n') == std::string::npos) ReadAvailable();
  const auto newline = m_pending.find('\n');
  if (newline == std::string::npos) return {};
  std::string line = m_pending.substr(0, newline);
  m_pending.erase(0, newline + 1);
  m_transcript += line + "\n";
  return line;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  while (true) {
    if (std::optional<std::string> line = TakeLine()) return line;
    const int left = MillisecondsUntil(deadline);
    if (left <= 0 || m_output < 0) return {};
    pollfd fd{m_output, POLLIN, 0};
    if (::poll(&fd, 1, left) < 0 && errno != EINTR) return {};
    if ((fd.revents & POLLHUP) && !(fd.revents & POLLIN)) return TakeLine();
  }
}

std::optional<std::string> ChildProcess::ReadLineStartingWith(std::string_view prefix,
                                                              std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  while (std::optional<std::string> line = ReadLine(std::chrono::milliseconds(MillisecondsUntil(deadline)))) {
    if (line->starts_with(prefix)) return line;
  }
  return {};
}

void ChildProcess::Signal(int signal) {
  if (running()) ::kill(m_pid, signal);
}

bool ChildProcess::Wait(std::chrono::milliseconds patience) {
  if (m_pid <= 0) return false;
  if (m_exit) return true;
  const auto deadline = Clock::now() + patience;
  while (true) {
    int status = 0;
    const pid_t reaped = ::waitpid(m_pid, &status, WNOHANG);
    if (reaped == m_pid || (reaped < 0 && errno == ECHILD)) {
      m_exit = status;
      return true;
    }
    const int left = MillisecondsUntil(deadline);
    if (left <= 0) return false;
    // The process descriptor becomes readable when the child ends: no
    // polling loop where the kernel has one.
    if (m_pidfd >= 0) {
      pollfd gone{m_pidfd, POLLIN, 0};
      ::poll(&gone, 1, left);
    } else {
      std::this_thread::sleep_for(std::min(5ms, std::chrono::milliseconds(left)));
    }
  }
}

}  // namespace halvorn::process
