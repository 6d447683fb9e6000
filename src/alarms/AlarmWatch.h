// What raises and returns the installation's alarms: the core's feed. A
// device is in alarm while it shows a fault, the port while it is lost, a
// group while the watchdog keeps it grey with the port open (from the
// second tick after the port opened, so that a connect raises nothing), a
// controller warning or restart for 30 s after it was last seen, a limit
// alarm as its rule says (checked at each reading and each watchdog tick,
// so a delay is kept to within the tick's 3 s).
//
// Every transition, the plant's and the operator's, is told on to the
// feed's listeners (the record, the publisher) as it happens.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "alarms/AlarmBoard.h"
#include "alarms/LimitAlarm.h"
#include "link/Feed.h"

namespace halvorn::alarms {

// A warning or a restart stands this long after it was last seen.
constexpr Milliseconds kEventAlarmHold = 30'000;

class AlarmWatch : public FeedListener {
 public:
  // `now`: the panel's monotonic clock in milliseconds. The points of the
  // `limits` must be on `board` (ApplyTo).
  AlarmWatch(AlarmBoard& board, std::function<Milliseconds()> now, const std::vector<LimitRule>& limits = {});

  // Tells every transition from now on to `feed`'s listeners; the feed must
  // outlive the watch.
  void TellOn(const Feed& feed) { m_feed = &feed; }

  // The operator's acts, by the login name `user`.
  void Acknowledge(std::size_t point, std::string_view user);
  // The first alarm the banner lists, if it waits for an acknowledgement.
  void AcknowledgeFirst(std::string_view user);
  void Shelve(std::size_t point, Milliseconds duration, std::string_view reason, std::string_view user);
  void Unshelve(std::size_t point, std::string_view user);
  // Opens the shelves that have expired; at least once a second keeps an
  // expiry on time to within that second.
  void Tick();

  void DeviceChanged(const Device& device, const DeviceShown& shown) override;
  void UptimeChanged(const Reading& reading, std::string_view text) override;
  void Link(LinkEvent what, std::int64_t number, std::string_view status) override;
  void Warning(std::int64_t number, std::string_view line) override;
  void WatchdogTicked() override;
  void Written(std::string_view frame, bool poll, std::optional<std::int64_t> action) override;

 private:
  // A group the watchdog greys as one: its alarm point and how many of its
  // devices are grey now.
  struct Group {
    DeviceKind kind;
    std::size_t point = 0;
    std::size_t devices = 0;
    std::size_t grey = 0;
    const char* text;
  };
  // A point raised by something seen, back to normal when not seen again.
  struct Held {
    std::size_t point = 0;
    Milliseconds lastSeen = 0;
  };
  struct Limit {
    LimitRule rule;
    std::size_t point = 0;
    std::size_t slot = 0;  // of its device
    LimitState state;
    std::optional<double> reading;  // the last, in the rule's unit
    std::string text;               // what the device showed
  };
  // Tells the board's transitions since the last time to the feed; `user`
  // goes with the operator's own (acknowledged, shelved, unshelved).
  void Announce(std::string_view user = {});
  Group* GroupOf(DeviceKind kind);
  void Check(Limit& limit, Milliseconds now);
  void Seen(Held& held, std::string_view text);
  void SetGroups();

  AlarmBoard& m_board;
  std::function<Milliseconds()> m_now;
  const Feed* m_feed = nullptr;
  std::array<std::optional<std::size_t>, kDevices.size()> m_devicePoints{};
  std::array<bool, kDevices.size()> m_grey{};
  std::array<Group, 4> m_groups;
  std::size_t m_port = 0;
  bool m_open = false;
  int m_ticksOpen = 0;
  std::array<Held, 3> m_warnings{};  // 100, 105, 106
  Held m_restart;
  std::optional<double> m_uptime;
  std::vector<Limit> m_limits;
  std::array<std::optional<int>, 4> m_setpoints{};  // the last sent to MFC1..MFC4
};

}  // namespace halvorn::alarms
