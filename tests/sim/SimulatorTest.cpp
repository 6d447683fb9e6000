#include "Simulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AnswerText.h"
#include "link/Frame.h"
#include "support/PlantAnswers.h"

namespace halvorn::sim {
namespace {

// Cuts what the simulator wrote into received messages, as the panel does;
// the bytes after the last carriage return are left in `rest`.
std::vector<std::string> Messages(const std::string& bytes, std::string* rest = nullptr) {
  std::vector<std::string> messages;
  std::size_t start = 0;
  for (std::size_t cr; (cr = bytes.find('\r', start)) != std::string::npos; start = cr + 1) {
    messages.push_back(bytes.substr(start, cr - start));
  }
  if (rest) *rest = bytes.substr(start);
  return messages;
}

// Sends one framed request and returns the messages that came back.
std::vector<std::string> Ask(Simulator& sim, std::string_view text) { return Messages(sim.Receive(BuildFrame(text))); }

class SimulatorTest : public ::testing::Test {
 protected:
  Simulator sim;
  void Console(std::string_view line) {
    const ConsoleResult result = sim.ExecuteLine(line);
    ASSERT_EQ(result.reply.rfind("ok:", 0), 0u) << line << " -> " << result.reply;
  }
};

TEST_F(SimulatorTest, EveryPollGetsOneAnswerOfItsTypeWithAGoodChecksum) {
  for (const auto& c : halvorn::testing::kPollAnswerLengths) {
    SCOPED_TRACE(c.request);
    const std::vector<std::string> answers = Ask(sim, c.request);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].size(), c.length);
    EXPECT_EQ(answers[0].substr(0, 3), c.request.substr(0, 3));
    EXPECT_FALSE(CrcError(answers[0]));
  }
  EXPECT_EQ(sim.counters().polls, 7);
}

TEST_F(SimulatorTest, ExactBytesOfAFreshControllersAnswers) {
  const std::string valid(1, static_cast<char>(140));
  std::string closed(16, static_cast<char>(23));
  EXPECT_EQ(sim.Receive("061_246\r"), BuildFrame("061__" + closed));
  EXPECT_EQ(sim.Receive("062_247\r"), "062__+++215\r");
  std::string gauges = "060__";
  for (int g = 0; g < 8; ++g) gauges += valid + "101323";
  EXPECT_EQ(sim.Receive("060_245\r"), BuildFrame(gauges));
  EXPECT_EQ(sim.Receive("063_248\r"), BuildFrame("063__" + valid + " 0.0" + valid + " 0.0" + valid + " 0.0" + valid + " 0.0"));
  EXPECT_EQ(sim.Receive("010_240\r"), "010__0000000000047\r");
  EXPECT_EQ(sim.Receive("081_248\r"), "081_S075\r");
  EXPECT_EQ(sim.Receive("121_243\r"), "121_{110\r");
}

TEST_F(SimulatorTest, CommandsActAndGoUnansweredByDefault) {
  EXPECT_EQ(sim.Receive(BuildFrame("020_05")), "");
  EXPECT_TRUE(sim.plant().ValveOpen(5));
  EXPECT_EQ(sim.Receive("040_3038\r"), "");
  EXPECT_EQ(sim.plant().Pump(kTurbo), PumpState::Accelerating);
  EXPECT_EQ(sim.counters().commands, 2);
  const std::vector<std::string> log = sim.TakeLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "020_05: V5 open");
  EXPECT_EQ(log[1], "040_3: tmp switched on");
  EXPECT_TRUE(sim.TakeLog().empty());
}

// The console's act drives the plant as a command would, but nothing came
// over the line: it is neither counted nor logged as the panel's.
TEST_F(SimulatorTest, ActingFromTheConsoleMovesThePlantButNotTheLinesCounters) {
  Console("act 040_1");
  Console("act 020_03");
  EXPECT_EQ(sim.plant().Pump(1), PumpState::Accelerating);
  EXPECT_TRUE(sim.plant().ValveOpen(3));
  EXPECT_EQ(sim.ExecuteLine("act 999_1").reply.rfind("error: ", 0), 0u);
  EXPECT_EQ(sim.counters().commands, 0);
  EXPECT_TRUE(sim.TakeLog().empty());
}

TEST_F(SimulatorTest, AcknowledgementsAreMessagesOfTheCommandsOwnType) {
  Console("acks on");
  const std::vector<std::string> answers = Ask(sim, "021_16");
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0], "021_16089");
  Console("acks off");
  EXPECT_TRUE(Ask(sim, "021_16").empty());
}

