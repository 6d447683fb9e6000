// The programs a measurement runs: the panel with the probe in it and the
// simulator, joined through a link in a private folder; the probe's counts;
// an X server of the measurement's own.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "ProbeCounts.h"

namespace halvorn::perf {

using process::ChildOptions;
using process::ChildProcess;

inline long long MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// The panel and the simulator, joined through a link in a private folder.
class Rig {
 public:
  // `panelArguments` and `simArguments` go to each start of the panel and
  // of the simulator after their own.
  Rig(const std::string& directory, const std::string& record, std::vector<std::string> panelArguments = {},
      std::vector<std::string> simArguments = {})
      : m_directory(directory),
        m_record(record),
        m_panelArguments(std::move(panelArguments)),
        m_simArguments(std::move(simArguments)) {}

  bool StartSimulator() {
    std::vector<std::string> arguments{"--console", "--quiet", "--link", m_directory + "/controller"};
    arguments.insert(arguments.end(), m_simArguments.begin(), m_simArguments.end());
    m_sim.emplace(ChildOptions{HALVORN_SIM_PROGRAM, arguments, {}, m_directory + "/sim.err"});
    return m_sim->ReadLineStartingWith("halvorn-sim: link ", std::chrono::seconds(5)).has_value();
  }

  // Starts the panel with the probe; true once its window was painted (and,
  // with `connect`, its Connect button pressed). `startNs` is when it was
  // forked.
  // `display` is the X display to draw on (":N"); empty: offscreen.
  bool StartPanel(bool connect, long long& startNs, long long& shownNs, std::string& connected,
                  const std::string& display = {}) {
    const std::string report = m_directory + "/probe.txt";
    std::filesystem::remove(report);
    std::vector<std::string> environment{"QT_PLUGIN_PATH=" HALVORN_PROBE_PLUGIN_DIR,
                                         "QT_QPA_GENERIC_PLUGINS=halvornprobe", "HALVORN_PROBE_REPORT=" + report,
                                         "HALVORN_PROBE_COUNTS=" + CountsPath(),
                                         std::string("HALVORN_PROBE_CONNECT=") + (connect ? "1" : "0")};
    if (display.empty()) {
      environment.push_back("QT_QPA_PLATFORM=offscreen");
    } else {
      environment.push_back("QT_QPA_PLATFORM=xcb");
      environment.push_back("DISPLAY=" + display);
    }
    m_panel.reset();
    startNs = MonotonicNs();
    std::vector<std::string> arguments{"--port", "1=" + m_directory + "/controller"};
    if (!m_record.empty()) arguments.insert(arguments.end(), {"--record", m_record});
    arguments.insert(arguments.end(), m_panelArguments.begin(), m_panelArguments.end());
    m_panel.emplace(ChildOptions{HALVORN_PANEL_PROGRAM, arguments, environment, m_directory + "/panel.err"});
    shownNs = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream lines(report);
      std::string word;
      long long ns = 0;
      std::string line;
      while (std::getline(lines, line)) {
        std::istringstream fields(line);
        fields >> word >> ns;
        if (word == "shown") shownNs = ns;
        if (word == "connected") std::getline(fields >> std::ws, connected);
      }
      if (shownNs != 0 && (!connect || !connected.empty())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  void StopPanel() { m_panel.reset(); }

  // The file the probe counts repaints in (ProbeCounts.h).
  std::string CountsPath() const { return m_directory + "/counts"; }

  ChildProcess& sim() { return *m_sim; }
  ChildProcess& panel() { return *m_panel; }

 private:
  std::string m_directory;
  std::string m_record;  // passed on as --record; empty: off
  std::vector<std::string> m_panelArguments;
  std::vector<std::string> m_simArguments;
  std::optional<ChildProcess> m_sim;
  std::optional<ChildProcess> m_panel;
};

// The probe's counts, mapped read-only; zero while the file is not there.
class CountsView {
 public:
  explicit CountsView(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    void* memory = MAP_FAILED;
    if (::ftruncate(fd, sizeof(ProbeCounts)) == 0)
      memory = ::mmap(nullptr, sizeof(ProbeCounts), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (memory != MAP_FAILED) m_counts = static_cast<const ProbeCounts*>(memory);
  }
  ~CountsView() {
    if (m_counts) ::munmap(const_cast<ProbeCounts*>(m_counts), sizeof(ProbeCounts));
  }
  CountsView(const CountsView&) = delete;
  CountsView& operator=(const CountsView&) = delete;

  std::uint64_t repaints() const { return m_counts ? m_counts->repaints.load() : 0; }
  std::uint64_t widgetPaints() const { return m_counts ? m_counts->widgetPaints.load() : 0; }

 private:
  const ProbeCounts* m_counts = nullptr;
};

// A virtual X server of the measurement's own, on a free display number.
class XServer {
 public:
  bool Start(const std::string& directory) {
    const char* program = "/usr/bin/Xvfb";
    if (::access(program, X_OK) != 0) return false;
    m_server.emplace(ChildOptions{
        program, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, directory + "/xvfb.err"});
    const std::optional<std::string> number = m_server->ReadLine(std::chrono::seconds(10));
    if (!number || number->empty()) return false;
    m_display = ":" + *number;
    return true;
  }
  const std::string& display() const { return m_display; }
  pid_t pid() const { return m_server ? m_server->pid() : -1; }

 private:
  std::optional<ChildProcess> m_server;
  std::string m_display;
};

}  // namespace halvorn::perf
