// The window's side of the plant's publisher: listens to the core's feed and
// writes what the devices show, the uptime, the counters, the link, the last
// setpoint sent to each flow controller and the alarms' states onto the
// metric board, committing at the end of each answer or event. It never
// waits but for the board's short mutex and never allocates once built.
//
// Quality as the network reads it: a valid reading is good (192) with its
// value; a reading that is no valid value is null, bad (0) for a fault or a
// reading out of range, stale (500) when its group stopped answering. A
// state text is good while its group answers and stale when greyed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "link/Feed.h"
#include "publish/MetricBoard.h"
#include "publish/MetricTable.h"

namespace halvorn::publish {

// The wall clock, handed in: milliseconds since 1970-01-01 UTC.
class WallClock {
 public:
  virtual ~WallClock() = default;
  [[nodiscard]] virtual std::int64_t NowMs() const = 0;
};

class PlantMetrics : public FeedListener {
 public:
  // Writes every alarm point as normal with its priority, and commits.
  PlantMetrics(const MetricTable& table, MetricBoard& board, const WallClock& clock);

  void DeviceChanged(const Device& device, const DeviceShown& shown) override;
  void UptimeChanged(const Reading& reading, std::string_view text) override;
  void Counted(std::int32_t correct, std::int32_t crcErrors) override;
  // Opened: the controller is online; closed, lost or failed: offline.
  void Link(LinkEvent what, std::int64_t number, std::string_view status) override;
  // A flow setpoint frame is that controller's setpoint from now on.
  void Written(std::string_view frame, bool poll, std::optional<std::int64_t> action) override;
  void WatchdogTicked() override;
  void AlarmChanged(const AlarmTold& alarm) override;
  void ChangesTold() override;

 private:
  void SetReading(std::size_t metric, const Reading& reading, double scale, std::int64_t now);

  const MetricTable& m_table;
  MetricBoard& m_board;
  const WallClock& m_clock;
};

// The quality of a number's reading, and of a state text.
[[nodiscard]] std::int32_t ReadingQuality(const Reading& reading);
[[nodiscard]] std::int32_t TextQuality(const Reading& reading);

}  // namespace halvorn::publish
