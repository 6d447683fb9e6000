// The built halvorn-sim program on a real pseudo-terminal: how a test or an
// operator starts it, learns its line, talks to it and ends it. Every wait
// is bounded.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ProcStats.h"
#include "link/Frame.h"
#include "support/PlantAnswers.h"
#include "support/TemporaryDirectory.h"
#include "support/TimeBounds.h"

namespace halvorn::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 5s;  // the most any single step may take
constexpr std::string_view kPathPrefix = "halvorn-sim: controller on ";

// The simulator as a child process, its console on its standard input.
class SimProcess : public process::ChildProcess {
 public:
  explicit SimProcess(std::vector<std::string> arguments, bool console = true)
      : ChildProcess({HALVORN_SIM_PROGRAM, WithConsole(std::move(arguments), console), {}, {}}) {}

  // The terminal path of the line it plays the controller on.
  std::optional<std::string> LinePath() {
    const std::optional<std::string> line = ReadLineStartingWith(kPathPrefix, kPatience);
    if (!line) return {};
    return line->substr(kPathPrefix.size());
  }

 private:
  static std::vector<std::string> WithConsole(std::vector<std::string> arguments, bool console) {
    if (console) arguments.insert(arguments.begin(), "--console");
    return arguments;
  }
};

// The panel's end of the line, raw, as the panel opens it.
class PanelEnd {
 public:
  explicit PanelEnd(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    termios attributes{};
    if (m_fd >= 0 && ::tcgetattr(m_fd, &attributes) == 0) {
      ::cfmakeraw(&attributes);
      ::cfsetspeed(&attributes, B115200);
      ::tcsetattr(m_fd, TCSANOW, &attributes);
    }
  }
  PanelEnd(const PanelEnd&) = delete;
  PanelEnd& operator=(const PanelEnd&) = delete;
  ~PanelEnd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool open() const { return m_fd >= 0; }
  int fd() const { return m_fd; }

