// What a gauge's or a flow's reading did over a minute and over an hour,
// computed as the readings come, so that a year of record is looked at
// through a few hundred thousand rows instead of a billion.
//
// A reading holds from its row until the device's next row (the record
// keeps changes only), across interval boundaries: a pressure steady for
// an hour is one row and sixty minute summaries. Each summary says how
// long the reading was valid, below range, over range, in fault or without
// data within its interval; the rest of the interval is not known (before
// the device's first reading, from a gap in the record until the device's
// next row, after the session's end). Minimum, maximum, the mean weighted
// by time and the last value are of the valid readings only; a valid
// reading that held for no time at all (two rows at one instant) still
// counts for the minimum and maximum, so that a spike is never lost.
//
// Intervals are aligned on the session's own clock (t_ns): minute k covers
// [k * kMinuteNs, (k + 1) * kMinuteNs).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "record/Database.h"
#include "record/Schema.h"

namespace halvorn::record {

constexpr std::int64_t kMinuteNs = 60'000'000'000;
constexpr std::int64_t kHourNs = 60 * kMinuteNs;
constexpr std::array<std::int64_t, 2> kSummaryPeriods{kMinuteNs, kHourNs};

// The devices summarised, as the record names them: G1..G8, MFC1..MFC4.
inline constexpr std::array<std::string_view, 12> kSummarisedDevices{
    "G1", "G2", "G3", "G4", "G5", "G6", "G7", "G8", "MFC1", "MFC2", "MFC3", "MFC4"};
// The index of `device` in kSummarisedDevices, or -1.
[[nodiscard]] int SummarisedIndex(std::string_view device);

// One row of the summary table.
struct SummaryRow {
  std::string_view device;  // one of kSummarisedDevices
  std::int64_t period_ns = kMinuteNs;
  std::int64_t t_ns = 0;     // the interval's start
  std::int64_t wall_ns = 0;  // the wall clock at t_ns, as the newest stamp gives it
  std::optional<double> min, max, mean, last;
  // How long within the interval the reading was valid, below range, over
  // range, in fault, without data (indexed by Quality 0 to 4).
  std::array<std::int64_t, 5> durations{};
  std::int64_t changes = 0;  // rows of the device within the interval
};

// The running summaries of every summarised device, at both periods: a
// value of fixed size (nothing allocated however long it runs), so that a
// writer can keep a copy and go back to it when a batch is rolled back.
//
// Every call that moves time on may close intervals, so each takes the
// sink that closed rows go to. A closed interval's wall_ns comes from the
// newest reading or gap before its end: the same rows give the same rows,
// however often Advance() was called in between.
class Summariser {
 public:
  using Sink = std::function<void(const SummaryRow&)>;

  // The reading of `device` is (quality, value) from `t` on; a device not
  // summarised is ignored, and so is a quality that is not a reading (a
  // state): the device is then not known. `value` counts only for a valid
  // reading. A time before the newest one handed in is taken as the newest
  // (rows of one batch may tie or cross by a few ns).
  void Reading(std::string_view device, std::int64_t t, std::int64_t wall, Quality quality,
               std::optional<double> value, const Sink& out);
  // Nothing is known of any device from `t` (`wall`: the wall clock at `t`)
  // until its next reading.
  void Gap(std::int64_t t, std::int64_t wall, const Sink& out);
  // Time has reached `t`: every interval that ended at or before it is
  // handed to `out`, oldest first, minutes before the hour they end, and
  // devices in the order of kSummarisedDevices. `wall` counts only while no
  // reading has given the clocks' offset.
  void Advance(std::int64_t t, std::int64_t wall, const Sink& out);
  // The session ends at `t`: every interval begun is handed to `out`, the
  // last ones covering only up to `t`. The summariser is then empty.
  void Finish(std::int64_t t, std::int64_t wall, const Sink& out);
  // Begins at `t` (a multiple of kHourNs) with no reading known, for a
  // summary picked up part-way through a session.
  void StartAt(std::int64_t t);
  // After StartAt: the reading of `device` that its row at `t` (before the
  // start) set and that still holds at the start. It counts from the start
  // on, not as a change; the row's stamp gives the clocks' offset when it
  // is the newest carried.
  void Carry(std::string_view device, std::int64_t t, std::int64_t wall, Quality quality,
             std::optional<double> value);

  // The time reached: intervals are open from here.
  [[nodiscard]] std::int64_t now() const { return m_now; }

 private:
  struct Running {
    std::optional<double> min, max, last;
    double weighted = 0;  // sum of value * ns while valid
    std::array<std::int64_t, 5> durations{};
    std::int64_t changes = 0;
    bool touched = false;  // any reading held or arrived in it
  };
  struct Device {
    std::optional<Quality> quality;  // what holds now; nullopt: not known
    double value = 0;
    std::int64_t since = 0;  // the reading holds from here
    std::array<Running, kSummaryPeriods.size()> running{};
  };

  // Lets every device's current reading hold up to `t`, closing intervals.
  void HoldUntil(std::int64_t t, const Sink& out);
  // Counts what `device`'s reading held in the open interval of `period`
  // up to `t`; the caller then moves `since` or the interval's start to `t`.
  void Accrue(Device& device, std::size_t period, std::int64_t t);
  // Closes the open intervals of `period` at `end` (their end, or the
  // session's), handing out those with anything in them.
  void Close(std::size_t period, std::int64_t end, const Sink& out);
  void TakeOffset(std::int64_t t, std::int64_t wall);

  std::array<Device, kSummarisedDevices.size()> m_devices{};
  // Where the open interval of each period began.
  std::array<std::int64_t, kSummaryPeriods.size()> m_start{};
  std::int64_t m_now = 0;
  // Wall clock minus session clock at the newest stamp, and that stamp's
  // session time (carried stamps come in any order).
  std::int64_t m_wallOffset = 0;
  std::optional<std::int64_t> m_offsetAt;
};

// Summaries of [from, to) of `session` computed from its device_state rows
// and gap events, as the writer would have made them: `from` is a multiple
// of kHourNs, the state at `from` is each device's last row before it
// (unless a gap came after that row), and
// intervals that `to` cuts are handed out cut (the session ends there or
// the caller goes on later from `to`, a multiple of kHourNs). Rows at `to`
// itself are read when `to` is at or past the session's last_t_ns (they
// are the session's last, and Finish there counts them as the writer
// does). Reads in bounded batches; memory does not grow with the range.
// A record of any layout is read as it is.
void SummariseFromRaw(Database& db, std::int64_t session, std::int64_t from, std::int64_t to,
                      const Summariser::Sink& out);

// Stores `row` for `session` (INSERT OR REPLACE on the interval).
void StoreSummary(Statement& insert, std::int64_t session, const SummaryRow& row);
// The statement StoreSummary binds.
[[nodiscard]] Statement PrepareSummaryInsert(Database& db);

}  // namespace halvorn::record
