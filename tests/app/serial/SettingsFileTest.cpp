// The settings file: what each line sets, the message of a bad line, and
// how the file and the command line meet.
#include "SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/TemporaryDirectory.h"

namespace halvorn::shell {
namespace {

using Arguments = std::vector<std::string_view>;
using namespace std::string_view_literals;

TEST(SettingsFileTest, EachKeySetsItsChoiceAndCommentsAndBlanksAreSkipped) {
  const CommandLine read = ApplySettings(
      "# the plant's panel PC\n"
      "\n"
      "   # indented comment\n"
      "port 1 = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
      "port\t10=/dev/ttyACM0\r\n"
      "  record =  /var/tmp/session one.db  \n"
      "reconnect = yes",
      "panel.conf");
  ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
  EXPECT_EQ(read.ports.Device(1), "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
  EXPECT_EQ(read.ports.Device(10), "/dev/ttyACM0");
  EXPECT_EQ(read.ports.Device(2), "/dev/ttyS1");
  EXPECT_EQ(read.recordPath, "/var/tmp/session one.db");
  EXPECT_TRUE(read.reconnect);
}

// A comment after a value is taken off for every key alike, so that no
// record file or device is named with it; a '#' inside a word stays.
TEST(SettingsFileTest, ACommentAfterAValueIsTakenOffAndAByteOrderMarkSkipped) {
  const CommandLine read = ApplySettings(
      "\xEF\xBB\xBFport 1 = /dev/ttyUSB0  # left cabinet\n"
      "port 2 = /dev/serial/by-id/usb-x#2\n"
      "record = /var/tmp/x.halvorn\t# daily\r\n"
      "reconnect = yes # always\n",
      "panel.conf");
  ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
  EXPECT_EQ(read.ports.Device(1), "/dev/ttyUSB0");
  EXPECT_EQ(read.ports.Device(2), "/dev/serial/by-id/usb-x#2");
  EXPECT_EQ(read.recordPath, "/var/tmp/x.halvorn");
  EXPECT_TRUE(read.reconnect);
}

TEST(SettingsFileTest, ReconnectTakesTheUsualWordsForYesAndNo) {
  const std::pair<const char*, bool> words[] = {{"yes", true},  {"true", true},   {"on", true},
                                                {"1", true},    {"no", false},    {"false", false},
                                                {"off", false}, {"0", false}};
  for (const auto& [word, on] : words) {
    SCOPED_TRACE(word);
    CommandLine base;
    base.reconnect = !on;
    const CommandLine read = ApplySettings(std::string("reconnect = ") + word + "\n", "f", base);
    ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
    EXPECT_EQ(read.reconnect, on);
  }
}

TEST(SettingsFileTest, ABadLineIsNamedByFileAndLineNumber) {
  struct Case {
    std::string_view text;
    const char* error;
  };
  const Case cases[] = {
      {"# ok\nprot 1 = /dev/ttyUSB0\n",
       "halvorn-panel: /etc/p.conf:2: unknown setting 'prot 1' (known: port N, record, record-keep, reconnect, alarms, alarm-sound, alarm P, priority P, guidance P, latch P, publish, sparkplug-group, sparkplug-node, sparkplug-host, mqtt-ca, mqtt-cert, mqtt-key, mqtt-user, mqtt-password-file)"},
      {"port 1 /dev/ttyUSB0\n", "halvorn-panel: /etc/p.conf:1: expected 'key = value', not 'port 1 /dev/ttyUSB0'"},
      {"\n\n\nport 11 = /dev/x\n", "halvorn-panel: /etc/p.conf:4: port number '11' is not a number from 1 to 10"},
      {"port 0 = /dev/x\n", "halvorn-panel: /etc/p.conf:1: port number '0' is not a number from 1 to 10"},
      {"port = /dev/x\n", "halvorn-panel: /etc/p.conf:1: unknown setting 'port' (known: port N, record, record-keep, reconnect, alarms, alarm-sound, alarm P, priority P, guidance P, latch P, publish, sparkplug-group, sparkplug-node, sparkplug-host, mqtt-ca, mqtt-cert, mqtt-key, mqtt-user, mqtt-password-file)"},
      {"port1 = /dev/x\n", "halvorn-panel: /etc/p.conf:1: unknown setting 'port1' (known: port N, record, record-keep, reconnect, alarms, alarm-sound, alarm P, priority P, guidance P, latch P, publish, sparkplug-group, sparkplug-node, sparkplug-host, mqtt-ca, mqtt-cert, mqtt-key, mqtt-user, mqtt-password-file)"},
      {"port 2 =\n", "halvorn-panel: /etc/p.conf:1: 'port 2' names no device"},
      {"record =   \n", "halvorn-panel: /etc/p.conf:1: 'record' names no file"},
      {"reconnect = maybe\n", "halvorn-panel: /etc/p.conf:1: 'reconnect' must be yes or no, not 'maybe'"},
      {"Reconnect = yes\n",
       "halvorn-panel: /etc/p.conf:1: unknown setting 'Reconnect' (known: port N, record, record-keep, reconnect, alarms, alarm-sound, alarm P, priority P, guidance P, latch P, publish, sparkplug-group, sparkplug-node, sparkplug-host, mqtt-ca, mqtt-cert, mqtt-key, mqtt-user, mqtt-password-file)"},
      {"port 3 = /dev/a\n# again\nport 3 = /dev/b\n", "halvorn-panel: /etc/p.conf:3: 'port 3' is already given on line 1"},
      {"reconnect = no\nreconnect = yes\n", "halvorn-panel: /etc/p.conf:2: 'reconnect' is already given on line 1"},
      {"record-keep = 30\nrecord-keep = 30\n", "halvorn-panel: /etc/p.conf:2: 'record-keep' is already given on line 1"},
      {"record-keep = 30 days\n",
       "halvorn-panel: /etc/p.conf:1: 'record-keep' needs a whole number of days from 1 to 36500, not '30 days'"},
      {"record-keep =\n",
       "halvorn-panel: /etc/p.conf:1: 'record-keep' needs a whole number of days from 1 to 36500, not ''"},
      {"= /dev/x\n", "halvorn-panel: /etc/p.conf:1: unknown setting '' (known: port N, record, record-keep, reconnect, alarms, alarm-sound, alarm P, priority P, guidance P, latch P, publish, sparkplug-group, sparkplug-node, sparkplug-host, mqtt-ca, mqtt-cert, mqtt-key, mqtt-user, mqtt-password-file)"},
      {"record = # daily\n", "halvorn-panel: /etc/p.conf:1: 'record' names no file"},
      {"record =#daily\n", "halvorn-panel: /etc/p.conf:1: 'record' names no file"},
      {"port 1 = \r#x\n", "halvorn-panel: /etc/p.conf:1: 'port 1' names no device"},
      {"port 1 # left cabinet = /dev/x\n",
       "halvorn-panel: /etc/p.conf:1: expected 'key = value', not 'port 1'"},
      {"# ok\nrecord = /var/tmp/a\0b.halvorn\n"sv, "halvorn-panel: /etc/p.conf:2: a NUL byte: this is not a text file"},
      {"reconnect = \x1b]0;owned\x07\n",
       "halvorn-panel: /etc/p.conf:1: 'reconnect' must be yes or no, not '\\x1b]0;owned\\x07'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const CommandLine read = ApplySettings(c.text, "/etc/p.conf");
    EXPECT_EQ(read.outcome, CommandLine::Outcome::Fail);
    EXPECT_EQ(read.error, c.error);
  }
}

TEST(SettingsFileTest, AlarmLinesAreTakenOncePerKeyAndPointAndABadOneIsNamed) {
  const CommandLine read = ApplySettings(
      "alarms = yes\nalarm-sound = /usr/bin/paplay /tmp/horn.oga\n"
      "alarm G6 = above 1e-3 mbar for 5 s priority high deadband 20 %\n"
      "priority V5 = high\nguidance V5 = Check the pneumatic supply = 6 bar\nlatch  V5 = yes\n",
      "f");
  ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
  EXPECT_TRUE(read.alarms);
  EXPECT_EQ(read.alarmSound, "/usr/bin/paplay /tmp/horn.oga");
  ASSERT_EQ(read.alarmSettings.limits.size(), 1U);
  EXPECT_EQ(read.alarmSettings.limits[0].delay, 5'000);
  ASSERT_EQ(read.alarmSettings.guidance.size(), 1U);
  EXPECT_EQ(read.alarmSettings.guidance[0].second, "Check the pneumatic supply = 6 bar");

  struct Case {
    std::string_view text;
    std::string_view error;  // after "halvorn-panel: f:"
  };
  const Case cases[] = {
      {"alarm G6 = above 1e-3\nalarm  G6 = below 1\n", "2: 'alarm G6' is already given on line 1"},
      {"priority V99 = high\n", "1: priority V99: "},
      {"priority V5 = urgent\n", "1: priority V5: "},
      {"alarm G6 = above lots\n", "1: alarm G6: "},
      {"alarm G6 = above 1e-3 deadband 120 %\n", "1: alarm G6: "},
      {"alarms = perhaps\n", "1: 'alarms' must be yes or no, not 'perhaps'"},
      {"alarm-sound =\n", "1: 'alarm-sound' names no command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const CommandLine bad = ApplySettings(c.text, "f");
    EXPECT_EQ(bad.outcome, CommandLine::Outcome::Fail);
    EXPECT_TRUE(bad.error.starts_with("halvorn-panel: f:" + std::string(c.error))) << bad.error;
  }
}

TEST(SettingsFileTest, PublishingKeysAreTheOptionsNamesAndAFaultNamesItsLine) {
  const CommandLine read = CheckPublishing(
      ApplySettings("publish = mqtt://broker.plant.example:1884  # the site's broker\n"
                    "sparkplug-group = plant\nsparkplug-node = chamber 2\n"
                    "sparkplug-host = scada-1\nmqtt-user = panel\n",
                    "f"),
      "bench.lab");
  ASSERT_TRUE(read.publish) << read.error;
  EXPECT_EQ(read.publish->broker.host, "broker.plant.example");
  EXPECT_EQ(read.publish->broker.port, 1884);
  EXPECT_EQ(read.publish->ClientId(), "halvorn-plant-chamber 2");
  EXPECT_EQ(read.publish->primaryHost, "scada-1");
  EXPECT_EQ(read.publish->user, "panel");
  EXPECT_NE(read.publishWarning.find("publishes, and its user name, can be read"),
            std::string::npos);

  struct Case {
    std::string_view text;
    std::string_view error;  // after "halvorn-panel: f:"
  };
  const Case cases[] = {
      {"mqtt-password = hunter2\n",
       "1: 'mqtt-password': a password is never kept in the settings file: write it in a file "
       "only the panel's user can read and name that with 'mqtt-password-file'"},
      {"publish = # none yet\n",
       "1: 'publish' names no broker: write mqtt://HOST[:PORT] or mqtts://HOST[:PORT]"},
      {"publish = mqtt://a\n# moved\npublish = mqtt://b\n",
       "3: 'publish' is already given on line 1"},
      {"sparkplug-group = run#3\n",
       "1: 'sparkplug-group': 'run#3' cannot be a Sparkplug id: '#' is an MQTT wildcard"},
      // Faults of the keys together name the line of the key at fault.
      {"# site\nsparkplug-group = plant\n",
       "2: 'sparkplug-group' is given but 'publish' is missing: without a broker nothing is "
       "published"},
      {"publish = mqtt://a\n\nmqtt-ca = /etc/ssl/certs/ca-certificates.crt\n",
       "3: 'mqtt-ca' needs a TLS broker (mqtts://), not the plain 'mqtt://a'"},
      {"publish = mqtts://a\nmqtt-key = /etc/halvorn/panel.key\n",
       "2: 'mqtt-key' needs 'mqtt-cert': the private key goes with its certificate"},
      {"publish = mqtts://a\nmqtt-user = u\nmqtt-password-file = /nonexistent/pw\n",
       "3: 'mqtt-password-file': cannot read '/nonexistent/pw': No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const CommandLine bad = CheckPublishing(ApplySettings(c.text, "f"), "bench.lab");
    EXPECT_EQ(bad.outcome, CommandLine::Outcome::Fail);
    EXPECT_EQ(bad.error, "halvorn-panel: f:" + std::string(c.error));
  }
  // A host name that gives no node id is told at the broker's line.
  EXPECT_EQ(CheckPublishing(ApplySettings("\npublish = mqtt://a\n", "f"), ".lab").error,
            "halvorn-panel: f:2: the machine's host name '.lab' gives no Sparkplug node id (a "
            "Sparkplug id may not be empty): name one with 'sparkplug-node'");
}

TEST(SettingsFileTest, TheDefaultFileFollowsTheXdgConfigHome) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* path;
  };
  const Case cases[] = {
      {nullptr, "/home/op", "/home/op/.config/halvorn/panel.conf"},
      {"/srv/cfg", "/home/op", "/srv/cfg/halvorn/panel.conf"},
      {"", "/home/op", "/home/op/.config/halvorn/panel.conf"},
      {"relative", "/home/op", "/home/op/.config/halvorn/panel.conf"},
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)"));
    EXPECT_EQ(DefaultSettingsPath(c.xdg, c.home), c.path);
  }
}

class StartOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(directory.ok()); }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (directory / name).string();
    std::ofstream(path) << text;
    return path;
  }

