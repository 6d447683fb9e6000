#include "CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace halvorn::shell {
namespace {

CommandLine Parse(std::vector<std::string_view> arguments) { return ParseCommandLine(arguments); }

TEST(CommandLineTest, NoArgumentsRunsWithTheDefaultPorts) {
  const CommandLine line = Parse({});
  EXPECT_EQ(line.outcome, CommandLine::Outcome::Run);
  EXPECT_EQ(line.ports, PortMap{});
  EXPECT_EQ(line.error, "");
}

TEST(CommandLineTest, PortOptionsPointPortsAtDevices) {
  const CommandLine line =
      Parse({"--port", "1=/dev/ttyUSB0", "--port=10=/dev/pts/3", "--port", "4=rel/dev=odd"});
  ASSERT_EQ(line.outcome, CommandLine::Outcome::Run) << line.error;
  EXPECT_EQ(line.ports.Device(1), "/dev/ttyUSB0");
  EXPECT_EQ(line.ports.Device(10), "/dev/pts/3");
  EXPECT_EQ(line.ports.Device(4), "rel/dev=odd");  // only the first '=' separates
  EXPECT_EQ(line.ports.Device(2), "/dev/ttyS1");
}

TEST(CommandLineTest, RecordNamesTheFileInEitherSpellingAndIsOffByDefault) {
  EXPECT_EQ(Parse({"--port", "1=/dev/ttyUSB0"}).recordPath, "");
  const CommandLine spaced = Parse({"--record", "runs/pump-down.halvorn", "--port", "1=/dev/ttyUSB0"});
  ASSERT_EQ(spaced.outcome, CommandLine::Outcome::Run) << spaced.error;
  EXPECT_EQ(spaced.recordPath, "runs/pump-down.halvorn");
  EXPECT_EQ(spaced.ports.Device(1), "/dev/ttyUSB0");
  EXPECT_EQ(Parse({"--record=with=equals.db"}).recordPath, "with=equals.db");
}

TEST(CommandLineTest, HelpIsAskedForWithEitherSpelling) {
  for (const std::string_view help : {"--help", "-h"}) {
    SCOPED_TRACE(help);
    EXPECT_EQ(Parse({help}).outcome, CommandLine::Outcome::ShowHelp);
    EXPECT_EQ(Parse({"--port", "2=/dev/ttyUSB1", help}).outcome, CommandLine::Outcome::ShowHelp);
  }
}

TEST(CommandLineTest, HelpExplainsPortNamingAndTheOption) {
  const std::string help = HelpText();
  for (const std::string_view piece :
       {"Usage: halvorn-panel", "--port N=DEVICE", "/dev/ttyS<N-1>", "Com1 is /dev/ttyS0",
        "1 to 10", "/dev/ttyUSB0", "pseudo-terminal", "--help", "status 2", "--reconnect",
        "every 2 s", "--config FILE", "~/.config/halvorn/panel.conf", "--list-ports",
        "/dev/serial/by-id/", "port 1 = ", "reconnect = yes"}) {
    SCOPED_TRACE(piece);
    EXPECT_NE(help.find(piece), std::string::npos);
  }
  EXPECT_EQ(help.back(), '\n');
}

TEST(CommandLineTest, AnyOtherOrMalformedArgumentFailsWithAMessage) {
  struct Case {
    std::vector<std::string_view> arguments;
    std::string firstLine;
  };
  const Case cases[] = {
      {{"extra"}, "halvorn-panel: unexpected argument 'extra'"},
      {{"--verbose"}, "halvorn-panel: unknown option '--verbose'"},
      {{"-p"}, "halvorn-panel: unknown option '-p'"},
      {{"--ports=1=/dev/x"}, "halvorn-panel: unknown option '--ports=1=/dev/x'"},
      {{"--port"},
       "halvorn-panel: option --port needs a value N=DEVICE, e.g. --port 1=/dev/ttyUSB0"},
      {{"--port", "/dev/ttyUSB0"},
       "halvorn-panel: option --port needs N=DEVICE, e.g. --port 1=/dev/ttyUSB0, "
       "not '/dev/ttyUSB0'"},
      {{"--port", "0=/dev/x"},
       "halvorn-panel: port number '0' in --port '0=/dev/x' is not a number from 1 to 10"},
      {{"--port", "11=/dev/x"},
       "halvorn-panel: port number '11' in --port '11=/dev/x' is not a number from 1 to 10"},
      {{"--port", "-1=/dev/x"},
       "halvorn-panel: port number '-1' in --port '-1=/dev/x' is not a number from 1 to 10"},
      {{"--port", "+1=/dev/x"},
       "halvorn-panel: port number '+1' in --port '+1=/dev/x' is not a number from 1 to 10"},
      {{"--port", "1x=/dev/x"},
       "halvorn-panel: port number '1x' in --port '1x=/dev/x' is not a number from 1 to 10"},
      {{"--port", "=/dev/x"},
       "halvorn-panel: port number '' in --port '=/dev/x' is not a number from 1 to 10"},
      {{"--port", "99999999999999999999=/dev/x"},
       "halvorn-panel: port number '99999999999999999999' in --port '99999999999999999999=/dev/x' "
       "is not a number from 1 to 10"},
      {{"--port", "3="}, "halvorn-panel: option --port '3=' names no device"},
      {{"--port=3="}, "halvorn-panel: option --port '3=' names no device"},
      {{"--port", "3=/dev/a", "--port=3=/dev/b"}, "halvorn-panel: port 3 is given more than once"},
      {{"--port", "3=/dev/a", "stray", "--help"}, "halvorn-panel: unexpected argument 'stray'"},
      {{""}, "halvorn-panel: unexpected argument ''"},
      {{"--record"}, "halvorn-panel: option --record needs a file, e.g. --record /var/log/halvorn/panel.halvorn"},
      {{"--record="}, "halvorn-panel: option --record names no file"},
      {{"--record", "a.db", "--record=b.db"}, "halvorn-panel: option --record is given more than once"},
      {{"--config"}, "halvorn-panel: option --config needs a file name"},
      {{"--config="}, "halvorn-panel: option --config needs a file name"},
      {{"--reconnect=yes"}, "halvorn-panel: unknown option '--reconnect=yes'"},
      {{"--list-ports=all"}, "halvorn-panel: unknown option '--list-ports=all'"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.firstLine);
    const CommandLine line = Parse(test.arguments);
    EXPECT_EQ(line.outcome, CommandLine::Outcome::Fail);
    EXPECT_EQ(line.error, test.firstLine + "\nTry 'halvorn-panel --help' for more information.");
  }
}

TEST(CommandLineTest, ReconnectConfigAndListPortsAreRead) {
  const CommandLine line =
      Parse({"--reconnect", "--config", "/etc/halvorn.conf", "--port", "1=/dev/serial/by-id/usb-FTDI-if00"});
  ASSERT_EQ(line.outcome, CommandLine::Outcome::Run) << line.error;
  EXPECT_TRUE(line.reconnect);
  EXPECT_EQ(line.configPath, "/etc/halvorn.conf");
  EXPECT_EQ(line.ports.Device(1), "/dev/serial/by-id/usb-FTDI-if00");
  EXPECT_EQ(Parse({"--config=panel.conf"}).configPath, "panel.conf");
  const CommandLine plain = Parse({});
  EXPECT_FALSE(plain.reconnect);
  EXPECT_EQ(plain.configPath, "");
  EXPECT_EQ(plain.recordPath, "");
  // Listing the ports ends the reading like --help, whatever else is given.
  EXPECT_EQ(Parse({"--list-ports"}).outcome, CommandLine::Outcome::ListPorts);
  EXPECT_EQ(Parse({"--reconnect", "--list-ports", "stray"}).outcome, CommandLine::Outcome::ListPorts);
}

TEST(CommandLineTest, WhatTheArgumentsGiveWinsOverTheBase) {
  CommandLine base;
  base.ports.SetDevice(1, "/dev/from-file-1");
  base.ports.SetDevice(2, "/dev/from-file-2");
  base.recordPath = "/var/tmp/session.db";
  base.reconnect = true;
  const CommandLine line = ParseCommandLine(std::vector<std::string_view>{"--port", "2=/dev/given"}, base);
  ASSERT_EQ(line.outcome, CommandLine::Outcome::Run) << line.error;
  EXPECT_EQ(line.ports.Device(1), "/dev/from-file-1");
  EXPECT_EQ(line.ports.Device(2), "/dev/given");
  EXPECT_EQ(line.recordPath, "/var/tmp/session.db");
  EXPECT_TRUE(line.reconnect);
}

TEST(CommandLineTest, ArgcArgvSkipsTheProgramName) {
  const char* const argv[] = {"/usr/bin/halvorn-panel", "--port", "2=/dev/ttyUSB1", nullptr};
  const CommandLine line = ParseCommandLine(3, argv);
  ASSERT_EQ(line.outcome, CommandLine::Outcome::Run) << line.error;
  EXPECT_EQ(line.ports.Device(2), "/dev/ttyUSB1");
  const char* const alone[] = {"halvorn-panel", nullptr};
  EXPECT_EQ(ParseCommandLine(1, alone).outcome, CommandLine::Outcome::Run);
  EXPECT_EQ(ParseCommandLine(1, alone).ports, PortMap{});
}

TEST(CommandLineTest, EveryStartWithTheSameArgumentsIsTheSame) {
  const std::vector<std::string_view> arguments{"--port", "5=/dev/ttyACM0"};
  const CommandLine first = Parse(arguments);
  const CommandLine second = Parse(arguments);
  EXPECT_EQ(first.outcome, second.outcome);
  EXPECT_EQ(first.ports, second.ports);
}

}  // namespace
}  // namespace halvorn::shell
