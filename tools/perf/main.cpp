// halvorn-perf: the panel's performance figures, each beside its target.
//
//   CPU      the real halvorn-panel program (offscreen) polling a simulator,
//            then flooded by it at the 921600-baud byte rate: processor time
//            from /proc/PID/stat over fixed windows, the median of several
//   memory   the panel's peak resident size (VmHWM) after the flood
//   start    from fork() to the first painted window, the median of several
//            starts (the probe plugin tells when it was painted)
//   latency  from an answer's last byte written to the pseudo-terminal to
//            the model holding it, and to the next paint (see Latency.h)
//
// The panel is started unchanged; the probe plugin (PanelProbe.cpp) presses
// its "Connect" button. Every child process is ended before this returns.
#include <QCoreApplication>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Latency.h"
#include "ProcStats.h"
#include "TimingApplication.h"

namespace halvorn::perf {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
  int seconds = 20;   // length of one CPU window
  int repeats = 3;    // CPU windows per condition
  int starts = 5;     // program starts timed
  int answers = 2000; // answers timed for latency
  bool ok = true;
  std::string record; // the panels record their runs into this file; empty: off
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    const auto number = [&](int& out) {
      if (i + 1 >= argc) return false;
      const std::string_view text = argv[++i];
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
      return error == std::errc{} && end == text.data() + text.size() && out > 0;
    };
    if (name == "--quick") {
      options = {3, 1, 2, 300, true, options.record};
    } else if (name == "--record" && i + 1 < argc) {
      options.record = argv[++i];
    } else if (name == "--seconds") {
      options.ok = options.ok && number(options.seconds);
    } else if (name == "--repeats") {
      options.ok = options.ok && number(options.repeats);
    } else if (name == "--starts") {
      options.ok = options.ok && number(options.starts);
    } else if (name == "--answers") {
      options.ok = options.ok && number(options.answers);
    } else {
      options.ok = false;
    }
  }
  return options;
}

long long MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

