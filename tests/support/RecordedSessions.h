// Small records for the history viewer's tests, written row by row through
// the record's tables as the panel would: a short pump-down with an
// incident (a valve fault, a gauge fault, a lost port) at known times.
#pragma once

#include <cmath>
#include <string>

#include "RecordBuilder.h"

namespace halvorn::testing {

using history::Nanoseconds;
using history::RecordBuilder;

constexpr Nanoseconds S(double seconds) { return static_cast<Nanoseconds>(seconds * 1e9); }

// What happens when, in seconds from the session's start.
struct Incident {
  static constexpr double kV5Command = 60, kV5Open = 61;
  static constexpr double kG3FaultFrom = 100, kG3FaultTo = 110;
  static constexpr double kV5FaultFrom = 120, kV5FaultTo = 130;
  static constexpr double kSetpoint = 30, kRejectedSetpoint = 40;
  static constexpr double kLost = 200, kGrey = 203, kReopened = 220;
  static constexpr double kGapFrom = 148.5, kGapTo = 150;  // items lost; no device is written again after it
  static constexpr double kEnd = 300;
  static constexpr double kPoll = 1.4;  // every group is asked once a cycle
};

// G1..G5 read 1000 * exp(-t/30) mBar until they fall below 1 mBar; G6..G8
// start from 1 mBar and fall twice as fast, below 1e-4 mBar after 140 s.
inline double PumpDown(int gauge, double seconds) {
  return gauge <= 5 ? 1000.0 * std::exp(-seconds / 30.0) : std::exp(-seconds / 15.0);
}

inline void WriteIncidentSession(RecordBuilder& b, Nanoseconds startWall) {
  using I = Incident;
  b.startSession(startWall);
  b.begin();
  b.event(0, "opened", 1, "Port 1 opened");
  for (const char* pump : {"ROTARY1", "ROTARY2"}) b.deviceCaption(S(0.5), pump, "started");
  b.deviceCaption(S(0.5), "V5", "closed");
  b.action(S(I::kSetpoint), "cmdMFC1_send_Click", "MFC1", "50");
  b.action(S(I::kRejectedSetpoint), "cmdMFC1_send_Click", "MFC1", "5.5");
  b.action(S(I::kV5Command), "mnuV5Open_Click", "V5", "Open");
  b.deviceCaption(S(I::kV5Open), "V5", "open");
  b.deviceCaption(S(I::kV5FaultFrom), "V5", "no response from icpcon bus");
  b.deviceCaption(S(I::kV5FaultTo), "V5", "open");
  b.event(S(I::kLost), "lost", 1, "Port 1 lost");
  b.event(S(I::kLost + 1), "warning", 3, "Warning  3: pressure interlock");
  for (int n = 1; n <= 8; ++n) b.gaugeNoData(S(I::kGrey), n);
  b.flowNoData(S(I::kGrey), 1);
  b.deviceNoData(S(I::kGrey), "V5", "open");
  b.event(S(I::kReopened), "opened", 1, "Port 1 opened");
  b.event(S(I::kGapTo), "gap", 12, "record fell behind", S(I::kGapFrom));
  b.event(S(10), "counters", std::nullopt, "good 50 crc 0");
  // The panel stores changes only: a fault or a bound shown again is no row.
  enum class Shown { Reading, Fault, Below, Grey };
  Shown shown[9] = {};
  for (double s = 1.0; s <= I::kEnd; s += I::kPoll) {
    if (s >= I::kLost && s < I::kReopened + 1) {  // no answers while the port is lost
      for (Shown& g : shown) g = Shown::Grey;
      continue;
    }
    for (int n = 1; n <= 8; ++n) {
      const double p = PumpDown(n, s);
      const Shown now = n == 3 && s >= I::kG3FaultFrom && s < I::kG3FaultTo ? Shown::Fault
                        : p < (n <= 5 ? 1.0 : 1e-4)                         ? Shown::Below
                                                                            : Shown::Reading;
      if (now != Shown::Reading && now == shown[n]) continue;
      shown[n] = now;
      if (now == Shown::Fault) b.gaugeFault(S(s), n, "no response from pfeiffer bus");
      if (now == Shown::Below) b.gaugeBelowRange(S(s), n);
      if (now == Shown::Reading) b.gaugeReading(S(s), n, p);
    }
    b.flowReading(S(s + 0.2), 1, s < I::kSetpoint ? 0.0 : 50.0);
  }
  b.endSession(S(I::kEnd), true);
  b.commit();
}

// The alarm journal of the incident, as a panel with its alarms on keeps
// it, into the session just written: G3's fault returns before it is
// acknowledged, V5's is acknowledged while it stands, the lost port is
// acknowledged after it came back, the greyed gauges are shelved for a
// while, and a controller warning still stands at the end (5 alarms, 4
// acknowledged after 14.8 s, 4.8 s, 30 s and 37 s).
inline void WriteIncidentAlarms(RecordBuilder& b) {
  using I = Incident;
  const std::string user = "jdoe";
  b.alarm(S(I::kG3FaultFrom + 0.2), "G3", "raised", "medium", "no response from pfeiffer bus");
  b.alarm(S(I::kG3FaultTo + 0.2), "G3", "returned", "medium", "no response from pfeiffer bus");
  b.alarm(S(I::kG3FaultFrom + 15), "G3", "acknowledged", "medium", "no response from pfeiffer bus", {}, {}, user);
  b.alarm(S(I::kG3FaultFrom + 15), "G3", "cleared", "medium", "no response from pfeiffer bus");
  b.alarm(S(I::kV5FaultFrom + 0.2), "V5", "raised", "medium", "no response from icpcon bus");
  b.alarm(S(I::kV5FaultFrom + 5), "V5", "acknowledged", "medium", "no response from icpcon bus", {}, {}, user);
  b.alarm(S(I::kV5FaultTo + 0.2), "V5", "returned", "medium", "no response from icpcon bus");
  b.alarm(S(I::kV5FaultTo + 0.2), "V5", "cleared", "medium", "no response from icpcon bus");
  b.alarm(S(I::kLost), "PORT", "raised", "high", "Port 1 lost");
  b.alarm(S(I::kGrey), "ANSWERS-GAUGES", "raised", "low", "no answers: gauges");
  b.alarm(S(I::kGrey + 2), "ANSWERS-GAUGES", "shelved", "low", "no answers: gauges", "port lost, known",
          S(I::kGrey + 2 + 900), user);
  b.alarm(S(I::kGrey + 7), "ANSWERS-GAUGES", "unshelved", "low", "no answers: gauges", {}, {}, user);
  b.alarm(S(I::kReopened), "PORT", "returned", "high", "Port 1 lost");
  b.alarm(S(I::kReopened + 1), "ANSWERS-GAUGES", "returned", "low", "no answers: gauges");
  b.alarm(S(I::kLost + 30), "PORT", "acknowledged", "high", "Port 1 lost", {}, {}, user);
  b.alarm(S(I::kLost + 30), "PORT", "cleared", "high", "Port 1 lost");
  b.alarm(S(I::kGrey + 37), "ANSWERS-GAUGES", "acknowledged", "low", "no answers: gauges", {}, {}, user);
  b.alarm(S(I::kGrey + 37), "ANSWERS-GAUGES", "cleared", "low", "no answers: gauges");
  b.alarm(S(250), "WARNING-105", "raised", "low", "105 warning, \"vent\", check");
}

}  // namespace halvorn::testing
