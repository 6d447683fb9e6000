#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace halvorn::perf {
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

}  // namespace

ChildProcess::ChildProcess(const ChildOptions& options) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  // Everything the child needs is prepared before the fork: after it, only
  // async-signal-safe calls.
  std::vector<std::string> arguments{options.program};
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = Environment(options.environment);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string errorPath = options.errorFile.empty() ? "/dev/null" : options.errorFile;

  m_pid = ::fork();
  if (m_pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    const int error = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (error >= 0) ::dup2(error, STDERR_FILENO);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (m_pid < 0) {
    ::close(in[1]);
    ::close(out[0]);
    return;
  }
  m_input = in[1];
  m_output = out[0];
  ::fcntl(m_output, F_SETFL, ::fcntl(m_output, F_GETFL) | O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
  if (m_input >= 0) ::close(m_input);
  if (running()) {
    Signal(SIGTERM);
    if (!Wait(2s)) {
      Signal(SIGKILL);
      int status = 0;
      ::waitpid(m_pid, &status, 0);
    }
  }
  if (m_output >= 0) ::close(m_output);
}

bool ChildProcess::Type(std::string_view text) {
  if (m_input < 0) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(m_input, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ChildProcess::ReadAvailable() {
  if (m_output < 0) return false;
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(m_output, buffer, sizeof buffer);
    if (n > 0) {
      m_pending.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

std::optional<std::string> ChildProcess::TakeLine() {
  if (m_pending.find('\n') == std::string::npos) ReadAvailable();
  const auto newline = m_pending.find('\n');
  if (newline == std::string::npos) return {};
  std::string line = m_pending.substr(0, newline);
  m_pending.erase(0, newline + 1);
  return line;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  while (true) {
    if (std::optional<std::string> line = TakeLine()) return line;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || m_output < 0) return {};
    pollfd fd{m_output, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return {};
    if ((fd.revents & POLLHUP) && !(fd.revents & POLLIN)) return TakeLine();
  }
}

std::optional<std::string> ChildProcess::ReadLineStartingWith(std::string_view prefix,
                                                              std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  while (Clock::now() < deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    std::optional<std::string> line = ReadLine(left);
    if (!line) return {};
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
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_exit = status;
      return true;
    }
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
}

}  // namespace halvorn::perf
