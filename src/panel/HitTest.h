// Which device menu a right-click opens.
//
// The core only answers which menu belongs under the pointer; the shell
// pops it up and, when the operator chooses an item, raises that item's
// Click as an event of its own. Nothing waits for the menu here.
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
#include <optional>

#include "panel/Form1.h"

namespace halvorn {

// The Button argument of a MouseDown: the one button whose press raised it.
namespace mouse_button {
constexpr std::int16_t Left = 1;
constexpr std::int16_t Right = 2;
constexpr std::int16_t Middle = 4;
}  // namespace mouse_button

// A device's pop-up: its menu (whose caption the pop-up does not show) and
// its two items in menu order, the one that opens or starts it first.
struct DevicePopup {
  const Menu* menu;
  std::array<const MenuItem*, 2> items;
};

// MouseDown of the window: X and Y in the client area's twips. A right
// button press on a device shape pops up its menu; anything else, or a point
// on no device, pops up nothing. Shift plays no part.
[[nodiscard]] std::optional<DevicePopup> Form_MouseDown(const Form1& form, std::int16_t Button,
                                                        std::int16_t Shift, float X, float Y);

// MouseDown of one of the 38 device captions (name and state of each
// switched device) (lblTmp_MouseDown, ..., lblCV2state_MouseDown): a right
// button press pops up the device's menu; any other caption pops up nothing.
// X and Y are the caption's own and play no part, nor does Shift.
[[nodiscard]] std::optional<DevicePopup> DeviceLabel_MouseDown(const Form1& form,
                                                               const Label& label,
                                                               std::int16_t Button,
                                                               std::int16_t Shift, float X,
                                                               float Y);

}  // namespace halvorn
