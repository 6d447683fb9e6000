// What the operator's events tell an onlooker (the session record) just
// before their procedure runs, so that the record has the action ahead of
// the frames it sends. The core's event entries are the one place that
// tells it.
#pragma once

#include <optional>
#include <string_view>

namespace halvorn {

class ActionObserver {
 public:
  virtual ~ActionObserver() = default;
  // The operator ran `procedure` ('mnuV6Open_Click', 'cmdConnect_Click')
  // on `device` (nullopt for none) with `argument` (the item's or button's
  // caption, the setpoint as typed, the list's choice).
  virtual void Action(std::string_view procedure, std::optional<std::string_view> device,
                      std::string_view argument) = 0;
};

}  // namespace halvorn