  void Send(std::string_view text) {
    const std::string frame = BuildFrame(text);
    ASSERT_EQ(::write(m_fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
  }

  // The next received message (without its carriage return), or nothing
  // when none comes in time.
  std::optional<std::string> Receive(std::chrono::milliseconds patience = 2000ms) {
    const auto deadline = Clock::now() + patience;
    while (true) {
      if (const auto cr = m_pending.find('\r'); cr != std::string::npos) {
        std::string message = m_pending.substr(0, cr);
        m_pending.erase(0, cr + 1);
        return message;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return {};
      pollfd fd{m_fd, POLLIN, 0};
      if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return {};
      char buffer[512];
      const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
      if (n <= 0) return {};
      m_pending.append(buffer, static_cast<std::size_t>(n));
    }
  }

  std::optional<std::string> Ask(std::string_view text) {
    Send(text);
    return Receive();
  }

 private:
  int m_fd;
  std::string m_pending;
};

TEST(SimProgramTest, PrintsItsLineAndAnswersEveryPoll) {
  SimProcess sim({});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path) << "no line printed";
  EXPECT_EQ(path->rfind("/dev/pts/", 0), 0u) << *path;
  PanelEnd panel(*path);
  ASSERT_TRUE(panel.open());

  for (const auto& c : halvorn::testing::kPollAnswerLengths) {
    SCOPED_TRACE(c.request);
    const std::optional<std::string> answer = panel.Ask(c.request);
    ASSERT_TRUE(answer) << "no answer in time";
    EXPECT_EQ(answer->size(), c.length);
    EXPECT_EQ(answer->substr(0, 3), c.request.substr(0, 3));
    EXPECT_FALSE(CrcError(*answer));
  }
}

TEST(SimProgramTest, CommandsActOnThePlant) {
  SimProcess sim({});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  PanelEnd panel(*path);
  panel.Send("020_05");
  panel.Send("040_2");
  const std::optional<std::string> valves = panel.Ask("061_");
  ASSERT_TRUE(valves);
  EXPECT_EQ(static_cast<unsigned char>((*valves)[9]), 24) << "V5 open";
  const std::optional<std::string> pumps = panel.Ask("062_");
  ASSERT_TRUE(pumps);
  EXPECT_EQ((*pumps)[6], ',') << "rotary pump 2 accelerating";
}

TEST(SimProgramTest, ConsoleFaultsReachTheLine) {
  SimProcess sim({});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  PanelEnd panel(*path);

  ASSERT_TRUE(sim.Type("fault V3 160\n"));
  ASSERT_EQ(sim.ReadLine(kPatience).value_or("(nothing)"), "ok: V3 reports status byte 160");
  std::optional<std::string> answer = panel.Ask("061_");
  ASSERT_TRUE(answer);
  EXPECT_EQ(static_cast<unsigned char>((*answer)[7]), 160);

  ASSERT_TRUE(sim.Type("warn 106\n"));
  ASSERT_TRUE(sim.ReadLine(kPatience));
  ASSERT_TRUE(panel.Ask("010_"));
  EXPECT_EQ(panel.Receive().value_or("").substr(0, 3), "106");

  ASSERT_TRUE(sim.Type("silence uptime\n"));
  ASSERT_TRUE(sim.ReadLine(kPatience));
  panel.Send("010_");
  EXPECT_FALSE(panel.Receive(400ms)) << "a silent group answers nothing";

  ASSERT_TRUE(sim.Type("crc 1\n"));
  ASSERT_TRUE(sim.ReadLine(kPatience));
  answer = panel.Ask("062_");
  ASSERT_TRUE(answer);
  EXPECT_TRUE(CrcError(*answer));

  ASSERT_TRUE(sim.Type("bogus\n"));
  EXPECT_EQ(sim.ReadLine(kPatience).value_or("").rfind("error: ", 0), 0u);
}

TEST(SimProgramTest, FaultsFromTheCommandLine) {
  SimProcess sim({"--fault", "tmp=159", "--badlen", "gauges", "--at", "0.5", "stop"});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  PanelEnd panel(*path);
  std::optional<std::string> pumps = panel.Ask("062_");
  ASSERT_TRUE(pumps);
  EXPECT_EQ(static_cast<unsigned char>((*pumps)[7]), 159);
  std::optional<std::string> gauges = panel.Ask("060_");
  ASSERT_TRUE(gauges);
  EXPECT_EQ(gauges->size(), 65u);
  EXPECT_FALSE(CrcError(*gauges));
  ASSERT_TRUE(sim.ReadLineStartingWith("ok: sending nothing", kPatience));
  panel.Send("062_");
  EXPECT_FALSE(panel.Receive(400ms));
}

TEST(SimProgramTimeBoundTest, IdleWithoutAPanelUsesNoProcessorTime) {
  SimProcess sim({});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  {
    // A panel that comes and goes leaves the terminal hung up on the
    // simulator's side: the case that would spin a careless loop.
    PanelEnd panel(*path);
    ASSERT_TRUE(panel.Ask("061_"));
  }
  const double before = process::CpuSeconds(sim.pid()).value_or(0.0);
  std::this_thread::sleep_for(1500ms);
  const double used = process::CpuSeconds(sim.pid()).value_or(0.0) - before;
  EXPECT_LT(used, testing::TimeBound(0.1, 0.75)) << "processor seconds in 1.5 s with no panel";

  PanelEnd again(*path);
  ASSERT_TRUE(again.open());
  EXPECT_TRUE(again.Ask("081_")) << "a panel that comes back is answered";
}

TEST(SimProgramTest, HangupClosesTheLineAndReopensANewOne) {
  const std::string link = ::testing::TempDir() + "halvorn-sim-link-" + std::to_string(::getpid());
  SimProcess sim({"--link", link});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  ASSERT_EQ(sim.ReadLine(kPatience).value_or(""), "halvorn-sim: link " + link + " -> " + *path);
  PanelEnd panel(link);
  ASSERT_TRUE(panel.open());
  ASSERT_TRUE(panel.Ask("061_"));

  ASSERT_TRUE(sim.Type("hangup 0.3\n"));
  ASSERT_EQ(sim.ReadLine(kPatience).value_or(""), "ok: hanging up");
  ASSERT_EQ(sim.ReadLine(kPatience).value_or(""), "halvorn-sim: line hung up");
  // The panel's end sees the hang-up: a read ends with an error or nothing.
  pollfd fd{panel.fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&fd, 1, 2000), 1);
  EXPECT_NE(fd.revents & (POLLHUP | POLLERR), 0);

  const std::optional<std::string> newPath = sim.LinePath();
  ASSERT_TRUE(newPath) << "the line did not come back";
  ASSERT_TRUE(sim.ReadLineStartingWith("halvorn-sim: link ", kPatience));
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), *newPath);
  PanelEnd reconnected(link);
  ASSERT_TRUE(reconnected.open());
  EXPECT_TRUE(reconnected.Ask("121_"));

  ::kill(sim.pid(), SIGTERM);
  ASSERT_TRUE(sim.Wait(2000ms));
  struct stat ignored {};
  EXPECT_NE(::lstat(link.c_str(), &ignored), 0) << "the link is removed at exit";
}

