// Starts the front panel: one window, shown until the operator closes it.
#include <QApplication>

#include <iostream>

#include "CommandLine.h"
#include "MainWindow.h"

int main(int argc, char* argv[]) {
  // The command line is read before Qt starts, so that --help and a wrong
  // argument are answered without a display.
  const halvorn::shell::CommandLine commandLine = halvorn::shell::ParseCommandLine(argc, argv);
  switch (commandLine.outcome) {
    case halvorn::shell::CommandLine::Outcome::ShowHelp:
      std::cout << halvorn::shell::HelpText();
      return 0;
    case halvorn::shell::CommandLine::Outcome::Fail:
      std::cerr << commandLine.error << '\n';
      return halvorn::shell::kCommandLineExitStatus;
    case halvorn::shell::CommandLine::Outcome::Run:
      break;
  }
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  halvorn::shell::MainWindow window(commandLine.ports);
  window.show();
  return QApplication::exec();
}