// Busy processor time of the whole machine so far, in seconds (all cores).
double MachineBusySeconds() {
  std::ifstream stat("/proc/stat");
  std::string cpu;
  long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
  return static_cast<double>(user + nice + system + irq + softirq + steal) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::string LoadAverage() {
  std::ifstream load("/proc/loadavg");
  std::string one, five, fifteen;
  load >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

struct Row {
  std::string figure;
  std::string value;
  std::string target;
  std::optional<bool> met;  // nothing: a figure without a target
};

void PrintRows(const std::vector<Row>& rows) {
  std::printf("\n%-62s %-16s %-16s %s\n", "figure", "value", "target", "met?");
  for (const Row& row : rows) {
    std::printf("%-62s %-16s %-16s %s\n", row.figure.c_str(), row.value.c_str(), row.target.c_str(),
                !row.met ? "-" : *row.met ? "MET" : "NOT MET");
  }
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The panel and the simulator, joined through a link in a private folder.
class Rig {
 public:
  Rig(const std::string& directory, const std::string& record) : m_directory(directory), m_record(record) {}

  bool StartSimulator() {
    m_sim.emplace(ChildOptions{HALVORN_SIM_PROGRAM,
                               {"--console", "--quiet", "--link", m_directory + "/controller"},
                               {},
                               m_directory + "/sim.err"});
    return m_sim->ReadLineStartingWith("halvorn-sim: link ", 5s).has_value();
  }

  // Starts the panel with the probe; true once its window was painted (and,
  // with `connect`, its Connect button pressed). `startNs` is when it was
  // forked.
  bool StartPanel(bool connect, long long& startNs, long long& shownNs, std::string& connected) {
    const std::string report = m_directory + "/probe.txt";
    std::filesystem::remove(report);
    std::vector<std::string> environment{
        "QT_QPA_PLATFORM=offscreen",           "QT_PLUGIN_PATH=" HALVORN_PROBE_PLUGIN_DIR,
        "QT_QPA_GENERIC_PLUGINS=halvornprobe", "HALVORN_PROBE_REPORT=" + report,
        std::string("HALVORN_PROBE_CONNECT=") + (connect ? "1" : "0")};
    m_panel.reset();
    startNs = MonotonicNs();
    std::vector<std::string> arguments{"--port", "1=" + m_directory + "/controller"};
    if (!m_record.empty()) arguments.insert(arguments.end(), {"--record", m_record});
    m_panel.emplace(ChildOptions{HALVORN_PANEL_PROGRAM,
                                 arguments,
                                 environment,
                                 m_directory + "/panel.err"});
    shownNs = 0;
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
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
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  void StopPanel() { m_panel.reset(); }

  ChildProcess& sim() { return *m_sim; }
  ChildProcess& panel() { return *m_panel; }

 private:
  std::string m_directory;
  std::string m_record;  // passed on as --record; empty: off
  std::optional<ChildProcess> m_sim;
  std::optional<ChildProcess> m_panel;
};

struct CpuWindow {
  double panelPercent = 0;
  double simPercent = 0;
  double othersCores = 0;  // cores' worth kept busy by everything else
};

std::optional<CpuWindow> MeasureCpu(Rig& rig, int seconds) {
  const std::optional<double> panel0 = CpuSeconds(rig.panel().pid());
  const std::optional<double> sim0 = CpuSeconds(rig.sim().pid());
  const double busy0 = MachineBusySeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const std::optional<double> panel1 = CpuSeconds(rig.panel().pid());
  const std::optional<double> sim1 = CpuSeconds(rig.sim().pid());
  const double busy1 = MachineBusySeconds();
  if (!panel0 || !panel1 || !sim0 || !sim1) return {};
  CpuWindow window;
  window.panelPercent = 100.0 * (*panel1 - *panel0) / elapsed;
  window.simPercent = 100.0 * (*sim1 - *sim0) / elapsed;
  window.othersCores = (busy1 - busy0 - (*panel1 - *panel0) - (*sim1 - *sim0)) / elapsed;
  return window;
}

std::string Describe(const std::vector<CpuWindow>& windows) {
  std::string text;
  for (const CpuWindow& w : windows) {
    char one[96];
    std::snprintf(one, sizeof one, "%s%.2f%% (sim %.1f%%, others %.2f cores)", text.empty() ? "" : "; ",
                  w.panelPercent, w.simPercent, w.othersCores);
    text += one;
  }
  return text;
}

int Run(const Options& options) {
  std::vector<Row> rows;
  char folder[] = "/tmp/halvorn-perf.XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    std::fprintf(stderr, "halvorn-perf: cannot make a temporary folder\n");
    return 1;
  }
  const std::string directory = folder;
  std::printf("halvorn-perf: %d x %d s CPU windows, %d starts, %d answers timed; load average %s\n",
              options.repeats, options.seconds, options.starts, options.answers, LoadAverage().c_str());

  {
    Rig rig(directory, options.record);
    if (!rig.StartSimulator()) {
      std::fprintf(stderr, "halvorn-perf: the simulator did not start\n");
      return 1;
    }

    // Start: the window first painted, not connected.
    std::vector<double> startMs;
    for (int i = 0; i < options.starts; ++i) {
      long long forked = 0, shown = 0;
      std::string connected;
      if (!rig.StartPanel(false, forked, shown, connected)) {
        std::fprintf(stderr, "halvorn-perf: the panel showed no window (see %s/panel.err)\n", directory.c_str());
        return 1;
      }
      startMs.push_back(static_cast<double>(shown - forked) / 1e6);
      rig.StopPanel();
    }
    std::printf("start to first painted window, ms: ");
    for (const double ms : startMs) std::printf("%.1f ", ms);
    std::printf("\n");
    rows.push_back({"time from start to the first shown window (offscreen), median", Format("%.0f ms", Median(startMs)),
                    "<= 200 ms", Median(startMs) <= 200.0});

    // CPU: polling normally.
    long long forked = 0, shown = 0;
    std::string connected;
    if (!rig.StartPanel(true, forked, shown, connected) || connected.find("open successfully") == std::string::npos) {
      std::fprintf(stderr, "halvorn-perf: the panel did not connect: %s\n", connected.c_str());
      return 1;
    }
    std::this_thread::sleep_for(2s);
    std::vector<CpuWindow> polling;
    for (int i = 0; i < options.repeats; ++i) {
      if (const std::optional<CpuWindow> w = MeasureCpu(rig, options.seconds)) polling.push_back(*w);
    }
    std::vector<double> pollingPercent;
    for (const CpuWindow& w : polling) pollingPercent.push_back(w.panelPercent);
    std::printf("polling normally, panel CPU per window: %s; load average %s\n", Describe(polling).c_str(),
                LoadAverage().c_str());
    rows.push_back({"panel CPU while polling a simulator, median", Format("%.2f %%", Median(pollingPercent)),
                    "<= 0.5 %", Median(pollingPercent) <= 0.5});
    const std::optional<long> peakPolling = PeakResidentKiB(rig.panel().pid());

    // CPU: flooded at the line's full rate.
    rig.sim().Type("flood 92160 0.1\n");
    if (!rig.sim().ReadLineStartingWith("ok: flooding", 5s)) {
      std::fprintf(stderr, "halvorn-perf: the simulator did not flood\n");
      return 1;
    }
    std::this_thread::sleep_for(2s);
    std::vector<CpuWindow> flooded;
    for (int i = 0; i < options.repeats; ++i) {
      if (const std::optional<CpuWindow> w = MeasureCpu(rig, options.seconds)) flooded.push_back(*w);
    }
    rig.sim().Type("flood stop\n");
    const std::optional<std::string> report = rig.sim().ReadLineStartingWith("ok: flood stopped: ", 5s);
    std::vector<double> floodedPercent;
    for (const CpuWindow& w : flooded) floodedPercent.push_back(w.panelPercent);
    std::printf("flooded, panel CPU per window: %s; load average %s\n", Describe(flooded).c_str(),
                LoadAverage().c_str());
    std::printf("flood: %s\n", report ? report->c_str() + 19 : "(no report)");
    rows.push_back({"panel CPU while flooded at 92160 bytes/s, median", Format("%.2f %%", Median(floodedPercent)),
                    "<= 3 %", Median(floodedPercent) <= 3.0});

    const std::optional<long> peak = PeakResidentKiB(rig.panel().pid());
    if (peakPolling) {
      rows.push_back({"panel peak resident memory, polling", Format("%.1f MB", static_cast<double>(*peakPolling) / 1024.0),
                      "<= 60 MB", static_cast<double>(*peakPolling) / 1024.0 <= 60.0});
    }
    if (peak) {
      rows.push_back({"panel peak resident memory, after the flood",
                      Format("%.1f MB", static_cast<double>(*peak) / 1024.0), "<= 60 MB",
                      static_cast<double>(*peak) / 1024.0 <= 60.0});
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);

  // Latency, in this process.
  const LatencySamples latency = MeasureLatency(options.answers, options.record);
  if (latency.toModelMs.empty()) {
    std::fprintf(stderr, "halvorn-perf: no latency measured\n");
    return 1;
  }
  std::printf("latency: %d answers sent, %zu timed to the model, %zu to the paint\n", latency.sent,
              latency.toModelMs.size(), latency.toPaintMs.size());
  std::printf("  to the model, ms: median %.3f, p90 %.3f, p99 %.3f, max %.3f\n", Median(latency.toModelMs),
              Percentile(latency.toModelMs, 0.9), Percentile(latency.toModelMs, 0.99),
              Percentile(latency.toModelMs, 1.0));
  std::printf("  to the paint, ms: median %.3f, p90 %.3f, p99 %.3f, max %.3f\n", Median(latency.toPaintMs),
              Percentile(latency.toPaintMs, 0.9), Percentile(latency.toPaintMs, 0.99),
              Percentile(latency.toPaintMs, 1.0));
  const double modelP99 = Percentile(latency.toModelMs, 0.99);
  const double paintP99 = Percentile(latency.toPaintMs, 0.99);
  rows.push_back({"latency, last byte written to the model holding it, p99", Format("%.3f ms", modelP99), "<= 1 ms",
                  modelP99 <= 1.0});
  rows.push_back({"latency, last byte written to the next paint, p99", Format("%.1f ms", paintP99),
                  "<= 16.7 ms", paintP99 <= 1000.0 / 60.0});

  PrintRows(rows);
  return 0;
}

}  // namespace
}  // namespace halvorn::perf

int main(int argc, char** argv) {
  const halvorn::perf::Options options = halvorn::perf::ParseOptions(argc, argv);
  if (!options.ok) {
    std::fprintf(stderr,
                 "usage: halvorn-perf [--quick] [--seconds N] [--repeats N] [--starts N] [--answers N] [--record FILE]\n"
                 "  prints the panel's performance figures beside their targets;\n"
                 "  with --record the panels measured record their runs into FILE\n");
    return 2;
  }
  // The latency part runs a window of its own, offscreen like the children.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  halvorn::perf::TimingApplication application(qtArgc, argv);
  return halvorn::perf::Run(options);
}
