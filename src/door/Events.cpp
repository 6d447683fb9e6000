#include "door/Events.h"

#include <optional>
#include <string_view>
#include <utility>

#include "commands/ClearLists.h"
#include "commands/ElectrodeCommands.h"
#include "commands/MenuCommands.h"
#include "commands/Setpoints.h"
#include "link/Connection.h"
#include "link/Polling.h"
#include "link/Reconnect.h"
#include "link/Startup.h"
#include "panel/Devices.h"
#include "plant/Watchdog.h"

namespace halvorn {
namespace {

// Runs `procedure` as the operator's event on `widget`: the feed hears of
// the action before it runs, so that the frames it sends are known as its.
template <typename Procedure>
void AsAction(FrontPanel& panel, const std::string& widget, std::optional<std::string_view> device,
              std::string_view argument, Procedure&& procedure) {
  if (panel.feed.Heard()) panel.feed.BeginAction(widget + "_Click", device, argument);
  procedure();
  panel.feed.EndAction();
}

}  // namespace

const std::array<ButtonClick, 9> kButtonClicks = {{
    {&Form1::cmdConnect, &cmdConnect_Click},
    {&Form1::cmdDisconnect, &cmdDisconnect_Click},
    {&Form1::cmdClearError, &cmdClearError_Click},
    {&Form1::cmdMoveElectrodeIn, &cmdMoveElectrodeIn_Click},
    {&Form1::cmdMoveElectrodeOut, &cmdMoveElectrodeOut_Click},
    {&Form1::cmdOpenUVLampShutter, &cmdOpenUVLampShutter_Click},
    {&Form1::cmdCloseUVLampShutter, &cmdCloseUVLampShutter_Click},
    {&Form1::cmdSwitchOnElectrodeCooling, &cmdSwitchOnElectrodeCooling_Click},
    {&Form1::cmdSwitchOffElectrodeCooling, &cmdSwitchOffElectrodeCooling_Click},
}};

const std::array<TimerTick, 5> kTimerTicks = {{
    {&Form1::Timer1, &Timer1_Timer},
    {&Form1::Timer2, &Timer2_Timer},
    {&Form1::Timer3, &Timer3_Timer},
    {&Form1::Timer4, &Timer4_Timer},
    // The watchdog belongs to the plant and needs only the window and flags.
    {&Form1::Timer5, [](FrontPanel& panel) { Timer5_Timer(panel.form, panel.watchdog); }},
}};

void Click(FrontPanel& panel, const CommandButton& button) {
  for (const ButtonClick& row : kButtonClicks) {
    if (&(panel.form.*row.button) == &button) {
      AsAction(panel, button.name, std::nullopt, button.caption, [&] { row.click(panel); });
      panel.feed.TellChanges(panel.form);
      return;
    }
  }
  // A send button of its controller, with the setpoint as typed, or nothing.
  for (const FlowDevice& flow : kFlows) {
    if (&(panel.form.*flow.send) == &button) {
      AsAction(panel, button.name, flow.name, (panel.form.*flow.setpoint).text,
               [&] { cmdMFC_send_Click(panel, button); });
      panel.feed.TellChanges(panel.form);
      return;
    }
  }
}

void Click(FrontPanel& panel, const MenuItem& item) {
  if (const SwitchedDevice* device = DeviceOfItem(panel.form, item)) {
    AsAction(panel, item.name, device->name, item.caption, [&] { MenuItem_Click(panel, item); });
  } else {
    MenuItem_Click(panel, item);
  }
  panel.feed.TellChanges(panel.form);
}

bool Tick(FrontPanel& panel, const Timer& timer) {
  // The reconnect beat is the panel's own, not one of the window's timers.
  if (&timer == &panel.reconnect.timer) {
    ReconnectTimer_Timer(panel);
    return true;
  }
  Form1& form = panel.form;
  for (const TimerTick& row : kTimerTicks) {
    if (&(form.*row.timer) != &timer) continue;
    if (row.timer == &Form1::Timer1) {
      // With the port closed it only moves the cycle on.
      const bool closed = !panel.MSComm2.PortOpen();
      row.tick(panel);
      return !closed || panel.MSComm2.PortOpen();
    }
    if (row.timer == &Form1::Timer2) {
      const std::string status = form.lblComStatus.caption;
      const bool lists[] = {form.Combo1.enabled, form.Combo2.enabled, form.Combo3.enabled};
      row.tick(panel);
      return form.lblComStatus.caption != status || form.Combo1.enabled != lists[0] ||
             form.Combo2.enabled != lists[1] || form.Combo3.enabled != lists[2];
    }
    if (row.timer == &Form1::Timer5) {
      // Only the watchdog changes what a device shows, and only for a group
      // that did not answer.
      const WatchdogFlags& f = panel.watchdog;
      const bool answered = f.GaugesUpdated && f.ValvesUpdated && f.PumpsUpdated && f.FlowsUpdated;
      row.tick(panel);
      panel.feed.TellChanges(form);
      panel.feed.WatchdogTicked();
      return !answered;
    }
    row.tick(panel);
    return true;
  }
  return false;
}

void Choose(FrontPanel& panel, ComboBox& combo, int index) {
  const Form1& form = panel.form;
  const bool own = &combo == &form.Combo1 || &combo == &form.Combo2 || &combo == &form.Combo3;
  const bool listed = index >= 0 && static_cast<std::size_t>(index) < combo.items.size();
  if (own) {
    const std::string_view choice =
        listed ? std::string_view(combo.items[static_cast<std::size_t>(index)])
               : std::string_view();
    AsAction(panel, combo.name, std::nullopt, choice, [&] { SetListIndex(panel, combo, index); });
  } else {
    SetListIndex(panel, combo, index);
  }
}

void Load(FrontPanel& panel) {
  Form_Load(panel);
  // The picture the panel starts with.
  panel.feed.TellChanges(panel.form);
}

void Edit(FrontPanel& panel, TextBox& box, std::string text) {
  if (box.readOnly) return;
  for (const FlowDevice& flow : kFlows) {
    if (&(panel.form.*flow.setpoint) == &box) {
      box.text = std::move(text);
      return;
    }
  }
}

void GotFocus(FrontPanel& panel, const TextBox& box) { txtMFC_GotFocus(panel, box); }

std::optional<DevicePopup> MouseDown(const FrontPanel& panel, std::int16_t button,
                                     std::int16_t shift, float X, float Y) {
  return Form_MouseDown(panel.form, button, shift, X, Y);
}

std::optional<DevicePopup> MouseDown(const FrontPanel& panel, const Label& label,
                                     std::int16_t button, std::int16_t shift, float X, float Y) {
  return DeviceLabel_MouseDown(panel.form, label, button, shift, X, Y);
}

std::int64_t MessagesCounted(const FrontPanel& panel) {
  return std::int64_t{panel.CorrectMessageCount} + panel.CrcErrorCount;
}

}  // namespace halvorn
