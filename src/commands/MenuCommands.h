// What each item of the device menus does: one switching procedure with one
// fixed device number, and nothing else.
#pragma once

#include <array>
#include <cstdint>

#include "commands/Switching.h"
#include "link/FrontPanel.h"

namespace halvorn {

struct MenuCommandRow {
  MenuItem Form1::*item;
  void (*procedure)(FrontPanel&, std::int16_t);
  std::int16_t number;
};

// The 38 items in menu order, spelled as the window spells them.
inline constexpr std::array<MenuCommandRow, 38> kMenuCommands = {{
    {&Form1::mnuTmpOn, &SwitchPumpOn, 3},     {&Form1::mnuTmpOff, &SwitchPumpOff, 3},
    {&Form1::mnuRotary1On, &SwitchPumpOn, 1}, {&Form1::mnuRotary1Off, &SwitchPumpOff, 1},
    {&Form1::mnuRotary2On, &SwitchPumpOn, 2}, {&Form1::mnuRotary2Off, &SwitchPumpOff, 2},
    {&Form1::mnuV1Open, &OpenValve, 1},       {&Form1::mnuV1Close, &CloseValve, 1},
    {&Form1::mnuV2Open, &OpenValve, 2},       {&Form1::mnuV2close, &CloseValve, 2},
    {&Form1::mnuV3Open, &OpenValve, 3},       {&Form1::mnuV3Close, &CloseValve, 3},
    {&Form1::mnuV4Open, &OpenValve, 4},       {&Form1::mnuV4Close, &CloseValve, 4},
    {&Form1::mnuV5Open, &OpenValve, 5},       {&Form1::mnuV5Close, &CloseValve, 5},
    {&Form1::mnuV6Open, &OpenValve, 6},       {&Form1::mnuV6Close, &CloseValve, 6},
    {&Form1::mnuV7open, &OpenValve, 7},       {&Form1::mnuV7Close, &CloseValve, 7},
    {&Form1::mnuV8Open, &OpenValve, 8},       {&Form1::mnuV8Close, &CloseValve, 8},
    {&Form1::mnuV9Open, &OpenValve, 9},       {&Form1::mnuV9Close, &CloseValve, 9},
    {&Form1::mnuV10Open, &OpenValve, 10},     {&Form1::mnuV10close, &CloseValve, 10},
    {&Form1::mnuV11Open, &OpenValve, 11},     {&Form1::mnuV11Close, &CloseValve, 11},
    {&Form1::mnuV12Open, &OpenValve, 12},     {&Form1::mnuV12Close, &CloseValve, 12},
    {&Form1::mnuV13Open, &OpenValve, 13},     {&Form1::mnuV13Close, &CloseValve, 13},
    {&Form1::mnuV14Open, &OpenValve, 14},     {&Form1::mnuV14Close, &CloseValve, 14},
    {&Form1::mnuCV1Open, &OpenValve, 15},     {&Form1::mnuCV1Close, &CloseValve, 15},
    {&Form1::mnuCV2Open, &OpenValve, 16},     {&Form1::mnuCV2Close, &CloseValve, 16},
}};

// Click of any of the 38 items (mnuTmpOn_Click, ..., mnuCV2Close_Click): runs
// the item's procedure with its number. The item is told by identity: pass a
// reference into panel.form. Any other item does nothing.
void MenuItem_Click(FrontPanel& panel, const MenuItem& item);

}  // namespace halvorn
