// The alarm lines of the panel's settings file, one line per key and point:
//   alarm G6 = above 1e-3 mbar for 5 s priority high deadband 20 %
//   alarm G1 = below 2 mbar
//   alarm MFC1 = deviation 10 for 30 s      (percentage points of full scale)
//   alarm MFC2 = above 80 %
//   priority V5 = high                      (high, medium or low)
//   guidance V5 = Check the pneumatic supply of the valve block
//   latch V5 = yes
// `for`, `priority` and `deadband` are optional, in any order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alarms/AlarmBoard.h"
#include "alarms/LimitAlarm.h"

namespace halvorn::alarms {

struct AlarmSettings {
  std::vector<LimitRule> limits;
  std::vector<std::pair<std::string, Priority>> priorities;
  std::vector<std::pair<std::string, std::string>> guidance;
  std::vector<std::pair<std::string, bool>> latches;
};

// Whether `key` is an alarm key: "alarm", "priority", "guidance" or
// "latch", a blank, and a point.
[[nodiscard]] bool IsAlarmKey(std::string_view key);

// Takes one alarm line into `settings`; on a bad line returns what is wrong,
// naming the point ("alarm G9: no such gauge or flow controller").
[[nodiscard]] std::optional<std::string> TakeAlarmSetting(AlarmSettings& settings, std::string_view key,
                                                          std::string_view value);

// The limit alarms become points of `board`, and the priorities, guidance
// and latches are set on theirs.
void ApplyTo(const AlarmSettings& settings, AlarmBoard& board);

}  // namespace halvorn::alarms
