// Starts the front panel: one window, shown until the operator closes it.
#include <QApplication>
#include <QSocketNotifier>

#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ClosingRecord.h"
#include "CommandLine.h"
#include "MainWindow.h"
#include "PlantPublishing.h"
#include "PlatformStart.h"
#include "QuitSignals.h"
#include "SessionRecord.h"
#include "SettingsFile.h"
#include "alarms/AlarmBoard.h"
#include "alarms/AlarmSettings.h"
#include "record/RecordPath.h"
#include "serial/SerialDevices.h"

namespace {

// Qt's X11 platform ends the process with exit(1) when its connection to
// the X server breaks (the server killed, the session logged out): main()
// never returns then, so the record is closed from an exit handler. Only
// while main() holds them are these set.
struct AtExit {
  std::optional<halvorn::shell::SessionRecord>* record = nullptr;
  halvorn::shell::QuitSignals* quitSignals = nullptr;
};
AtExit g_atExit;

extern "C" void CloseRecordAtExit() {
  if (g_atExit.record && g_atExit.quitSignals) {
    halvorn::shell::CloseRecord(*g_atExit.record, *g_atExit.quitSignals);
  }
}

struct ClearAtExit {
  ~ClearAtExit() { g_atExit = {}; }
};

// What the session row keeps of how the panel was started.
halvorn::record::SessionInfo DescribeRun(int argc, char* argv[],
                                         const halvorn::shell::PortMap& ports) {
  halvorn::record::SessionInfo info;
  info.startedWallNs = halvorn::shell::SystemClock().Now().wallNs;
  info.version = HALVORN_VERSION;
  for (int index = 0; index < argc; ++index) {
    if (index > 0) info.commandLine += ' ';
    info.commandLine += argv[index];
  }
  const halvorn::shell::PortMap defaults;
  for (int port = halvorn::shell::PortMap::kFirstPort; port <= halvorn::shell::PortMap::kLastPort;
       ++port) {
    if (ports.Device(port) == defaults.Device(port)) continue;
    if (!info.portMap.empty()) info.portMap += ' ';
    info.portMap += std::to_string(port) + '=' + ports.Device(port).value_or("");
  }
  return info;
}

}  // namespace

int main(int argc, char* argv[]) {
  using halvorn::shell::CommandLine;
  // The command line and the settings file are read before Qt starts, so
  // that --help, --list-ports and a wrong argument or setting are answered
  // without a display.
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine commandLine = halvorn::shell::ReadStartOptions(
      arguments,
      halvorn::shell::DefaultSettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
  switch (commandLine.outcome) {
    case CommandLine::Outcome::ShowHelp: std::cout << halvorn::shell::HelpText(); return 0;
    case CommandLine::Outcome::ListPorts:
      std::cout << halvorn::shell::ListPortsText(halvorn::shell::FindSerialDevices("/"),
                                                 halvorn::shell::ProcessCredentials());
      return 0;
    case CommandLine::Outcome::Fail:
      std::cerr << commandLine.error << '\n';
      return halvorn::shell::kCommandLineExitStatus;
    case CommandLine::Outcome::Run: break;
  }
  // A name that can never be a record is told as a wrong argument is, with
  // or without a display; the file itself is opened only once the window
  // system has started, so that a start without one leaves no session.
  if (!commandLine.recordPath.empty()) {
    if (const auto problem = halvorn::record::RecordPathProblem(commandLine.recordPath)) {
      std::cerr << "halvorn-panel: " << *problem << '\n';
      return halvorn::shell::kCommandLineExitStatus;
    }
  }
  // Told once, before the window: the plant goes in the clear to a broker
  // off this machine.
  if (!commandLine.publishWarning.empty()) std::cerr << commandLine.publishWarning << '\n';
  // On X, the window's paints go to the server through the socket rather
  // than shared memory. The panel repaints a few small widgets at a time (a
  // lamp, a reading), a few kilobytes; with shared memory Qt waits for a
  // round trip to the server before every paint, which cost the panel more
  // than a tenth of its processor time while polling and the server a wake-up
  // each time. Whoever set the variable keeps their choice.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  // The window system first: without a display the start ends here with
  // one line and status 2, before a record is touched.
  int qtArgc = 1;
  halvorn::shell::PlatformStart platformStart;
  QApplication application(qtArgc, argv);
  // The quit signals are caught before the record opens, so that from its
  // first session row to its last commit a signal ends the run cleanly.
  // Publishing too: a signal ends the run with a clean NDEATH.
  std::optional<halvorn::shell::QuitSignals> quitSignals;
  if (!commandLine.recordPath.empty() || commandLine.publish) quitSignals.emplace();
  // The record too: a name or file that can never be one stops the start
  // before any window opens, rather than leaving the operator believing the
  // run kept. A failure of the moment starts the panel all the same.
  std::optional<halvorn::shell::SessionRecord> record;
  if (!commandLine.recordPath.empty()) {
    // A file size limit reached by the record fails the write, which stops
    // the recording, instead of ending the panel.
    ::signal(SIGXFSZ, SIG_IGN);
    try {
      record.emplace(
          commandLine.recordPath, DescribeRun(argc, argv, commandLine.ports),
          commandLine.recordKeep ? std::optional(commandLine.recordKeep->days) : std::nullopt);
    } catch (const halvorn::record::RecordRefused& e) {
      std::cerr << "halvorn-panel: " << e.what() << '\n';
      return halvorn::shell::kCommandLineExitStatus;
    }
    if (const auto failure = record->Failure())
      std::cerr << "halvorn-panel: not recording: " << *failure << '\n';
  }
  platformStart.Started();
  // Without a record (none asked for, or none kept) the quit signals keep
  // their default action.
  if ((!record && !commandLine.publish) || !quitSignals->installed()) quitSignals.reset();
  const ClearAtExit clearAtExit;
  std::optional<QSocketNotifier> quitNotifier;
  if (quitSignals) {
    g_atExit = {&record, &*quitSignals};
    std::atexit(CloseRecordAtExit);
    quitNotifier.emplace(quitSignals->fd(), QSocketNotifier::Read);
    QObject::connect(&*quitNotifier, &QSocketNotifier::activated, &application, [&quitSignals] {
      quitSignals->Drain();
      QApplication::quit();
    });
  }
  halvorn::shell::AlarmOptions alarms{commandLine.alarms, commandLine.alarmSettings,
                                      commandLine.alarmSound};
  std::optional<halvorn::shell::PlantPublishing> publishing;
  if (commandLine.publish) {
    std::vector<halvorn::publish::AlarmPointMetric> points;
    if (alarms.on) {
      halvorn::alarms::AlarmBoard board;
      halvorn::alarms::ApplyTo(alarms.settings, board);
      points = halvorn::publish::AlarmPointsOf(board.points());
    }
    publishing.emplace(*commandLine.publish, std::move(points), HALVORN_VERSION);
  }
  auto window = std::make_unique<halvorn::shell::MainWindow>(
      commandLine.ports, record ? &*record : nullptr, std::move(alarms),
      publishing ? &*publishing : nullptr);
  if (publishing && !publishing->sequenceProblem().empty())
    std::cerr << "halvorn-panel: " << publishing->sequenceProblem() << '\n';
  window->setReconnect(commandLine.reconnect);
  window->show();
  const int status = QApplication::exec();
  // The window goes first: it feeds the record and the publisher until then.
  // The publisher's NDEATH goes out before the record's last commit.
  window.reset();
  publishing.reset();
  if (quitSignals) halvorn::shell::CloseRecord(record, *quitSignals);
  return status;
}
