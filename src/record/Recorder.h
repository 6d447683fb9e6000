// The window's side of the session record: turns what happens on the
// window's thread (bytes on the line, the operator's actions, the link's
// events, what the devices show) into items for the writer's queue. It
// never waits and never allocates per item: captions are compared with the
// last ones recorded in storage kept from one event to the next.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/ActionObserver.h"
#include "link/FrontPanel.h"
#include "link/LinkObserver.h"
#include "record/Clock.h"
#include "record/ItemQueue.h"
#include "record/RecordedDevices.h"

namespace halvorn::record {

// Uptime and counters change with every answer; the record keeps them at
// most this often.
constexpr std::int64_t kSlowItemPeriodNs = 60'000'000'000;
// Failed tries of the reconnect counted in one row at the most.
constexpr std::int64_t kFailuresPerCountRow = 1800;

class Recorder : public LinkObserver, public ActionObserver {
 public:
  // The session starts now by `clock`; every item's t_ns counts from here.
  Recorder(ItemQueue& queue, const Clock& clock);

  // Bytes the port gave, and a frame the panel wrote.
  void Received(std::string_view bytes);
  void Sent(std::string_view bytes);

  // The operator ran `procedure` ('mnuV6Open_Click', 'cmdConnect_Click')
  // on `device` (nullopt for none) with `argument` (the item's or button's
  // caption, the setpoint as typed, the list's choice).
  void Action(std::string_view procedure, std::optional<std::string_view> device,
              std::string_view argument) override;

  // What the port did; told in the record by Observe() with the status
  // text the event procedure then showed. While a cable is out the
  // reconnect fails alike every two seconds: of a run of open failures with
  // the same number and nothing else in between (no other link event, no
  // operator action), the first is recorded, and when the run ends an
  // 'open failed' event with the first one's text and "; the same N more
  // times". A run that goes on is counted so at least every
  // kFailuresPerCountRow tries (an hour of tries), so that a viewer
  // following the record sees the cable still out.
  enum class Link { Opened, Closed, Lost, OpenFailed };
  void LinkEvent(Link what, std::int64_t number);

  // The run is ending: records what is counted but not yet recorded (a
  // run of failed tries still going on).
  void Finish();

  // After each event: records the link events told since the last call,
  // every device whose caption or colour changed, and the uptime and the
  // counters if a minute has passed since they were last recorded.
  void Observe(const FrontPanel& panel);

  void Warning(std::int64_t number, std::string_view line) override;

  // A 'recording' event: where and how the session is recorded.
  void Recording(std::string_view text);

 private:
  // What a device showed when last recorded.
  struct Shown {
    bool recorded = false;
    std::string text;
    std::string detail;
    Colour colour = 0;
    halvorn::Reading reading;
    // Takes what the device shows now; false when it is what was recorded.
    bool Update(const std::string& now, const std::string* nowDetail,
                std::optional<Colour> nowColour, const halvorn::Reading& nowReading);
  };
  struct PendingLink {
    Link what;
    std::int64_t number;
  };

  Item Stamped(Item::Kind kind) const;
  void Push(const Item& item) { m_queue.Push(item); }
  void RecordDevice(const Item& stamp, std::string_view name, const halvorn::Reading& reading,
                    const std::string& text, const std::string* detail,
                    std::optional<Colour> colour);

  ItemQueue& m_queue;
  const Clock& m_clock;
  std::int64_t m_startNs;
  std::array<Shown, kRecordedDevices.size()> m_devices{};
  Shown m_uptime;
  std::optional<std::int64_t> m_uptimeAt;
  std::optional<std::int64_t> m_countersAt;
  std::int32_t m_good = -1;
  std::int32_t m_crc = -1;
  std::string m_countersText;
  std::array<PendingLink, 4> m_pending{};
  std::size_t m_pendingCount = 0;
  // The run of alike open failures going on: its number, how many came
  // after the recorded first, and the first one's text.
  std::optional<std::int64_t> m_failing;
  std::int64_t m_failedAgain = 0;
  std::string m_failedAgainText;
  std::string m_countText;
  // Records the count of the run so far, if any, and counts on from 0.
  void CountFailureRun(const Item& stamp);
  // Ends the run of open failures; its count, if any, is recorded now.
  void EndFailureRun(const Item& stamp);
};

}  // namespace halvorn::record
