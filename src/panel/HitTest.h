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

// The menu of the first device shape, in the order of kSwitchedDevices, that holds the point
// (X, Y) in window twips, or null. The geometry is read from `form` now, in
// single precision; the comparisons are strict, so a point on an edge of a
// shape is outside it.
[[nodiscard]] const Menu* DeviceMenuAt(const Form1& form, float X, float Y);

// The menu of the device `label` names or whose state it shows, or null for
// any other label. The label is told by identity: pass a reference into `form`.
[[nodiscard]] const Menu* DeviceMenuOfLabel(const Form1& form, const Label& label);

// MouseDown of the window: X and Y in the client area's twips. A right
// button press on a device shape pops up its menu; anything else, or a point
// on no device, does nothing. Shift plays no part.
void Form_MouseDown(const Form1& form, MenuPopup& popup, std::int16_t Button, std::int16_t Shift,
                    float X, float Y);

// MouseDown of one of the 38 device captions (name and state of each
// switched device) (lblTmp_MouseDown, ...,
// lblCV2state_MouseDown): a right button press pops up the device's menu.
// X and Y are the caption's own and play no part, nor does Shift.
void DeviceLabel_MouseDown(const Form1& form, MenuPopup& popup, const Label& label,
                           std::int16_t Button, std::int16_t Shift, float X, float Y);

}  // namespace halvorn
