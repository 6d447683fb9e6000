// The device menus: one pop-up per switchable valve or pump (the rows of
// kSwitchedDevices), each with two items: pumps put switching on first,
// valves put opening first. What an item does belongs to the operator
// commands.
#pragma once

#include <array>
#include <string>

#include "panel/Form1.h"

namespace halvorn {

// The two items `menu` shows, in menu order, or two null pointers when
// `menu` is not one of `form`'s device menus. The menu is told by identity:
// pass a reference into `form`, as the mouse routes hand it to the popup.
[[nodiscard]] std::array<const MenuItem*, 2> ItemsOf(const Form1& form, const Menu& menu);

// One line per menu, in declared order:
//   mnuTmp "TMP": mnuTmpOn "Switch on", mnuTmpOff "Switch off"
[[nodiscard]] std::string DumpMenuTree(const Form1& form);

}  // namespace halvorn
