// halvorn-sim: the process controller, simulated on a pseudo-terminal or a
// serial device, for training, demonstration and end-to-end tests of the
// front panel. This file is the thin shell: the line, the console on
// standard input, signals and the clock. Everything else is in Simulator.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Line.h"
#include "Replay.h"
#include "SimCommandLine.h"
#include "Simulator.h"
#include "record/Schema.h"

namespace halvorn::sim {
namespace {

// Set by SIGINT, SIGTERM and SIGHUP; the main loop ends when it sees it.
volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopSignal(int) { g_stopRequested = 1; }

using Clock = std::chrono::steady_clock;

// While no panel holds the terminal side, the pseudo-terminal reports a
// hang-up at every poll; look again this often instead of spinning.
constexpr auto kDetachedRetry = std::chrono::milliseconds(100);
constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kLongestConsoleLine = 4096;
// The flood tops the queue up to this much, or two slices' worth when that
// is more; beyond, it waits for the line.
constexpr std::size_t kFloodQueue = 4096;
// Bytes waiting for a line that takes nothing are dropped past this: nobody
// reads the terminal side, and a panel that opens it flushes them anyway.
constexpr std::size_t kMostQueued = 256 * 1024;

void Print(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

class Program {
 public:
  explicit Program(SimOptions options, std::optional<ReplayPlayer> replay = std::nullopt)
      : m_options(std::move(options)), m_replay(std::move(replay)) {
    std::stable_sort(m_options.lines.begin(), m_options.lines.end(),
                     [](const ScheduledLine& a, const ScheduledLine& b) { return a.seconds < b.seconds; });
    m_sim.SetVerbose(m_options.verbose);
    if (!m_options.link.empty()) m_link.emplace(m_options.link);
    // A terminal is read only while the simulator is its foreground job:
    // started in the background ("halvorn-sim &") it leaves the terminal
    // to the shell.
    m_consoleOpen = m_options.console ||
                    (::isatty(STDIN_FILENO) == 1 && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp());
  }

  int Run(const sigset_t& unblocked) {
    m_start = m_lastAdvance = Clock::now();
    if (!OpenLine()) return 1;
    RunDueLines(m_start);
    FlushLog();

    while (g_stopRequested == 0 && !m_quit) {
      const Clock::time_point now = Clock::now();
      RunDueLines(now);
      if (m_reopenAt && now >= *m_reopenAt) {
        m_reopenAt.reset();
        OpenLine();
      }

      std::vector<pollfd> fds;
      const bool watchLine = m_line && (!m_detachedUntil || now >= *m_detachedUntil);
      if (watchLine) {
        const short events = static_cast<short>(POLLIN | (m_outgoing.empty() ? 0 : POLLOUT));
        fds.push_back({m_line->fd(), events, 0});
      }
      if (m_consoleOpen) fds.push_back({STDIN_FILENO, POLLIN, 0});

      std::optional<Clock::time_point> wake = m_reopenAt;
      const auto earliest = [&wake](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
      if (m_line && !watchLine) earliest(*m_detachedUntil);
      if (m_nextLine < m_options.lines.size()) earliest(LineTime(m_options.lines[m_nextLine]));
      if (m_replay && m_replayStart && m_replay->NextDue()) earliest(*m_replayStart + *m_replay->NextDue());

      std::optional<long long> waitNs;
      if (wake) {
        const auto wait = std::max(Clock::duration::zero(), *wake - now);
        waitNs = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count() + 1'000'000;
      }
      const bool flooding = watchLine && m_panelHeard && m_sim.Flooding();
      if (flooding) {
        const long long untilSlice =
            std::max<long long>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(m_nextSlice - now).count());
        waitNs = waitNs ? std::min(*waitNs, untilSlice) : untilSlice;
      }
      timespec timeout{};
      if (waitNs) {
        timeout.tv_sec = static_cast<time_t>(*waitNs / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(*waitNs % 1'000'000'000);
      }
      const int ready = ::ppoll(fds.data(), fds.size(), waitNs ? &timeout : nullptr, &unblocked);
      if (ready < 0) {
        if (errno == EINTR) continue;
        std::fprintf(stderr, "halvorn-sim: poll failed: %s\n", std::strerror(errno));
        return 1;
      }
      CatchUp();
      for (const pollfd& fd : fds) {
        if (fd.revents == 0) continue;
        if (m_line && fd.fd == m_line->fd()) {
          if (fd.revents & POLLOUT) Drain();
          ReadLine(fd.revents);
        }
        if (fd.fd == STDIN_FILENO) ReadConsole();
      }
      // Only to a panel that has been heard on the line: frames written to
      // nobody would be counted as sent and then found stale, or flushed, by
      // the panel's open (a fresh pseudo-terminal does not even report that
      // nobody holds it).
      if (m_panelHeard && m_sim.Flooding()) WriteFloodSlice();
      if (m_replay && m_replayStart) PlayDue();
      FlushLog();
    }
    if (m_sim.Flooding()) Print("halvorn-sim: flood stopped at exit: " + m_sim.flood().Describe() + "\n");
    return 0;
  }

 private:
  Clock::time_point LineTime(const ScheduledLine& line) const {
    return m_start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(line.seconds));
  }

  // The flood's bytes go to the line in slices, as an adapter hands them
  // over: whatever the flood earned since the last slice, once a slice.
  void WriteFloodSlice() {
    const Clock::time_point now = Clock::now();
    if (now < m_nextSlice) return;
    const auto slice = std::chrono::milliseconds(m_sim.flood().SliceMs());
    // A loop that woke late keeps the rhythm; one far behind starts afresh.
    m_nextSlice = now - m_nextSlice < slice ? m_nextSlice + slice : now + slice;
    const auto sliceBytes = static_cast<std::size_t>(m_sim.flood().BytesPerSecond() * 2.0 *
                                                     std::chrono::duration<double>(slice).count());
    const std::size_t queue = std::max(kFloodQueue, sliceBytes);
    if (m_outgoing.size() < queue) Write(m_sim.TakeFlood(queue - m_outgoing.size()));
  }

  // The plant's time follows the clock: it is moved on before every
  // request and console line, so nothing needs to wake while idle.
  void CatchUp() {
    const Clock::time_point now = Clock::now();
    m_sim.Advance(std::chrono::duration<double>(now - m_lastAdvance).count());
    m_lastAdvance = now;
  }

  bool OpenLine() {
    if (m_line) return true;
    std::string error;
    const LineSettings settings{m_options.baud, m_options.parity};
    m_line = m_options.device.empty() ? Line::OpenPseudoTerminal(settings, error)
                                      : Line::OpenDevice(m_options.device, settings, error);
    if (!m_line) {
      std::fprintf(stderr, "halvorn-sim: %s\n", error.c_str());
      return false;
    }
    m_detachedUntil.reset();
    m_panelHeard = false;
    m_sim.ResetLine();
    m_sim.SetLineDescription(m_line->path());
    Print("halvorn-sim: controller on " + m_line->path() + "\n");
    if (m_link) {
      if (m_link->PointAt(m_line->path(), error)) {
        Print("halvorn-sim: link " + m_link->path() + " -> " + m_line->path() + "\n");
      } else {
        std::fprintf(stderr, "halvorn-sim: %s\n", error.c_str());
      }
    }
    return true;
  }

  void HangUp(std::optional<double> reopenAfter) {
    if (m_link) m_link->Remove();
    m_line.reset();
    m_outgoing.clear();
    m_panelHeard = false;
    m_sim.ResetLine();
    m_sim.SetLineDescription("hung up");
    if (reopenAfter) {
      m_reopenAt = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(*reopenAfter));
    }
    Print("halvorn-sim: line hung up\n");
  }

  void ReadLine(short revents) {
    if (revents & POLLIN) {
      char buffer[kReadChunk];
      // Bounded, so a flood cannot starve the console.
      for (int round = 0; round < 16 && m_line; ++round) {
        const ssize_t n = ::read(m_line->fd(), buffer, sizeof buffer);
        if (n > 0) {
          m_panelHeard = true;
          if (m_replay) {
            // The recording answers, not the model: what the panel sends
            // now is read and dropped; its first words start the play.
            if (!m_replayStart) {
              m_replayStart = Clock::now();
              Print("halvorn-sim: replay started\n");
            }
            continue;
          }
          Write(m_sim.Receive(std::string_view(buffer, static_cast<std::size_t>(n))));
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        Detach();  // 0 or EIO: the terminal side is closed
        return;
      }
      return;
    }
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) Detach();
  }

  // No panel holds the line; look for one again shortly. What waits to go
  // out was meant for the panel that left.
  void Detach() {
    m_detachedUntil = Clock::now() + kDetachedRetry;
    m_panelHeard = false;
    DropQueued("no panel holds the line");
  }

  // Queues whole frames and sends what the line takes now; the rest goes
  // out as the line takes it, in order, so no frame is ever cut in two by
  // a full buffer.
  void Write(const std::string& bytes) {
    if (!m_line || bytes.empty()) return;
    if (m_outgoing.size() + bytes.size() > kMostQueued) {
      if (!m_options.quiet) {
        std::fprintf(stderr, "halvorn-sim: %zu bytes not sent: nobody reads the line\n", bytes.size());
      }
      return;
    }
    m_outgoing += bytes;
    Drain();
  }

  void Drain() {
    std::size_t done = 0;
    while (m_line && done < m_outgoing.size()) {
      const ssize_t n = ::write(m_line->fd(), m_outgoing.data() + done, m_outgoing.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        break;  // the rest when the line has room
      } else {
        m_outgoing.erase(0, done);
        DropQueued(n < 0 ? std::strerror(errno) : "line closed");
        return;
      }
    }
    m_outgoing.erase(0, done);
  }

  void DropQueued(const char* why) {
    if (m_outgoing.empty()) return;
    if (!m_options.quiet) std::fprintf(stderr, "halvorn-sim: %zu bytes not sent: %s\n", m_outgoing.size(), why);
    m_outgoing.clear();
  }

  void ReadConsole() {
    char buffer[kReadChunk];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    // End of input, or EIO from a terminal whose foreground this job left.
    if (n <= 0) {
      if (!m_consoleBuffer.empty()) RunConsoleLine(std::exchange(m_consoleBuffer, {}));
      m_consoleOpen = false;
      if (!m_options.quiet) std::fprintf(stderr, "halvorn-sim: console input ended; still running\n");
      return;
    }
    m_consoleBuffer.append(buffer, static_cast<std::size_t>(n));
    std::size_t newline;
    while ((newline = m_consoleBuffer.find('\n')) != std::string::npos) {
      const std::string line = m_consoleBuffer.substr(0, newline);
      m_consoleBuffer.erase(0, newline + 1);
      RunConsoleLine(line);
      if (m_quit) return;
    }
    if (m_consoleBuffer.size() > kLongestConsoleLine) {
      m_consoleBuffer.clear();
      Print("error: console line too long\n");
    }
  }

  void RunDueLines(Clock::time_point now) {
    while (!m_quit && m_nextLine < m_options.lines.size() && LineTime(m_options.lines[m_nextLine]) <= now) {
      CatchUp();
      RunConsoleLine(m_options.lines[m_nextLine++].line);
    }
  }

  void RunConsoleLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    CatchUp();
    const ConsoleResult result = m_sim.ExecuteLine(line);
    Print(result.reply);
    switch (result.line.kind) {
      case LineRequest::Kind::None: break;
      case LineRequest::Kind::Hangup:
        if (m_line) {
          HangUp(result.line.reopenAfterSeconds);
        } else {
          Print("halvorn-sim: the line is hung up already\n");
        }
        break;
      case LineRequest::Kind::Reopen:
        m_reopenAt.reset();
        if (m_line) {
          Print("halvorn-sim: the line is open already\n");
        } else {
          OpenLine();
        }
        break;
      case LineRequest::Kind::Quit: m_quit = true; break;
    }
  }

  void PlayDue() {
    Write(m_replay->TakeDue(Clock::now() - *m_replayStart));
    if (m_replay->Done() && !m_replayEnded) {
      m_replayEnded = true;
      Print("halvorn-sim: replay finished\n");
    }
  }

  void FlushLog() {
    for (const std::string& line : m_sim.TakeLog()) {
      if (!m_options.quiet) std::fprintf(stderr, "halvorn-sim: %s\n", line.c_str());
    }
  }

  SimOptions m_options;
  Simulator m_sim;
  std::optional<Line> m_line;
  std::string m_outgoing;  // whole frames waiting for room on the line
  bool m_panelHeard = false;  // a panel sent something since the line was opened
  std::optional<LinkName> m_link;
  Clock::time_point m_start{};
  Clock::time_point m_lastAdvance{};
  std::optional<Clock::time_point> m_reopenAt;
  std::optional<Clock::time_point> m_detachedUntil;
  Clock::time_point m_nextSlice{};  // when the flood's next slice is due
  bool m_consoleOpen = false;
  std::string m_consoleBuffer;
  std::size_t m_nextLine = 0;
  bool m_quit = false;
  std::optional<ReplayPlayer> m_replay;
  std::optional<Clock::time_point> m_replayStart;  // when the panel first spoke
  bool m_replayEnded = false;
};

// --list and --replay: the record read before the line opens, so a wrong
// file is told at once. Returns the exit status for --list and for a
// failure; for a replay, the player in `player`.
std::optional<int> OpenReplay(const SimOptions& options, std::optional<ReplayPlayer>& player) {
  // Only a regular file can be a record: SQLite would wait for ever on a
  // FIFO's writer and read a device without end.
  struct stat file {};
  if (::stat(options.replay.c_str(), &file) != 0) {
    std::fprintf(stderr, "halvorn-sim: cannot read %s: %s\n", options.replay.c_str(), std::strerror(errno));
    return kCommandLineExitStatus;
  }
  if (!S_ISREG(file.st_mode)) {
    std::fprintf(stderr, "halvorn-sim: %s is not a record (not a regular file)\n", options.replay.c_str());
    return kCommandLineExitStatus;
  }
  try {
    record::Database db(options.replay, record::Database::Mode::ReadOnly);
    record::CheckIsRecord(db, options.replay);
    if (options.list) {
      Print(FormatSessions(ListSessions(db)));
      return 0;
    }
    const std::int64_t session = options.session ? *options.session : NewestSession(db);
    std::vector<ReplayChunk> chunks = LoadReplay(db, session, options.from, options.to);
    const std::int64_t whole = ReplayableFromNs(db, session);
    const std::string removed =
        static_cast<double>(whole) > options.from * 1e9 ? " (its traffic before " + std::to_string(whole / 1'000'000'000) +
                                         " s was removed by the panel's --record-keep: played from there)"
                                   : "";
    Print("halvorn-sim: replaying session " + std::to_string(session) + " of " + options.replay + ": " +
          std::to_string(chunks.size()) + " chunks" + removed + "\n");
    player.emplace(std::move(chunks), options.speed);
    return std::nullopt;
  } catch (const record::DatabaseError& e) {
    std::fprintf(stderr, "halvorn-sim: %s\n", e.what());
    return 1;
  }
}

}  // namespace
}  // namespace halvorn::sim

int main(int argc, char** argv) {
  using namespace halvorn::sim;
  const SimOptions options = ParseSimCommandLine(argc, argv);
  switch (options.outcome) {
    case SimOptions::Outcome::ShowHelp: Print(SimHelpText()); return 0;
    case SimOptions::Outcome::Fail:
      std::fprintf(stderr, "halvorn-sim: %s\n", options.error.c_str());
      return kCommandLineExitStatus;
    case SimOptions::Outcome::Run: break;
  }

  // The stop signals are blocked except inside ppoll(), so one that arrives
  // between two waits is not lost.
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  // Reading the terminal from the background then fails instead of
  // stopping the simulator and with it the panel's controller.
  std::signal(SIGTTIN, SIG_IGN);
  sigset_t stopSignals;
  sigset_t unblocked;
  sigemptyset(&stopSignals);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, signal);
  sigprocmask(SIG_BLOCK, &stopSignals, &unblocked);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&unblocked, signal);

  std::optional<ReplayPlayer> replay;
  if (!options.replay.empty()) {
    if (const std::optional<int> status = OpenReplay(options, replay)) return *status;
  }

  Program program(options, std::move(replay));
  return program.Run(unblocked);
}
