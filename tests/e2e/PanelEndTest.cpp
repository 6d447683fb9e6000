// How the real halvorn-panel program ends while it records: a second
// SIGTERM while its last commit waits on a locked record, a display that
// goes away under it (a real Xvfb killed), and a start without any display.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ProbedPanel.h"
#include "record/Database.h"
#include "support/TemporaryDirectory.h"
#include "support/TimeBounds.h"

namespace halvorn {
namespace {

using namespace std::chrono_literals;
using record::Database;
using record::Statement;

std::int64_t Ended(const std::string& path) {
  Database db(path, Database::Mode::ReadOnly);
  Statement s = db.Prepare("SELECT ended FROM session ORDER BY id DESC LIMIT 1");
  return s.Step() ? s.Integer(0) : -1;
}

bool AwaitShown(const std::string& report, std::chrono::seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (ReadFile(report).find("shown") == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// Another program holds the record's write lock, so the panel's last
// commit waits (up to two seconds, then it gives up). A second SIGTERM ends
// the panel within a second all the same; its one more try marks the
// session ended when the lock goes meanwhile.
TEST(PanelEndTimeBoundTest, ASecondSigtermWhileTheLastCommitWaitsEndsThePanelWithinASecond) {
  struct Case {
    std::chrono::milliseconds lockedFor;  // after the second signal
    std::int64_t ended;
  };
  const Case cases[] = {{100ms, 1}, {2500ms, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lockedFor.count());
    testing::TemporaryDirectory dir;
    const std::string path = dir / "locked.halvorn";
    const std::string report = dir / "probe.txt";
    process::ChildProcess panel({HALVORN_PANEL_PROGRAM,
                                 {"--port", "1=" + std::string(dir / "nothing"), "--record", path},
                                 ProbeEnvironment(report, "offscreen"),
                                 dir / "panel.err"});
    ASSERT_TRUE(AwaitShown(report, 15s)) << ReadFile(dir / "panel.err");
    Database other(path, Database::Mode::ReadWrite);
    other.SetBusyTimeout(5000);
    other.Exec("BEGIN IMMEDIATE");
    panel.Signal(SIGTERM);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(panel.running()) << "the last commit waits for the lock";
    const auto second = std::chrono::steady_clock::now();
    panel.Signal(SIGTERM);
    std::optional<std::chrono::steady_clock::duration> took;
    while (std::chrono::steady_clock::now() - second < c.lockedFor) {
      if (!took && panel.Wait(10ms)) took = std::chrono::steady_clock::now() - second;
    }
    other.Exec("ROLLBACK");
    ASSERT_TRUE(panel.Wait(10s));
    if (!took) took = std::chrono::steady_clock::now() - second;
    EXPECT_LT(*took, testing::TimeBound<std::chrono::steady_clock::duration>(1s, 1500ms))
        << std::chrono::duration_cast<std::chrono::milliseconds>(*took).count() << " ms";
    ASSERT_TRUE(panel.exitStatus());
    EXPECT_TRUE(WIFSIGNALED(*panel.exitStatus()) && WTERMSIG(*panel.exitStatus()) == SIGTERM)
        << "ended as the signal ends a program, status " << *panel.exitStatus();
    EXPECT_EQ(Ended(path), c.ended) << ReadFile(dir / "panel.err");
  }
}

// Qt's X11 platform ends the program with exit(1) when the X server goes;
// the record is closed all the same.
TEST(PanelEndTest, WhenTheXServerGoesTheRecordIsClosed) {
  if (::access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/Xvfb (Debian package xvfb)";
  testing::TemporaryDirectory dir;
  // Xvfb picks a free display and writes its number on standard output.
  process::ChildProcess server(
      {"/usr/bin/Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"}, {}, {}});
  const std::optional<std::string> display = server.ReadLine(10s);
  ASSERT_TRUE(display) << "Xvfb did not start";
  const std::string path = dir / "x11.halvorn";
  const std::string report = dir / "probe.txt";
  std::vector<std::string> environment = ProbeEnvironment(report, "xcb");
  environment.push_back("DISPLAY=:" + *display);
  // Under the sanitizers: Qt's exit(1) leaves D-Bus's and fontconfig's
  // memory to the system, and libxkbcommon-x11 reads a counted string with
  // strndup; neither is the panel's, so neither may end it.
  environment.push_back("ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=0");
  process::ChildProcess panel({HALVORN_PANEL_PROGRAM, {"--record", path}, environment, dir / "panel.err"});
  ASSERT_TRUE(AwaitShown(report, 20s)) << ReadFile(dir / "panel.err");
  EXPECT_EQ(Ended(path), 0) << "open while the panel runs";
  server.Signal(SIGKILL);
  ASSERT_TRUE(panel.Wait(20s)) << ReadFile(dir / "panel.err");
  ASSERT_TRUE(panel.exitStatus());
  EXPECT_TRUE(WIFEXITED(*panel.exitStatus())) << "status " << *panel.exitStatus();
  EXPECT_EQ(Ended(path), 1) << ReadFile(dir / "panel.err");
}

// Without a display the start says so in one line, ends with status 2 and
// leaves no record behind, however the display was missing.
TEST(PanelEndTest, WithoutADisplayTheStartSaysSoInOneLineAndTouchesNoRecord) {
  testing::TemporaryDirectory dir;
  const std::string path = dir / "never.halvorn";
  struct Case {
    std::vector<std::string> environment;
    std::string says;
  };
  const std::string unset[] = {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM"};
  const Case cases[] = {
      {{}, "no display (DISPLAY is not set)"},
      {{"DISPLAY=:4321"}, "cannot connect to the display ':4321'"},
      {{"QT_QPA_PLATFORM=no-such-platform"},
       "the window system 'no-such-platform' named by QT_QPA_PLATFORM could not be started"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    std::vector<std::string> arguments(std::begin(unset), std::end(unset));
    arguments.insert(arguments.end(), c.environment.begin(), c.environment.end());
    arguments.insert(arguments.end(), {HALVORN_PANEL_PROGRAM, "--record", path});
    process::ChildProcess panel({"/usr/bin/env", arguments, {}, dir / "panel.err"});
    ASSERT_TRUE(panel.Wait(20s));
    ASSERT_TRUE(panel.exitStatus() && WIFEXITED(*panel.exitStatus())) << "status " << *panel.exitStatus();
    EXPECT_EQ(WEXITSTATUS(*panel.exitStatus()), 2);
    EXPECT_EQ(ReadFile(dir / "panel.err"),
              "halvorn-panel: cannot open the window: " + c.says +
                  "; start it in a desktop session, under xvfb-run -a, or with QT_QPA_PLATFORM=offscreen\n");
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

}  // namespace
}  // namespace halvorn
