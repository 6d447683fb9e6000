// The quit signals in a real process of their own (forked, as a signal and
// its deadline end the process): the first only asks, a further one ends it
// within the deadline as the signal would, and a handler leaves errno as
// the interrupted code had it.
#include "QuitSignals.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;

// Exit statuses of the forked child that say which check failed.
enum Failure { kNotInstalled = 10, kNoWordOfTheSignal, kErrnoChanged, kStillRunning };

// Runs `body` in a child process; returns its wait status and how long it ran.
template <typename Body>
std::pair<int, std::chrono::steady_clock::duration> RunInChild(Body body) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  ::waitpid(child, &status, 0);
  return {status, std::chrono::steady_clock::now() - started};
}

TEST(QuitSignalsTest, TheFirstSignalAsksAndAFurtherOneEndsTheProcessWithinTheDeadline) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    const auto [status, took] = RunInChild([signal] {
      QuitSignals signals;
      if (!signals.installed()) return static_cast<int>(kNotInstalled);
      ::raise(signal);
      pollfd ready{signals.fd(), POLLIN, 0};
      if (::poll(&ready, 1, 1000) != 1 || !signals.Drain())
        return static_cast<int>(kNoWordOfTheSignal);
      ::raise(signal);
      // Whatever the panel waits on now, the deadline ends it.
      ::sleep(5);
      return static_cast<int>(kStillRunning);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_LT(took, 3s);
  }
}

// The handler's write fails once the pipe is full (nobody read it); the
// code it interrupted must still see its own errno.
TEST(QuitSignalsTest, AHandlerLeavesErrnoAsItWas) {
  const auto [status, took] = RunInChild([] {
    QuitSignals signals;
    if (!signals.installed()) return static_cast<int>(kNotInstalled);
    // Blocked, so that the deadline a second signal arms cannot end the
    // child before it has answered.
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::sigprocmask(SIG_BLOCK, &alarm, nullptr);
    for (int i = 0; i < 70'000; ++i) ::raise(SIGHUP);
    errno = EDOM;
    ::raise(SIGHUP);
    return errno == EDOM ? 0 : static_cast<int>(kErrnoChanged);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  (void)took;
}

}  // namespace
}  // namespace halvorn::shell