  testing::TemporaryDirectory directory;
};

TEST_F(StartOptionsTest, NoFileNoChange) {
  const std::string missing = (directory / "panel.conf").string();
  for (const Arguments& arguments : {Arguments{}, Arguments{"--port", "2=/dev/ttyUSB0"}}) {
    const CommandLine read = ReadStartOptions(arguments, missing);
    const CommandLine plain = ParseCommandLine(arguments);
    ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
    EXPECT_EQ(read.ports, plain.ports);
    EXPECT_EQ(read.reconnect, false);
    EXPECT_EQ(read.recordPath, "");
  }
  EXPECT_EQ(ReadStartOptions({}, "").outcome, CommandLine::Outcome::Run);
}

TEST_F(StartOptionsTest, TheCommandLineWinsOverTheFileKeyByKey) {
  const std::string path = Write("panel.conf",
                                 "port 1 = /dev/file-one\n"
                                 "port 2 = /dev/file-two\n"
                                 "reconnect = no\n"
                                 "record = /var/tmp/r.db\n");
  const CommandLine read = ReadStartOptions(Arguments{"--port", "2=/dev/given", "--reconnect"}, path);
  ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
  EXPECT_EQ(read.ports.Device(1), "/dev/file-one");
  EXPECT_EQ(read.ports.Device(2), "/dev/given");
  EXPECT_EQ(read.ports.Device(3), "/dev/ttyS2");
  EXPECT_TRUE(read.reconnect);
  EXPECT_EQ(read.recordPath, "/var/tmp/r.db");
}

// The record's keep may come from either place, the record from the
// other; without a record anywhere the keep is named where it was given.
TEST_F(StartOptionsTest, RecordKeepNeedsARecordFromEitherPlace) {
  struct Case {
    const char* what;
    Arguments arguments;
    std::string text;
    std::optional<int> days;
    std::string error;
  };
  const Case cases[] = {
      {"both in the file", {}, "record = /var/tmp/r.halvorn\nrecord-keep = 365\n", 365, ""},
      {"the keep in the file, the record given", {"--record", "r.halvorn"}, "record-keep = 30\n", 30, ""},
      {"the record in the file, the keep given", {"--record-keep=7"}, "record = r.halvorn\n", 7, ""},
      {"the command line's keep wins", {"--record-keep", "7"}, "record = r\nrecord-keep = 30\n", 7, ""},
      {"no record anywhere, keep in the file", {}, "\nrecord-keep = 30\n", std::nullopt,
       "halvorn-panel: %s:2: 'record-keep' is given but 'record' is missing: without a record nothing "
       "is kept"},
      {"no record anywhere, keep given", {"--record-keep", "30"}, "reconnect = yes\n", std::nullopt,
       "halvorn-panel: option --record-keep is given but --record is missing: without a record nothing "
       "is kept\nTry 'halvorn-panel --help' for more information."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Write("panel.conf", c.text);
    const CommandLine read = ReadStartOptions(c.arguments, path);
    if (c.days) {
      ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
      ASSERT_TRUE(read.recordKeep);
      EXPECT_EQ(read.recordKeep->days, *c.days);
    } else {
      std::string expected = c.error;
      if (const auto at = expected.find("%s"); at != std::string::npos) expected.replace(at, 2, path);
      EXPECT_EQ(read.outcome, CommandLine::Outcome::Fail);
      EXPECT_EQ(read.error, expected);
    }
  }
  // Without a settings file at all, the same.
  EXPECT_EQ(ReadStartOptions(Arguments{"--record-keep", "30"}, "").outcome, CommandLine::Outcome::Fail);
}

TEST_F(StartOptionsTest, TheCommandLineWinsOverTheFileForEachPublishingKey) {
  const auto host = [] { return std::string("bench-3.lab.example"); };
  const auto start = [&](const Arguments& arguments, const std::string& text) {
    return ReadStartOptions(arguments, Write("panel.conf", text), ReadSettingsFile, host);
  };
  const CommandLine read = start(
      Arguments{"--publish", "mqtt://given-broker", "--sparkplug-node=given-node"},
      "publish = mqtts://file-broker\nsparkplug-group = file-group\nsparkplug-node = file-node\n");
  ASSERT_TRUE(read.publish) << read.error;
  EXPECT_EQ(read.publish->broker.host, "given-broker");
  EXPECT_FALSE(read.publish->broker.tls);
  EXPECT_EQ(read.publish->ClientId(), "halvorn-file-group-given-node");
  EXPECT_NE(read.publishWarning.find("'mqtt://given-broker' is not encrypted"), std::string::npos);
  // A key of the file may need the command line's --publish, and the other way.
  EXPECT_EQ(
      start(Arguments{"--publish=mqtt://127.0.0.1"}, "sparkplug-node = n\n").publish.value().node,
      "n");
  EXPECT_EQ(start(Arguments{}, "publish = mqtt://127.0.0.1\n").publish.value().node, "bench-3");
  EXPECT_EQ(start(Arguments{"--mqtt-ca", "/etc/ca.pem"}, "publish = mqtt://file-broker\n").error,
            "halvorn-panel: option --mqtt-ca needs a TLS broker (mqtts://), not the plain "
            "'mqtt://file-broker'\nTry 'halvorn-panel --help' for more information.");
  // Without a settings file the keys are checked all the same.
  EXPECT_EQ(ReadStartOptions(Arguments{"--sparkplug-node", "n"}, "", ReadSettingsFile, host).error,
            "halvorn-panel: option --sparkplug-node is given but --publish is missing: without a "
            "broker nothing is published\nTry 'halvorn-panel --help' for more information.");
}

TEST_F(StartOptionsTest, RecordOnTheCommandLineReplacesTheFilesButOnlyOnce) {
  const std::string path = Write("panel.conf", "record = /var/tmp/r.db\n");
  const CommandLine read = ReadStartOptions(Arguments{"--record", "/tmp/given.db"}, path);
  ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
  EXPECT_EQ(read.recordPath, "/tmp/given.db");
  const CommandLine twice = ReadStartOptions(Arguments{"--record=/tmp/a.db", "--record=/tmp/b.db"}, path);
  EXPECT_EQ(twice.outcome, CommandLine::Outcome::Fail);
}

TEST_F(StartOptionsTest, ConfigNamesAnotherFileWhichMustExist) {
  const std::string fallback = Write("default.conf", "port 1 = /dev/from-default\n");
  const std::string chosen = Write("chosen.conf", "port 1 = /dev/from-chosen\n");
  const CommandLine read = ReadStartOptions(Arguments{"--config", chosen}, fallback);
  ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
  EXPECT_EQ(read.ports.Device(1), "/dev/from-chosen");

  const std::string missing = (directory / "nowhere.conf").string();
  const CommandLine failed = ReadStartOptions(Arguments{"--config=" + missing}, fallback);
  EXPECT_EQ(failed.outcome, CommandLine::Outcome::Fail);
  EXPECT_EQ(failed.error,
            "halvorn-panel: " + missing + ": cannot read the settings file: No such file or directory");
  // A folder where the default file belongs is no settings file either.
  const CommandLine folder = ReadStartOptions({}, directory.path());
  EXPECT_EQ(folder.outcome, CommandLine::Outcome::Fail);
  EXPECT_EQ(folder.error, "halvorn-panel: " + directory.path() + ": cannot read the settings file: it is a directory");
}

TEST_F(StartOptionsTest, ABadFileFailsButHelpAndListingDoNotReadIt) {
  const std::string path = Write("panel.conf", "port 1 = /dev/ok\nbaud = 9600\n");
  const CommandLine read = ReadStartOptions({}, path);
  EXPECT_EQ(read.outcome, CommandLine::Outcome::Fail);
  EXPECT_EQ(read.error, "halvorn-panel: " + path +
                            ":2: unknown setting 'baud' (known: port N, record, record-keep, reconnect, alarms, alarm-sound, alarm P, priority P, guidance P, latch P, publish, sparkplug-group, sparkplug-node, sparkplug-host, mqtt-ca, mqtt-cert, mqtt-key, mqtt-user, mqtt-password-file)");
  EXPECT_EQ(ReadStartOptions(Arguments{"--help"}, path).outcome, CommandLine::Outcome::ShowHelp);
  EXPECT_EQ(ReadStartOptions(Arguments{"--list-ports"}, path).outcome, CommandLine::Outcome::ListPorts);
  // A wrong argument is told as such, not as the file's fault.
  const CommandLine wrong = ReadStartOptions(Arguments{"--bogus"}, path);
  EXPECT_EQ(wrong.error.substr(0, wrong.error.find('\n')), "halvorn-panel: unknown option '--bogus'");
}

// Only a regular file is read, and only so far: a FIFO, a device or an
// endless file answers at once instead of holding up the start.
TEST_F(StartOptionsTest, OnlyARegularFileOfBoundedSizeIsRead) {
  const std::string fifo = (directory / "fifo.conf").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string endless = Write("long.conf", std::string(kMostSettingsBytes + 1, '#'));
  const std::string bounded = Write("bounded.conf", std::string(kMostSettingsBytes - 20, '#') + "\nreconnect = yes\n");
  struct Case {
    std::string path;
    std::string why;
  };
  const Case cases[] = {
      {fifo, "it is a FIFO"},
      {"/dev/zero", "it is a character device"},
      {endless, "it is longer than 1024 KiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    for (const bool named : {true, false}) {
      const std::string option = "--config=" + c.path;
      const CommandLine read =
          named ? ReadStartOptions(Arguments{option}, "") : ReadStartOptions({}, c.path);
      EXPECT_EQ(read.outcome, CommandLine::Outcome::Fail);
      EXPECT_EQ(read.error, "halvorn-panel: " + c.path + ": cannot read the settings file: " + c.why);
    }
  }
  const CommandLine read = ReadStartOptions({}, bounded);
  ASSERT_EQ(read.outcome, CommandLine::Outcome::Run) << read.error;
  EXPECT_TRUE(read.reconnect);
}

}  // namespace
}  // namespace halvorn::shell
