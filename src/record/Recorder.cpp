#include "record/Recorder.h"

#include <array>
#include <cassert>

#include "plant/Numbers.h"

namespace halvorn::record {
namespace {

// event.kind of each link event, in LinkEvent's order.
constexpr std::array<std::string_view, 4> kLinkKinds = {"opened", "closed", "lost", "open failed"};
static_assert(static_cast<std::size_t>(LinkEvent::OpenFailed) + 1 == kLinkKinds.size());

std::string_view LinkKind(LinkEvent what) {
  const auto index = static_cast<std::size_t>(what);
  assert(index < kLinkKinds.size());
  return kLinkKinds[index];
}

}  // namespace

Recorder::Recorder(ItemQueue& queue, const Clock& clock)
    : m_queue(queue), m_clock(clock), m_startNs(clock.Now().monotonicNs) {
  m_countersText.reserve(64);
}

Item Recorder::Stamped(Item::Kind kind) const {
  const Stamp now = m_clock.Now();
  Item item;
  item.kind = kind;
  item.t_ns = now.monotonicNs - m_startNs;
  item.wall_ns = now.wallNs;
  return item;
}

void Recorder::Push(const Item& item) {
  if (!m_queue.Push(item)) {
    m_dropping = true;
    return;
  }
  if (!m_dropping) return;
  // The gap event went in just before `item`; what the devices show now
  // follows, so that no state is carried across the gap. Whatever of it
  // does not fit waits for the next item kept.
  m_dropping = false;
  PushPicture(item);
}

void Recorder::Shown::Take(const DeviceShown& now) {
  known = true;
  reading = now.reading;
  text.assign(now.text);
  hasDetail = now.detail.has_value();
  if (now.detail) detail.assign(*now.detail);
  colour = now.colour;
}

void Recorder::PushDevice(const Item& stamp, std::string_view name, const Shown& shown) {
  Item item = stamp;
  item.kind = Item::Kind::DeviceState;
  item.code = static_cast<std::int32_t>(StoredQuality(shown.reading.quality));
  item.value = shown.reading.value;
  item.number = shown.colour ? std::optional<std::int64_t>(*shown.colour) : std::nullopt;
  item.text = {name, std::string_view(shown.text),
               shown.hasDetail ? std::optional<std::string_view>(shown.detail) : std::nullopt};
  Push(item);
}

void Recorder::PushPicture(const Item& stamp) {
  for (const Device& device : kDevices) {
    if (m_dropping) return;
    if (m_devices[device.slot].known) PushDevice(stamp, device.name, m_devices[device.slot]);
  }
  if (!m_dropping && m_uptime.known) PushDevice(stamp, kUptimeDevice, m_uptime);
}

void Recorder::Received(std::string_view bytes) {
  Item item = Stamped(Item::Kind::Traffic);
  item.code = static_cast<std::int32_t>(Direction::Received);
  item.text[0] = bytes;
  Push(item);
}

void Recorder::Written(std::string_view frame, bool poll, std::optional<std::int64_t> action) {
  Item item = Stamped(Item::Kind::Traffic);
  item.code = static_cast<std::int32_t>(Direction::Sent);
  item.text[0] = frame;
  Push(item);
  if (poll) return;
  item.kind = Item::Kind::Command;
  item.code = 0;
  item.number = action;
  Push(item);
}

void Recorder::Action(std::int64_t number, std::string_view procedure,
                      std::optional<std::string_view> device, std::string_view argument) {
  Item item = Stamped(Item::Kind::Action);
  EndFailureRun(item);
  item.number = number;
  item.text = {procedure, device, argument};
  Push(item);
}

void Recorder::DeviceChanged(const Device& device, const DeviceShown& shown) {
  Shown& kept = m_devices[device.slot];
  kept.Take(shown);
  PushDevice(Stamped(Item::Kind::DeviceState), device.name, kept);
}

void Recorder::UptimeChanged(const Reading& reading, std::string_view text) {
  m_uptime.Take({reading, text, std::nullopt, std::nullopt});
  const Item stamp = Stamped(Item::Kind::DeviceState);
  if (m_uptimeAt && stamp.t_ns - *m_uptimeAt < kSlowItemPeriodNs) return;
  m_uptimeAt = stamp.t_ns;
  PushDevice(stamp, kUptimeDevice, m_uptime);
}

void Recorder::Counted(std::int32_t correct, std::int32_t crcErrors) {
  Item item = Stamped(Item::Kind::Event);
  if (m_countersAt && item.t_ns - *m_countersAt < kSlowItemPeriodNs) return;
  m_countersAt = item.t_ns;
  m_countersText.assign("good ");
  AppendPlainNumber(m_countersText, correct);
  m_countersText += " crc ";
  AppendPlainNumber(m_countersText, crcErrors);
  item.text = {std::string_view("counters"), std::string_view(m_countersText), std::nullopt};
  Push(item);
}

void Recorder::Link(LinkEvent what, std::int64_t number, std::string_view status) {
  Item item = Stamped(Item::Kind::Event);
  if (what == LinkEvent::OpenFailed && m_failing == number) {
    if (++m_failedAgain == kFailuresPerCountRow) CountFailureRun(item);
    return;
  }
  EndFailureRun(item);
  if (what == LinkEvent::OpenFailed) {
    m_failing = number;
    m_failedAgainText.assign(status);
  }
  item.number = number;
  item.text = {LinkKind(what), status, std::nullopt};
  Push(item);
}

void Recorder::CountFailureRun(const Item& stamp) {
  if (m_failedAgain == 0) return;
  m_countText = m_failedAgainText;
  m_countText += "; the same ";
  AppendPlainNumber(m_countText, m_failedAgain);
  m_countText += m_failedAgain == 1 ? " more time" : " more times";
  Item item = stamp;
  item.kind = Item::Kind::Event;
  item.number = m_failing;
  item.text = {std::string_view("open failed"), std::string_view(m_countText), std::nullopt};
  Push(item);
  m_failedAgain = 0;
}

void Recorder::EndFailureRun(const Item& stamp) {
  CountFailureRun(stamp);
  m_failing.reset();
}

void Recorder::Finish() { EndFailureRun(Stamped(Item::Kind::Event)); }

void Recorder::Warning(std::int64_t number, std::string_view line) {
  Item item = Stamped(Item::Kind::Event);
  item.number = number;
  item.text = {std::string_view("warning"), line, std::nullopt};
  Push(item);
}

void Recorder::AlarmChanged(const AlarmTold& alarm) {
  Item item = Stamped(Item::Kind::Alarm);
  const auto orNull = [](std::string_view text) {
    return text.empty() ? std::nullopt : std::optional<std::string_view>(text);
  };
  if (alarm.shelvedForMs) item.number = item.t_ns + *alarm.shelvedForMs * 1'000'000;
  item.text = {alarm.point, alarm.transition, alarm.priority, alarm.text, orNull(alarm.reason), orNull(alarm.user)};
  Push(item);
}

void Recorder::Recording(std::string_view text) {
  Item item = Stamped(Item::Kind::Event);
  item.text = {std::string_view("recording"), text, std::nullopt};
  Push(item);
}

void Recorder::Publishing(std::string_view text) {
  Item item = Stamped(Item::Kind::Event);
  item.text = {std::string_view("publishing"), text, std::nullopt};
  Push(item);
}

}  // namespace halvorn::record
