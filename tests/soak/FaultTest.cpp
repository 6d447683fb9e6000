// The panel against the faults of a real plant: the controller's line hung
// up in the middle of a flood, a hundred connects and disconnects, a line
// that takes no more bytes, the panel at 2400 baud while the controller
// talks at 921600, and a controller that never ends a message. Each time
// the panel keeps running, keeps every count it can, and tells the
// operator in its usual words.
#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "PanelAndController.h"
#include "ProcStats.h"
#include "PseudoTerminal.h"
#include "WrongBaud.h"
#include "app/QtApplication.h"
#include "link/Frame.h"
#include "support/TimeBounds.h"

namespace halvorn::soak {
namespace {

constexpr int kLineBytesPerSecond = 92160;  // 921600 baud, ten bits a byte
constexpr double kPollPeriodMs = 200.0;
// How far a poll interval may stray: tight in the timing pass; otherwise
// only a poll timer that stopped or ran wild fails.
const double kPollToleranceMs = testing::TimeBound(20.0, 180.0);
// Processor time an idle panel may use in a second: its timers only.
const std::chrono::milliseconds kIdleCpuPerSecond = testing::TimeBound(100ms, 400ms);

// An uptime answer: a valid answer whose shown value tells which it was.
std::string UptimeFrame(long long seconds) {
  std::string digits = std::to_string(seconds);
  digits.insert(0, 10 - std::min<std::size_t>(10, digits.size()), '0');
  return BuildFrame("010__" + digits);
}

// Valid answers back-to-back, as the controller sends them.
std::string AnswersWorth(std::size_t bytes, bool withCarriageReturns) {
  std::string stream;
  for (long long n = 1; stream.size() < bytes; ++n) {
    std::string frame = UptimeFrame(n);
    if (!withCarriageReturns) frame.pop_back();
    stream += frame;
  }
  return stream;
}

void ExpectSteadyPolling(const TickRecorder& ticks, std::size_t atLeast) {
  const std::vector<double> intervals = ticks.IntervalsMs();
  EXPECT_GE(intervals.size(), atLeast);
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    EXPECT_NEAR(intervals[i], kPollPeriodMs, kPollToleranceMs) << "poll interval " << i;
  }
}

// What the panel wrote to the controller's end that is there now; never
// waits, so the window's event loop goes on around it.
std::string TakeWritten(const process::PseudoTerminal& line) {
  std::string bytes;
  char chunk[4096];
  ssize_t n;
  while ((n = ::read(line.master(), chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<std::size_t>(n));
  return bytes;
}

// Sends `bytes` on the test's own line in slices, as a line at `bytesPerSecond`
// carries them, while the window runs; after each slice, `check` looks at
// the panel.
void SendPaced(const process::PseudoTerminal& line, const std::string& bytes, int bytesPerSecond,
               const std::function<void()>& check) {
  constexpr auto kSlice = 10ms;
  const std::size_t perSlice = std::max<std::size_t>(1, static_cast<std::size_t>(bytesPerSecond) / 100);
  for (std::size_t at = 0; at < bytes.size(); at += perSlice) {
    ASSERT_TRUE(line.Send(bytes.substr(at, perSlice)));
    TakeWritten(line);  // the panel's polls, so its side never fills
    testing::RunEventsFor(kSlice);
    check();
  }
}

TEST(WrongBaudTest, AReceiverAtTheSenderRateReadsExactlyWhatWasSent) {
  const std::string sent = AnswersWorth(300, true) + std::string("\x00\xFF\x0D\x80", 4);
  EXPECT_EQ(WhatAReceiverReads(sent, 921600, 921600), sent);
  EXPECT_EQ(WhatAReceiverReads(sent, 2400, 2400), sent);
  // Far slower: a few bytes of noise for hundreds sent.
  const std::string noise = WhatAReceiverReads(AnswersWorth(92160, true), 921600, 2400);
  EXPECT_GT(noise.size(), 100u);
  // At most one byte per start, eight data and half a stop bit.
  EXPECT_LE(noise.size(), 2400u * 2 / 19 + 1);
}

TEST(FaultTest, AHangUpInAFloodTellsPortLostAndAReconnectCountsOnExactly) {
  Controller controller;
  ASSERT_TRUE(controller.ok());
  std::unique_ptr<shell::MainWindow> window = PanelOn(controller.link());
  Click(*window, "cmdConnect");
  ASSERT_TRUE(testing::RunEventsUntil([&] { return window->panel().CorrectMessageCount > 0; }, 3s));
  ASSERT_TRUE(controller.Ask("flood 92160 0.1", "ok: flooding"));
  testing::RunEventsFor(1s);
  const FrontPanel& panel = window->panel();
  const std::int64_t beforeHangUp = panel.CorrectMessageCount + panel.CrcErrorCount;

  ASSERT_TRUE(controller.Ask("hangup 1", "ok: hanging up"));
  ASSERT_TRUE(testing::RunEventsUntil([&] { return Shown(*window, "lblStatus") == "Port 1 lost"; }, 1s));
  EXPECT_FALSE(panel.MSComm2.PortOpen());
  ASSERT_TRUE(testing::RunEventsUntil([&] { return Shown(*window, "lblComStatus") == "Disconnected"; }, 1s));
  // Nothing keeps reading the dead line.
  const auto cpuBefore = testing::ProcessCpuTime();
  testing::RunEventsFor(1s);
  EXPECT_LT(testing::ProcessCpuTime() - cpuBefore, kIdleCpuPerSecond) << "the panel spins after the hang-up";

  // What came before the hang-up is kept, and is no more than was sent.
  const std::optional<SentFrames> atHangUp = controller.Sent();
  ASSERT_TRUE(atHangUp);
  const std::int64_t kept = panel.CorrectMessageCount + panel.CrcErrorCount;
  EXPECT_GE(kept, beforeHangUp);
  EXPECT_LE(kept, atHangUp->frames);
  EXPECT_EQ(Shown(*window, "lblStatus2"), CorrectCaption(panel.CorrectMessageCount));

  // The controller's line comes back; the operator connects again, and
  // from then on every frame is counted, on top of what was kept.
  ASSERT_TRUE(controller.AwaitLine("halvorn-sim: link ", 5s));
  Click(*window, "cmdConnect");
  ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  testing::RunEventsFor(1500ms);
  ASSERT_TRUE(controller.Ask("flood stop", "ok: flood stopped"));
  ASSERT_TRUE(controller.Ask("stop", "ok: sending nothing"));
  const std::optional<SentFrames> atEnd = controller.Sent();
  ASSERT_TRUE(atEnd);
  const std::int64_t expected = kept + (atEnd->frames - atHangUp->frames);
  testing::RunEventsUntil([&] { return panel.CorrectMessageCount + panel.CrcErrorCount >= expected; }, 5s);
  testing::RunEventsFor(300ms);
  EXPECT_EQ(panel.CorrectMessageCount + panel.CrcErrorCount, expected);
  // A second and a half at about 3800 frames a second.
  EXPECT_GT(atEnd->frames - atHangUp->frames, 4000) << "the flood did not resume";
  EXPECT_EQ(Shown(*window, "lblStatus2"), CorrectCaption(panel.CorrectMessageCount));
  EXPECT_EQ(Shown(*window, "lblCrcErrors"), CrcCaption(panel.CrcErrorCount));
}

TEST(FaultTest, AHundredConnectsAndDisconnectsLeakNothingAndTheLinkStillWorks) {
  Controller controller;
  ASSERT_TRUE(controller.ok());
  std::unique_ptr<shell::MainWindow> window = PanelOn(controller.link());
  const FrontPanel& panel = window->panel();
  // One cycle first, so that everything made once is made.
  Click(*window, "cmdConnect");
  ASSERT_TRUE(testing::RunEventsUntil([&] { return panel.CorrectMessageCount > 0; }, 3s));
  ASSERT_TRUE(controller.Ask("flood 92160 0.1", "ok: flooding"));
  testing::RunEventsFor(300ms);
  Click(*window, "cmdDisconnect");
  testing::RunEventsFor(100ms);
  const std::optional<int> descriptors = process::OpenDescriptors(0);
  const std::optional<long> resident = process::ResidentKiB(0);
  ASSERT_TRUE(descriptors && resident);

  std::int64_t counted = panel.CorrectMessageCount + panel.CrcErrorCount;
  for (int cycle = 0; cycle < 100; ++cycle) {
    SCOPED_TRACE(cycle);
    Click(*window, "cmdConnect");
    ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
    ASSERT_TRUE(panel.MSComm2.PortOpen());
    testing::RunEventsFor(std::chrono::milliseconds(20 + (cycle % 5) * 20));
    Click(*window, "cmdDisconnect");
    ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 closed");
    ASSERT_FALSE(panel.MSComm2.PortOpen());
    const std::int64_t now = panel.CorrectMessageCount + panel.CrcErrorCount;
    ASSERT_GE(now, counted) << "a count went back";
    counted = now;
    testing::RunEventsFor(10ms);
  }
  EXPECT_EQ(process::OpenDescriptors(0), descriptors) << "descriptors leaked";
  EXPECT_LE(*process::ResidentKiB(0) - *resident, 1024) << "memory grew over the cycles";
  EXPECT_GT(counted, 1000) << "the flood reached the panel in the cycles";

  // Still a working link: from a quiet moment on, every frame is counted.
  Click(*window, "cmdConnect");
  ASSERT_TRUE(testing::RunEventsUntil([&] { return Shown(*window, "lblComStatus").starts_with("Connected: Com1"); }, 2s));
  testing::RunEventsFor(500ms);
  ASSERT_TRUE(controller.Ask("stop", "ok: sending nothing"));
  const std::optional<SentFrames> quiet = controller.Sent();
  ASSERT_TRUE(quiet);
  testing::RunEventsFor(500ms);
  const std::int64_t atQuiet = panel.CorrectMessageCount + panel.CrcErrorCount;
  const std::int64_t crcAtQuiet = panel.CrcErrorCount;
  ASSERT_TRUE(controller.Ask("resume", "ok: sending again"));
  testing::RunEventsFor(1s);
  ASSERT_TRUE(controller.Ask("stop", "ok: sending nothing"));
  const std::optional<SentFrames> end = controller.Sent();
  ASSERT_TRUE(end);
  const std::int64_t expected = atQuiet + (end->frames - quiet->frames);
  testing::RunEventsUntil([&] { return panel.CorrectMessageCount + panel.CrcErrorCount >= expected; }, 5s);
  testing::RunEventsFor(300ms);
  EXPECT_EQ(panel.CorrectMessageCount + panel.CrcErrorCount, expected);
  EXPECT_EQ(panel.CrcErrorCount - crcAtQuiet, end->spoiled - quiet->spoiled);
}

// Fills the line towards the controller through the test's own end of the
// terminal, as a controller that stops reading leaves it; the bytes that
// went in.
std::size_t FillLineTowardsController(const process::PseudoTerminal& line) {
  ::fcntl(line.slave(), F_SETFL, ::fcntl(line.slave(), F_GETFL) | O_NONBLOCK);
  const std::string block(4096, 'x');
  std::size_t filled = 0;
  for (std::size_t size = block.size(); size > 0; size /= 2) {
    ssize_t n;
    while ((n = ::write(line.slave(), block.data(), size)) > 0) filled += static_cast<std::size_t>(n);
  }
  return filled;
}

TEST(FaultTest, AWriteThatFailsDoesNotStopThePanel) {
  process::PseudoTerminal line;
  ASSERT_TRUE(line.ok());
  std::unique_ptr<shell::MainWindow> window = PanelOn(line.path());
  const FrontPanel& panel = window->panel();
  Click(*window, "cmdConnect");
  ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  ASSERT_TRUE(testing::RunEventsUntil([&] { return !TakeWritten(line).empty(); }, 1s)) << "no poll came";

  // The controller stops taking bytes: the line towards it fills up (the
  // test fills it through its own end of the terminal), and every poll
  // the panel writes then fails.
  const std::size_t filled = FillLineTowardsController(line);
  ASSERT_GT(filled, 0u);
  ASSERT_EQ(::write(line.slave(), "x", 1), -1) << "the line did not fill";

  // The panel keeps polling, keeps the port open, says nothing new, and
  // still takes every answer the controller sends.
  TickRecorder ticks(*window);
  const std::int64_t before = panel.CorrectMessageCount;
  for (int n = 1; n <= 10; ++n) {
    ASSERT_TRUE(line.Send(UptimeFrame(n)));
    testing::RunEventsFor(200ms);
  }
  ASSERT_TRUE(testing::RunEventsUntil([&] { return panel.CorrectMessageCount == before + 10; }, 2s));
  EXPECT_EQ(panel.CorrectMessageCount, before + 10);
  EXPECT_TRUE(panel.MSComm2.PortOpen());
  EXPECT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  EXPECT_GE(ticks.ticks().size(), 5u) << "the poll timer stopped";
  std::printf("poll ticks while every write failed: %zu in 2 s\n", ticks.ticks().size());

  // The controller drains its line: the polls arrive again.
  std::string drained = TakeWritten(line);
  EXPECT_GE(drained.size(), filled);
  EXPECT_EQ(drained.substr(0, filled), std::string(filled, 'x'));
  // Two whole polls in a row, e.g. "061_246\r062_247\r".
  std::string polls = drained.substr(std::min(filled, drained.size()));
  testing::RunEventsUntil(
      [&] {
        polls += TakeWritten(line);
        return polls.size() >= 16;
      },
      2s);
  ASSERT_GE(polls.size(), 16u) << "no poll after the line drained";
  const std::size_t cr = polls.find('\r');
  ASSERT_NE(cr, std::string::npos);
  EXPECT_FALSE(CrcError(polls.substr(cr + 1, 7))) << "'" << polls << "'";
}

// A poll due every 200 ms on a line that takes nothing must cost the
// window no waiting: the operator still clicks and sees answers at once.
TEST(FaultTest, AStuckLineDoesNotFreezeTheWindow) {
  process::PseudoTerminal line;
  ASSERT_TRUE(line.ok());
  std::unique_ptr<shell::MainWindow> window = PanelOn(line.path());
  Click(*window, "cmdConnect");
  ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  ASSERT_GT(FillLineTowardsController(line), 0u);

  // A 10 ms heartbeat on the window's thread: its longest silence is the
  // longest the operator waits for the window to react.
  std::vector<Clock::time_point> beats;
  beats.reserve(1000);
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { beats.push_back(Clock::now()); });
  heartbeat.start(10ms);
  testing::RunEventsFor(2s);
  heartbeat.stop();
  double longest = 0;
  for (std::size_t i = 1; i < beats.size(); ++i) {
    longest = std::max(longest, std::chrono::duration<double, std::milli>(beats[i] - beats[i - 1]).count());
  }
  EXPECT_LT(longest, testing::TimeBound(50.0, 500.0)) << "the window did not react for " << longest << " ms";
}

TEST(FaultTest, AtTwoThousandFourHundredBaudAgainstAFastControllerItCountsNoiseAsErrorsAndRecovers) {
  process::PseudoTerminal line;
  ASSERT_TRUE(line.ok());
  std::unique_ptr<shell::MainWindow> window = PanelOn(line.path());
  const FrontPanel& panel = window->panel();
  ASSERT_TRUE(ChooseBaud(*window, "2400"));
  Click(*window, "cmdConnect");
  ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  const termios slow = line.SlaveAttributes();
  EXPECT_EQ(::cfgetispeed(&slow), B2400) << "the panel did not set its line to 2400 baud";
  TickRecorder ticks(*window);

  // Four seconds of the controller's answers at 921600 baud, as the panel's
  // 2400-baud receiver reads them: a few hundred bytes of noise.
  const std::string noise = WhatAReceiverReads(AnswersWorth(4 * kLineBytesPerSecond, true), 921600, 2400);
  const auto carriageReturns = std::count(noise.begin(), noise.end(), '\r');
  std::size_t longestBuffer = 0;
  const auto cpuBefore = testing::ProcessCpuTime();
  SendPaced(line, noise, 240, [&] { longestBuffer = std::max(longestBuffer, panel.ReceiveBuffer.size()); });
  const auto cpu = testing::ProcessCpuTime() - cpuBefore;
  // Counters that change in a burst are shown within 250 ms.
  testing::RunEventsFor(300ms);

  std::printf("noise: %zu bytes, %ld carriage returns; crc errors %d, correct %d, longest buffer %zu\n",
              noise.size(), static_cast<long>(carriageReturns), panel.CrcErrorCount, panel.CorrectMessageCount,
              longestBuffer);
  EXPECT_EQ(panel.CorrectMessageCount, 0) << "noise was taken for an answer";
  EXPECT_LE(panel.CrcErrorCount, carriageReturns);
  EXPECT_LE(longestBuffer, 256u);
  EXPECT_EQ(Shown(*window, "lblCrcErrors"), CrcCaption(panel.CrcErrorCount));
  EXPECT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  EXPECT_LT(cpu, 4 * kIdleCpuPerSecond) << "noise made the panel busy";
  ExpectSteadyPolling(ticks, 15);

  // The operator sets the controller's rate: answers count again. The
  // first may be joined to the noise before it; none after it is lost.
  ASSERT_TRUE(ChooseBaud(*window, "921600"));
  const termios fast = line.SlaveAttributes();
  EXPECT_EQ(::cfgetispeed(&fast), B921600);
  const bool noiseWaiting = !panel.ReceiveBuffer.empty();
  for (int n = 1; n <= 10; ++n) ASSERT_TRUE(line.Send(UptimeFrame(n)));
  testing::RunEventsUntil([&] { return panel.CorrectMessageCount >= 9; }, 2s);
  testing::RunEventsFor(300ms);  // the counters shown, within 250 ms
  EXPECT_EQ(panel.CorrectMessageCount, noiseWaiting ? 9 : 10);
  EXPECT_EQ(Shown(*window, "lblStatus2"), CorrectCaption(panel.CorrectMessageCount));
}

TEST(FaultTest, AControllerThatNeverEndsAMessageCannotGrowTheBufferOrStopThePanel) {
  process::PseudoTerminal line;
  ASSERT_TRUE(line.ok());
  std::unique_ptr<shell::MainWindow> window = PanelOn(line.path());
  const FrontPanel& panel = window->panel();
  Click(*window, "cmdConnect");
  ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  TickRecorder ticks(*window);
  const std::optional<long> resident = process::ResidentKiB(0);

  // Three seconds of answers at the full 921600-baud rate, none ended.
  std::size_t longestBuffer = 0;
  SendPaced(line, AnswersWorth(3 * kLineBytesPerSecond, false), kLineBytesPerSecond,
            [&] { longestBuffer = std::max(longestBuffer, panel.ReceiveBuffer.size()); });
  testing::RunEventsFor(100ms);
  EXPECT_LE(longestBuffer, 256u);
  EXPECT_EQ(panel.CorrectMessageCount, 0);
  EXPECT_EQ(panel.CrcErrorCount, 0) << "without a carriage return there is no message at all";
  EXPECT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  EXPECT_LE(*process::ResidentKiB(0) - *resident, 1024);
  ExpectSteadyPolling(ticks, 12);

  // The controller ends its messages again: at most the first is lost.
  const bool waiting = !panel.ReceiveBuffer.empty();
  for (int n = 1; n <= 10; ++n) ASSERT_TRUE(line.Send(UptimeFrame(n)));
  testing::RunEventsUntil([&] { return panel.CorrectMessageCount >= 9; }, 2s);
  testing::RunEventsFor(300ms);  // the counters shown, within 250 ms
  EXPECT_EQ(panel.CorrectMessageCount, waiting ? 9 : 10);
  EXPECT_EQ(Shown(*window, "lblStatus2"), CorrectCaption(panel.CorrectMessageCount));
}

}  // namespace
}  // namespace halvorn::soak
