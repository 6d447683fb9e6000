// Writes the seed corpora of the fuzz targets of the programs' texts into
// the folder given as the only argument, one subfolder per target: settings/
// (settings files), command-line/ (the panel's arguments, and a settings
// file after a pair of NULs), history-command-line/ and sim-command-line/.
// The seeds are the worked examples of the manual pages and the ways each
// text goes wrong, so that the fuzzer starts from inputs that reach every
// branch of the parsers.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "SeedFolder.h"
#include "TextInput.h"

namespace {

using halvorn::fuzz::JoinArguments;
using Seeds = halvorn::fuzz::SeedFiles;
using Words = std::vector<std::string>;

const std::string kById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

Seeds SettingsSeeds() {
  return {
      {"plant", "# the plant's panel PC\nport 1 = " + kById + "\nreconnect = yes\n"},
      {"every-key",
       "port 1 = /dev/ttyUSB0\nport\t10=/dev/ttyACM0\r\nrecord = /var/tmp/session "
       "one.db\nreconnect = no"},
      {"comments", "   # indented\nrecord = x.halvorn  # daily\nport 2 = /dev/run#2 # kept #2\n"},
      {"byte-order-mark", "\xEF\xBB\xBFport 1 = /dev/ttyUSB0\r\n"},
      {"alarms",
       "alarms = yes\nalarm-sound = /usr/bin/paplay /tmp/horn.oga\n"
       "alarm G6 = above 1e-3 mbar for 5 s priority high deadband 20 %\nalarm MFC1 = deviation 10 for 30 s\n"
       "alarm G1 = below 2 mbar\npriority V5 = high\nguidance V5 = Check the air = 6 bar\nlatch V5 = yes\n"},
      {"bad-alarms", "alarm G9 = above 1\npriority V5 = urgent\nalarm G6 = above x deadband 120 %\n"},
      // Found by the fuzzer: a '#' after a carriage return began the value.
      {"comment-after-cr", "\xEF\xBB\xBFport 1 = \r#e -"},
      {"crlf", "port 3 = /dev/ttyS9\r\nreconnect = on\r\n"},
      {"bad-lines", "prot 1 = /dev/x\nport 11 = /dev/x\nport 0 = /dev/x\nreconnect = maybe\n"},
      {"no-equals", "port 1 /dev/ttyUSB0\n"},
      {"twice", "port 3 = /dev/a\n# again\nport 3 = /dev/b\n"},
      {"empty-values", "record =   \nport 2 =\n"},
      {"nul", std::string("record = /var/tmp/a\0b\n", 22)},
      {"empty", ""},
      {"record-keep", "record = /var/tmp/r.halvorn\nrecord-keep = 365\nrecord-keep = -1\n"},
      {"publish",
       "publish = mqtts://broker.plant.example:8884  # site\nsparkplug-group = plant\n"
       "sparkplug-node = chamber 2\nsparkplug-host = scada-1\nmqtt-ca = /etc/ssl/certs/ca.pem\n"
       "mqtt-cert = /etc/halvorn/panel.crt\nmqtt-key = /etc/halvorn/panel.key\nmqtt-user = panel\n"
       "mqtt-password-file = /etc/halvorn/mqtt-password\n"},
      {"bad-publish",
       "publish = http://b\nsparkplug-node = a/b\nsparkplug-group = run#3\nmqtt-password = x\n"},
  };
}

Seeds CommandLineSeeds() {
  const std::string pair("\0\0", 2);
  return {
      {"ports", JoinArguments({"--port", "1=/dev/ttyUSB0", "--port=2=/dev/pts/7", "--reconnect"})},
      {"record",
       JoinArguments({"--port", "1=/dev/ttyUSB0", "--record", "/home/op/pump-down.halvorn"})},
      {"record-inline", JoinArguments({"--record=/tmp/a.db", "--record=/tmp/b.db"})},
      {"help", JoinArguments({"--port", "1=x", "--help"})},
      {"list-ports", JoinArguments({"--list-ports"})},
      {"wrong", JoinArguments({"--bogus", "--port", "11=/dev/x", "-"})},
      {"missing-values", JoinArguments({"--port", "1", "--record"})},
      {"config", JoinArguments({"--config", "/etc/halvorn/panel.conf", "--port", "2=/dev/given"})},
      {"settings", JoinArguments({"--port", "2=/dev/given"}) + pair +
                       "port 1 = /dev/file-one\nport 2 = /dev/file-two\nrecord = "
                       "/var/tmp/r.db\nreconnect = no\n"},
      {"settings-bad", JoinArguments({"--reconnect"}) + pair + "baud = 9600\n"},
      {"settings-only", pair + "record = x.halvorn  # daily\n"},
      {"record-keep", JoinArguments({"--record", "r.halvorn", "--record-keep", "30"}) + pair + "record-keep = 0x10\n"},
      {"record-keep-alone", JoinArguments({"--record-keep=99999999999"}) + pair + "record-keep = 7\n"},
      {"publish", JoinArguments({"--publish", "mqtt://127.0.0.1:1884", "--sparkplug-group=plant",
                                 "--sparkplug-node", "chamber-2", "--sparkplug-host=scada",
                                 "--mqtt-user", "panel"})},
      {"publish-tls", JoinArguments({"--publish=mqtts://[::1]", "--mqtt-ca", "/etc/hostname",
                                     "--mqtt-cert", "/etc/hostname", "--mqtt-key=/etc/hostname"})},
      {"publish-wrong", JoinArguments({"--sparkplug-node", "n", "--mqtt-password", "x",
                                       "--publish", "mqtt://b", "--publish=mqtt://c"})},
      {"publish-settings", JoinArguments({"--sparkplug-node=given", "--publish=mqtt://127.0.0.1"}) +
                               pair + "publish = mqtt://file\nsparkplug-node = file\nmqtt-user = u\n"},
  };
}

Seeds HistoryCommandLineSeeds() {
  return {
      {"window", JoinArguments({"plant.halvorn"})},
      {"range", JoinArguments({"plant.halvorn", "--session", "3", "--from", "90", "--to",
                               "2026-12-07T10:31:02"})},
      {"exports", JoinArguments({"plant.halvorn", "--csv=out.csv", "--png=out.png",
                                 "--from=2026-12-07 10:31+01:00"})},
      {"summaries", JoinArguments({"plant.halvorn", "--csv", "minutes.csv", "--resolution", "1m",
                                   "--to", "3600"})},
      {"help", JoinArguments({"-h"})},
      {"wrong", JoinArguments({"a.halvorn", "b.halvorn", "--session", "0", "--bogus"})},
      {"missing", JoinArguments({"--from"})},
      {"stdin", JoinArguments({"-", "--session=99999999999999999999"})},
  };
}

Seeds SimCommandLineSeeds() {
  return {
      {"link", JoinArguments({"--link", "/tmp/controller", "-q", "--console"})},
      {"device", JoinArguments({"--device", "/dev/ttyUSB1", "--baud", "9600", "--parity=e"})},
      {"faults", JoinArguments({"--fault", "V3=160", "--warn", "105", "--crc", "0.2", "--badlen",
                                "gauges=3"})},
      {"flood", JoinArguments({"--flood", "92160=0.5", "--nocr", "--nocr-bytes", "300", "--silence",
                               "gauges"})},
      {"schedule", JoinArguments({"--at", "2.5", "hangup 2", "--do", "stop", "--acks", "--stop"})},
      {"replay", JoinArguments({"--replay", "plant.halvorn", "--session", "2", "--speed", "4",
                                "--from", "30", "--to", "90"})},
      {"list", JoinArguments({"--replay=plant.halvorn", "--list"})},
      {"wrong", JoinArguments({"--baud", "1200", "--parity", "x", "--quiet=1", "--bogus"})},
      {"help", JoinArguments({"--help"})},
  };
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = halvorn::fuzz::SeedFolderArgument(argc, argv);
  if (folder.empty()) return 2;
  const std::pair<const char*, Seeds> corpora[] = {
      {"settings", SettingsSeeds()},
      {"command-line", CommandLineSeeds()},
      {"history-command-line", HistoryCommandLineSeeds()},
      {"sim-command-line", SimCommandLineSeeds()}};
  for (const auto& [target, seeds] : corpora) {
    if (!halvorn::fuzz::WriteSeedFolder(folder / target, seeds)) return 1;
  }
  return 0;
}
