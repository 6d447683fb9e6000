#include "Console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

namespace halvorn::sim {
namespace {

// A parsed line written back in one canonical form, so each case is one
// string to compare and a failure shows what was understood.
std::string Canonical(const ParsedLine& parsed) {
  if (!parsed.error.empty()) return "error";
  if (!parsed.command) return "blank";
  std::ostringstream out;
  std::visit(
      [&out](const auto& c) {
        using C = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<C, console::Help>) {
          out << "help";
        } else if constexpr (std::is_same_v<C, console::Status>) {
          out << "status";
        } else if constexpr (std::is_same_v<C, console::Fault>) {
          out << "fault";
          if (c.devices.size() == static_cast<std::size_t>(kDeviceCount)) {
            out << " all";
          } else {
            for (const int d : c.devices) out << " " << kDevices[static_cast<std::size_t>(d)].name;
          }
          if (c.code) {
            out << " " << static_cast<int>(*c.code);
          } else {
            out << " clear";
          }
        } else if constexpr (std::is_same_v<C, console::Warn>) {
          out << "warn " << c.type << " x" << c.count;
        } else if constexpr (std::is_same_v<C, console::Crc>) {
          out << "crc " << c.fraction;
        } else if constexpr (std::is_same_v<C, console::BadLength>) {
          out << "badlen";
          for (const Group g : c.groups) out << " " << Info(g).name;
          out << " " << c.delta;
        } else if constexpr (std::is_same_v<C, console::NoCr>) {
          out << "nocr " << c.bytes;
        } else if constexpr (std::is_same_v<C, console::Silence>) {
          out << (c.silent ? "silence" : "unsilence");
          for (const Group g : c.groups) out << " " << Info(g).name;
        } else if constexpr (std::is_same_v<C, console::Stop>) {
          out << (c.stop ? "stop" : "resume");
        } else if constexpr (std::is_same_v<C, console::Hangup>) {
          out << "hangup";
          if (c.reopenAfterSeconds) out << " " << *c.reopenAfterSeconds;
        } else if constexpr (std::is_same_v<C, console::Reopen>) {
          out << "reopen";
        } else if constexpr (std::is_same_v<C, console::Acks>) {
          out << "acks " << (c.on ? "on" : "off");
        } else if constexpr (std::is_same_v<C, console::Clear>) {
          out << "clear";
        } else if constexpr (std::is_same_v<C, console::Flood>) {
          out << "flood";
          if (c.bytesPerSecond) {
            out << " " << *c.bytesPerSecond << " " << c.crcFraction << " " << c.sliceMs;
          } else {
            out << " stop";
          }
        } else if constexpr (std::is_same_v<C, console::Act>) {
          out << "act " << c.text;
        } else {
          out << "quit";
        }
      },
      *parsed.command);
  return out.str();
}

TEST(ConsoleTest, Lines) {
  const struct {
    std::string line;
    std::string parsed;
  } cases[] = {
      {"", "blank"},
      {"   ", "blank"},
      {"# a comment", "blank"},
      {"help", "help"},
      {"HELP", "help"},
      {"?", "help"},
      {"help me", "error"},
      {"status", "status"},
      {"fault V3 160", "fault V3 160"},
      {"fault v3 160", "fault V3 160"},
      {"  fault   CV2\t24  ", "fault CV2 24"},
      {"fault tmp 159", "fault tmp 159"},
      {"fault Rotary1 0", "fault rotary1 0"},
      {"fault G8 255", "fault G8 255"},
      {"fault MFC4 151", "fault MFC4 151"},
      {"fault electrode 114", "fault electrode 114"},
      {"fault cooling 120", "fault cooling 120"},
      {"fault V3 clear", "fault V3 clear"},
      {"fault all clear", "fault all clear"},
      {"fault all 160", "fault all 160"},
      {"fault V3 13", "error"},  // a carriage return would cut the answer
      {"fault V3 256", "error"},
      {"fault V3 -1", "error"},
      {"fault V3 abc", "error"},
      {"fault V15 160", "error"},
      {"fault G9 160", "error"},
      {"fault V3", "error"},
      {"fault V3 160 7", "error"},
      {"warn 100", "warn 100 x1"},
      {"warn 105", "warn 105 x1"},
      {"warn 106 3", "warn 106 x3"},
      {"warn 101", "error"},
      {"warn 105 0", "error"},
      {"warn 105 101", "error"},
      {"warn", "error"},
      {"crc 0.1", "crc 0.1"},
      {"crc 1", "crc 1"},
      {"crc 0", "crc 0"},
      {"crc 1.5", "error"},
      {"crc -0.1", "error"},
      {"crc nan", "error"},
      {"crc", "error"},
      {"badlen gauges", "badlen gauges 1"},
      {"badlen valves -1", "badlen valves -1"},
      {"badlen flows +2", "badlen flows 2"},
      {"badlen pumps 0", "badlen pumps 0"},
      {"badlen all 1", "badlen valves pumps gauges flows uptime electrode cooling 1"},
      {"badlen none", "badlen valves pumps gauges flows uptime electrode cooling 0"},
      {"badlen none 2", "error"},
      {"badlen gauges 100", "error"},
      {"badlen gauges -10", "error"},
      {"badlen pipes", "error"},
      {"nocr", "nocr 0"},
      {"nocr 300", "nocr 300"},
      {"nocr 0", "error"},
      {"nocr 5000", "error"},
      {"silence gauges", "silence gauges"},
      {"silence Electrode", "silence electrode"},
      {"silence all", "silence valves pumps gauges flows uptime electrode cooling"},
      {"silence none", "unsilence valves pumps gauges flows uptime electrode cooling"},
      {"silence", "error"},
      {"silence gauges flows", "error"},
      {"unsilence uptime", "unsilence uptime"},
      {"unsilence none", "error"},
      {"stop", "stop"},
      {"resume", "resume"},
      {"hangup", "hangup"},
      {"hangup 2", "hangup 2"},
      {"hangup 0.5", "hangup 0.5"},
      {"hangup -1", "error"},
      {"hangup 4000", "error"},
      {"reopen", "reopen"},
      {"acks on", "acks on"},
      {"acks OFF", "acks off"},
      {"acks", "error"},
      {"clear", "clear"},
      {"quit", "quit"},
      {"exit", "quit"},
      {"open V3", "error"},
      {"act 040_1", "act 040_1"},
      {"act", "error"},
      {"act 040_1 040_2", "error"},
      {"flood 92160", "flood 92160 0 1"},
      {"flood 92160 0.1", "flood 92160 0.1 1"},
      {"flood 92160 0.1 10", "flood 92160 0.1 10"},
      {"flood 92160 0 20", "flood 92160 0 20"},
      {"FLOOD Stop", "flood stop"},
      {"flood 1000000 1", "flood 1e+06 1 1"},
      {"flood 0", "error"},
      {"flood 1000001", "error"},
      {"flood 92160 1.5", "error"},
      {"flood 92160 0.1 0", "error"},
      {"flood 92160 0.1 21", "error"},
      {"flood 92160 0.1 2.5", "error"},
      {"flood 92160 0.1 10 3", "error"},
      {"flood stop 3", "error"},
      {"flood", "error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("line: '" + c.line + "'");
    const ParsedLine parsed = ParseConsoleLine(c.line);
    EXPECT_EQ(Canonical(parsed), c.parsed) << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
}

TEST(ConsoleTest, SilenceAllSilencesEveryGroup) {
  const ParsedLine all = ParseConsoleLine("silence all");
  ASSERT_TRUE(all.command);
  const auto& silence = std::get<console::Silence>(*all.command);
  EXPECT_TRUE(silence.silent);
  EXPECT_EQ(silence.groups.size(), static_cast<std::size_t>(kGroupCount));
  const ParsedLine none = ParseConsoleLine("silence none");
  EXPECT_FALSE(std::get<console::Silence>(*none.command).silent);
}

TEST(ConsoleTest, ErrorsSayWhatIsWrong) {
  EXPECT_NE(ParseConsoleLine("fault V99 1").error.find("V99"), std::string::npos);
  EXPECT_NE(ParseConsoleLine("frobnicate").error.find("help"), std::string::npos);
  EXPECT_NE(ParseConsoleLine("fault V3 13").error.find("carriage return"), std::string::npos);
}

TEST(ConsoleTest, HelpHasALineForEveryCommand) {
  const std::string help = "\n" + ConsoleHelp();
  for (const char* command : {"help", "status", "fault", "warn", "crc", "badlen", "nocr", "silence",
                              "unsilence", "stop", "resume", "hangup", "reopen", "acks", "clear", "flood", "act", "quit"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(help.find("\n" + std::string(command) + " "), std::string::npos);
    EXPECT_TRUE(ParseConsoleLine(command).error.find("unknown command") == std::string::npos);
  }
  EXPECT_EQ(help.back(), '\n');
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'), 19) << "one line per command";
}

}  // namespace
}  // namespace halvorn::sim
