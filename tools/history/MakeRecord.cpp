// halvorn-make-record OUT [--hours H | --days D] [--keep DAYS] [--start ISO]:
// writes a record of a plant polled five times a second for H hours (24 by
// default) or D days, straight into the record's tables: a pump-down from
// atmosphere in the first minutes, flows set by the operator now and then
// through the day, and every day a valve fault, a gauge fault and a lost
// port, with the alarm journal of those faults as a panel with its alarms
// on keeps it, and the per-minute and per-hour summaries of every gauge and
// flow as the panel's writer makes them. It is the long record the viewer
// is measured on and the stand-in for a real session in the README's
// screenshots.
//
// With --keep, the record is what a panel run with --record-keep DAYS
// holds at the session's end: the traffic and every reading only for the
// last DAYS days; before that the first reading of each gauge and flow and
// every change of a reading's quality, the valves' and pumps' states, the
// operator's actions and commands, the events and alarms, and the
// summaries. Where no raw rows are kept the plant is looked at every
// kCoarseStep instead of five times a second (its summaries are made from
// those readings), so that a year is made in minutes.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "RecordBuilder.h"
#include "TimeText.h"
#include "panel/Devices.h"
#include "record/Summary.h"

namespace {

using halvorn::history::Nanoseconds;
using halvorn::history::RecordBuilder;
using halvorn::record::Direction;
using halvorn::record::Quality;
using halvorn::record::Statement;
using halvorn::record::Summariser;

constexpr Nanoseconds kSecond = halvorn::history::kNanosecondsPerSecond;
constexpr Nanoseconds kTick = kSecond / 5;  // Timer1: one poll request every 200 ms
constexpr Nanoseconds kCoarseStep = 5 * kSecond;
constexpr Nanoseconds kMinute = 60 * kSecond;
constexpr Nanoseconds kDay = 86'400 * kSecond;
constexpr double kDaySeconds = 86'400;

struct Scenario {
  double hours = 24.0;
  bool days = false;  // given as --days: the uptime once a minute, as the panel keeps it
  std::optional<double> keepDays;
  Nanoseconds startWall = 0;
};

// Seconds of the session at which things happen; the faults and the lost
// port come back at the same time every day.
constexpr double kRotariesOn = 30, kRoughingOpen = 40, kTurboOn = 240, kTurboOpen = 330;
constexpr double kValveFault = 40 * 60, kValveFaultEnd = kValveFault + 30;
constexpr double kV5Open = 30 * 60, kGaugeFault = 45 * 60, kGaugeFaultEnd = kGaugeFault + 20;
constexpr double kPortLost = 50 * 60, kPortBack = kPortLost + 60;

// Pressure in mBar of gauge `n` at `s` seconds: atmosphere until the rotary
// pumps start, roughing down over minutes, the turbo pump below that; gas
// let in through V5 raises the vessel's gauges.
double Pressure(int n, double s, double flowSccm) {
  const double atmosphere = 1013.0;
  if (s < kRoughingOpen) return atmosphere;
  const double roughing = std::max(atmosphere * std::exp(-(s - kRoughingOpen) / 35.0), 0.02);
  if (n <= 2) return std::max(roughing, 1.8 + n * 0.4 + flowSccm * 0.004);  // backing line, piezo gauges
  if (n <= 5 || s < kTurboOpen) return roughing * (1.0 + 0.1 * n);
  const double ultimate = 1.5e-4 * (1.0 + 0.4 * (n - 6)) + flowSccm * 2e-6;
  return std::max(roughing * std::exp(-(s - kTurboOpen) / 60.0), ultimate);
}

// The reading as its four shown digits give it.
double RoundToCaption(double mbar) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3e", mbar);
  return std::strtod(text, nullptr);
}

struct SetpointChange {
  double hour;
  int mfc;
  int percent;
};
constexpr SetpointChange kSetpoints[] = {{0.6, 2, 20}, {2.0, 2, 35},  {3.0, 1, 50}, {5.5, 2, 0}, {6.0, 4, 10},
                                         {9.0, 4, 0},  {12.0, 3, 60}, {18.0, 3, 0}, {20.0, 1, 0}};

