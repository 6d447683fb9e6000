#include "SimPlant.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "AnswerText.h"

namespace halvorn::sim {
namespace {

// Volumes by the gauge that reads them (index = gauge number - 1).
constexpr int kBuffer1 = 0, kBuffer2 = 1, kBuffer3 = 2, kLeftManifold = 3, kRightManifold = 4,
              kPumpingLine = 5, kBackingLine = 6, kVessel = 7;
constexpr int kVolumeCount = kGaugeCount;

constexpr int kCV1 = 15;
constexpr int kCV2 = 16;

// A valve between two volumes.
struct Passage {
  int valve;
  int a;
  int b;
};
constexpr std::array<Passage, 6> kPassages{{
    {1, kLeftManifold, kPumpingLine},
    {2, kLeftManifold, kRightManifold},
    {10, kLeftManifold, kBuffer3},
    {11, kLeftManifold, kBuffer2},
    {12, kLeftManifold, kBuffer1},
    {14, kRightManifold, kPumpingLine},
}};

// A valve that admits gas from a supply into a volume.
struct Inlet {
  int valve;
  int volume;
};
constexpr std::array<Inlet, 6> kInlets{{
    {5, kRightManifold},
    {6, kLeftManifold},
    {7, kLeftManifold},
    {8, kLeftManifold},
    {9, kRightManifold},
    {13, kRightManifold},
}};

// Seconds for a pump to reach full speed from standstill, and to run down.
constexpr std::array<double, kPumpCount> kSpinUpSeconds{3.0, 3.0, 6.0};
constexpr std::array<double, kPumpCount> kRunDownSeconds{2.0, 2.0, 5.0};

// The TMP compresses only at half speed or more and with its backing line
// below this; otherwise gas passes through it as through a pipe.
constexpr double kTurboMinSpeed = 0.5;
constexpr double kTurboMaxBackingMbar = 1.0;

// Where pumping settles: ultimate pressures and what each sccm of gas into
// the vessel adds at full speed.
constexpr double kRotaryUltimateMbar = 2e-3;
constexpr double kRotaryMbarPerSccm = 1e-2;
constexpr double kTurboUltimateMbar = 5e-8;
constexpr double kTurboMbarPerSccm = 2e-5;
constexpr double kThrottledSupplyMbar = 5.0;  // supply open into a pumped volume

// Time constants (seconds) of the approach in the logarithm of pressure.
constexpr double kRoughingSeconds = 1.5;
constexpr double kTurboSeconds = 2.0;
constexpr double kFillingSeconds = 0.5;
constexpr double kGasLoadFillSeconds = 10.0;
constexpr double kEqualisingSeconds = 0.5;
constexpr double kLeakSeconds = 60.0;

// Flow controllers: first-order approach, with a floor on the rate so a
// reading settles exactly on its setpoint in well under two seconds.
constexpr double kFlowSeconds = 0.3;
constexpr double kFlowMinRatePerSecond = 2.0;

constexpr double kElectrodeTravelSeconds = 3.0;
constexpr double kLongestStep = 0.02;

double Approach(double value, double target, double seconds, double timeConstant) {
  return target + (value - target) * std::exp(-seconds / timeConstant);
}

// Moves the pressure's logarithm towards the target's.
double ApproachLog(double pressure, double target, double seconds, double timeConstant) {
  return std::pow(10.0, Approach(std::log10(pressure), std::log10(target), seconds, timeConstant));
}

// Union-find over the volumes, for the sets that open valves join.
class Joins {
 public:
  Joins() { std::iota(m_parent.begin(), m_parent.end(), 0); }
  int Root(int v) {
    while (m_parent[static_cast<std::size_t>(v)] != v) v = m_parent[static_cast<std::size_t>(v)];
    return v;
  }
  void Join(int a, int b) { m_parent[static_cast<std::size_t>(Root(a))] = Root(b); }

