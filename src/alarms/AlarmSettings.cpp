#include "AlarmSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "panel/Devices.h"

namespace halvorn::alarms {

namespace {

constexpr std::string_view kKeys[] = {"alarm", "priority", "guidance", "latch"};

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const std::size_t end = text.find_first_of(" \t");
    words.push_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end);
  }
  return words;
}

std::optional<double> Number(std::string_view word) {
  double value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<Priority> PriorityOf(std::string_view word) {
  for (const Priority p : {Priority::High, Priority::Medium, Priority::Low})
    if (PriorityName(p) == word) return p;
  return std::nullopt;
}

std::optional<bool> YesNo(std::string_view word) {
  if (word == "yes" || word == "true" || word == "on" || word == "1") return true;
  if (word == "no" || word == "false" || word == "off" || word == "0") return false;
  return std::nullopt;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A point the file may name: a fixed one, or a limit alarm given above.
bool Known(const AlarmSettings& settings, std::string_view point) {
  if (AlarmBoard().Find(point)) return true;
  for (const LimitRule& rule : settings.limits)
    if (PointName(rule) == point) return true;
  return false;
}

std::optional<std::string> TakeLimit(AlarmSettings& settings, std::string_view device, std::string_view value) {
  const std::string what = "alarm " + std::string(device) + ": ";
  const bool gauge = [&] {
    for (const GaugeDevice& g : kGauges)
      if (g.name == device) return true;
    return false;
  }();
  const bool flow = [&] {
    for (const FlowDevice& f : kFlows)
      if (f.name == device) return true;
    return false;
  }();
  if (!gauge && !flow) return what + "no such gauge or flow controller (G1 to G8, MFC1 to MFC4)";
  const std::vector<std::string_view> words = Words(value);
  LimitRule rule;
  rule.device = std::string(device);
  std::size_t i = 0;
  const auto next = [&]() -> std::string_view { return i < words.size() ? words[i++] : std::string_view{}; };
  const std::string_view kind = next();
  if (kind == "above") {
    rule.kind = LimitKind::Above;
  } else if (kind == "below") {
    rule.kind = LimitKind::Below;
  } else if (kind == "deviation" && flow) {
    rule.kind = LimitKind::Deviation;
  } else {
    return what + "expected " + (flow ? "'above', 'below' or 'deviation'" : "'above' or 'below'") + ", not " +
           Quoted(kind);
  }
  const std::string_view limitWord = next();
  const std::optional<double> limit = Number(limitWord);
  if (!limit || *limit < 0) return what + Quoted(limitWord) + " is not a limit (a number, 0 or more)";
  rule.limit = *limit;
  const std::string_view unit = gauge ? "mbar" : "%";
  if (i < words.size() && words[i] == unit) ++i;
  if (!flow && rule.limit <= 0) return what + "a pressure limit must be above 0 mbar";
  if (flow && rule.limit > 100) return what + "a flow limit is at most 100 % of full scale";
  bool seen[3] = {};
  while (i < words.size()) {
    const std::string_view word = next();
    const std::size_t slot = word == "for" ? 0 : word == "priority" ? 1 : word == "deadband" ? 2 : 3;
    if (slot == 3) return what + "expected 'for', 'priority' or 'deadband', not " + Quoted(word);
    if (seen[slot]) return what + Quoted(word) + " is given twice";
    seen[slot] = true;
    const std::string_view argument = next();
    if (slot == 1) {
      const auto priority = PriorityOf(argument);
      if (!priority) return what + "priority " + Quoted(argument) + " is not high, medium or low";
      rule.priority = *priority;
      continue;
    }
    const std::optional<double> n = Number(argument);
    const std::string_view suffix = next();
    if (slot == 0) {
      if (!n || *n < 0 || *n > 86400 || suffix != "s")
        return what + "expected 'for N s' with N from 0 to 86400, not 'for " + std::string(argument) + " " +
               std::string(suffix) + "'";
      rule.delay = static_cast<Milliseconds>(std::llround(*n * 1000));
    } else {
      if (!n || *n < 0 || *n > 100 || suffix != "%")
        return what + "expected 'deadband N %' with N from 0 to 100, not 'deadband " + std::string(argument) +
               " " + std::string(suffix) + "'";
      rule.deadband = *n / 100;
    }
  }
  for (const LimitRule& other : settings.limits)
    if (PointName(other) == PointName(rule)) return what + PointName(rule) + " is already given";
  settings.limits.push_back(std::move(rule));
  return std::nullopt;
}

}  // namespace

bool IsAlarmKey(std::string_view key) {
  for (const std::string_view k : kKeys)
    if (key.size() > k.size() && key.starts_with(k) && (key[k.size()] == ' ' || key[k.size()] == '\t')) return true;
  return false;
}

std::optional<std::string> TakeAlarmSetting(AlarmSettings& settings, std::string_view key, std::string_view value) {
  const std::vector<std::string_view> words = Words(key);
  if (words.size() != 2) return "expected one point after " + Quoted(words.empty() ? key : words[0]);
  const std::string_view what = words[0];
  const std::string_view point = words[1];
  if (what == "alarm") return TakeLimit(settings, point, value);
  const std::string where = std::string(what) + " " + std::string(point) + ": ";
  if (!Known(settings, point)) return where + "no such alarm point";
  const auto given = [point](const auto& list) {
    return std::ranges::any_of(list, [point](const auto& entry) { return entry.first == point; });
  };
  if ((what == "priority" && given(settings.priorities)) || (what == "guidance" && given(settings.guidance)) ||
      (what == "latch" && given(settings.latches)))
    return where + "is already given";
  if (what == "priority") {
    const auto priority = PriorityOf(value);
    if (!priority) return where + Quoted(value) + " is not high, medium or low";
    settings.priorities.emplace_back(point, *priority);
  } else if (what == "guidance") {
    if (value.empty()) return where + "no text";
    settings.guidance.emplace_back(point, value);
  } else {
    const auto latch = YesNo(value);
    if (!latch) return where + "must be yes or no, not " + Quoted(value);
    settings.latches.emplace_back(point, *latch);
  }
  return std::nullopt;
}

void ApplyTo(const AlarmSettings& settings, AlarmBoard& board) {
  for (const LimitRule& rule : settings.limits)
    if (!board.Find(PointName(rule))) board.Add(PointName(rule), rule.priority);
  for (const auto& [point, priority] : settings.priorities)
    if (const auto i = board.Find(point)) board.SetPriority(*i, priority);
  for (const auto& [point, text] : settings.guidance)
    if (const auto i = board.Find(point)) board.SetGuidance(*i, text);
  for (const auto& [point, latch] : settings.latches)
    if (const auto i = board.Find(point)) board.SetLatch(*i, latch);
}

}  // namespace halvorn::alarms
