// The simulator's flood: answers back-to-back at a byte rate, whole frames
// only, an exact and evenly spread share of them spoiled, every frame
// counted, and the rate held whatever the caller's rhythm.
#include "Flood.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Simulator.h"
#include "link/Frame.h"

namespace halvorn::sim {
namespace {

// Cuts bytes into messages at carriage returns; `rest` keeps what follows
// the last one.
std::vector<std::string> Messages(const std::string& bytes, std::string& rest) {
  std::vector<std::string> messages;
  std::size_t start = 0;
  for (std::size_t cr; (cr = bytes.find('\r', start)) != std::string::npos; start = cr + 1) {
    messages.push_back(bytes.substr(start, cr - start));
  }
  rest = bytes.substr(start);
  return messages;
}

constexpr std::size_t kAnyRoom = 1 << 20;

TEST(FloodTest, SendsTheSevenAnswersInTurnWithGoodChecksums) {
  SimPlant plant;
  Flood flood;
  flood.Start(10'000, 0.0);
  flood.Advance(0.01);  // 100 bytes: a few frames
  std::string bytes;
  for (int i = 0; i < 20; ++i) {
    flood.Advance(0.01);
    bytes += flood.Take(plant, kAnyRoom);
  }
  std::string rest;
  const std::vector<std::string> messages = Messages(bytes, rest);
  EXPECT_TRUE(rest.empty()) << "only whole frames go out";
  ASSERT_GE(messages.size(), 14u);
  const char* types[] = {"061", "062", "060", "063", "010", "081", "121"};
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(messages[i].substr(0, 3), types[i % 7]);
    EXPECT_FALSE(CrcError(messages[i]));
    EXPECT_LE(messages[i].size() + 1, 65u);
  }
  EXPECT_EQ(flood.counts().frames, static_cast<std::int64_t>(messages.size()));
  EXPECT_EQ(flood.counts().bytes, static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(flood.counts().spoiled, 0);
}

TEST(FloodTest, SpoilsAnExactEvenShareAndCountsIt) {
  const struct {
    double fraction;
    int every;  // one frame in this many is spoiled; 0: none
  } cases[] = {{0.1, 10}, {0.25, 4}, {0.5, 2}, {1.0, 1}, {0.0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fraction);
    SimPlant plant;
    Flood flood;
    flood.Start(92'160, c.fraction);
    std::string bytes;
    for (int ms = 0; ms < 500; ++ms) {
      flood.Advance(0.001);
      bytes += flood.Take(plant, kAnyRoom);
    }
    std::string rest;
    const std::vector<std::string> messages = Messages(bytes, rest);
    std::int64_t spoiled = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
      const bool bad = CrcError(messages[i]);
      spoiled += bad ? 1 : 0;
      const bool due = c.every != 0 && (i + 1) % static_cast<std::size_t>(c.every) == 0;
      EXPECT_EQ(bad, due) << "frame " << i;
    }
    EXPECT_EQ(flood.counts().frames, static_cast<std::int64_t>(messages.size()));
    EXPECT_EQ(flood.counts().spoiled, spoiled);
  }
}

TEST(FloodTest, HoldsItsRateWhateverTheRhythmOfTheCallsAndTheSlices) {
  const struct {
    double step;  // seconds between calls
    int sliceMs;
  } cases[] = {{0.0005, 1}, {0.001, 1}, {0.004, 1}, {0.016, 1},
               // Coarse slices, and a caller that wakes a little late for each.
               {0.010, 10}, {0.0105, 10}, {0.020, 20}, {0.021, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "every " << c.step << " s, " << c.sliceMs << " ms slices");
    const double step = c.step;
    SimPlant plant;
    Flood flood;
    flood.Start(92'160, 0.0, c.sliceMs);
    std::int64_t bytes = 0;
    const int steps = static_cast<int>(2.0 / step + 0.5);
    for (int i = 0; i < steps; ++i) {
      flood.Advance(step);
      bytes += static_cast<std::int64_t>(flood.Take(plant, kAnyRoom).size());
    }
    // Within one frame of about two seconds' worth.
    const double seconds = steps * step;
    EXPECT_NEAR(static_cast<double>(bytes), seconds * 92'160.0, 65.0);
    EXPECT_NEAR(flood.counts().seconds, seconds, 1e-6);
  }
}

TEST(FloodTest, AFullLineGetsWholeFramesOnlyAndNoBurstAfterwards) {
  SimPlant plant;
  Flood flood;
  flood.Start(92'160, 0.0);
  flood.Advance(0.01);  // 921 bytes earned
  const std::string some = flood.Take(plant, 30);
  EXPECT_LE(some.size(), 30u);
  EXPECT_TRUE(some.empty() || some.back() == '\r');
  std::string rest;
  // The frame that did not fit goes out first next time, nothing skipped.
  const std::string next = flood.Take(plant, kAnyRoom);
  const std::vector<std::string> messages = Messages(some + next, rest);
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0].substr(0, 3), "061");
  EXPECT_EQ(messages[1].substr(0, 3), "062");
  EXPECT_EQ(flood.counts().frames, static_cast<std::int64_t>(messages.size()));

  // Ten seconds of a line that took nothing earn no more than 20 ms.
  flood.Advance(10.0);
  EXPECT_LE(flood.Take(plant, kAnyRoom).size(), static_cast<std::size_t>(92'160 * 0.02) + 1);

  // In 20 ms slices, no more than two slices.
  flood.Start(92'160, 0.0, 20);
  flood.Advance(10.0);
  const std::size_t caughtUp = flood.Take(plant, kAnyRoom).size();
  EXPECT_LE(caughtUp, static_cast<std::size_t>(92'160 * 0.04) + 1);
  EXPECT_GE(caughtUp, static_cast<std::size_t>(92'160 * 0.04) - 65);
}

TEST(FloodTest, StoppedItSendsNothingAndKeepsItsCounts) {
  SimPlant plant;
  Flood flood;
  EXPECT_EQ(flood.Take(plant, kAnyRoom), "") << "never started";
  flood.Start(92'160, 0.5);
  flood.Advance(0.005);
  ASSERT_FALSE(flood.Take(plant, kAnyRoom).empty());
  const FloodCounts counts = flood.counts();
  flood.Stop();
  flood.Advance(1.0);
  EXPECT_EQ(flood.Take(plant, kAnyRoom), "");
  EXPECT_EQ(flood.counts().frames, counts.frames);
  EXPECT_EQ(flood.counts().spoiled, counts.spoiled);
  EXPECT_NE(flood.Describe().find(std::to_string(counts.frames) + " frames, " + std::to_string(counts.spoiled) +
                                  " with a wrong checksum"),
            std::string::npos)
      << flood.Describe();
}

TEST(FloodTest, TheSimulatorCountsFloodFramesAndAnswersAlike) {
  Simulator sim;
  // One answer with a wrong checksum before the flood, from the crc fault.
  ASSERT_EQ(sim.ExecuteLine("crc 1").reply.rfind("ok:", 0), 0u);
  sim.Receive(BuildFrame("061_"));
  ASSERT_EQ(sim.ExecuteLine("crc 0").reply.rfind("ok:", 0), 0u);
  sim.Receive(BuildFrame("062_"));

  const ConsoleResult started = sim.ExecuteLine("flood 92160 0.25");
  EXPECT_EQ(started.reply, "ok: flooding at 92160 bytes/s, 0.25 of frames with a wrong checksum, in 1 ms slices\n");
  EXPECT_TRUE(sim.Flooding());
  std::string bytes;
  for (int ms = 0; ms < 100; ++ms) {
    sim.Advance(0.001);
    bytes += sim.TakeFlood(kAnyRoom);
  }
  std::string rest;
  const std::vector<std::string> messages = Messages(bytes, rest);
  std::int64_t spoiled = 0;
  for (const std::string& m : messages) spoiled += CrcError(m) ? 1 : 0;
  EXPECT_EQ(sim.counters().framesSent, 2 + static_cast<std::int64_t>(messages.size()));
  EXPECT_EQ(sim.counters().spoiledSent, 1 + spoiled);
  EXPECT_NE(sim.ExecuteLine("status").reply.find(std::to_string(sim.counters().framesSent) + " frames sent, " +
                                                 std::to_string(sim.counters().spoiledSent) +
                                                 " of them with a wrong checksum"),
            std::string::npos);

  // A stopped controller sends nothing, flood or not.
  ASSERT_EQ(sim.ExecuteLine("stop").reply.rfind("ok:", 0), 0u);
  sim.Advance(0.01);
  EXPECT_EQ(sim.TakeFlood(kAnyRoom), "");
  ASSERT_EQ(sim.ExecuteLine("resume").reply.rfind("ok:", 0), 0u);

  const std::string stopped = sim.ExecuteLine("flood stop").reply;
  EXPECT_EQ(stopped.rfind("ok: flood stopped: " + std::to_string(messages.size()) + " frames, " +
                              std::to_string(spoiled) + " with a wrong checksum, ",
                          0),
            0u)
      << stopped;
  EXPECT_FALSE(sim.Flooding());
}

}  // namespace
}  // namespace halvorn::sim
