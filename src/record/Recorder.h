// The window's side of the session record: listens to the core's feed and
// turns what happened (bytes on the line, the operator's actions and the
// commands they sent, the link's events, what the devices show, the alarms'
// transitions) into items for the writer's queue. It never waits and never
// allocates per item once warmed up.
//
// When the queue had to drop items, the first item kept again comes after
// a gap event, and the recorder then queues the whole current picture (every
// device and the uptime), so that nothing recorded before the gap stands
// for a state that changed during it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/Feed.h"
#include "record/Clock.h"
#include "record/ItemQueue.h"
#include "record/RecordedDevices.h"

namespace halvorn::record {

// Uptime and counters change with every answer; the record keeps them at
// most this often.
constexpr std::int64_t kSlowItemPeriodNs = 60'000'000'000;
// Failed tries of the reconnect counted in one row at the most.
constexpr std::int64_t kFailuresPerCountRow = 1800;

class Recorder : public FeedListener {
 public:
  // The session starts now by `clock`; every item's t_ns counts from here.
  Recorder(ItemQueue& queue, const Clock& clock);

  void Received(std::string_view bytes) override;
  // A poll goes into the traffic; a command also into its own row, linked
  // to its action.
  void Written(std::string_view frame, bool poll, std::optional<std::int64_t> action) override;
  void Action(std::int64_t number, std::string_view procedure, std::optional<std::string_view> device,
              std::string_view argument) override;
  void DeviceChanged(const Device& device, const DeviceShown& shown) override;
  // Kept at most once a minute.
  void UptimeChanged(const Reading& reading, std::string_view text) override;
  // While a cable is out the reconnect fails alike every two seconds: of a
  // run of open failures with the same number and nothing else in between
  // (no other link event, no operator action), the first is recorded, and
  // when the run ends an 'open failed' event with the first one's text and
  // "; the same N more times". A run that goes on is counted so at least
  // every kFailuresPerCountRow tries (an hour of tries), so that a viewer
  // following the record sees the cable still out.
  void Link(LinkEvent what, std::int64_t number, std::string_view status) override;
  void Warning(std::int64_t number, std::string_view line) override;
  // Kept at most once a minute.
  void Counted(std::int32_t correct, std::int32_t crcErrors) override;
  // Every transition, into the alarm journal; lost in a gap like any item.
  void AlarmChanged(const AlarmTold& alarm) override;

  // The run is ending: records what is counted but not yet recorded (a
  // run of failed tries still going on).
  void Finish();

  // A 'recording' event: where and how the session is recorded.
  void Recording(std::string_view text);
  // A 'publishing' event: the plant's publisher began or stopped reaching
  // its broker, or refused a write that came from the network.
  void Publishing(std::string_view text);

 private:
  // What a device shows now, kept for the picture after a gap.
  struct Shown {
    bool known = false;
    Reading reading;
    std::string text;
    std::string detail;
    bool hasDetail = false;
    std::optional<Colour> colour;
    // Takes `now` in the storage already held.
    void Take(const DeviceShown& now);
  };

  [[nodiscard]] Item Stamped(Item::Kind kind) const;
  // Queues `item`; when it is the first kept after a gap, the current
  // picture follows it.
  void Push(const Item& item);
  void PushDevice(const Item& stamp, std::string_view name, const Shown& shown);
  void PushPicture(const Item& stamp);
  // Records the count of the run so far, if any, and counts on from 0.
  void CountFailureRun(const Item& stamp);
  // Ends the run of open failures; its count, if any, is recorded now.
  void EndFailureRun(const Item& stamp);

  ItemQueue& m_queue;
  const Clock& m_clock;
  std::int64_t m_startNs;
  bool m_dropping = false;
  std::array<Shown, kDevices.size()> m_devices{};
  Shown m_uptime;
  std::optional<std::int64_t> m_uptimeAt;
  std::optional<std::int64_t> m_countersAt;
  std::string m_countersText;
  // The run of alike open failures going on: its number, how many came
  // after the recorded first, and the first one's text.
  std::optional<std::int64_t> m_failing;
  std::int64_t m_failedAgain = 0;
  std::string m_failedAgainText;
  std::string m_countText;
};

}  // namespace halvorn::record
