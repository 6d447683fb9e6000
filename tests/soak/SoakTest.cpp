// The panel under a flood: the simulated controller sends valid answers
// back-to-back at the byte rate of a 921600-baud line, a known share of them
// with a wrong checksum, for as long as HALVORN_SOAK_SECONDS says (a short
// run by default, for CI). The panel must count every answer and every
// checksum error exactly, keep its memory, and keep polling on time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "PanelAndController.h"
#include "ProcStats.h"
#include "app/QtApplication.h"
#include "support/TimeBounds.h"

namespace halvorn::soak {
namespace {

// 921600 baud at ten bits a byte (start, eight data bits, stop).
constexpr int kLineBytesPerSecond = 92160;
// Every tenth frame spoiled.
constexpr double kSpoiledShare = 0.1;
constexpr int kDefaultFloodSeconds = 15;
// The lists, captions and buffers reach their working size within this.
constexpr auto kWarmUp = 2s;
// The poll timer's period and how far a tick may stray from it.
constexpr double kPollPeriodMs = 200.0;
// Tight in the timing pass; otherwise only a poll timer that stopped or ran
// wild fails.
const double kPollToleranceMs = testing::TimeBound(20.0, 180.0);
// What the peak resident size may still grow after the warm-up: a leak of
// a few bytes an answer shows as megabytes at this rate (4000 answers a
// second), ordinary heap churn stays well below.
constexpr long kPeakGrowthKiB = 1024;

TEST(SoakTest, AFloodAtTheLinesFullRateIsCountedExactlyWithSteadyMemoryAndPolling) {
  Controller controller;
  ASSERT_TRUE(controller.ok()) << "the simulator did not start";
  std::unique_ptr<shell::MainWindow> window = PanelOn(controller.link());
  TickRecorder ticks(*window);
  ASSERT_TRUE(ticks.found()) << "no Timer1 in the window";

  Click(*window, "cmdConnect");
  ASSERT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");
  // The link is up when the first poll answer came back; the receive
  // buffer is then empty, and the flood starts on a clean line.
  ASSERT_TRUE(testing::RunEventsUntil([&] { return window->panel().CorrectMessageCount > 0; }, 3s));

  char floodLine[64];
  std::snprintf(floodLine, sizeof floodLine, "flood %d %g", kLineBytesPerSecond, kSpoiledShare);
  ASSERT_TRUE(controller.Ask(floodLine, "ok: flooding"));
  testing::RunEventsFor(kWarmUp);
  const std::optional<long> peakAtStart = process::PeakResidentKiB(0);
  const std::optional<long> residentAtStart = process::ResidentKiB(0);
  ASSERT_TRUE(peakAtStart && residentAtStart);
  ticks.Clear();

  const int seconds = SoakSeconds(kDefaultFloodSeconds);
  const auto floodStart = Clock::now();
  testing::RunEventsFor(std::chrono::seconds(seconds));
  const std::vector<double> intervals = ticks.IntervalsMs();
  const std::optional<long> peakAtEnd = process::PeakResidentKiB(0);
  const std::optional<long> residentAtEnd = process::ResidentKiB(0);
  const double floodSeconds = std::chrono::duration<double>(Clock::now() - floodStart).count();

  const std::optional<std::string> report = controller.Ask("flood stop", "ok: flood stopped: ");
  ASSERT_TRUE(report);
  // Nothing more goes out, so the counts settle.
  ASSERT_TRUE(controller.Ask("stop", "ok: sending nothing"));
  const std::optional<SentFrames> sent = controller.Sent();
  ASSERT_TRUE(sent);
  const FrontPanel& panel = window->panel();
  testing::RunEventsUntil(
      [&] { return panel.CorrectMessageCount + panel.CrcErrorCount >= sent->frames; }, 5s);
  testing::RunEventsFor(300ms);  // anything beyond would be counted twice

  long long floodFrames = 0, floodSpoiled = 0, floodBytes = 0;
  ASSERT_EQ(std::sscanf(report->c_str(), "ok: flood stopped: %lld frames, %lld with a wrong checksum, %lld bytes",
                        &floodFrames, &floodSpoiled, &floodBytes),
            3)
      << *report;
  std::printf("flood: %s\nline: %lld frames sent, %lld with a wrong checksum\n", report->c_str(),
              static_cast<long long>(sent->frames), static_cast<long long>(sent->spoiled));
  // The flood really filled the line: at least nine tenths of the rate.
  EXPECT_GT(static_cast<double>(floodBytes), testing::TimeBound(0.9, 0.5) * kLineBytesPerSecond * floodSeconds) << *report;
  EXPECT_GT(floodSpoiled, 0);

  // Every frame is counted once, on the right side.
  EXPECT_EQ(panel.CorrectMessageCount, sent->frames - sent->spoiled);
  EXPECT_EQ(panel.CrcErrorCount, sent->spoiled);
  EXPECT_EQ(Shown(*window, "lblStatus2"), CorrectCaption(sent->frames - sent->spoiled));
  EXPECT_EQ(Shown(*window, "lblCrcErrors"), CrcCaption(sent->spoiled));
  EXPECT_TRUE(panel.ReceiveBuffer.empty());
  EXPECT_EQ(Shown(*window, "lblStatus"), "Port 1 open successfully");

  std::printf("peak resident %ld KiB -> %ld KiB, resident %ld KiB -> %ld KiB over %d s\n", *peakAtStart,
              *peakAtEnd, *residentAtStart, *residentAtEnd, seconds);
  ASSERT_TRUE(peakAtEnd && residentAtEnd);
  EXPECT_LE(*peakAtEnd - *peakAtStart, kPeakGrowthKiB) << "peak resident size grew during the flood";
  EXPECT_LE(*residentAtEnd - *residentAtStart, kPeakGrowthKiB) << "resident size grew during the flood";

  // The poll timer kept its period the whole time.
  // The timer ran the whole time (a skipped tick shows below as an interval
  // of twice the period).
  ASSERT_GE(static_cast<double>(intervals.size()), 0.9 * seconds * 1000 / kPollPeriodMs - 2);
  const auto [shortest, longest] = std::minmax_element(intervals.begin(), intervals.end());
  double sum = 0;
  for (const double interval : intervals) sum += interval;
  std::printf("poll ticks: %zu intervals, %.1f ms to %.1f ms, mean %.2f ms\n", intervals.size(), *shortest,
              *longest, sum / static_cast<double>(intervals.size()));
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    EXPECT_NEAR(intervals[i], kPollPeriodMs, kPollToleranceMs) << "interval " << i;
  }
}

}  // namespace
}  // namespace halvorn::soak
