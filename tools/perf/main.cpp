// halvorn-perf: the panel's performance figures, each beside its target.
//
//   CPU      the real halvorn-panel program polling a simulator, then
//            flooded by it at the 921600-baud byte rate in slices of 1, 10
//            and 20 ms: processor time from /proc/PID/stat over fixed
//            windows, the median of several; offscreen, and drawn through an
//            X server of its own (Xvfb) as on an operator's desktop. Beside
//            each: the window thread's wake-ups, repaints and widgets painted
//            a second, and the X server's processor time
//   memory   the panel's peak resident size (VmHWM) after the flood
//   start    from fork() to the first painted window, the median of several
//            starts (the probe plugin tells when it was painted), offscreen
//   latency  from an answer's last byte written to the pseudo-terminal to
//            the model holding it, and to the next paint (see Latency.h)
//
// The panel is started unchanged; the probe plugin (PanelProbe.cpp) presses
// its "Connect" button. Every child process is ended before this returns.
#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Latency.h"
#include "Options.h"
#include "ProcStats.h"
#include "Rig.h"
#include "Statistics.h"
#include "TargetTable.h"
#include "TimingApplication.h"

namespace halvorn::perf {
namespace {

using process::CpuSeconds;
using process::PeakResidentKiB;
using process::LoadAverage;
using process::MachineBusySeconds;
using process::WakeUps;

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct CpuWindow {
  double panelPercent = 0;
  double simPercent = 0;
  double serverPercent = 0;  // the X server's, under Xvfb
  double othersCores = 0;    // cores' worth kept busy by everything else
  double wakeUpsPerSecond = 0;
  double repaintsPerSecond = 0;
  double widgetPaintsPerSecond = 0;
};

std::optional<CpuWindow> MeasureCpu(Rig& rig, int seconds, const CountsView& counts, pid_t server) {
  const auto cpuOf = [](pid_t pid) { return pid > 0 ? CpuSeconds(pid) : std::optional<double>(0.0); };
  const std::optional<double> panel0 = CpuSeconds(rig.panel().pid());
  const std::optional<double> sim0 = CpuSeconds(rig.sim().pid());
  const std::optional<double> server0 = cpuOf(server);
  const std::optional<long> wakeUps0 = WakeUps(rig.panel().pid());
  const std::uint64_t repaints0 = counts.repaints();
  const std::uint64_t paints0 = counts.widgetPaints();
  const double busy0 = MachineBusySeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const std::optional<double> panel1 = CpuSeconds(rig.panel().pid());
  const std::optional<double> sim1 = CpuSeconds(rig.sim().pid());
  const std::optional<double> server1 = cpuOf(server);
  const std::optional<long> wakeUps1 = WakeUps(rig.panel().pid());
  const double busy1 = MachineBusySeconds();
  if (!panel0 || !panel1 || !sim0 || !sim1 || !server0 || !server1 || !wakeUps0 || !wakeUps1) return {};
  CpuWindow window;
  window.panelPercent = 100.0 * (*panel1 - *panel0) / elapsed;
  window.simPercent = 100.0 * (*sim1 - *sim0) / elapsed;
  window.serverPercent = 100.0 * (*server1 - *server0) / elapsed;
  window.othersCores =
      (busy1 - busy0 - (*panel1 - *panel0) - (*sim1 - *sim0) - (*server1 - *server0)) / elapsed;
  window.wakeUpsPerSecond = static_cast<double>(*wakeUps1 - *wakeUps0) / elapsed;
  window.repaintsPerSecond = static_cast<double>(counts.repaints() - repaints0) / elapsed;
  window.widgetPaintsPerSecond = static_cast<double>(counts.widgetPaints() - paints0) / elapsed;
  return window;
}

std::string Describe(const std::vector<CpuWindow>& windows) {
  std::string text;
  for (const CpuWindow& w : windows) {
    char one[200];
    std::snprintf(one, sizeof one, "\n  %.2f%% (sim %.1f%%, X server %.1f%%, others %.2f cores; %.0f wake-ups/s, "
                  "%.0f repaints/s, %.0f widgets painted/s)",
                  w.panelPercent, w.simPercent, w.serverPercent, w.othersCores, w.wakeUpsPerSecond,
                  w.repaintsPerSecond, w.widgetPaintsPerSecond);
    text += one;
  }
  return text;
}

// The medians of one condition's windows, for the summary of where the
// time goes.
struct Condition {
  std::string name;
  double panelPercent = 0;
  double serverPercent = 0;
  double wakeUpsPerSecond = 0;
  double repaintsPerSecond = 0;
  double widgetPaintsPerSecond = 0;
};

Condition Summarise(std::string name, const std::vector<CpuWindow>& windows) {
  const auto median = [&](double CpuWindow::*field) {
    std::vector<double> values;
    for (const CpuWindow& w : windows) values.push_back(w.*field);
    return Median(values);
  };
  return {std::move(name), median(&CpuWindow::panelPercent), median(&CpuWindow::serverPercent),
          median(&CpuWindow::wakeUpsPerSecond), median(&CpuWindow::repaintsPerSecond),
          median(&CpuWindow::widgetPaintsPerSecond)};
}

void PrintConditions(const std::vector<Condition>& conditions) {
  std::printf("\nwhere the time goes (medians per condition)\n%-34s %9s %9s %10s %10s %14s\n", "condition",
              "panel", "X server", "wake-ups/s", "repaints/s", "widgets/s");
  for (const Condition& c : conditions) {
    std::printf("%-34s %8.2f%% %8.2f%% %10.0f %10.0f %14.0f\n", c.name.c_str(), c.panelPercent, c.serverPercent,
                c.wakeUpsPerSecond, c.repaintsPerSecond, c.widgetPaintsPerSecond);
  }
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
    Rig rig(directory, options.record, options.panelArguments, options.simArguments);
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

    // CPU on each display: polling normally, then flooded at the line's
    // full rate in each slicing.
    const CountsView counts(rig.CountsPath());
    std::vector<Condition> conditions;
    for (const Display display : options.displays) {
      XServer server;
      if (display == Display::Xvfb && !server.Start(directory)) {
        std::fprintf(stderr, "halvorn-perf: no Xvfb could be started (see %s/xvfb.err); not measured there\n",
                     directory.c_str());
        continue;
      }
      const std::string where = Name(display);
      long long forked = 0, shown = 0;
      std::string connected;
      if (!rig.StartPanel(true, forked, shown, connected, server.display()) ||
          connected.find("open successfully") == std::string::npos) {
        std::fprintf(stderr, "halvorn-perf: the panel did not connect (%s): %s\n", where.c_str(), connected.c_str());
        return 1;
      }
      std::this_thread::sleep_for(2s);
      std::vector<CpuWindow> polling;
      for (int i = 0; i < options.repeats; ++i) {
        if (const std::optional<CpuWindow> w = MeasureCpu(rig, options.seconds, counts, server.pid()))
          polling.push_back(*w);
      }
      std::vector<double> pollingPercent;
      for (const CpuWindow& w : polling) pollingPercent.push_back(w.panelPercent);
      std::printf("%s, polling normally, panel CPU per window: %s\n  load average %s\n", where.c_str(),
                  Describe(polling).c_str(), LoadAverage().c_str());
      conditions.push_back(Summarise(where + ", polling", polling));
      rows.push_back({"panel CPU while polling a simulator, " + where + ", median",
                      Format("%.2f %%", Median(pollingPercent)), "<= 0.5 %", Median(pollingPercent) <= 0.5});
      const std::optional<long> peakPolling = PeakResidentKiB(rig.panel().pid());

      for (const int sliceMs : options.slicesMs) {
        const std::string slices = std::to_string(sliceMs) + " ms slices";
        rig.sim().Type("flood 92160 0.1 " + std::to_string(sliceMs) + "\n");
        if (!rig.sim().ReadLineStartingWith("ok: flooding", 5s)) {
          std::fprintf(stderr, "halvorn-perf: the simulator did not flood\n");
          return 1;
        }
        std::this_thread::sleep_for(2s);
        std::vector<CpuWindow> flooded;
        for (int i = 0; i < options.repeats; ++i) {
          if (const std::optional<CpuWindow> w = MeasureCpu(rig, options.seconds, counts, server.pid()))
            flooded.push_back(*w);
        }
        rig.sim().Type("flood stop\n");
        const std::optional<std::string> report = rig.sim().ReadLineStartingWith("ok: flood stopped: ", 5s);
        std::vector<double> floodedPercent;
        for (const CpuWindow& w : flooded) floodedPercent.push_back(w.panelPercent);
        std::printf("%s, flooded in %s, panel CPU per window: %s\n  load average %s\n", where.c_str(),
                    slices.c_str(), Describe(flooded).c_str(), LoadAverage().c_str());
        std::printf("  flood: %s\n", report ? report->c_str() + 19 : "(no report)");
        conditions.push_back(Summarise(where + ", flood in " + slices, flooded));
        rows.push_back({"panel CPU flooded at 92160 bytes/s, " + slices + ", " + where + ", median",
                        Format("%.2f %%", Median(floodedPercent)), "<= 3 %", Median(floodedPercent) <= 3.0});
        // The line calms down before the next condition.
        std::this_thread::sleep_for(1s);
      }

      const std::optional<long> peak = PeakResidentKiB(rig.panel().pid());
      if (peakPolling) {
        rows.push_back({"panel peak resident memory, polling, " + where,
                        Format("%.1f MB", static_cast<double>(*peakPolling) / 1024.0), "<= 60 MB",
                        static_cast<double>(*peakPolling) / 1024.0 <= 60.0});
      }
      if (peak) {
        rows.push_back({"panel peak resident memory, after the floods, " + where,
                        Format("%.1f MB", static_cast<double>(*peak) / 1024.0), "<= 60 MB",
                        static_cast<double>(*peak) / 1024.0 <= 60.0});
      }
      rig.StopPanel();
    }
    PrintConditions(conditions);
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
  const halvorn::perf::Options options =
      halvorn::perf::ParseOptions(std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
  if (options.help) {
    std::fputs(halvorn::perf::kUsage, stdout);
    return 0;
  }
  if (!options.ok) {
    std::fputs(halvorn::perf::kUsage, stderr);
    return 2;
  }
  // The latency part runs a window of its own, offscreen like the children.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  halvorn::perf::TimingApplication application(qtArgc, argv);
  return halvorn::perf::Run(options);
}