// Floods a panel's end for 1.5 s in slices `sliceMs` apart and checks that
// every frame arrived whole and counted, at the line's rate, in slices.
void FloodOnce(int sliceMs) {
  SimProcess sim({});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  PanelEnd panel(*path);
  ASSERT_TRUE(panel.open());
  ASSERT_TRUE(panel.Ask("061_")) << "the flood goes to a panel that has spoken";
  ASSERT_TRUE(sim.Type("flood 92160 0.1 " + std::to_string(sliceMs) + "\n"));
  ASSERT_EQ(sim.ReadLine(kPatience).value_or(""),
            "ok: flooding at 92160 bytes/s, 0.1 of frames with a wrong checksum, in " + std::to_string(sliceMs) +
                " ms slices");

  // Reads what arrives for a while; every frame is whole and counted.
  std::string pending;
  std::int64_t frames = 0;
  std::int64_t spoiled = 0;
  std::int64_t bytes = 0;
  int reads = 0;
  const auto readFor = [&](std::chrono::milliseconds period, bool untilQuiet) {
    const auto end = Clock::now() + period;
    while (Clock::now() < end) {
      pollfd fd{panel.fd(), POLLIN, 0};
      if (::poll(&fd, 1, 50) <= 0) {
        if (untilQuiet) return;
        continue;
      }
      char buffer[4096];
      const ssize_t n = ::read(panel.fd(), buffer, sizeof buffer);
      if (n <= 0) return;
      bytes += n;
      ++reads;
      pending.append(buffer, static_cast<std::size_t>(n));
      std::size_t start = 0;
      for (std::size_t cr; (cr = pending.find('\r', start)) != std::string::npos; start = cr + 1) {
        ++frames;
        spoiled += CrcError(std::string_view(pending).substr(start, cr - start)) ? 1 : 0;
      }
      pending.erase(0, start);
    }
  };
  const auto started = Clock::now();
  readFor(1500ms, false);
  const int floodReads = reads;
  ASSERT_TRUE(sim.Type("flood stop\n"));
  const std::optional<std::string> report = sim.ReadLineStartingWith("ok: flood stopped: ", kPatience);
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  readFor(2000ms, true);  // the tail still in the line
  ASSERT_TRUE(report);
  EXPECT_TRUE(pending.empty()) << "a frame was cut";
  long long sentFrames = 0;
  long long sentSpoiled = 0;
  long long sentBytes = 0;
  ASSERT_EQ(std::sscanf(report->c_str(), "ok: flood stopped: %lld frames, %lld with a wrong checksum, %lld bytes",
                        &sentFrames, &sentSpoiled, &sentBytes),
            3)
      << *report;
  EXPECT_EQ(frames, sentFrames);
  EXPECT_EQ(spoiled, sentSpoiled);
  EXPECT_EQ(bytes, sentBytes);
  EXPECT_EQ(sentSpoiled, sentFrames / 10);
  // The line's rate, give or take the moments of starting and stopping.
  EXPECT_GT(static_cast<double>(bytes) / seconds, testing::TimeBound(0.85, 0.5) * 92160) << *report;
  EXPECT_LT(static_cast<double>(bytes) / seconds, 1.05 * 92160) << *report;
  // Coarse slices come as fewer, larger reads: at most one a slice, with
  // room for a slice the reader caught half-written.
  if (sliceMs > 1) {
    EXPECT_LE(floodReads, 2 * 1500 / sliceMs + 5);
  }
}