int Run(const std::string& path, const Scenario& scenario) {
  RecordBuilder record(path);
  const std::int64_t session = record.startSession(scenario.startWall);
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 1.0);
  const Nanoseconds end = static_cast<Nanoseconds>(scenario.hours * 3600.0 * kSecond);
  // Raw rows from here on, as the panel's retention leaves them at the end:
  // a whole number of coarse steps, so that both pacings meet.
  Nanoseconds rawFrom = 0;
  if (scenario.keepDays) {
    rawFrom = std::max<Nanoseconds>(0, end - static_cast<Nanoseconds>(*scenario.keepDays * kDay));
    rawFrom -= rawFrom % kCoarseStep;
  }

  // The summaries, as the writer makes them from what it records.
  Statement summaryInsert = halvorn::record::PrepareSummaryInsert(record.database());
  const Summariser::Sink toSummary = [&](const halvorn::record::SummaryRow& row) {
    halvorn::record::StoreSummary(summaryInsert, session, row);
  };
  Summariser summariser;
  std::array<std::optional<Quality>, halvorn::record::kSummarisedDevices.size()> lastQuality;
  // A gauge's or flow's reading: always to the summaries; to device_state
  // where the panel keeps raw rows, else only a device's first row and
  // where its quality changes, as retention leaves them.
  const auto reading = [&](Nanoseconds t, const std::string& device, Quality quality, std::optional<double> value,
                           const std::function<void()>& write) {
    summariser.Reading(device, t, scenario.startWall + t, quality, value, toSummary);
    const auto index = static_cast<std::size_t>(halvorn::record::SummarisedIndex(device));
    if (t >= rawFrom || lastQuality[index] != quality) write();
    lastQuality[index] = quality;
  };

  std::array<double, 4> setpoint{}, flow{};
  std::array<std::string, halvorn::history::kTimelineDevices.size()> shown;
  auto show = [&](Nanoseconds t, std::string_view device, const std::string& caption) {
    const int band = halvorn::history::TimelineIndex(device);
    if (shown[static_cast<std::size_t>(band)] == caption) return;  // the panel stores changes only
    shown[static_cast<std::size_t>(band)] = caption;
    record.deviceCaption(t, std::string(device), caption);
  };
  auto command = [&](Nanoseconds t, const std::string& procedure, const std::string& device,
                     const std::string& argument) {
    record.action(t, procedure, device, argument);
    if (t >= rawFrom) record.traffic(t, Direction::Sent, procedure + "\r");
  };

  // What each answer shows.
  auto valves = [&](Nanoseconds t, double s, double day) {
    for (const std::string_view v : {"V1", "V2", "V3", "V4", "V6", "V7", "V8", "V9", "V10", "V11", "V12", "V13", "V14"})
      show(t, v, "closed");
    show(t, "CV2", s > kRoughingOpen + 1 && s < kTurboOpen + 1 ? "open" : "closed");
    show(t, "CV1", s > kTurboOpen + 2 ? "open" : "closed");
    show(t, "V5",
         day > kValveFault && day < kValveFaultEnd ? "no response from icpcon bus"
         : s > kV5Open + 1                         ? "open"
                                                   : "closed");
  };
  auto pumps = [&](Nanoseconds t, double s) {
    show(t, "ROTARY1", s > kRotariesOn + 1 ? "started" : "stopped");
    show(t, "ROTARY2", s > kRotariesOn + 2 ? "started" : "stopped");
    show(t, "TMP", s < kTurboOn + 1 ? "stopped" : s < kTurboOn + 90 ? "accelerating" : "started");
  };
  bool gaugeFaulted = false;
  auto gauges = [&](Nanoseconds t, double s, double day) {
    double sccm = 0;
    for (std::size_t i = 0; i < flow.size(); ++i) sccm += flow[i] / 100.0 * halvorn::history::kFlowFullScaleSccm[i];
    if (s < kV5Open) sccm = 0;
    for (int n = 1; n <= 8; ++n) {
      const std::string name = "G" + std::to_string(n);
      if (n == 3 && day > kGaugeFault && day < kGaugeFaultEnd) {
        // The same fault again is no change, and the panel stores none.
        if (!gaugeFaulted) {
          reading(t, name, Quality::Fault, std::nullopt,
                  [&] { record.gaugeFault(t, n, "no response from pfeiffer bus"); });
        }
        gaugeFaulted = true;
        continue;
      }
      if (n == 3) gaugeFaulted = false;
      const double p = Pressure(n, s, sccm) * (1.0 + 0.01 * noise(random));
      const double lowest = halvorn::kGauges[static_cast<std::size_t>(n - 1)].lowestMbar;
      if (p < lowest) {
        reading(t, name, Quality::BelowRange, std::nullopt, [&] { record.gaugeBelowRange(t, n); });
      } else {
        const double mbar = RoundToCaption(p);
        reading(t, name, Quality::Valid, mbar, [&] { record.gaugeReading(t, n, mbar); });
      }
    }
  };
  auto flows = [&](Nanoseconds t) {
    for (int n = 1; n <= 4; ++n) {
      const double percent =
          std::round(std::max(0.0, flow[static_cast<std::size_t>(n - 1)] + 0.1 * noise(random)) * 10.0) / 10.0;
      reading(t, "MFC" + std::to_string(n), Quality::Valid, percent, [&] { record.flowReading(t, n, percent); });
    }
  };
  auto uptime = [&](Nanoseconds t) {
    const std::string seconds = std::to_string(t / kSecond);
    record.state(t, "UPTIME", seconds, std::nullopt, std::nullopt, Quality::NotANumber, std::nullopt);
  };

  record.begin();
  record.event(0, "recording", std::nullopt, "recording started");
  record.event(0, "opened", 1, "Port 1 opened");
  long good = 0;
  std::size_t nextSetpoint = 0;
  double setpointDay = 0;
  bool linkUp = true;
  Nanoseconds step = kTick;
  // Up to the session's end, the last answer included.
  for (Nanoseconds t = 0; t + kTick <= end; t += step) {
    step = t < rawFrom ? kCoarseStep : kTick;
    const Nanoseconds tick = t / kTick;
    const double s = static_cast<double>(t) / kSecond;
    const double stepSeconds = static_cast<double>(step) / kSecond;
    // The time of day: what comes back every day is told by it.
    const double dayStart = std::floor(s / kDaySeconds) * kDaySeconds;
    const double day = s - dayStart;
    // The operator, at the first look at or after the time.
    const auto at = [&](double when) { return s >= when && s - stepSeconds < when; };
    const auto daily = [&](double when) { return at(dayStart + when); };
    if (at(kRotariesOn)) {
      command(t, "mnuRotary1On_Click", "ROTARY1", "Switch on");
      command(t + kSecond / 2, "mnuRotary2On_Click", "ROTARY2", "Switch on");
    }
    if (at(kRoughingOpen)) command(t, "mnuCV2Open_Click", "CV2", "Open");
    if (at(kTurboOn)) command(t, "mnuTmpOn_Click", "TMP", "Switch on");
    if (at(kTurboOpen)) {
      command(t, "mnuCV2Close_Click", "CV2", "Close");
      command(t + kSecond, "mnuCV1Open_Click", "CV1", "Open");
    }
    if (at(kV5Open)) command(t, "mnuV5Open_Click", "V5", "Open");
    if (daily(kPortLost)) {
      record.event(t, "lost", 1, "Port 1 lost");
      linkUp = false;
    }
    if (daily(kPortBack)) {
      command(t, "cmdConnect_Click", "", "Connect");
      record.event(t, "opened", 1, "Port 1 opened");
      linkUp = true;
    }
    if (daily(kPortLost + 3)) {  // the watchdog greys every group
      for (int n = 1; n <= 8; ++n)
        reading(t, "G" + std::to_string(n), Quality::NoData, std::nullopt, [&] { record.gaugeNoData(t, n); });
      for (int n = 1; n <= 4; ++n)
        reading(t, "MFC" + std::to_string(n), Quality::NoData, std::nullopt, [&] { record.flowNoData(t, n); });
      for (std::size_t d = 0; d < shown.size(); ++d) {
        record.deviceNoData(t, std::string(halvorn::history::kTimelineDevices[d]), shown[d]);
        shown[d] = "(grey)";
      }
    }
    // The day's setpoints, again every day.
    if (dayStart != setpointDay) {
      setpointDay = dayStart;
      nextSetpoint = 0;
    }
    while (nextSetpoint < std::size(kSetpoints) && day >= kSetpoints[nextSetpoint].hour * 3600.0) {
      const SetpointChange& c = kSetpoints[nextSetpoint++];
      const std::string mfc = "MFC" + std::to_string(c.mfc);
      command(t, "cmd" + mfc + "_send_Click", mfc, std::to_string(c.percent));
      setpoint[static_cast<std::size_t>(c.mfc - 1)] = c.percent;
    }
    const double approach = 1.0 - std::pow(0.95, static_cast<double>(step / kTick));
    for (std::size_t i = 0; i < flow.size(); ++i) flow[i] += (setpoint[i] - flow[i]) * approach;

    if (!linkUp) continue;
    if (scenario.days && t % kMinute == 0) uptime(t);
    if (t % kMinute == 0) record.event(t, "counters", std::nullopt, "good " + std::to_string(good) + " crc 0");
    if (t % (4000 * kSecond) == 0) {
      record.endSession(t, false);
      record.commit();
      record.begin();
    }
    if (t < rawFrom) {
      // Where no raw rows are kept: a look at every group now and then.
      good += step / kTick;
      valves(t, s, day);
      pumps(t, s);
      gauges(t, s, day);
      flows(t);
      continue;
    }
    const int pollStep = static_cast<int>(tick % 7);
    static constexpr const char* kPolls[] = {"061_246", "062_247", "060_245", "063_248",
                                             "010_240", "081_248", "121_243"};
    record.traffic(t, Direction::Sent, std::string(kPolls[pollStep]) + "\r");
    const Nanoseconds answered = t + 15'000'000;
    ++good;
    switch (pollStep) {
      case 0:
        record.traffic(answered, Direction::Received, std::string(23, '\x17') + "\r");
        valves(answered, s, day);
        break;
      case 1:
        record.traffic(answered, Direction::Received, std::string(10, '+') + "\r");
        pumps(answered, s);
        break;
      case 2:
        record.traffic(answered, Direction::Received, std::string(63, '0') + "\r");
        gauges(answered, s, day);
        break;
      case 3:
        record.traffic(answered, Direction::Received, std::string(27, '0') + "\r");
        flows(answered);
        break;
      case 4:
        record.traffic(answered, Direction::Received, "010_" + std::to_string(tick / 5) + "000\r");
        if (!scenario.days) uptime(answered);
        break;
      default: record.traffic(answered, Direction::Received, "081_R000\r"); break;
    }
  }
  // What the faults raised, and what the operator did about them, every
  // day. The valve's alarm is acknowledged while it stands and clears as
  // it returns; the gauge's returns unacknowledged and clears on its
  // acknowledgement.
  struct Transition {
    double s;
    const char* point;
    const char* transition;
    const char* priority;
    const char* text;
  };
  const Transition journal[] = {
      {kValveFault + 0.2, "V5", "raised", "medium", "no response from icpcon bus"},
      {kValveFault + 20, "V5", "acknowledged", "medium", "no response from icpcon bus"},
      {kValveFaultEnd + 0.2, "V5", "returned", "medium", "no response from icpcon bus"},
      {kValveFaultEnd + 0.2, "V5", "cleared", "medium", "no response from icpcon bus"},
      {kGaugeFault + 0.2, "G3", "raised", "medium", "no response from pfeiffer bus"},
      {kGaugeFaultEnd + 0.2, "G3", "returned", "medium", "no response from pfeiffer bus"},
      {kGaugeFaultEnd + 40, "G3", "acknowledged", "medium", "no response from pfeiffer bus"},
      {kGaugeFaultEnd + 40, "G3", "cleared", "medium", "no response from pfeiffer bus"},
      {kPortLost, "PORT", "raised", "high", "Port 1 lost"},
      {kPortLost + 3, "ANSWERS-GAUGES", "raised", "low", "no answers: gauges"},
      {kPortLost + 3, "ANSWERS-VALVES", "raised", "low", "no answers: valves"},
      {kPortLost + 3, "ANSWERS-PUMPS", "raised", "low", "no answers: pumps"},
      {kPortLost + 3, "ANSWERS-FLOWS", "raised", "low", "no answers: flows"},
      {kPortLost + 15, "PORT", "acknowledged", "high", "Port 1 lost"},
      {kPortBack, "PORT", "returned", "high", "Port 1 lost"},
      {kPortBack, "PORT", "cleared", "high", "Port 1 lost"},
      {kPortBack + 1, "ANSWERS-GAUGES", "returned", "low", "no answers: gauges"},
      {kPortBack + 1, "ANSWERS-VALVES", "returned", "low", "no answers: valves"},
      {kPortBack + 1, "ANSWERS-PUMPS", "returned", "low", "no answers: pumps"},
      {kPortBack + 1, "ANSWERS-FLOWS", "returned", "low", "no answers: flows"},
      {kPortBack + 30, "ANSWERS-GAUGES", "acknowledged", "low", "no answers: gauges"},
      {kPortBack + 30, "ANSWERS-GAUGES", "cleared", "low", "no answers: gauges"},
      {kPortBack + 30, "ANSWERS-VALVES", "acknowledged", "low", "no answers: valves"},
      {kPortBack + 30, "ANSWERS-VALVES", "cleared", "low", "no answers: valves"},
      {kPortBack + 30, "ANSWERS-PUMPS", "acknowledged", "low", "no answers: pumps"},
      {kPortBack + 30, "ANSWERS-PUMPS", "cleared", "low", "no answers: pumps"},
      {kPortBack + 30, "ANSWERS-FLOWS", "acknowledged", "low", "no answers: flows"},
      {kPortBack + 30, "ANSWERS-FLOWS", "cleared", "low", "no answers: flows"},
  };
  for (Nanoseconds dayStart = 0; dayStart <= end; dayStart += kDay) {
    for (const Transition& j : journal) {
      const Nanoseconds t = dayStart + static_cast<Nanoseconds>(j.s * kSecond);
      if (t > end) break;
      const bool byOperator = std::string_view(j.transition) == "acknowledged";
      record.alarm(t, j.point, j.transition, j.priority, j.text, std::nullopt, std::nullopt,
                   byOperator ? std::optional<std::string>("operator") : std::nullopt);
    }
  }
  record.event(end, "closed", 1, "Port 1 closed");
  summariser.Finish(end, scenario.startWall + end, toSummary);
  record.endSession(end, true);
  // Summarised to the end, raw rows whole from where retention stopped.
  record.database()
      .Prepare("UPDATE session SET summarised_t_ns = ?1, raw_from_t_ns = ?2 WHERE id = ?3")
      .Bind(1, end)
      .Bind(2, rawFrom)
      .Bind(3, session)
      .Step();
  record.commit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Scenario scenario;
  std::string path;
  std::string start;
  bool hoursGiven = false, daysGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--hours" && i + 1 < argc && !daysGiven) {
      hoursGiven = true;
      scenario.hours = std::atof(argv[++i]);
    } else if (arg == "--days" && i + 1 < argc && !hoursGiven) {
      daysGiven = true;
      scenario.days = true;
      scenario.hours = std::atof(argv[++i]) * 24.0;
    } else if (arg == "--keep" && i + 1 < argc) {
      scenario.keepDays = std::atof(argv[++i]);
    } else if (arg == "--start" && i + 1 < argc) {
      start = argv[++i];
    } else if (!arg.starts_with("-") && path.empty()) {
      path = arg;
    } else {
      path.clear();
      break;
    }
  }
  if (path.empty() || !(scenario.hours > 0) || (scenario.keepDays && !(*scenario.keepDays > 0))) {
    std::fprintf(stderr,
                 "usage: halvorn-make-record OUT [--hours H | --days D] [--keep DAYS] [--start 2026-12-07T08:00:00]\n");
    return 2;
  }
  const Nanoseconds now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  scenario.startWall = now - static_cast<Nanoseconds>(scenario.hours * 3600.0 * kSecond);
  if (!start.empty()) {
    const auto parsed = halvorn::history::ParseTimeArgument(start, 0);
    if (!parsed) {
      std::fprintf(stderr, "halvorn-make-record: not a local time: %s\n", start.c_str());
      return 2;
    }
    scenario.startWall = *parsed;
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  try {
    return Run(path, scenario);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "halvorn-make-record: %s\n", e.what());
    return 1;
  }
}
