// What the core tells its onlookers (the session record, the alarms, the
// plant's publisher), once and in the order it happened: the bytes the port
// gave, each frame written to it, each operator action, each change of what
// a device shows, each link event, each warning and the message counters.
//
// Listeners are called on the window's thread from inside the core's
// procedures. They must never wait (no disk, no network, no lock held by a
// slow thread): a listener hands what it keeps to its own thread through a
// bounded queue. Every view passed is valid during the call only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "panel/Colour.h"
#include "panel/Devices.h"
#include "panel/Form1.h"
#include "panel/Reading.h"

namespace halvorn {

enum class LinkEvent : std::uint8_t { Opened, Closed, Lost, OpenFailed };

// What a device shows: its typed reading, the caption the operator reads
// on it (a gauge's reading, any other device's state), a gauge's state
// beside its reading, and its shape's fill colour.
struct DeviceShown {
  const Reading& reading;
  std::string_view text;
  std::optional<std::string_view> detail;
  std::optional<Colour> colour;
};

// A transition of an alarm, in the words the journal writes ("V7",
// "raised", "high"). Told by the alarms, when they are on.
struct AlarmTold {
  std::string_view point;       // "V7", "PORT", "G6-ABOVE"
  std::string_view transition;  // "raised", "returned", "acknowledged", "shelved", "unshelved", "cleared"
  std::string_view priority;    // "high", "medium", "low"
  std::string_view text;        // the condition as shown
  std::string_view reason;      // shelved: why; empty otherwise
  std::optional<std::int64_t> shelvedForMs;  // shelved: until the shelf expires
  std::string_view user;        // the login name of the operator who acknowledged,
                                // shelved or unshelved it; empty for the plant's own
};

class FeedListener {
 public:
  virtual ~FeedListener() = default;
  // A chunk the port gave, before the core reads it.
  virtual void Received(std::string_view /*bytes*/) {}
  // A frame the port took: a poll, or a command with the number of the
  // operator's action that sent it.
  virtual void Written(std::string_view /*frame*/, bool /*poll*/,
                       std::optional<std::int64_t> /*action*/) {}
  // The operator ran `procedure` ('mnuV6Open_Click', 'cmdConnect_Click') on
  // `device` (nullopt for none) with `argument` (the item's or button's
  // caption, the setpoint as typed, the list's choice); told before the
  // procedure runs. Actions are numbered 1, 2, ... from the panel's start.
  virtual void Action(std::int64_t /*number*/, std::string_view /*procedure*/,
                      std::optional<std::string_view> /*device*/, std::string_view /*argument*/) {}
  // What `device` shows changed (or is told for the first time).
  virtual void DeviceChanged(const Device& /*device*/, const DeviceShown& /*shown*/) {}
  // The controller's uptime box changed.
  virtual void UptimeChanged(const Reading& /*reading*/, std::string_view /*text*/) {}
  // The port opened (number: the port), closed or was lost (the port), or
  // failed to open (number: the error); `status` is what lblStatus shows.
  virtual void Link(LinkEvent /*what*/, std::int64_t /*number*/, std::string_view /*status*/) {}
  // A controller warning was listed: its answer type and the line as shown.
  virtual void Warning(std::int64_t /*number*/, std::string_view /*line*/) {}
  // A message was counted, whole or garbled.
  virtual void Counted(std::int32_t /*correct*/, std::int32_t /*crcErrors*/) {}
  // The watchdog ticked (every 3 s); what it greyed was told before.
  virtual void WatchdogTicked() {}
  // An alarm changed state.
  virtual void AlarmChanged(const AlarmTold& /*alarm*/) {}
  // Every change of one answer, or of one event that is no answer (a click,
  // a timer, the start), has been told: what changed together ends here.
  virtual void ChangesTold() {}
};

class Feed {
 public:
  // `listener` hears everything from now on; it must outlive the panel.
  void Listen(FeedListener& listener) { m_listeners.push_back(&listener); }
  [[nodiscard]] bool Heard() const { return !m_listeners.empty(); }

  void Received(std::string_view bytes) const;
  void Written(std::string_view frame, bool poll) const;
  // The operator's action begins; frames written until EndAction() are its.
  void BeginAction(std::string_view procedure, std::optional<std::string_view> device,
                   std::string_view argument);
  void EndAction() { m_action.reset(); }
  void Link(LinkEvent what, std::int64_t number, std::string_view status) const;
  void Warning(std::int64_t number, std::string_view line) const;
  void Counted(std::int32_t correct, std::int32_t crcErrors) const;
  void WatchdogTicked() const;
  void AlarmChanged(const AlarmTold& alarm) const;

  // Tells every device of `kind` whose display differs from what was last
  // told, and the uptime box after an uptime answer.
  void TellChanges(const Form1& form, DeviceKind kind);
  void TellUptime(const Form1& form);
  // All of them: after anything but an answer (a timer, a click, the start).
  void TellChanges(const Form1& form);

 private:
  // What a device showed when last told, in storage kept from one event to
  // the next so that telling a change takes no memory once warmed up.
  struct Told {
    bool told = false;
    Reading reading;
    std::string text;
    std::string detail;
    Colour colour = 0;
    // Takes what is shown now; false when it is what was told.
    [[nodiscard]] bool Update(const DeviceShown& now);
  };
  void TellDevice(const Form1& form, const Device& device);
  void TellUptimeChange(const Form1& form);
  void TellDone() const;

  std::vector<FeedListener*> m_listeners;
  std::int64_t m_actions = 0;
  std::optional<std::int64_t> m_action;
  std::array<Told, kDevices.size()> m_devices{};
  Told m_uptime;
};

}  // namespace halvorn
