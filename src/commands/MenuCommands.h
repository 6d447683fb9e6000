// What each item of the device menus does: one switching procedure with the
// number of the item's device, and nothing else. Which items a device has
// and which number it carries is the device table's (panel/Devices.h).
#pragma once

#include <cstdint>

#include "link/FrontPanel.h"
#include "panel/Devices.h"

namespace halvorn {

// Click of any of the 38 items (mnuTmpOn_Click, ..., mnuCV2Close_Click):
// opens or closes the item's valve, or switches its pump on or off, by the
// device's number. The item is told by identity: pass a reference into
// panel.form. Any other item does nothing.
void MenuItem_Click(FrontPanel& panel, const MenuItem& item);

// The device whose menu holds `item` (a reference into `form`), or null.
[[nodiscard]] const SwitchedDevice* DeviceOfItem(const Form1& form, const MenuItem& item);

// The procedure the item with `on` true (first item) or false runs for a
// device of `kind`, or null for a kind without a menu.
using SwitchingProcedure = void (*)(FrontPanel&, std::int16_t);
[[nodiscard]] SwitchingProcedure SwitchingOf(DeviceKind kind, bool on);

}  // namespace halvorn
