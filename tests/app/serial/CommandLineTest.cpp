#include "CommandLine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/TemporaryDirectory.h"

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

TEST(CommandLineTest, RecordKeepTakesWholeDaysFromOneToACentury) {
  EXPECT_FALSE(Parse({"--record", "r.halvorn"}).recordKeep);  // nothing is removed
  struct Case {
    std::string_view given;
    std::optional<int> days;
  };
  const Case cases[] = {
      {"1", 1},        {"365", 365},   {"36500", 36500}, {"36501", std::nullopt},
      {"0", std::nullopt}, {"-3", std::nullopt}, {"+3", std::nullopt}, {"3.5", std::nullopt},
      {"30d", std::nullopt}, {"", std::nullopt}, {" 3", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + std::string(c.given) + "'");
    const std::string spelled = "--record-keep=" + std::string(c.given);
    const CommandLine line = Parse({"--record", "r.halvorn", spelled});
    if (c.days) {
      ASSERT_EQ(line.outcome, CommandLine::Outcome::Run) << line.error;
      ASSERT_TRUE(line.recordKeep);
      EXPECT_EQ(line.recordKeep->days, *c.days);
      EXPECT_TRUE(line.recordKeep->origin.commandLine());
    } else {
      EXPECT_EQ(line.error, "halvorn-panel: option --record-keep needs a whole number of days from 1 to "
                            "36500, not '" + std::string(c.given) + "'\nTry 'halvorn-panel --help' for more "
                            "information.");
    }
  }
  EXPECT_EQ(Parse({"--record-keep", "7", "--record", "r.halvorn"}).recordKeep->days, 7);
  // Without a record there is nothing to keep bounded; said once the
  // settings file is read too, which may name the record.
  EXPECT_EQ(CheckRecordKeep(Parse({"--record-keep", "7"})).error,
            "halvorn-panel: option --record-keep is given but --record is missing: without a record "
            "nothing is kept\nTry 'halvorn-panel --help' for more information.");
  EXPECT_EQ(CheckRecordKeep(Parse({"--record-keep", "7", "--record", "r"})).outcome, CommandLine::Outcome::Run);
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
  for (const std::string_view piece : {"Usage: halvorn-panel",
                                       "--port N=DEVICE",
                                       "/dev/ttyS<N-1>",
                                       "Com1 is /dev/ttyS0",
                                       "1 to 10",
                                       "/dev/ttyUSB0",
                                       "pseudo-terminal",
                                       "--help",
                                       "status 2",
                                       "--reconnect",
                                       "every 2 s",
                                       "--record-keep DAYS",
                                       "Needs\n                    --record",
                                       "--config FILE",
                                       "~/.config/halvorn/panel.conf",
                                       "--list-ports",
                                       "/dev/serial/by-id/",
                                       "port 1 = ",
                                       "reconnect = yes",
                                       "--publish URL",
                                       "mqtts://HOST[:PORT]",
                                       "--sparkplug-group GROUP",
                                       "--sparkplug-node NODE",
                                       "--sparkplug-host HOST_ID",
                                       "--mqtt-ca FILE",
                                       "--mqtt-cert FILE, --mqtt-key FILE",
                                       "--mqtt-user NAME",
                                       "--mqtt-password-file FILE",
                                       "A password is never taken on the",
                                       "publish = mqtts://"}) {
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
      {{"--record", "a.db", "--record-keep"},
       "halvorn-panel: option --record-keep needs a number of days, e.g. --record-keep 365"},
      {{"--record-keep=30", "--record-keep", "30"}, "halvorn-panel: option --record-keep is given more than once"},
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

// The publishing options, checked as the start checks them, over real
// files: TLS files, a password file, and names of what cannot be read.
class PublishingOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory.ok());
    for (const std::string& file : {ca, cert, key}) std::ofstream(file) << "-----BEGIN-----\n";
    std::ofstream(password) << "s3cret # word\r\nnot the password\n";
    std::ofstream(empty) << "\nhunter2\n";
  }
  static CommandLine Checked(const std::vector<std::string>& arguments,
                             std::string_view hostName = "panel-7.lab.example") {
    const std::vector<std::string_view> views(arguments.begin(), arguments.end());
    return CheckPublishing(ParseCommandLine(views), hostName);
  }
  // The options in one line, files by their names in the folder.
  static std::string Described(const PublishOptions& o) {
    const auto name = [](const std::string& file) {
      return file.empty() ? "-" : std::filesystem::path(file).filename().string();
    };
    return std::string(o.broker.tls ? "mqtts://" : "mqtt://") + o.broker.host + ":" +
           std::to_string(o.broker.port) + " " + o.ClientId() + " host=" + o.primaryHost +
           " ca=" + name(o.caFile) + " cert=" + name(o.certFile) + " key=" + name(o.keyFile) +
           " user=" + o.user + " password=" + o.password + " from " + name(o.passwordFile);
  }

  testing::TemporaryDirectory directory;
  const std::string ca = (directory / "ca.pem").string();
  const std::string cert = (directory / "panel.crt").string();
  const std::string key = (directory / "panel.key").string();
  const std::string password = (directory / "mqtt-password").string();
  const std::string empty = (directory / "starts-empty").string();
  const std::string missing = (directory / "missing").string();
};