TEST(SimProgramTimeBoundTest, FloodFillsA921600BaudLineInItsSlicesAndReportsExactlyWhatItSent) {
  for (const int sliceMs : {1, 20}) {
    SCOPED_TRACE(::testing::Message() << sliceMs << " ms slices");
    FloodOnce(sliceMs);
  }
}

TEST(SimProgramTest, FloodWaitsForAPanelAndReportsAtExit) {
  SimProcess sim({"--flood", "92160=0.5"});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  std::this_thread::sleep_for(300ms);
  {
    PanelEnd panel(*path);
    ASSERT_TRUE(panel.open());
    EXPECT_FALSE(panel.Receive(300ms)) << "flooded before the panel spoke";
    // Its first request starts the flood: the answer, then whole frames.
    const std::optional<std::string> answer = panel.Ask("121_");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->substr(0, 3), "121");
    const std::optional<std::string> first = panel.Receive();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->substr(0, 3), "061");
  }
  ::kill(sim.pid(), SIGTERM);
  const std::optional<std::string> report = sim.ReadLineStartingWith("halvorn-sim: flood stopped at exit: ", kPatience);
  ASSERT_TRUE(report);
  EXPECT_NE(report->find(" frames, "), std::string::npos) << *report;
  ASSERT_TRUE(sim.Wait(2000ms));
}

TEST(SimProgramTest, KeepsRunningWhenItsConsoleEnds) {
  SimProcess sim({});
  const std::optional<std::string> path = sim.LinePath();
  ASSERT_TRUE(path);
  sim.CloseInput();
  std::this_thread::sleep_for(200ms);
  PanelEnd panel(*path);
  EXPECT_TRUE(panel.Ask("010_"));
  EXPECT_FALSE(sim.Wait(100ms)) << "it ended with its console";
}

TEST(SimProgramTest, EndsOnSigtermAndOnQuit) {
  {
    SimProcess sim({});
    ASSERT_TRUE(sim.LinePath());
    ::kill(sim.pid(), SIGTERM);
    ASSERT_TRUE(sim.Wait(2000ms));
    ASSERT_TRUE(WIFEXITED(*sim.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(*sim.exitStatus()), 0);
  }
  {
    SimProcess sim({});
    ASSERT_TRUE(sim.LinePath());
    ASSERT_TRUE(sim.Type("quit\n"));
    ASSERT_TRUE(sim.Wait(2000ms));
    EXPECT_EQ(WEXITSTATUS(*sim.exitStatus()), 0);
  }
}

TEST(SimProgramTest, HelpAndBadArguments) {
  {
    SimProcess sim({"--help"}, false);
    const std::optional<std::string> first = sim.ReadLine(kPatience);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->rfind("usage: halvorn-sim", 0), 0u);
    ASSERT_TRUE(sim.Wait(2000ms));
    EXPECT_EQ(WEXITSTATUS(*sim.exitStatus()), 0);
  }
  {
    SimProcess sim({"--fault", "V3=13"}, false);
    ASSERT_TRUE(sim.Wait(2000ms));
    EXPECT_EQ(WEXITSTATUS(*sim.exitStatus()), 2);
  }
}

// Nothing but a regular file is read as a record: a FIFO would keep SQLite
// waiting for a writer, and the simulator with it.
TEST(SimProgramTest, AReplayOfSomethingThatIsNoFileEndsAtOnceWithStatusTwo) {
  testing::TemporaryDirectory dir;
  const std::string fifo = dir / "record.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir.path(), std::string("/dev/zero"), std::string(dir / "none")}) {
    SCOPED_TRACE(path);
    SimProcess sim({"--replay", path}, false);
    ASSERT_TRUE(sim.Wait(2000ms));
    EXPECT_EQ(WEXITSTATUS(*sim.exitStatus()), 2);
  }
}

}  // namespace
}  // namespace halvorn::sim
