// Writes a record row by row through the record's own tables, for test
// fixtures and for the long-record generator (halvorn-make-record). Captions,
// colours and qualities follow what the panel shows for each reading, so
// that a built record reads like one the panel wrote.
#pragma once

#include <optional>
#include <string>

#include "SessionData.h"
#include "record/Database.h"

namespace halvorn::history {

class RecordBuilder {
 public:
  // Creates the record at `path` (a new file).
  explicit RecordBuilder(const std::string& path);

  // Starts session 1, 2, ... with its clock at `startedWallNs`.
  std::int64_t startSession(Nanoseconds startedWallNs);
  // Marks the current session as written up to `lastT`, cleanly closed or not.
  void endSession(Nanoseconds lastT, bool ended);

  // Batches rows into one transaction (the generator's millions of rows).
  void begin();
  void commit();

  void state(Nanoseconds t, const std::string& device, const std::string& text,
             const std::optional<std::string>& detail, std::optional<std::uint32_t> colour, record::Quality quality,
             std::optional<double> value);
  void action(Nanoseconds t, const std::string& procedure, const std::string& device, const std::string& argument);
  // `began`: for a gap, when the first item was lost.
  void event(Nanoseconds t, const std::string& kind, std::optional<std::int64_t> number, const std::string& text,
             std::optional<Nanoseconds> began = std::nullopt);
  void traffic(Nanoseconds t, record::Direction direction, const std::string& bytes);
  // One transition of the alarm journal, in its words.
  void alarm(Nanoseconds t, const std::string& point, const std::string& transition, const std::string& priority,
             const std::string& text, const std::optional<std::string>& reason = std::nullopt,
             std::optional<Nanoseconds> until = std::nullopt, const std::optional<std::string>& user = std::nullopt);

  // Gauge `n` (1..8) as the panel shows it: a valid reading in mBar (caption
  // "1.234E-5"), below or over its range, a fault with its text, or grey.
  void gaugeReading(Nanoseconds t, int n, double mbar);
  void gaugeBelowRange(Nanoseconds t, int n);
  void gaugeOverRange(Nanoseconds t, int n);
  void gaugeFault(Nanoseconds t, int n, const std::string& faultText);
  void gaugeNoData(Nanoseconds t, int n);
  // MFC `n` (1..4): a reading in percent ("045.5%"), or grey.
  void flowReading(Nanoseconds t, int n, double percent);
  void flowNoData(Nanoseconds t, int n);
  // A valve or pump: "open", "closed", "started", "stopped", a fault text
  // (red), or grey with its last caption kept.
  void deviceCaption(Nanoseconds t, const std::string& device, const std::string& caption);
  void deviceNoData(Nanoseconds t, const std::string& device, const std::string& lastCaption);

  record::Database& database() { return m_db; }

 private:
  // Run again for every row: millions of rows are then not millions of
  // prepares.
  record::Statement& reuse(record::Statement& insert);

  record::Database m_db;
  record::Statement m_state;
  record::Statement m_action;
  record::Statement m_event;
  record::Statement m_traffic;
  record::Statement m_alarm;
  std::int64_t m_session = 0;
  Nanoseconds m_startedWallNs = 0;
};

// The panel's caption of a valid reading: "1.234E-5", "5.000E 2".
std::string GaugeCaption(double mbar);

}  // namespace halvorn::history