TEST_F(SimulatorTest, FramesWithABadChecksumAreCountedAndIgnored) {
  EXPECT_EQ(sim.Receive("061_245\r020_05087\r"), "");
  EXPECT_FALSE(sim.plant().ValveOpen(5));
  EXPECT_EQ(sim.counters().badChecksums, 2);
  EXPECT_EQ(sim.counters().polls, 0);
}

TEST_F(SimulatorTest, UnknownCommandsAreCountedAndIgnored) {
  EXPECT_EQ(sim.Receive(BuildFrame("099_1") + BuildFrame("020_17")), "");
  EXPECT_EQ(sim.counters().unknown, 2);
}

TEST_F(SimulatorTest, FramesSplitAcrossChunksAndJoinedInOne) {
  EXPECT_EQ(sim.Receive("06"), "");
  EXPECT_EQ(sim.Receive("1_24"), "");
  EXPECT_EQ(Messages(sim.Receive("6\r")).size(), 1u);
  const std::vector<std::string> both = Messages(sim.Receive("062_247\r081_248\r"));
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].substr(0, 3), "062");
  EXPECT_EQ(both[1].substr(0, 3), "081");
}

TEST_F(SimulatorTest, NoiseWithoutCarriageReturnIsDropped) {
  EXPECT_EQ(sim.Receive(std::string(300, 'x')), "");
  EXPECT_EQ(sim.Receive("061_246\r"), "") << "this frame ends the noise and goes with it";
  EXPECT_EQ(sim.counters().badChecksums, 0);
  EXPECT_EQ(Messages(sim.Receive("061_246\r")).size(), 1u) << "the next frame starts clean";
  EXPECT_EQ(sim.Receive(std::string(256, 'y')), "") << "256 bytes are still a possible frame";
  EXPECT_EQ(sim.Receive("\r"), "");
  EXPECT_EQ(sim.counters().badChecksums, 1);
  sim.Receive("12");
  sim.ResetLine();
  EXPECT_EQ(Messages(sim.Receive("061_246\r")).size(), 1u);
}

TEST_F(SimulatorTest, FaultCodeShowsInTheNextAnswerOnly) {
  Console("fault V3 160");
  std::vector<std::string> answers = Ask(sim, "061_");
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(static_cast<unsigned char>(answers[0][7]), 160);  // V3 at position 8
  EXPECT_FALSE(CrcError(answers[0]));
  Console("fault V3 clear");
  answers = Ask(sim, "061_");
  EXPECT_EQ(static_cast<unsigned char>(answers[0][7]), kValveClosed);
}

TEST_F(SimulatorTest, WarningsFollowTheNextPollAnswer) {
  Console("warn 105 2");
  Console("warn 100");
  EXPECT_TRUE(Ask(sim, "020_01").empty()) << "a command carries no warning";
  const std::vector<std::string> messages = Ask(sim, "010_");
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0].substr(0, 3), "010");
  EXPECT_EQ(messages[1], "105__" + ChecksumField(Checksum("105__")));
  EXPECT_EQ(messages[2].substr(0, 3), "105");
  EXPECT_EQ(messages[3].substr(0, 3), "100");
  for (const std::string& m : messages) EXPECT_FALSE(CrcError(m));
  EXPECT_EQ(Ask(sim, "010_").size(), 1u) << "sent once";
}

TEST_F(SimulatorTest, EveryWarningType) {
  for (const char* type : {"100", "105", "106"}) {
    SCOPED_TRACE(type);
    Console(std::string("warn ") + type);
    const std::vector<std::string> messages = Ask(sim, "121_");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].substr(0, 3), type);
  }
}

TEST_F(SimulatorTest, CrcShareAppliesToAnswers) {
  Console("crc 0.5");
  int spoiled = 0;
  for (int i = 0; i < 10; ++i) {
    for (const std::string& m : Ask(sim, "062_")) spoiled += CrcError(m) ? 1 : 0;
  }
  EXPECT_EQ(spoiled, 5);
  Console("crc 0");
  for (const std::string& m : Ask(sim, "062_")) EXPECT_FALSE(CrcError(m));
}

TEST_F(SimulatorTest, WrongLengthAnswersKeepTheirChecksum) {
  Console("badlen gauges");
  std::vector<std::string> answers = Ask(sim, "060_");
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].size(), 65u);
  EXPECT_FALSE(CrcError(answers[0]));
  EXPECT_EQ(Ask(sim, "061_")[0].size(), 24u) << "other groups keep their length";
  Console("badlen valves -1");
  EXPECT_EQ(Ask(sim, "061_")[0].size(), 23u);
  Console("badlen none");
  EXPECT_EQ(Ask(sim, "060_")[0].size(), 64u);
}

