#include "RecordBuilder.h"

#include <cmath>
#include <cstdio>

#include "commands/Setpoints.h"
#include "link/CommandText.h"
#include "link/Frame.h"
#include "link/Protocol.h"
#include "panel/Devices.h"
#include "plant/StatusCodes.h"
#include "record/Schema.h"

namespace halvorn::history {

using record::Quality;
using record::Statement;

namespace {

record::Database Created(const std::string& path) {
  record::Database db(path, record::Database::Mode::ReadWriteCreate);
  record::CreateSchema(db);
  return db;
}

}  // namespace

RecordBuilder::RecordBuilder(const std::string& path)
    : m_db(Created(path)),
      m_state(m_db.Prepare(
          "INSERT INTO device_state(session, t_ns, wall_ns, device, text, detail, colour, quality, value)"
          " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")),
      m_action(m_db.Prepare(
          "INSERT INTO action(session, t_ns, wall_ns, procedure, device, argument) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")),
      m_event(m_db.Prepare(
          "INSERT INTO event(session, t_ns, wall_ns, kind, number, text, began_t_ns) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")),
      m_traffic(m_db.Prepare(
          "INSERT INTO traffic(session, t_ns, wall_ns, direction, bytes) VALUES (?1, ?2, ?3, ?4, ?5)")),
      m_alarm(m_db.Prepare(
          "INSERT INTO alarm(session, t_ns, wall_ns, point, transition, priority, text, reason, until_t_ns, user)"
          " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)")) {}

record::Statement& RecordBuilder::reuse(record::Statement& insert) {
  insert.Reset();
  return insert;
}

std::int64_t RecordBuilder::startSession(Nanoseconds startedWallNs) {
  m_db.Prepare("INSERT INTO session(started_wall_ns, version, command_line, port_map) VALUES (?1, '0.1', '', '')")
      .Bind(1, startedWallNs)
      .Step();
  m_session = m_db.LastInsertRowid();
  m_startedWallNs = startedWallNs;
  return m_session;
}

void RecordBuilder::endSession(Nanoseconds lastT, bool ended) {
  m_db.Prepare("UPDATE session SET last_t_ns = ?1, ended = ?2 WHERE id = ?3")
      .Bind(1, lastT)
      .Bind(2, ended ? 1 : 0)
      .Bind(3, m_session)
      .Step();
}

void RecordBuilder::begin() { m_db.Exec("BEGIN"); }
void RecordBuilder::commit() { m_db.Exec("COMMIT"); }

void RecordBuilder::state(Nanoseconds t, const std::string& device, const std::string& text,
                          const std::optional<std::string>& detail, std::optional<std::uint32_t> colour,
                          Quality quality, std::optional<double> value) {
  std::optional<std::int64_t> storedColour;
  if (colour) storedColour = *colour;
  reuse(m_state)
      .Bind(1, m_session)
      .Bind(2, t)
      .Bind(3, m_startedWallNs + t)
      .Bind(4, device)
      .Bind(5, text)
      .Bind(6, detail)
      .Bind(7, storedColour)
      .Bind(8, static_cast<int>(quality))
      .Bind(9, value)
      .Step();
}

void RecordBuilder::action(Nanoseconds t, const std::string& procedure, const std::string& device,
                           const std::string& argument) {
  Statement& insert = reuse(m_action);
  insert.Bind(1, m_session).Bind(2, t).Bind(3, m_startedWallNs + t).Bind(4, procedure).Bind(6, argument);
  if (device.empty()) {
    insert.BindNull(5);
  } else {
    insert.Bind(5, device);
  }
  insert.Step();
  // What the panel puts on the line for a setpoint it accepts, with the
  // port open: the viewer's setpoints come from these rows.
  const int flow = device.starts_with("MFC") && device.size() == 4 ? device[3] - '0' : 0;
  if (const auto setpoint = CheckSetpoint(argument); setpoint && flow >= 1 && flow <= 4 &&
                                                     procedure.starts_with("cmdMFC")) {
    const std::int64_t sentBy = m_db.LastInsertRowid();
    m_db.Prepare("INSERT INTO command(session, t_ns, wall_ns, action, bytes) VALUES (?1, ?2, ?3, ?4, ?5)")
        .Bind(1, m_session)
        .Bind(2, t)
        .Bind(3, m_startedWallNs + t)
        .Bind(4, sentBy)
        .BindBlob(5, BuildFrame(CommandText(operation::FlowSetpoint, ZeroPadded(flow, 1) + ZeroPadded(*setpoint, 3))))
        .Step();
  }
}

void RecordBuilder::event(Nanoseconds t, const std::string& kind, std::optional<std::int64_t> number,
                          const std::string& text, std::optional<Nanoseconds> began) {
  reuse(m_event)
      .Bind(1, m_session)
      .Bind(2, t)
      .Bind(3, m_startedWallNs + t)
      .Bind(4, kind)
      .Bind(5, number)
      .Bind(6, text)
      .Bind(7, began)
      .Step();
}

void RecordBuilder::traffic(Nanoseconds t, record::Direction direction, const std::string& bytes) {
  reuse(m_traffic)
      .Bind(1, m_session)
      .Bind(2, t)
      .Bind(3, m_startedWallNs + t)
      .Bind(4, static_cast<int>(direction))
      .BindBlob(5, bytes)
      .Step();
}

void RecordBuilder::alarm(Nanoseconds t, const std::string& point, const std::string& transition,
                         const std::string& priority, const std::string& text, const std::optional<std::string>& reason,
                         std::optional<Nanoseconds> until, const std::optional<std::string>& user) {
  reuse(m_alarm)
      .Bind(1, m_session)
      .Bind(2, t)
      .Bind(3, m_startedWallNs + t)
      .Bind(4, point)
      .Bind(5, transition)
      .Bind(6, priority)
      .Bind(7, text)
      .Bind(8, reason)
      .Bind(9, until)
      .Bind(10, user)
      .Step();
}

std::string GaugeCaption(double mbar) {
  int exponent = static_cast<int>(std::floor(std::log10(mbar)));
  double mantissa = mbar / std::pow(10.0, exponent);
  if (mantissa >= 9.9995) {
    mantissa /= 10;
    ++exponent;
  }
  char text[24];
  std::snprintf(text, sizeof text, "%.3fE%c%d", mantissa, exponent < 0 ? '-' : ' ', std::abs(exponent));
  return text;
}

void RecordBuilder::gaugeReading(Nanoseconds t, int n, double mbar) {
  state(t, "G" + std::to_string(n), GaugeCaption(mbar), "ok", indicator_colour::GaugeValid, Quality::Valid, mbar);
}

void RecordBuilder::gaugeBelowRange(Nanoseconds t, int n) {
  state(t, "G" + std::to_string(n), std::string(kGauges[static_cast<std::size_t>(n - 1)].belowRange), "ok",
        indicator_colour::GaugeValid, Quality::BelowRange, std::nullopt);
}

void RecordBuilder::gaugeOverRange(Nanoseconds t, int n) {
  state(t, "G" + std::to_string(n), "over range", "ok", indicator_colour::GaugeValid, Quality::OverRange,
        std::nullopt);
}

void RecordBuilder::gaugeFault(Nanoseconds t, int n, const std::string& faultText) {
  state(t, "G" + std::to_string(n), "---", faultText, indicator_colour::Fault, Quality::Fault, std::nullopt);
}

void RecordBuilder::gaugeNoData(Nanoseconds t, int n) {
  state(t, "G" + std::to_string(n), "---", std::nullopt, indicator_colour::NoData, Quality::NoData, std::nullopt);
}

void RecordBuilder::flowReading(Nanoseconds t, int n, double percent) {
  char text[16];
  std::snprintf(text, sizeof text, "%05.1f%%", percent);
  state(t, "MFC" + std::to_string(n), text, std::nullopt, indicator_colour::FlowValid, Quality::Valid, percent);
}

void RecordBuilder::flowNoData(Nanoseconds t, int n) {
  state(t, "MFC" + std::to_string(n), "XXXX", std::nullopt, indicator_colour::NoData, Quality::NoData,
        std::nullopt);
}

void RecordBuilder::deviceCaption(Nanoseconds t, const std::string& device, const std::string& caption) {
  Colour colour = indicator_colour::Fault;
  Quality quality = Quality::Fault;
  struct Shown {
    const char* caption;
    Colour colour;
  };
  constexpr Shown kStates[] = {{"open", indicator_colour::ValveOpen},
                               {"closed", indicator_colour::ValveClosed},
                               {"started", indicator_colour::PumpStarted},
                               {"stopped", indicator_colour::PumpStopped},
                               {"accelerating", indicator_colour::PumpAccelerating},
                               {"stopping", indicator_colour::PumpStopping}};
  for (const Shown& s : kStates) {
    if (caption == s.caption) {
      colour = s.colour;
      quality = Quality::NotANumber;
    }
  }
  state(t, device, caption, std::nullopt, colour, quality, std::nullopt);
}

void RecordBuilder::deviceNoData(Nanoseconds t, const std::string& device, const std::string& lastCaption) {
  state(t, device, lastCaption, std::nullopt, indicator_colour::NoData, Quality::NoData, std::nullopt);
}

}  // namespace halvorn::history
