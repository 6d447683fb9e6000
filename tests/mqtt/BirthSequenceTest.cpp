#include "mqtt/BirthSequence.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/TemporaryDirectory.h"

namespace halvorn::mqtt {
namespace {

using testing::TemporaryDirectory;

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(BirthSequenceTest, TakesTheValueAfterWhatTheFileHoldsAndKeepsIt) {
  struct Case {
    const char* name;
    std::optional<std::string> contents;  // none: no file
    int expected;
  };
  const Case cases[] = {
      {"missing", std::nullopt, 0},
      {"empty", "", 0},
      {"seven", "7\n", 8},
      {"seven without newline", "7", 8},
      {"last value wraps", "255\n", 0},
      {"out of range", "256\n", 0},
      {"negative", "-1\n", 0},
      {"garbage", "\x01\xff seq", 0},
      {"number then garbage", "12abc", 0},
      {"huge", std::string(1 << 20, '9'), 0},
      {"leading zeros of a small value", "007", 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemporaryDirectory directory;
    const std::string path = (directory / "node.bdseq").string();
    if (c.contents) std::ofstream(path, std::ios::binary) << *c.contents;
    BirthSequence sequence(path);
    const TakenBirth taken = sequence.Next();
    EXPECT_EQ(taken.bdSeq, c.expected);
    EXPECT_EQ(taken.problem, "");
    EXPECT_EQ(Contents(path), std::to_string(c.expected) + "\n");
    // Only the state file is left: no temporary beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 1);
  }
}

TEST(BirthSequenceTest, ARestartGoesOnWhereTheLastRunStopped) {
  TemporaryDirectory directory;
  const std::string path = (directory / "node.bdseq").string();
  std::ofstream(path) << "253\n";
  {
    BirthSequence run(path);
    EXPECT_EQ(run.Next().bdSeq, 254);
    EXPECT_EQ(run.Next().bdSeq, 255);
  }
  BirthSequence restarted(path);
  EXPECT_EQ(restarted.Next().bdSeq, 0);
  EXPECT_EQ(restarted.Next().bdSeq, 1);
}

TEST(BirthSequenceTest, AHostileFileIsNeitherReadInFullNorWaitedOn) {
  TemporaryDirectory directory;
  // A FIFO nobody writes to would block a plain open for ever; a directory
  // cannot be read at all.
  const std::string fifo = (directory / "fifo.bdseq").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(BirthSequence(fifo).Next().bdSeq, 0);
  const std::filesystem::path folder = directory / "folder.bdseq";
  std::filesystem::create_directory(folder);
  const TakenBirth taken = BirthSequence(folder.string()).Next();
  EXPECT_EQ(taken.bdSeq, 0);
  EXPECT_NE(taken.problem, "");
}

TEST(BirthSequenceTest, AnUnwritableDirectoryGivesAReasonAndTheValueStillCounts) {
  // A directory that is not there (root would write into any that is).
  TemporaryDirectory directory;
  const std::string path = (directory / "gone" / "node.bdseq").string();
  BirthSequence sequence(path);
  const TakenBirth first = sequence.Next();
  EXPECT_EQ(first.bdSeq, 0);
  EXPECT_NE(first.problem.find("bdSeq not kept"), std::string::npos) << first.problem;
  EXPECT_NE(first.problem.find(path), std::string::npos) << first.problem;
  EXPECT_EQ(first.problem.find('\n'), std::string::npos);
  // Not kept, yet not handed out again by this run.
  EXPECT_EQ(sequence.Next().bdSeq, 1);
}

TEST(BirthSequenceTest, ThePathFollowsXdgStateHomeThenHomeAndMakesItsDirectory) {
  TemporaryDirectory directory;
  const char* oldState = std::getenv("XDG_STATE_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedState = oldState ? oldState : "";
  const std::string savedHome = oldHome ? oldHome : "";

  ::setenv("XDG_STATE_HOME", (directory / "state").c_str(), 1);
  SequenceFile file = BirthSequencePath("Plant 1", "panel/a");
  EXPECT_EQ(file.problem, "");
  EXPECT_EQ(file.path,
            (directory / "state" / "halvorn" / "sparkplug-Plant_1-panel_a.bdseq").string());
  EXPECT_TRUE(std::filesystem::is_directory(directory / "state" / "halvorn"));

  ::unsetenv("XDG_STATE_HOME");
  ::setenv("HOME", (directory / "home").c_str(), 1);
  file = BirthSequencePath("G", "N");
  EXPECT_EQ(file.path,
            (directory / "home" / ".local" / "state" / "halvorn" / "sparkplug-G-N.bdseq").string());
  EXPECT_TRUE(std::filesystem::is_directory(directory / "home" / ".local" / "state" / "halvorn"));

  // A state home that cannot be made: a file stands where it would go.
  std::ofstream(directory / "blocked") << "x";
  ::setenv("XDG_STATE_HOME", (directory / "blocked").c_str(), 1);
  file = BirthSequencePath("G", "N");
  EXPECT_EQ(file.path, "");
  EXPECT_NE(file.problem.find("cannot make"), std::string::npos) << file.problem;

  if (oldState)
    ::setenv("XDG_STATE_HOME", savedState.c_str(), 1);
  else
    ::unsetenv("XDG_STATE_HOME");
  if (oldHome)
    ::setenv("HOME", savedHome.c_str(), 1);
  else
    ::unsetenv("HOME");
}

}  // namespace
}  // namespace halvorn::mqtt
