#include "SimCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvorn::sim {
namespace {

SimOptions Parse(std::vector<std::string_view> arguments) { return ParseSimCommandLine(arguments); }

std::string Lines(const SimOptions& options) {
  std::string out;
  for (const ScheduledLine& line : options.lines) {
    out += (out.empty() ? "" : " | ") + std::to_string(static_cast<int>(line.seconds * 10)) + ":" + line.line;
  }
  return out;
}

TEST(SimCommandLineTest, DefaultsPlayOnANewPseudoTerminal) {
  const SimOptions options = Parse({});
  EXPECT_EQ(options.outcome, SimOptions::Outcome::Run);
  EXPECT_TRUE(options.device.empty());
  EXPECT_TRUE(options.link.empty());
  EXPECT_EQ(options.baud, 115200);
  EXPECT_EQ(options.parity, 'n');
  EXPECT_FALSE(options.console);
  EXPECT_TRUE(options.lines.empty());
}

TEST(SimCommandLineTest, LineOptions) {
  const SimOptions options =
      Parse({"--device", "/dev/ttyUSB0", "--baud=9600", "--parity", "E", "--link", "/tmp/pic", "--console", "-v"});
  ASSERT_EQ(options.outcome, SimOptions::Outcome::Run) << options.error;
  EXPECT_EQ(options.device, "/dev/ttyUSB0");
  EXPECT_EQ(options.baud, 9600);
  EXPECT_EQ(options.parity, 'e');
  EXPECT_EQ(options.link, "/tmp/pic");
  EXPECT_TRUE(options.console);
  EXPECT_TRUE(options.verbose);
}

TEST(SimCommandLineTest, FaultOptionsBecomeConsoleLinesAtStart) {
  const SimOptions options = Parse({"--fault", "V3=160", "--crc", "0.1", "--silence", "gauges", "--warn=105",
                                    "--badlen", "flows=-1", "--badlen", "pumps", "--nocr", "--nocr-bytes", "300",
                                    "--stop", "--acks", "--do", "fault tmp 159", "--at", "2.5", "hangup 1",
                                    "--fault=G2=clear"});
  ASSERT_EQ(options.outcome, SimOptions::Outcome::Run) << options.error;
  EXPECT_EQ(Lines(options),
            "0:fault V3 160 | 0:crc 0.1 | 0:silence gauges | 0:warn 105 | 0:badlen flows -1 | "
            "0:badlen pumps | 0:nocr | 0:nocr 300 | 0:stop | 0:acks on | 0:fault tmp 159 | "
            "25:hangup 1 | 0:fault G2 clear");
}

TEST(SimCommandLineTest, ReplayOptions) {
  const SimOptions options =
      Parse({"--replay", "runs/a.halvorn", "--session=3", "--speed", "2.5", "--from", "10", "--to=70.5", "-q"});
  ASSERT_EQ(options.outcome, SimOptions::Outcome::Run) << options.error;
  EXPECT_EQ(options.replay, "runs/a.halvorn");
  EXPECT_FALSE(options.list);
  EXPECT_EQ(options.session, 3);
  EXPECT_EQ(options.speed, 2.5);
  EXPECT_EQ(options.from, 10.0);
  EXPECT_EQ(options.to, 70.5);
  const SimOptions list = Parse({"--list", "runs/a.halvorn"});
  EXPECT_TRUE(list.list);
  EXPECT_EQ(list.replay, "runs/a.halvorn");
  EXPECT_EQ(Parse({}).replay, "") << "the plant model by default";
}

TEST(SimCommandLineTest, Failures) {
  const std::vector<std::vector<std::string_view>> cases = {
      {"--baud", "1200"},
      {"--baud"},
      {"--parity", "x"},
      {"--device"},
      {"--fault", "V3=13"},
      {"--fault", "V99=1"},
      {"--crc", "2"},
      {"--silence", "nothing"},
      {"--warn", "104"},
      {"--at", "soon", "stop"},
      {"--at", "-1", "stop"},
      {"--at", "3"},
      {"--do", "dance"},
      {"--do", ""},
      {"--console=yes"},
      {"--nocr=3"},
      {"--verbose", "--quiet"},
      {"--bogus"},
      {"extra"},
      {"--replay"},
      {"--session", "2"},
      {"--replay", "r.db", "--session", "0"},
      {"--replay", "r.db", "--speed", "0"},
      {"--replay", "r.db", "--speed", "-1"},
      {"--replay", "r.db", "--speed", "1e-300"},
      {"--replay", "r.db", "--speed", "1e300"},
      {"--replay", "r.db", "--from", "1e300"},
      {"--replay", "r.db", "--to", "1e10"},
      {"--replay", "r.db", "--from", "5", "--to", "5"},
      {"--replay", "r.db", "--fault", "V3=160"},
  };
  for (const auto& arguments : cases) {
    std::string joined;
    for (const auto a : arguments) joined += std::string(a) + " ";
    SCOPED_TRACE(joined);
    const SimOptions options = Parse(arguments);
    EXPECT_EQ(options.outcome, SimOptions::Outcome::Fail);
    EXPECT_FALSE(options.error.empty());
    EXPECT_EQ(options.error.find('\n'), std::string::npos);
  }
}

TEST(SimCommandLineTest, HelpWinsAndNamesEveryOption) {
  EXPECT_EQ(Parse({"--crc", "0.5", "--help"}).outcome, SimOptions::Outcome::ShowHelp);
  EXPECT_EQ(Parse({"-h"}).outcome, SimOptions::Outcome::ShowHelp);
  const std::string help = SimHelpText();
  for (const char* option : {"--device", "--baud", "--parity", "--link", "--console", "--verbose", "--quiet",
                             "--fault", "--warn", "--crc", "--badlen", "--nocr", "--nocr-bytes", "--silence",
                             "--stop", "--acks", "--do", "--at", "--replay", "--session", "--speed", "--from",
                             "--list", "--help"}) {
    SCOPED_TRACE(option);
    const std::string name = std::string("  ") + option;
    EXPECT_TRUE(help.find(name + " ") != std::string::npos || help.find(name + ",") != std::string::npos);
  }
}

}  // namespace
}  // namespace halvorn::sim
