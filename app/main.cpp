// Starts the front panel: one window, shown until the operator closes it.
#include <QApplication>

#include <cstdlib>
#include <iostream>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "MainWindow.h"
#include "SettingsFile.h"
#include "serial/SerialDevices.h"

int main(int argc, char* argv[]) {
  using halvorn::shell::CommandLine;
  // The command line and the settings file are read before Qt starts, so
  // that --help, --list-ports and a wrong argument or setting are answered
  // without a display.
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine commandLine = halvorn::shell::ReadStartOptions(
      arguments, halvorn::shell::DefaultSettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
  switch (commandLine.outcome) {
    case CommandLine::Outcome::ShowHelp:
      std::cout << halvorn::shell::HelpText();
      return 0;
    case CommandLine::Outcome::ListPorts:
      std::cout << halvorn::shell::ListPortsText(halvorn::shell::FindSerialDevices("/"),
                                                 halvorn::shell::ProcessCredentials());
      return 0;
    case CommandLine::Outcome::Fail:
      std::cerr << commandLine.error << '\n';
      return halvorn::shell::kCommandLineExitStatus;
    case CommandLine::Outcome::Run:
      break;
  }
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  halvorn::shell::MainWindow window(commandLine.ports);
  window.setReconnect(commandLine.reconnect);
  window.show();
  return QApplication::exec();
}
