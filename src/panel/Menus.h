// The device menus: one pop-up per switchable valve or pump (the rows of
// kSwitchedDevices), each with two items: pumps put switching on first,
// valves put opening first. What an item does belongs to the operator
// commands.
#pragma once

#include <string>

#include "panel/Form1.h"

namespace halvorn {

// One line per menu, in declared order:
//   mnuTmp "TMP": mnuTmpOn "Switch on", mnuTmpOff "Switch off"
[[nodiscard]] std::string DumpMenuTree(const Form1& form);

}  // namespace halvorn