TEST_F(SimulatorTest, NextFrameWithoutCarriageReturn) {
  Console("nocr");
  const std::string first = sim.Receive("061_246\r");
  EXPECT_EQ(first.find('\r'), std::string::npos);
  EXPECT_EQ(first.size(), 24u);
  const std::string second = sim.Receive("062_247\r");
  // On the line the two run together into one message the panel rejects.
  std::string rest;
  const std::vector<std::string> messages = Messages(first + second, &rest);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].size(), 24u + 11u);
  EXPECT_TRUE(CrcError(messages[0]));
  EXPECT_TRUE(rest.empty());
}

TEST_F(SimulatorTest, BurstWithoutCarriageReturnAfterTheNextAnswer) {
  Console("nocr 300");
  std::string rest;
  const std::vector<std::string> messages = Messages(sim.Receive("081_248\r"), &rest);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "081_S075");
  EXPECT_EQ(rest, std::string(300, '#'));
}

TEST_F(SimulatorTest, SilencedGroupGetsNoAnswerOthersDo) {
  Console("silence gauges");
  EXPECT_TRUE(Ask(sim, "060_").empty());
  EXPECT_EQ(Ask(sim, "061_").size(), 1u);
  EXPECT_EQ(sim.counters().polls, 2);
  Console("unsilence gauges");
  EXPECT_EQ(Ask(sim, "060_").size(), 1u);
  Console("silence all");
  for (const char* request : {"061_", "062_", "060_", "063_", "010_", "081_", "121_"}) {
    EXPECT_TRUE(Ask(sim, request).empty()) << request;
  }
  Console("silence none");
  EXPECT_EQ(Ask(sim, "010_").size(), 1u);
}

TEST_F(SimulatorTest, StopSendsNothingButStillActs) {
  Console("acks on");
  Console("warn 106");
  Console("stop");
  EXPECT_EQ(sim.Receive(BuildFrame("061_") + BuildFrame("020_02")), "");
  EXPECT_TRUE(sim.plant().ValveOpen(2)) << "the controller still switches";
  Console("resume");
  const std::vector<std::string> messages = Ask(sim, "061_");
  ASSERT_EQ(messages.size(), 2u) << "the held warning goes out now";
  EXPECT_EQ(messages[1].substr(0, 3), "106");
}

TEST_F(SimulatorTest, ClearRemovesEveryFault) {
  for (const char* line : {"fault all 160", "crc 1", "badlen all 2", "silence pumps", "stop", "warn 100", "nocr 10"}) {
    Console(line);
  }
  Console("clear");
  EXPECT_EQ(sim.faults().Describe(), "none");
  const std::vector<std::string> messages = Ask(sim, "062_");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "062__+++215");
}

TEST_F(SimulatorTest, LineRequestsGoToTheMainLoop) {
  ConsoleResult result = sim.ExecuteLine("hangup 2.5");
  EXPECT_EQ(result.line.kind, LineRequest::Kind::Hangup);
  EXPECT_EQ(result.line.reopenAfterSeconds, 2.5);
  result = sim.ExecuteLine("hangup");
  EXPECT_FALSE(result.line.reopenAfterSeconds.has_value());
  EXPECT_EQ(sim.ExecuteLine("reopen").line.kind, LineRequest::Kind::Reopen);
  EXPECT_EQ(sim.ExecuteLine("quit").line.kind, LineRequest::Kind::Quit);
  EXPECT_EQ(sim.ExecuteLine("status").line.kind, LineRequest::Kind::None);
}

TEST_F(SimulatorTest, ConsoleRepliesAreLines) {
  for (const char* line : {"help", "status", "fault G3 151", "bogus", "crc 2", "warn 105"}) {
    SCOPED_TRACE(line);
    const std::string reply = sim.ExecuteLine(line).reply;
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.back(), '\n');
  }
  EXPECT_EQ(sim.ExecuteLine("bogus").reply.rfind("error: ", 0), 0u);
  EXPECT_EQ(sim.ExecuteLine("").reply, "");
  const std::string status = sim.ExecuteLine("status").reply;
  EXPECT_NE(status.find("faults: G3=151"), std::string::npos) << status;
  EXPECT_NE(status.find("line: not open"), std::string::npos) << status;
}

TEST_F(SimulatorTest, PollsAreLoggedOnlyWhenVerbose) {
  Ask(sim, "061_");
  EXPECT_TRUE(sim.TakeLog().empty());
  sim.SetVerbose(true);
  Ask(sim, "061_");
  EXPECT_EQ(sim.TakeLog(), std::vector<std::string>{"poll 061_"});
}

TEST(PrintableTest, EscapesControlAndHighBytes) {
  EXPECT_EQ(Printable(std::string("061__\x17\x8c\\ok", 10)), "061__\\x17\\x8C\\x5Cok");
}

}  // namespace
}  // namespace halvorn::sim