TEST_F(PublishingOptionsTest, AcceptedFormsGiveTheirValuesAndTheDefaults) {
  EXPECT_FALSE(Checked({"--port", "1=/dev/ttyUSB0"}).publish);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--publish", "mqtt://127.0.0.1"},
       "mqtt://127.0.0.1:1883 halvorn-halvorn-panel-7 host= ca=- cert=- key=- user= password= "
       "from -"},
      {{"--publish=mqtts://broker.plant.example:8884/", "--sparkplug-group=plant",
        "--sparkplug-node", "chamber-2", "--sparkplug-host", "scada-1", "--mqtt-ca", ca,
        "--mqtt-cert=" + cert, "--mqtt-key", key, "--mqtt-user", "panel", "--mqtt-password-file",
        password},
       "mqtts://broker.plant.example:8884 halvorn-plant-chamber-2 host=scada-1 ca=ca.pem "
       "cert=panel.crt key=panel.key user=panel password=s3cret # word from mqtt-password"},
      {{"--mqtt-user", "panel", "--publish", "mqtts://[::1]", "--sparkplug-node", "Kammer ü"},
       "mqtts://::1:8883 halvorn-halvorn-Kammer ü host= ca=- cert=- key=- user=panel password= "
       "from -"},
  };
  for (const auto& [arguments, described] : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const CommandLine line = Checked(arguments);
    ASSERT_TRUE(line.publish) << line.error;
    EXPECT_EQ(Described(*line.publish), described);
    EXPECT_EQ(line.publishWarning, "");
  }
}

TEST_F(PublishingOptionsTest, TheNodeIdDefaultsToTheHostNameUpToItsFirstDot) {
  for (const std::string_view hostName : {"panel-7.lab.example", "panel-7", "panel-7."}) {
    const CommandLine line = Checked({"--publish", "mqtt://127.0.0.1"}, hostName);
    ASSERT_TRUE(line.publish) << line.error;
    EXPECT_EQ(line.publish->node, "panel-7") << hostName;
  }
  EXPECT_EQ(
      Checked({"--publish=mqtt://127.0.0.1", "--sparkplug-node=n"}, "a/b").publish.value().node,
      "n");
  const std::pair<std::string_view, std::string_view> refused[] = {
      {"", "'' gives no Sparkplug node id (a Sparkplug id may not be empty)"},
      {".lab", "'.lab' gives no Sparkplug node id (a Sparkplug id may not be empty)"},
      {"rack+2.lab",
       "'rack+2.lab' gives no Sparkplug node id ('rack+2' cannot be a Sparkplug id: '+' is an "
       "MQTT wildcard)"},
  };
  for (const auto& [hostName, says] : refused) {
    EXPECT_EQ(Checked({"--publish", "mqtt://127.0.0.1"}, hostName).error,
              "halvorn-panel: the machine's host name " + std::string(says) +
                  ": name one with --sparkplug-node\nTry 'halvorn-panel --help' for more "
                  "information.");
  }
}

