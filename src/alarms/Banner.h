// What the operator sees of the alarms: the banner below the picture, the
// frames round the devices in alarm, the summary's rows, and the flash that
// all of them share. Plain values from the board; the window only draws them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alarms/AlarmBoard.h"

namespace halvorn::alarms {

// The banner lists this many alarms, the ones that matter most.
constexpr std::size_t kBannerLines = 3;
// Unacknowledged alarms flash at 1 Hz, lit the first half of each second.
constexpr Milliseconds kFlashPeriod = 1'000;

// Never by colour alone: a sign and a word ("!!! HIGH").
[[nodiscard]] std::string_view PrioritySign(Priority priority);
// 0x00RRGGBB, one fixed colour per priority, the same on the banner, the
// frames and the summary.
[[nodiscard]] unsigned PriorityColour(Priority priority);

// Whether what flashes is lit at `now`; every flashing thing turns together.
[[nodiscard]] bool FlashLit(Milliseconds now);
// How long from `now` until the flash next turns.
[[nodiscard]] Milliseconds UntilFlashTurns(Milliseconds now);

struct BannerLine {
  std::size_t point = 0;
  Priority priority = Priority::Low;
  bool unacknowledged = false;
  Milliseconds raisedAt = 0;
  // "!!! HIGH  PORT  Port 1 lost  (unacknowledged)", without the time,
  // which the window writes from raisedAt on its own clock.
  std::string text;
};

struct Banner {
  std::size_t active = 0;  // listed: active, or returned and unacknowledged
  std::size_t unacknowledged = 0;
  std::size_t shelved = 0;
  // "3 alarms, 2 unacknowledged, 1 shelved" or "No alarms".
  std::string counts;
  std::vector<BannerLine> lines;  // at most kBannerLines
  // "ALARM FLOOD: more than 10 alarms in the last 10 minutes", or empty.
  std::string flood;
  // Something flashes (an unacknowledged alarm is listed).
  bool flashing = false;
};

[[nodiscard]] Banner BannerOf(const AlarmBoard& board, Milliseconds now);

// A frame round a device's shape: the device's point, its priority, and
// whether it flashes.
struct Frame {
  std::string_view device;
  Priority priority = Priority::Low;
  bool flashing = false;
};
// Every device on the picture whose point is listed (not normal, not
// shelved), in the board's order of points.
[[nodiscard]] std::vector<Frame> FramesOf(const AlarmBoard& board);

// One row of the summary: every point that is active, returned and
// unacknowledged, or shelved.
struct SummaryRow {
  std::size_t point = 0;
  Priority priority = Priority::Low;
  State state = State::Normal;
  Milliseconds raisedAt = 0;
  std::optional<Milliseconds> shelvedUntil;
};
// In the banner's order, then the shelved ones by point.
[[nodiscard]] std::vector<SummaryRow> SummaryOf(const AlarmBoard& board);

}  // namespace halvorn::alarms
