#include "alarms/Banner.h"

#include <algorithm>

#include "panel/Devices.h"

namespace halvorn::alarms {

std::string_view PrioritySign(Priority priority) {
  switch (priority) {
    case Priority::High:
      return "!!! HIGH";
    case Priority::Medium:
      return "!! MEDIUM";
    case Priority::Low:
      break;
  }
  return "! LOW";
}

unsigned PriorityColour(Priority priority) {
  // Apart from the picture's own red fault fill and green open: magenta,
  // orange and a deep yellow stay distinct on grey and for most colour
  // blindness, and the sign says the priority besides.
  switch (priority) {
    case Priority::High:
      return 0xD0009Cu;
    case Priority::Medium:
      return 0xF07800u;
    case Priority::Low:
      break;
  }
  return 0xC8A800u;
}

bool FlashLit(Milliseconds now) {
  const Milliseconds phase = ((now % kFlashPeriod) + kFlashPeriod) % kFlashPeriod;
  return phase < kFlashPeriod / 2;
}

Milliseconds UntilFlashTurns(Milliseconds now) {
  const Milliseconds half = kFlashPeriod / 2;
  return half - ((now % half) + half) % half;
}

namespace {

bool Waiting(State state) {
  return state == State::ActiveUnacknowledged || state == State::ReturnedUnacknowledged;
}

std::string Plural(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

Banner BannerOf(const AlarmBoard& board, Milliseconds now) {
  Banner banner;
  const std::vector<std::size_t> listed = board.Listed();
  banner.active = listed.size();
  banner.unacknowledged = board.Unacknowledged();
  for (const AlarmPoint& p : board.points()) banner.shelved += p.alarm.state() == State::Shelved;
  if (banner.active == 0 && banner.shelved == 0) {
    banner.counts = "No alarms";
  } else {
    banner.counts = Plural(banner.active, "alarm", "alarms") + ", " + std::to_string(banner.unacknowledged) +
                    " unacknowledged";
    if (banner.shelved > 0) banner.counts += ", " + std::to_string(banner.shelved) + " shelved";
  }
  for (std::size_t i = 0; i < listed.size() && i < kBannerLines; ++i) {
    const AlarmPoint& p = board.points()[listed[i]];
    const State state = p.alarm.state();
    BannerLine line{listed[i], p.priority, Waiting(state), p.alarm.raisedAt(), {}};
    line.text = std::string(PrioritySign(p.priority)) + "  " + p.name + "  " + p.alarm.text() + "  (" +
                std::string(StateName(state)) + ")";
    banner.flashing = banner.flashing || line.unacknowledged;
    banner.lines.push_back(std::move(line));
  }
  // Past the three lines shown, an unacknowledged alarm still flashes the
  // counts.
  banner.flashing = banner.flashing || banner.unacknowledged > 0;
  if (board.InFlood(now))
    banner.flood = "ALARM FLOOD: more than " + std::to_string(kFloodRaises) + " alarms in the last " +
                   std::to_string(kFloodWindow / kMinute) + " minutes";
  return banner;
}

std::vector<Frame> FramesOf(const AlarmBoard& board) {
  std::vector<Frame> frames;
  for (const AlarmPoint& p : board.points()) {
    const State state = p.alarm.state();
    if (state == State::Normal || state == State::Shelved) continue;
    for (const Device& device : kDevices) {
      if (device.shape && device.name == p.name) frames.push_back(Frame{device.name, p.priority, Waiting(state)});
    }
  }
  return frames;
}

std::vector<SummaryRow> SummaryOf(const AlarmBoard& board) {
  std::vector<SummaryRow> rows;
  const auto row = [&board](std::size_t i) {
    const AlarmPoint& p = board.points()[i];
    return SummaryRow{i, p.priority, p.alarm.state(), p.alarm.raisedAt(), p.alarm.shelvedUntil()};
  };
  for (const std::size_t i : board.Listed()) rows.push_back(row(i));
  for (std::size_t i = 0; i < board.points().size(); ++i)
    if (board.points()[i].alarm.state() == State::Shelved) rows.push_back(row(i));
  return rows;
}

}  // namespace halvorn::alarms
