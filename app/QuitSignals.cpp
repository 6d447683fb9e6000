#include "QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace halvorn::shell {
namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// What the handlers share with the panel. A signal handler can reach only
// static storage, and may only use what is safe in one: write(), lock-free
// atomics, timer_settime(), sigaction(), raise(), _exit().
struct Shared {
  int pipeWrite = -1;
  std::atomic<int> count{0};
  std::atomic<int> newest{SIGTERM};
  timer_t deadline{};
};
Shared g_shared;
static_assert(std::atomic<int>::is_always_lock_free);

void ArmTheDeadline() {
  itimerspec when{};
  when.it_value.tv_sec = QuitSignals::kDeadlineMilliseconds / 1000;
  when.it_value.tv_nsec = (QuitSignals::kDeadlineMilliseconds % 1000) * 1'000'000;
  ::timer_settime(g_shared.deadline, 0, &when, nullptr);
}

[[noreturn]] void EndAs(int signal) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

extern "C" void OnQuitSignal(int signal) {
  const int saved = errno;
  g_shared.newest.store(signal);
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_shared.pipeWrite, &byte, 1);
  if (g_shared.count.fetch_add(1) + 1 >= 2) ArmTheDeadline();
  errno = saved;
}

extern "C" void OnDeadline(int) { EndAs(g_shared.newest.load()); }

}  // namespace

QuitSignals::QuitSignals() {
  int ends[2] = {-1, -1};
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  sigevent expiry{};
  expiry.sigev_notify = SIGEV_SIGNAL;
  expiry.sigev_signo = SIGALRM;
  if (::timer_create(CLOCK_MONOTONIC, &expiry, &g_shared.deadline) != 0) {
    ::close(ends[0]);
    ::close(ends[1]);
    return;
  }
  m_read = ends[0];
  g_shared.pipeWrite = ends[1];
  g_shared.count.store(0);
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = OnDeadline;
  ::sigaction(SIGALRM, &action, nullptr);
  // Every quit signal is held while a handler runs, so that the count and
  // the newest signal agree.
  for (const int signal : kQuitSignals) sigaddset(&action.sa_mask, signal);
  action.sa_handler = OnQuitSignal;
  for (const int signal : kQuitSignals) ::sigaction(signal, &action, nullptr);
  m_installed = true;
}

QuitSignals::~QuitSignals() {
  if (!m_installed) return;
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  for (const int signal : kQuitSignals) ::sigaction(signal, &fallback, nullptr);
  ::timer_delete(g_shared.deadline);
  ::sigaction(SIGALRM, &fallback, nullptr);
  ::close(g_shared.pipeWrite);
  g_shared.pipeWrite = -1;
  ::close(m_read);
}

bool QuitSignals::Drain() {
  bool any = false;
  char bytes[64];
  for (;;) {
    const ssize_t n = ::read(m_read, bytes, sizeof bytes);
    if (n > 0) {
      any = true;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return any;
    }
  }
}

void QuitSignals::ArmDeadline() { ArmTheDeadline(); }

void QuitSignals::EndAsTheSignal() { EndAs(g_shared.newest.load()); }

}  // namespace halvorn::shell
