// A pop-up seam that records which menus the core asked for, with their
// flags, and can stand in for the operator's choice of an item.
#pragma once

#include <functional>
#include <vector>

#include "panel/MenuPopup.h"

namespace halvorn::testing {

class RecordingMenuPopup : public MenuPopup {
 public:
  void PopupMenu(const Menu& menu, int menuFlags) override {
    shown.push_back(&menu);
    flags.push_back(menuFlags);
    if (choose) choose(menu);
  }

  std::vector<const Menu*> shown;  // one entry per pop-up, in order
  std::vector<int> flags;
  // Runs while the menu is up, as the operator's choice would.
  std::function<void(const Menu&)> choose;
};

}  // namespace halvorn::testing
