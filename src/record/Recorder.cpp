#include "record/Recorder.h"

#include "plant/Numbers.h"

namespace halvorn::record {
namespace {

std::string_view LinkKind(Recorder::Link what) {
  switch (what) {
    case Recorder::Link::Opened: return "opened";
    case Recorder::Link::Closed: return "closed";
    case Recorder::Link::Lost: return "lost";
    case Recorder::Link::OpenFailed: return "open failed";
  }
  return "";
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

void Recorder::Received(std::string_view bytes) {
  Item item = Stamped(Item::Kind::Traffic);
  item.code = static_cast<std::int32_t>(Direction::Received);
  item.text[0] = bytes;
  Push(item);
}

void Recorder::Sent(std::string_view bytes) {
  Item item = Stamped(Item::Kind::Traffic);
  item.code = static_cast<std::int32_t>(Direction::Sent);
  item.text[0] = bytes;
  Push(item);
}

void Recorder::Action(std::string_view procedure, std::optional<std::string_view> device,
                      std::string_view argument) {
  Item item = Stamped(Item::Kind::Action);
  EndFailureRun(item);
  item.text = {procedure, device, argument};
  Push(item);
}

void Recorder::LinkEvent(Link what, std::int64_t number) {
  // A lost device closes the port: one event, 'lost', not two.
  if (what == Link::Closed && m_pendingCount > 0 && m_pending[m_pendingCount - 1].what == Link::Lost) return;
  if (what == Link::OpenFailed && m_failing == number && m_pendingCount == 0) {
    if (++m_failedAgain == kFailuresPerCountRow) CountFailureRun(Stamped(Item::Kind::Event));
    return;
  }
  if (m_pendingCount == m_pending.size()) return;
  m_pending[m_pendingCount++] = {what, number};
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

void Recorder::Recording(std::string_view text) {
  Item item = Stamped(Item::Kind::Event);
  item.text = {std::string_view("recording"), text, std::nullopt};
  Push(item);
}

bool Recorder::Shown::Update(const std::string& now, const std::string* nowDetail,
                             std::optional<Colour> nowColour, const halvorn::Reading& nowReading) {
  const Colour fill = nowColour.value_or(0);
  const bool same = text == now && colour == fill && (!nowDetail || detail == *nowDetail) &&
                    reading == nowReading;
  if (recorded && same) return false;
  recorded = true;
  text = now;  // within the storage it already has, once warmed up
  colour = fill;
  reading = nowReading;
  if (nowDetail) detail = *nowDetail;
  return true;
}

void Recorder::RecordDevice(const Item& stamp, std::string_view name, const Reading& reading,
                            const std::string& text, const std::string* detail,
                            std::optional<Colour> colour) {
  Item item = stamp;
  item.kind = Item::Kind::DeviceState;
  item.code = static_cast<std::int32_t>(StoredQuality(reading.quality));
  item.value = reading.value;
  if (colour) item.number = static_cast<std::int64_t>(*colour);
  item.text = {name, std::string_view(text), detail ? std::optional<std::string_view>(*detail) : std::nullopt};
  Push(item);
}

void Recorder::Observe(const FrontPanel& panel) {
  const Item stamp = Stamped(Item::Kind::DeviceState);
  const Form1& form = panel.form;
  for (std::size_t i = 0; i < m_pendingCount; ++i) {
    EndFailureRun(stamp);
    if (m_pending[i].what == Link::OpenFailed) {
      m_failing = m_pending[i].number;
      m_failedAgainText.assign(form.lblStatus.caption);
    }
    Item item = stamp;
    item.kind = Item::Kind::Event;
    item.number = m_pending[i].number;
    item.text = {LinkKind(m_pending[i].what), std::string_view(form.lblStatus.caption), std::nullopt};
    Push(item);
  }
  m_pendingCount = 0;

  for (std::size_t i = 0; i < kRecordedDevices.size(); ++i) {
    const Device& device = kRecordedDevices[i];
    const std::optional<Colour> colour =
        device.shape ? std::optional<Colour>((form.*device.shape).fillColor) : std::nullopt;
    const Label Form1::*detailLabel = RecordedDetail(device);
    const std::string* detail = detailLabel ? &(form.*detailLabel).caption : nullptr;
    const std::string& text = (form.*RecordedText(device)).caption;
    const halvorn::Reading& reading = form.readings[device.slot];
    if (m_devices[i].Update(text, detail, colour, reading)) {
      RecordDevice(stamp, device.name, reading, text, detail, colour);
    }
  }

  const bool uptimeDue = !m_uptimeAt || stamp.t_ns - *m_uptimeAt >= kSlowItemPeriodNs;
  if (uptimeDue && m_uptime.Update(form.txtUptime.text, nullptr, std::nullopt, form.uptime)) {
    m_uptimeAt = stamp.t_ns;
    const std::string& uptime = form.txtUptime.text;
    RecordDevice(stamp, kUptimeDevice, form.uptime, uptime, nullptr, std::nullopt);
  }

  const bool countersDue = !m_countersAt || stamp.t_ns - *m_countersAt >= kSlowItemPeriodNs;
  if (countersDue && (panel.CorrectMessageCount != m_good || panel.CrcErrorCount != m_crc)) {
    m_countersAt = stamp.t_ns;
    m_good = panel.CorrectMessageCount;
    m_crc = panel.CrcErrorCount;
    m_countersText.assign("good ");
    AppendPlainNumber(m_countersText, m_good);
    m_countersText += " crc ";
    AppendPlainNumber(m_countersText, m_crc);
    Item item = stamp;
    item.kind = Item::Kind::Event;
    item.number = std::nullopt;
    item.text = {std::string_view("counters"), std::string_view(m_countersText), std::nullopt};
    Push(item);
  }
}

}  // namespace halvorn::record
