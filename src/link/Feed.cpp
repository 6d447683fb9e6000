#include "link/Feed.h"

namespace halvorn {

void Feed::Received(std::string_view bytes) const {
  for (FeedListener* listener : m_listeners) listener->Received(bytes);
}

void Feed::Written(std::string_view frame, bool poll) const {
  const std::optional<std::int64_t> action = poll ? std::nullopt : m_action;
  for (FeedListener* listener : m_listeners) listener->Written(frame, poll, action);
}

void Feed::BeginAction(std::string_view procedure, std::optional<std::string_view> device,
                       std::string_view argument) {
  m_action = ++m_actions;
  for (FeedListener* listener : m_listeners) listener->Action(*m_action, procedure, device, argument);
}

void Feed::Link(LinkEvent what, std::int64_t number, std::string_view status) const {
  for (FeedListener* listener : m_listeners) listener->Link(what, number, status);
}

void Feed::Warning(std::int64_t number, std::string_view line) const {
  for (FeedListener* listener : m_listeners) listener->Warning(number, line);
}

void Feed::Counted(std::int32_t correct, std::int32_t crcErrors) const {
  for (FeedListener* listener : m_listeners) listener->Counted(correct, crcErrors);
}

bool Feed::Told::Update(const DeviceShown& now) {
  const Colour fill = now.colour.value_or(0);
  const bool same = text == now.text && colour == fill && (!now.detail || detail == *now.detail) &&
                    reading == now.reading;
  if (told && same) return false;
  told = true;
  text.assign(now.text);  // within the storage it already has, once warmed up
  colour = fill;
  reading = now.reading;
  if (now.detail) detail.assign(*now.detail);
  return true;
}

void Feed::WatchdogTicked() const {
  for (FeedListener* listener : m_listeners) listener->WatchdogTicked();
}

void Feed::AlarmChanged(const AlarmTold& alarm) const {
  for (FeedListener* listener : m_listeners) listener->AlarmChanged(alarm);
}

void Feed::TellDevice(const Form1& form, const Device& device) {
  const Label Form1::*detail = DetailLabel(device);
  const DeviceShown shown{
      form.readings[device.slot], (form.*TextLabel(device)).caption,
      detail ? std::optional<std::string_view>((form.*detail).caption) : std::nullopt,
      device.shape ? std::optional<Colour>((form.*device.shape).fillColor) : std::nullopt};
  if (!m_devices[device.slot].Update(shown)) return;
  for (FeedListener* listener : m_listeners) listener->DeviceChanged(device, shown);
}

void Feed::TellChanges(const Form1& form, DeviceKind kind) {
  if (m_listeners.empty()) return;
  for (const Device& device : kDevices) {
    if (device.kind == kind && !device.fixed) TellDevice(form, device);
  }
  TellDone();
}

void Feed::TellUptime(const Form1& form) {
  if (m_listeners.empty()) return;
  TellUptimeChange(form);
  TellDone();
}

void Feed::TellChanges(const Form1& form) {
  if (m_listeners.empty()) return;
  for (const Device& device : kDevices) {
    if (!device.fixed) TellDevice(form, device);
  }
  TellUptimeChange(form);
  TellDone();
}

void Feed::TellUptimeChange(const Form1& form) {
  if (!m_uptime.Update({form.uptime, form.txtUptime.text, std::nullopt, std::nullopt})) return;
  for (FeedListener* listener : m_listeners) listener->UptimeChanged(form.uptime, form.txtUptime.text);
}

void Feed::TellDone() const {
  for (FeedListener* listener : m_listeners) listener->ChangesTold();
}

}  // namespace halvorn