 private:
  std::array<int, kVolumeCount> m_parent{};
};

// Reads a run of decimal digits of exactly `width` characters.
std::optional<int> Digits(std::string_view text, std::size_t width) {
  if (text.size() != width) return {};
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return {};
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string ValveName(int number) {
  if (number == kCV1) return "CV1";
  if (number == kCV2) return "CV2";
  return "V" + std::to_string(number);
}

constexpr std::array<const char*, kPumpCount> kPumpNames{"rotary1", "rotary2", "tmp"};

std::size_t At(int oneBased) { return static_cast<std::size_t>(oneBased - 1); }

}  // namespace

const char* PumpStateName(PumpState state) {
  // In PumpState's order.
  constexpr std::array<const char*, 4> kNames = {"stopped", "accelerating", "started", "stopping"};
  static_assert(static_cast<std::size_t>(PumpState::Stopping) + 1 == kNames.size());
  const auto index = static_cast<std::size_t>(state);
  assert(index < kNames.size());
  return kNames[index];
}

SimPlant::SimPlant() { m_pressure.fill(kAtmosphereMbar); }

void SimPlant::Advance(double seconds) {
  if (!(seconds > 0.0)) return;
  while (seconds > 0.0) {
    const double step = std::min(seconds, kLongestStep);
    Step(step);
    seconds -= step;
  }
}

void SimPlant::Step(double seconds) {
  m_elapsed += seconds;
  StepPumps(seconds);
  StepPressures(seconds);
  for (std::size_t i = 0; i < m_flow.size(); ++i) {
    const double target = m_setpoint[i];
    const double moved = Approach(m_flow[i], target, seconds, kFlowSeconds);
    const double floor = kFlowMinRatePerSecond * seconds;
    if (std::abs(target - m_flow[i]) <= floor) {
      m_flow[i] = target;
    } else if (std::abs(moved - m_flow[i]) < floor) {
      m_flow[i] += target > m_flow[i] ? floor : -floor;
    } else {
      m_flow[i] = moved;
    }
  }
  const double travel = seconds / kElectrodeTravelSeconds;
  m_electrode = std::clamp(m_electrode + (m_electrodeIn ? travel : -travel), 0.0, 1.0);
}

void SimPlant::StepPumps(double seconds) {
  for (std::size_t i = 0; i < m_pumps.size(); ++i) {
    PumpModel& pump = m_pumps[i];
    if (pump.on) {
      pump.speed = std::min(1.0, pump.speed + seconds / kSpinUpSeconds[i]);
    } else {
      pump.speed = std::max(0.0, pump.speed - seconds / kRunDownSeconds[i]);
    }
  }
}

void SimPlant::StepPressures(double seconds) {
  const auto p = [this](int volume) -> double& { return m_pressure[static_cast<std::size_t>(volume)]; };
  const double turboSpeed = m_pumps[At(kTurbo)].speed;
  const bool turboCompresses =
      turboSpeed >= kTurboMinSpeed && p(kBackingLine) < kTurboMaxBackingMbar;

  Joins joins;
  joins.Join(kVessel, kPumpingLine);
  for (const Passage& passage : kPassages) {
    if (ValveOpen(passage.valve)) joins.Join(passage.a, passage.b);
  }
  if (ValveOpen(kCV1) && !turboCompresses) joins.Join(kPumpingLine, kBackingLine);

  double gasLoadSccm = 0.0;
  for (std::size_t i = 0; i < m_flow.size(); ++i) gasLoadSccm += m_flow[i] / 100.0 * kFlowFullScaleSccm[i];

  for (int root = 0; root < kVolumeCount; ++root) {
    if (joins.Root(root) != root) continue;
    const auto in = [&](int volume) { return joins.Root(volume) == root; };

    bool supply = false;
    for (const Inlet& inlet : kInlets) supply = supply || (ValveOpen(inlet.valve) && in(inlet.volume));
    double rough = 0.0;
    if (ValveOpen(kCV2) && in(kPumpingLine)) rough = std::max(rough, m_pumps[At(kRotary2)].speed);
    if (in(kBackingLine)) rough = std::max(rough, m_pumps[At(kRotary1)].speed);
    const double turbo =
        ValveOpen(kCV1) && turboCompresses && in(kPumpingLine) ? turboSpeed : 0.0;
    const double gas = in(kVessel) ? gasLoadSccm : 0.0;

    double target = 0.0;
    double timeConstant = 0.0;
    if (supply && (rough > 0.0 || turbo > 0.0)) {
      target = kThrottledSupplyMbar;
      timeConstant = kRoughingSeconds;
    } else if (supply) {
      target = kSupplyMbar;
      timeConstant = kFillingSeconds;
    } else if (turbo > 0.0) {
      target = (kTurboUltimateMbar + gas * kTurboMbarPerSccm) / turbo;
      timeConstant = kTurboSeconds;
    } else if (rough > 0.0) {
      // From atmosphere at standstill to the ultimate pressure at full speed.
      const double settled = kRotaryUltimateMbar + gas * kRotaryMbarPerSccm;
      target = std::pow(10.0, std::log10(kAtmosphereMbar) +
                                  rough * (std::log10(settled) - std::log10(kAtmosphereMbar)));
      timeConstant = kRoughingSeconds;
    } else if (gas > 0.0) {
      target = kAtmosphereMbar;
      timeConstant = kGasLoadFillSeconds;
    }

    if (timeConstant > 0.0) {
      for (int v = 0; v < kVolumeCount; ++v) {
        if (in(v)) p(v) = ApproachLog(p(v), target, seconds, timeConstant);
      }
      continue;
    }
    // Closed off: the joined volumes even out, then all leak up slowly.
    double sum = 0.0;
    int count = 0;
    for (int v = 0; v < kVolumeCount; ++v) {
      if (in(v)) {
        sum += p(v);
        ++count;
      }
    }
    const double mean = sum / count;
    for (int v = 0; v < kVolumeCount; ++v) {
      if (!in(v)) continue;
      p(v) = ApproachLog(p(v), mean, seconds, kEqualisingSeconds);
      if (p(v) < kAtmosphereMbar) p(v) = ApproachLog(p(v), kAtmosphereMbar, seconds, kLeakSeconds);
    }
  }
}

std::optional<std::string> SimPlant::Apply(std::string_view text) {
  if (text.size() < 4 || text[3] != '_') return {};
  const std::optional<int> code = Digits(text.substr(0, 3), 3);
  if (!code) return {};
  const std::string_view argument = text.substr(4);
  switch (*code) {
    case 20:
    case 21: {
      const std::optional<int> valve = Digits(argument, 2);
      if (!valve || *valve < 1 || *valve > kValveCount) return {};
      const bool open = *code == 20;
      m_valveOpen[At(*valve)] = open;
      return ValveName(*valve) + (open ? " open" : " closed");
    }
    case 30:
    case 31:
      if (argument != "01") return {};
      m_uvShutterOpen = *code == 30;
      return m_uvShutterOpen ? "UV lamp shutter open" : "UV lamp shutter closed";
    case 40:
    case 41: {
      const std::optional<int> pump = Digits(argument, 1);
      if (!pump || *pump < 1 || *pump > kPumpCount) return {};
      m_pumps[At(*pump)].on = *code == 40;
      return std::string(kPumpNames[At(*pump)]) + (*code == 40 ? " switched on" : " switched off");
    }
    case 70: {
      const std::optional<int> mfc = Digits(argument.substr(0, 1), 1);
      const std::optional<int> value = argument.size() == 4 ? Digits(argument.substr(1), 3) : std::nullopt;
      if (!mfc || !value || *mfc < 1 || *mfc > kFlowCount || *value > 100) return {};
      m_setpoint[At(*mfc)] = *value;
      return "MFC" + std::to_string(*mfc) + " setpoint " + std::to_string(*value) + "%";
    }
    case 80:
      if (argument != "0" && argument != "1") return {};
      m_electrodeIn = argument == "1";
      return m_electrodeIn ? "electrode moving in" : "electrode moving out";
    case 120:
      if (argument != "0" && argument != "1") return {};
      m_cooling = argument == "1";
      return m_cooling ? "cooling on" : "cooling off";
    default:
      return {};
  }
}

std::optional<std::string> SimPlant::Answer(std::string_view commandText) const {
  const std::optional<Group> group = GroupOfPoll(commandText);
  if (!group) return {};
  return AnswerText(*group);
}

std::string SimPlant::AnswerText(Group group) const {
  switch (group) {
    case Group::Valves: {
      std::array<unsigned char, kValveCount> states{};
      for (int v = 1; v <= kValveCount; ++v) states[At(v)] = ValveByte(v);
      return ValveAnswerText(states);
    }
    case Group::Pumps:
      return PumpAnswerText({PumpByte(1), PumpByte(2), PumpByte(3)});
    case Group::Gauges: {
      std::array<unsigned char, kGaugeCount> statuses{};
      std::array<std::string, kGaugeCount> digits{};
      for (int g = 1; g <= kGaugeCount; ++g) {
        statuses[At(g)] = kReadingValid;
        digits[At(g)] = GaugeDigits(Pressure(g), KindOfGauge(g));
      }
      return GaugeAnswerText(statuses, digits);
    }
    case Group::Flows: {
      std::array<unsigned char, kFlowCount> statuses{};
      std::array<std::string, kFlowCount> percents{};
      for (int m = 1; m <= kFlowCount; ++m) {
        statuses[At(m)] = kReadingValid;
        percents[At(m)] = FlowPercentText(FlowReading(m));
      }
      return FlowAnswerText(statuses, percents);
    }
    case Group::Uptime:
      return UptimeAnswerText(UptimeSeconds());
    case Group::Electrode:
      return ElectrodeAnswerText(ElectrodeByte());
    case Group::Cooling:
      return CoolingAnswerText(m_cooling ? kCoolingRunning : kCoolingStopped);
  }
  return {};
}

unsigned char SimPlant::ValveByte(int number) const {
  return ValveOpen(number) ? kValveOpen : kValveClosed;
}

unsigned char SimPlant::PumpByte(int number) const {
  switch (Pump(number)) {
    case PumpState::Stopped: return kPumpStopped;
    case PumpState::Accelerating: return kPumpAccelerating;
    case PumpState::Started: return kPumpStarted;
    case PumpState::Stopping: return kPumpStopping;
  }
  return kPumpStopped;
}

unsigned char SimPlant::ElectrodeByte() const {
  if (m_electrode <= 0.0) return kElectrodeOut;
  if (m_electrode >= 1.0) return kElectrodeIn;
  return kElectrodeMiddle;
}

bool SimPlant::ValveOpen(int number) const {
  return number >= 1 && number <= kValveCount && m_valveOpen[At(number)];
}

PumpState SimPlant::Pump(int number) const {
  if (number < 1 || number > kPumpCount) return PumpState::Stopped;
  const PumpModel& pump = m_pumps[At(number)];
  if (pump.on) return pump.speed >= 1.0 ? PumpState::Started : PumpState::Accelerating;
  return pump.speed > 0.0 ? PumpState::Stopping : PumpState::Stopped;
}

double SimPlant::PumpSpeed(int number) const {
  return number >= 1 && number <= kPumpCount ? m_pumps[At(number)].speed : 0.0;
}

double SimPlant::Pressure(int gauge) const {
  return gauge >= 1 && gauge <= kGaugeCount ? m_pressure[At(gauge)] : 0.0;
}

int SimPlant::FlowSetpoint(int mfc) const {
  return mfc >= 1 && mfc <= kFlowCount ? m_setpoint[At(mfc)] : 0;
}

double SimPlant::FlowReading(int mfc) const {
  return mfc >= 1 && mfc <= kFlowCount ? m_flow[At(mfc)] : 0.0;
}

double SimPlant::ElectrodePosition() const { return m_electrode; }
bool SimPlant::ElectrodeMovingIn() const { return m_electrodeIn; }
bool SimPlant::CoolingOn() const { return m_cooling; }
bool SimPlant::UvShutterOpen() const { return m_uvShutterOpen; }

long long SimPlant::UptimeSeconds() const {
  // Sums of short steps fall a hair short of whole seconds (0.05 s x 20).
  return static_cast<long long>(std::floor(m_elapsed + 1e-6));
}

std::string SimPlant::Dump() const {
  std::string out = "valves:";
  for (int v = 1; v <= kValveCount; ++v) out += " " + ValveName(v) + (ValveOpen(v) ? "=open" : "=closed");
  out += "\npumps:";
  for (int n = 1; n <= kPumpCount; ++n) {
    char speed[16];
    std::snprintf(speed, sizeof speed, "(%.0f%%)", PumpSpeed(n) * 100.0);
    out += std::string(" ") + kPumpNames[At(n)] + "=" + PumpStateName(Pump(n)) + speed;
  }
  out += "\ngauges (mBar):";
  for (int g = 1; g <= kGaugeCount; ++g) {
    char reading[32];
    std::snprintf(reading, sizeof reading, " G%d=%.3e", g, Pressure(g));
    out += reading;
  }
  out += "\nflows (reading/setpoint %):";
  for (int m = 1; m <= kFlowCount; ++m) {
    char reading[48];
    std::snprintf(reading, sizeof reading, " MFC%d=%.1f/%d", m, FlowReading(m), FlowSetpoint(m));
    out += reading;
  }
  std::string electrode = m_electrode >= 1.0 ? "in" : m_electrode <= 0.0 ? "out" : "middle";
  if (m_electrode > 0.0 && m_electrode < 1.0) {
    char travel[48];
    std::snprintf(travel, sizeof travel, " (%.0f%% in, moving %s)", m_electrode * 100.0,
                  m_electrodeIn ? "in" : "out");
    electrode += travel;
  }
  out += "\nelectrode: " + electrode +
         "; cooling: " + (m_cooling ? "running" : "stopped") +
         "; UV lamp shutter: " + (m_uvShutterOpen ? "open" : "closed") +
         "; uptime: " + std::to_string(UptimeSeconds()) + " s";
  return out;
}

}  // namespace halvorn::sim
