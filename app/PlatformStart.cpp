#include "PlatformStart.h"

#include <QString>
#include <QtGlobal>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "CommandLine.h"

namespace halvorn::shell {
namespace {

// The handler is a plain function: what it holds back lives here, for the
// one start of the one application.
struct Held {
  QtMessageHandler previous = nullptr;
  std::vector<std::string> lines;
};
Held g_held;

bool Given(const char* value) { return value && value[0] != '\0'; }

void HoldBack(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    const std::string line =
        NoDisplayMessage(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                         std::getenv("WAYLAND_DISPLAY")) +
        "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
    // Qt is half made: nothing of it may run its destructors now.
    ::_exit(kCommandLineExitStatus);
  }
  g_held.lines.push_back(qFormatLogMessage(type, context, message).toStdString());
}

}  // namespace

std::string NoDisplayMessage(const char* platform, const char* display, const char* wayland) {
  std::string why;
  if (Given(platform)) {
    why = "the window system '" + std::string(platform) +
          "' named by QT_QPA_PLATFORM could not be started";
  } else if (Given(display)) {
    why = "cannot connect to the display '" + std::string(display) + "'";
  } else if (Given(wayland)) {
    why = "cannot connect to the Wayland display '" + std::string(wayland) + "'";
  } else {
    why = "no display (DISPLAY is not set)";
  }
  return std::string(kProgramName) + ": cannot open the window: " + why +
         "; start it in a desktop session, under xvfb-run -a, or with QT_QPA_PLATFORM=offscreen";
}

PlatformStart::PlatformStart() { g_held.previous = qInstallMessageHandler(HoldBack); }

PlatformStart::~PlatformStart() {
  if (!m_holding) return;
  qInstallMessageHandler(g_held.previous);
  g_held.lines.clear();
}

void PlatformStart::Started() {
  if (!m_holding) return;
  m_holding = false;
  qInstallMessageHandler(g_held.previous);
  for (const std::string& line : g_held.lines) std::fprintf(stderr, "%s\n", line.c_str());
  g_held.lines.clear();
}

}  // namespace halvorn::shell
