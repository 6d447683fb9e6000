// Which device menu a right-click opens.
//
// The shapes of the picture take no mouse input, so a click on the uncovered
// fill of a valve or pump reaches the window, which tests it against the
// device shapes; the two captions on each switchable device take the click
// themselves and open their device's menu directly. Together the two routes
// make the whole symbol of a device open its menu. Gauges, flow controllers,
// the mechanical and needle valves, buffers, pipes and every other caption
// open nothing.
#pragma once

#include <array>
#include <cstdint>

#include "panel/Form1.h"
#include "panel/MenuPopup.h"

namespace halvorn {

// The Button argument of a MouseDown: the one button whose press raised it.
namespace mouse_button {
constexpr std::int16_t Left = 1;
constexpr std::int16_t Right = 2;
constexpr std::int16_t Middle = 4;
}  // namespace mouse_button

struct DeviceHitRow {
  Shape Form1::*shape;
  Menu Form1::*menu;
};

// The window route tests these rows in this order and stops at the first hit.
inline constexpr std::array<DeviceHitRow, 19> kDeviceHits = {{
    {&Form1::shpTMP, &Form1::mnuTmp},         {&Form1::shpRotary1, &Form1::mnuRotary1},
    {&Form1::shpRotary2, &Form1::mnuRotary2}, {&Form1::shpV1, &Form1::mnuV1},
    {&Form1::shpV2, &Form1::mnuV2},           {&Form1::shpV3, &Form1::mnuV3},
    {&Form1::shpV4, &Form1::mnuV4},           {&Form1::shpV5, &Form1::mnuV5},
    {&Form1::shpV6, &Form1::mnuV6},           {&Form1::shpV7, &Form1::mnuV7},
    {&Form1::shpV8, &Form1::mnuV8},           {&Form1::shpV9, &Form1::mnuV9},
    {&Form1::shpV10, &Form1::mnuV10},         {&Form1::shpV11, &Form1::mnuV11},
    {&Form1::shpV12, &Form1::mnuV12},         {&Form1::shpV13, &Form1::mnuV13},
    {&Form1::shpV14, &Form1::mnuV14},         {&Form1::shpCV1, &Form1::mnuCV1},
    {&Form1::shpCV2, &Form1::mnuCV2},
}};

struct DeviceLabelRow {
  Label Form1::*label;
  Menu Form1::*menu;
};

// The 38 captions with a MouseDown of their own: the name and the state
// caption of each switchable device, spelled as the window spells them.
inline constexpr std::array<DeviceLabelRow, 38> kDeviceLabels = {{
    {&Form1::lblTmp, &Form1::mnuTmp},         {&Form1::lblTMPstatus, &Form1::mnuTmp},
    {&Form1::lblRotary1, &Form1::mnuRotary1}, {&Form1::lblRotary1Status, &Form1::mnuRotary1},
    {&Form1::lblRotary2, &Form1::mnuRotary2}, {&Form1::lblRotary2Status, &Form1::mnuRotary2},
    {&Form1::lblV1, &Form1::mnuV1},           {&Form1::lblV1state, &Form1::mnuV1},
    {&Form1::lblV2, &Form1::mnuV2},           {&Form1::lblV2state, &Form1::mnuV2},
    {&Form1::lblV3, &Form1::mnuV3},           {&Form1::lblV3state, &Form1::mnuV3},
    {&Form1::lblV4, &Form1::mnuV4},           {&Form1::lblV4state, &Form1::mnuV4},
    {&Form1::lblV5, &Form1::mnuV5},           {&Form1::lblV5state, &Form1::mnuV5},
    {&Form1::lblV6, &Form1::mnuV6},           {&Form1::lblV6state, &Form1::mnuV6},
    {&Form1::lblV7, &Form1::mnuV7},           {&Form1::lblV7state, &Form1::mnuV7},
    {&Form1::lblV8, &Form1::mnuV8},           {&Form1::lblV8state, &Form1::mnuV8},
    {&Form1::lblV9, &Form1::mnuV9},           {&Form1::lblV9state, &Form1::mnuV9},
    {&Form1::lblV10, &Form1::mnuV10},         {&Form1::lblV10state, &Form1::mnuV10},
    {&Form1::lblV11, &Form1::mnuV11},         {&Form1::lblV11state, &Form1::mnuV11},
    {&Form1::lblV12, &Form1::mnuV12},         {&Form1::lblV12state, &Form1::mnuV12},
    {&Form1::lblV13, &Form1::mnuV13},         {&Form1::lblV13state, &Form1::mnuV13},
    {&Form1::lblV14, &Form1::mnuV14},         {&Form1::lblV14state, &Form1::mnuV14},
    {&Form1::lblCV1, &Form1::mnuCV1},         {&Form1::lblCV1State, &Form1::mnuCV1},
    {&Form1::lblCV2, &Form1::mnuCV2},         {&Form1::lblCV2state, &Form1::mnuCV2},
}};

// The menu of the first device shape, in test order, that holds the point
// (X, Y) in window twips, or null. The geometry is read from `form` now, in
// single precision; the comparisons are strict, so a point on an edge of a
// shape is outside it.
const Menu* DeviceMenuAt(const Form1& form, float X, float Y);

// The menu of the device `label` sits on, or null for a label outside the
// table. The label is told by identity: pass a reference into `form`.
const Menu* DeviceMenuOfLabel(const Form1& form, const Label& label);

// MouseDown of the window: X and Y in the client area's twips. A right
// button press on a device shape pops up its menu; anything else, or a point
// on no device, does nothing. Shift plays no part.
void Form_MouseDown(const Form1& form, MenuPopup& popup, std::int16_t Button, std::int16_t Shift,
                    float X, float Y);

// MouseDown of one of the 38 device captions (lblTmp_MouseDown, ...,
// lblCV2state_MouseDown): a right button press pops up the device's menu.
// X and Y are the caption's own and play no part, nor does Shift.
void DeviceLabel_MouseDown(const Form1& form, MenuPopup& popup, const Label& label,
                           std::int16_t Button, std::int16_t Shift, float X, float Y);

}  // namespace halvorn
