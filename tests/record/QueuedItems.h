// The items a queue holds, taken out as owned values with a one-line
// description each, so a test can compare what was recorded at a glance.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/ItemQueue.h"

namespace halvorn::record::testing {

// A chunk of bytes received `t` nanoseconds into the session.
inline Item ReceivedItem(std::int64_t t, std::string_view bytes) {
  Item item;
  item.kind = Item::Kind::Traffic;
  item.t_ns = t;
  item.wall_ns = 1'700'000'000'000'000'000 + t;
  item.text[0] = bytes;
  return item;
}

struct QueuedItem {
  Item::Kind kind;
  std::int64_t t_ns;
  std::int64_t wall_ns;
  std::int32_t code;
  std::optional<std::int64_t> number;
  std::optional<double> value;
  std::optional<std::int64_t> began_ns;
  std::vector<std::optional<std::string>> text;

  // "event opened 1 'Port 1 open successfully'", "state V6 'open' colour 65280 q5"...
  std::string Describe() const {
    auto quoted = [](const std::optional<std::string>& t) { return t ? "'" + *t + "'" : std::string("NULL"); };
    switch (kind) {
      case Item::Kind::Traffic: return (code == 0 ? "in " : "out ") + quoted(text[0]);
      case Item::Kind::Command:
        return "command " + (number ? std::to_string(*number) : std::string("NULL")) + " " + quoted(text[0]);
      case Item::Kind::Action:
        return "action " + (number ? std::to_string(*number) + " " : "") + *text[0] + " " + quoted(text[1]) +
               " " + quoted(text[2]);
      case Item::Kind::Event:
        return "event " + *text[0] + (number ? " " + std::to_string(*number) : "") + " " + quoted(text[1]);
      case Item::Kind::DeviceState: {
        std::string d = "state " + *text[0] + " " + quoted(text[1]);
        if (text[2]) d += " detail " + quoted(text[2]);
        if (number) d += " colour " + std::to_string(*number);
        d += " q" + std::to_string(code);
        if (value) d += " " + std::to_string(*value);
        return d;
      }
      case Item::Kind::Alarm: {
        std::string d = "alarm " + *text[0] + " " + *text[1] + " " + *text[2] + " " + quoted(text[3]);
        if (text[4]) d += " reason " + quoted(text[4]);
        if (number) d += " until " + std::to_string(*number);
        if (text[5]) d += " by " + quoted(text[5]);
        return d;
      }
    }
    return "?";
  }
};

inline std::vector<QueuedItem> TakeItems(ItemQueue& queue) {
  std::vector<QueuedItem> items;
  queue.TakeAll([&](const Item& item) {
    QueuedItem copy{item.kind, item.t_ns, item.wall_ns, item.code, item.number, item.value, item.began_ns, {}};
    for (const auto& t : item.text) copy.text.push_back(t ? std::optional<std::string>(std::string(*t)) : std::nullopt);
    items.push_back(copy);
  });
  return items;
}

inline std::vector<std::string> Described(const std::vector<QueuedItem>& items) {
  std::vector<std::string> lines;
  for (const QueuedItem& item : items) lines.push_back(item.Describe());
  return lines;
}

}  // namespace halvorn::record::testing
