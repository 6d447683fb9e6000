// The device menus: one pop-up per switchable valve or pump, each with two
// items, in the order the window declares them. What an item does belongs to
// the operator commands; this table only says which items a menu shows.
#pragma once

#include <array>
#include <string>

#include "panel/Form1.h"

namespace halvorn {

struct DeviceMenuRow {
  Menu Form1::*menu;
  MenuItem Form1::*first;   // "Switch on" or "Open"
  MenuItem Form1::*second;  // "Switch off" or "Close"
};

// Pumps first (TMP, Rotary1, Rotary2), then V1 to V14, CV1, CV2. Pumps put
// switching on first, valves put opening first.
inline constexpr std::array<DeviceMenuRow, 19> kDeviceMenus = {{
    {&Form1::mnuTmp, &Form1::mnuTmpOn, &Form1::mnuTmpOff},
    {&Form1::mnuRotary1, &Form1::mnuRotary1On, &Form1::mnuRotary1Off},
    {&Form1::mnuRotary2, &Form1::mnuRotary2On, &Form1::mnuRotary2Off},
    {&Form1::mnuV1, &Form1::mnuV1Open, &Form1::mnuV1Close},
    {&Form1::mnuV2, &Form1::mnuV2Open, &Form1::mnuV2close},
    {&Form1::mnuV3, &Form1::mnuV3Open, &Form1::mnuV3Close},
    {&Form1::mnuV4, &Form1::mnuV4Open, &Form1::mnuV4Close},
    {&Form1::mnuV5, &Form1::mnuV5Open, &Form1::mnuV5Close},
    {&Form1::mnuV6, &Form1::mnuV6Open, &Form1::mnuV6Close},
    {&Form1::mnuV7, &Form1::mnuV7open, &Form1::mnuV7Close},
    {&Form1::mnuV8, &Form1::mnuV8Open, &Form1::mnuV8Close},
    {&Form1::mnuV9, &Form1::mnuV9Open, &Form1::mnuV9Close},
    {&Form1::mnuV10, &Form1::mnuV10Open, &Form1::mnuV10close},
    {&Form1::mnuV11, &Form1::mnuV11Open, &Form1::mnuV11Close},
    {&Form1::mnuV12, &Form1::mnuV12Open, &Form1::mnuV12Close},
    {&Form1::mnuV13, &Form1::mnuV13Open, &Form1::mnuV13Close},
    {&Form1::mnuV14, &Form1::mnuV14Open, &Form1::mnuV14Close},
    {&Form1::mnuCV1, &Form1::mnuCV1Open, &Form1::mnuCV1Close},
    {&Form1::mnuCV2, &Form1::mnuCV2Open, &Form1::mnuCV2Close},
}};

// The two items `menu` shows, in menu order, or two null pointers when
// `menu` is not one of `form`'s device menus. The menu is told by identity:
// pass a reference into `form`, as the mouse routes hand it to the popup.
std::array<const MenuItem*, 2> ItemsOf(const Form1& form, const Menu& menu);

// One line per menu, in declared order:
//   mnuTmp "TMP": mnuTmpOn "Switch on", mnuTmpOff "Switch off"
std::string DumpMenuTree(const Form1& form);

}  // namespace halvorn