TEST_F(PublishingOptionsTest, APlainConnectionOffThisMachineIsAllowedWithOneWarning) {
  EXPECT_EQ(Checked({"--publish", "mqtt://broker.plant.example"}).publishWarning,
            "halvorn-panel: the connection to 'mqtt://broker.plant.example' is not encrypted: "
            "what the panel publishes can be read on the network; mqtts:// encrypts it");
  const CommandLine login = Checked({"--publish", "mqtt://10.0.0.5:1884", "--mqtt-user", "panel",
                                     "--mqtt-password-file", password});
  ASSERT_TRUE(login.publish) << login.error;
  EXPECT_EQ(login.publishWarning,
            "halvorn-panel: the connection to 'mqtt://10.0.0.5:1884' is not encrypted: what the "
            "panel publishes, and its user name and password, can be read on the network; "
            "mqtts:// encrypts it");
  for (const std::string url : {"mqtt://127.0.0.1", "mqtt://127.0.0.53:1884", "mqtt://[::1]",
                                "mqtt://localhost", "mqtts://broker.plant.example"}) {
    const CommandLine line = Checked({"--publish", url});
    ASSERT_TRUE(line.publish) << line.error;
    EXPECT_EQ(line.publishWarning, "") << url;
  }
}

TEST_F(PublishingOptionsTest, RefusedFormsSayWhy) {
  const std::string folder = directory.path();
  const std::string never =
      "a password is never taken on the command line, where other "
      "users can see it: write it in a file only you can read and give "
      "--mqtt-password-file FILE";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--publish", "mqtt://127.0.0.1", "--mqtt-password", "hunter2"}, never},
      {{"--mqtt-password=hunter2"}, never},
      {{"--sparkplug-node", "chamber-2"},
       "option --sparkplug-node is given but --publish is missing: without a broker nothing is "
       "published"},
      {{"--publish"},
       "option --publish names no broker: write mqtt://HOST[:PORT] or mqtts://HOST[:PORT]"},
      {{"--publish", "http://broker"},
       "option --publish: 'http://broker' is no broker: write mqtt://HOST[:PORT] or "
       "mqtts://HOST[:PORT]"},
      {{"--publish", "mqtt://a", "--publish=mqtt://b"}, "option --publish is given more than once"},
      {{"--publish", "mqtt://a", "--sparkplug-node", "a/b"},
       "option --sparkplug-node: 'a/b' cannot be a Sparkplug id: '/' separates MQTT topic levels"},
      {{"--publish", "mqtt://a", "--sparkplug-group", "#"},
       "option --sparkplug-group: '#' cannot be a Sparkplug id: '#' is an MQTT wildcard"},
      {{"--publish", "mqtt://a", "--sparkplug-host="},
       "option --sparkplug-host: a Sparkplug id may not be empty"},
      {{"--publish", "mqtt://a", "--sparkplug-node", "a\tb"},
       "option --sparkplug-node: 'a\\x09b' cannot be a Sparkplug id: it holds a control character"},
      {{"--publish", "mqtt://a", "--sparkplug-node", "\xc0\xaf"},
       "option --sparkplug-node: '\xc0\xaf' cannot be a Sparkplug id: it is not UTF-8 text"},
      {{"--publish", "mqtt://a", "--mqtt-ca", ca},
       "option --mqtt-ca needs a TLS broker (mqtts://), not the plain 'mqtt://a'"},
      {{"--publish", "mqtts://a", "--mqtt-cert", cert},
       "option --mqtt-cert needs --mqtt-key: the certificate goes with its private key"},
      {{"--publish", "mqtts://a", "--mqtt-key", key},
       "option --mqtt-key needs --mqtt-cert: the private key goes with its certificate"},
      {{"--publish", "mqtt://a", "--mqtt-password-file", password},
       "option --mqtt-password-file needs --mqtt-user: a password belongs to a user name"},
      {{"--publish", "mqtts://a", "--mqtt-ca", missing},
       "option --mqtt-ca: cannot read '" + missing + "': No such file or directory"},
      {{"--publish", "mqtts://a", "--mqtt-cert", cert, "--mqtt-key", folder},
       "option --mqtt-key: cannot read '" + folder + "': it is a directory"},
      {{"--publish", "mqtt://a", "--mqtt-user", "u", "--mqtt-password-file", missing},
       "option --mqtt-password-file: cannot read '" + missing + "': No such file or directory"},
      {{"--publish", "mqtt://a", "--mqtt-user", "u", "--mqtt-password-file", empty},
       "option --mqtt-password-file: '" + empty + "' holds no password on its first line"},
  };
  for (const auto& [arguments, firstLine] : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const CommandLine line = Checked(arguments);
    EXPECT_EQ(line.outcome, CommandLine::Outcome::Fail);
    EXPECT_EQ(line.error,
              "halvorn-panel: " + firstLine + "\nTry 'halvorn-panel --help' for more information.");
  }
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
