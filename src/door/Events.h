// The core's door for the shell: one entry per kind of event the window
// raises, and the few queries it shows from. Each entry finds the procedure
// of the widget the event happened to, by identity, and runs it; a widget
// with no procedure for that event does nothing (there is no fall-back), so
// the shell only forwards and never chooses.
//
// The port's own events (bytes in, a lost device) reach the core without the
// shell: the panel wires its port to the receiver when it is made, and tells
// the window of each through FrontPanel::portEventHandled once it has taken it.
//
// Widgets are told by identity: pass references into panel.form. A button,
// menu item or list choice of the panel is told to the feed as an action
// just before it runs, as '<widget>_Click'; what the event changed on the
// devices is told after it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/FrontPanel.h"
#include "panel/HitTest.h"

namespace halvorn {

using PanelProcedure = void (*)(FrontPanel&);

struct ButtonClick {
  CommandButton Form1::*button;
  PanelProcedure click;
};

// The buttons with a procedure of their own; the setpoint send buttons come
// from the flow table (kFlows).
extern const std::array<ButtonClick, 9> kButtonClicks;

struct TimerTick {
  Timer Form1::*timer;
  PanelProcedure tick;
};

// Timer1 to Timer5 with their procedures.
extern const std::array<TimerTick, 5> kTimerTicks;

// The window opened: Form_Load.
void Load(FrontPanel& panel);
// A button's Click.
void Click(FrontPanel& panel, const CommandButton& button);
// A device menu item's Click.
void Click(FrontPanel& panel, const MenuItem& item);
// A timer's tick (its Timer event). Returns false when it left everything
// the window shows as it was, so that the window need not compare: the poll
// cycle's tick while the port stays closed, the link status's while the
// link is as it was, the watchdog's while every group answered. Any other
// tick may have changed something.
bool Tick(FrontPanel& panel, const Timer& timer);
// The operator chose entry `index` of a drop-down list (see SetListIndex).
void Choose(FrontPanel& panel, ComboBox& combo, int index);
// The operator changed a text box's text; a read-only box keeps its own.
void Edit(FrontPanel& panel, TextBox& box, std::string text);
// A text box took the keyboard focus.
void GotFocus(FrontPanel& panel, const TextBox& box);

// A mouse button went down on the picture, at (X, Y) in the window's twips
// (Form_MouseDown), or on a caption (its MouseDown, which only the device
// captions have). Returns the device menu to pop up at the pointer, if any;
// the item the operator then chooses comes back as its Click.
[[nodiscard]] std::optional<DevicePopup> MouseDown(const FrontPanel& panel, std::int16_t button,
                                                   std::int16_t shift, float X, float Y);
[[nodiscard]] std::optional<DevicePopup> MouseDown(const FrontPanel& panel, const Label& label,
                                                   std::int16_t button, std::int16_t shift, float X,
                                                   float Y);

// Messages the core has counted, whole or garbled: an answer is in when
// this moves.
[[nodiscard]] std::int64_t MessagesCounted(const FrontPanel& panel);

}  // namespace halvorn
